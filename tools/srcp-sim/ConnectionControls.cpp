#include "ConnectionControls.h"

#include "LineTokens.h"

namespace srcpsim {

bool runConnectionControl(const std::vector<std::string_view> &w, EventLoop &loop) {
  if (w.empty())
    return false;
  const std::string verb = upper(w[0]);
  if (verb == "DROP" && w.size() == 1) {
    loop.dropAllClients();
    return true;
  }
  if ((verb == "REFUSE" || verb == "FREEZE") && w.size() == 2) {
    auto ms = parseInt(w[1]);
    if (!ms || *ms < 0)
      return false;
    if (verb == "REFUSE")
      loop.refuseConnections(*ms);
    else
      loop.stopAnswering(*ms);
    return true;
  }
  if (verb == "FREEZE" && w.size() == 3 && upper(w[2]) == "DROP") {
    auto ms = parseInt(w[1]);
    if (!ms || *ms < 0)
      return false;
    loop.stopAnsweringAndDrop(*ms);
    return true;
  }
  if (verb == "DELAY" && w.size() == 2) {
    auto ms = parseInt(w[1]);
    if (!ms || *ms < 0)
      return false;
    loop.setAnswerDelay(*ms);
    return true;
  }
  if (verb == "GREET" && w.size() == 2) {
    const std::string state = upper(w[1]);
    if (state != "ON" && state != "OFF")
      return false;
    loop.setGreeting(state == "ON");
    return true;
  }
  return false;
}

} // namespace srcpsim
