#include "ControlCommands.h"

#include "ConnectionControls.h"
#include "LineTokens.h"

#include <cstdio>
#include <optional>
#include <string>

namespace srcpsim {

bool runControlCommand(std::string_view line, Frontend &frontend, EventLoop &loop) {
  auto w = splitWords(line);
  if (w.empty())
    return true;
  std::string verb = upper(w[0]);
  bool ok = false;
  if (runConnectionControl(w, loop)) {
    ok = true;
  } else if (verb == "RESTART" && w.size() <= 2) {
    // A restarting server: its connections end at once, it comes back with every bus off, and
    // connecting is refused until it is up again.
    auto ms = w.size() == 2 ? parseInt(w[1]) : std::optional<int>(1000);
    if (ms && *ms >= 0) {
      if (*ms > 0)
        loop.refuseConnections(*ms);
      loop.dropAllClients();
      frontend.restart();
      ok = true;
    }
  } else if (verb == "QUIT" && w.size() == 1) {
    loop.requestStop();
    ok = true;
  } else if ((verb == "MUTE" || verb == "UNMUTE") && w.size() == 1) {
    frontend.setMuted(verb == "MUTE");
    ok = true;
  } else if (verb == "SM" && w.size() == 3 &&
             (upper(w[1]) == "NOLOCO" || upper(w[1]) == "NOACK" || upper(w[1]) == "SILENT") &&
             (upper(w[2]) == "ON" || upper(w[2]) == "OFF")) {
    std::string fault = upper(w[1]) == "NOLOCO" ? "noloco" : upper(w[1]) == "NOACK" ? "noack" : "silent";
    frontend.setServiceModeFault(fault, upper(w[2]) == "ON");
    ok = true;
  } else if (verb == "SM" && w.size() == 4 && upper(w[1]) == "TIMING") {
    auto readMs = parseInt(w[2]);
    auto writeMs = parseInt(w[3]);
    if (readMs && writeMs && *readMs >= 0 && *writeMs >= 0) {
      frontend.setServiceModeTiming(*readMs, *writeMs);
      ok = true;
    }
  } else if (verb == "FB" && w.size() == 4) {
    auto bus = parseInt(w[1]);
    auto contact = parseInt(w[2]);
    auto value = parseInt(w[3]);
    if (bus && contact && value && *contact >= 1 && (*value == 0 || *value == 1)) {
      frontend.setFeedback(*bus, *contact, *value);
      ok = true;
    }
  } else if (verb == "POWER" && w.size() == 3) {
    auto bus = parseInt(w[1]);
    std::string state = upper(w[2]);
    if (bus && (state == "ON" || state == "OFF")) {
      frontend.setPower(*bus, state == "ON");
      ok = true;
    }
  }
  if (!ok) {
    std::string text(line.substr(0, 200));
    std::fprintf(stderr, "srcp-sim: control command not understood: %s\n", text.c_str());
  }
  return ok;
}

} // namespace srcpsim
