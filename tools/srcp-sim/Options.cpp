#include "Options.h"

#include "LineTokens.h"

namespace srcpsim {

const char *usageText() {
  return "usage: srcp-sim [--protocol 0.7.3|0.8.2] [--port P] [--log FILE] [--contacts N]\n"
         "                [--fb-on-command] [--demo] [--demo-contacts C1,C2,...] [--demo-step-ms MS]\n"
         "                [--demo-idle-speed PERCENT]\n"
         "                [--exit-on-eof] [--srcpd] [--buses N]\n"
         "Listens on 127.0.0.1 only. --port 0 picks free ports; the first line of standard output is\n"
         "\"PORT <p>\" (0.8.2) or \"PORT <p> <p+1> <p+2>\" (0.7.3: command, feedback, info).\n"
         "Standard input takes control commands: fb <bus> <contact> <0|1>, power <bus> on|off, quit.\n";
}

namespace {

bool readInt(const char *text, int lo, int hi, int &out) {
  auto v = parseInt(text);
  if (!v || *v < lo || *v > hi)
    return false;
  out = *v;
  return true;
}

bool readContactList(std::string_view text, std::vector<int> &out) {
  out.clear();
  while (!text.empty()) {
    auto comma = text.find(',');
    auto piece = text.substr(0, comma);
    auto v = parseInt(piece);
    if (!v || *v < 1 || *v > 4096)
      return false;
    out.push_back(*v);
    if (comma == std::string_view::npos)
      break;
    text.remove_prefix(comma + 1);
  }
  return !out.empty();
}

} // namespace

bool parseOptions(int argc, char **argv, Options &o, std::string &error) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
    auto needValue = [&]() {
      if (!value) {
        error = "missing value after " + arg;
        return false;
      }
      ++i;
      return true;
    };
    if (arg == "--protocol") {
      if (!needValue())
        return false;
      o.protocol = value;
      if (o.protocol != "0.7.3" && o.protocol != "0.8.2") {
        error = "unsupported protocol " + o.protocol + " (0.7.3 or 0.8.2)";
        return false;
      }
    } else if (arg == "--port") {
      if (!needValue() || !readInt(value, 0, 65533, o.port)) {
        error = error.empty() ? "bad port" : error;
        return false;
      }
    } else if (arg == "--log") {
      if (!needValue())
        return false;
      o.logPath = value;
    } else if (arg == "--contacts") {
      if (!needValue() || !readInt(value, 0, 4096, o.contacts)) {
        error = error.empty() ? "bad contact count" : error;
        return false;
      }
    } else if (arg == "--fb-on-command") {
      o.feedbackOnCommandPort = true;
    } else if (arg == "--demo") {
      o.demo = true;
    } else if (arg == "--demo-contacts") {
      if (!needValue() || !readContactList(value, o.demoContacts)) {
        error = error.empty() ? "bad contact list" : error;
        return false;
      }
    } else if (arg == "--demo-step-ms") {
      if (!needValue() || !readInt(value, 1, 3600000, o.demoStepMs)) {
        error = error.empty() ? "bad step time" : error;
        return false;
      }
    } else if (arg == "--srcpd") {
      o.srcpd = true;
    } else if (arg == "--buses") {
      if (!needValue() || !readInt(value, 1, 8, o.buses)) {
        error = error.empty() ? "bad bus count (1 to 8)" : error;
        return false;
      }
    } else if (arg == "--demo-idle-speed") {
      if (!needValue() || !readInt(value, 0, 100, o.demoIdleSpeed)) {
        error = error.empty() ? "bad idle speed" : error;
        return false;
      }
    } else if (arg == "--exit-on-eof") {
      o.exitOnStdinEof = true;
    } else if (arg == "--help" || arg == "-h") {
      o.help = true;
    } else {
      error = "unknown option " + arg;
      return false;
    }
  }
  return true;
}

} // namespace srcpsim
