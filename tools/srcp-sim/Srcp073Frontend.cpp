#include "Srcp073Frontend.h"

#include "LineTokens.h"

#include <algorithm>

namespace srcpsim {

namespace {
constexpr int kMaxContacts073 = 4096;
constexpr int kMaxFunctions073 = 32;
} // namespace

Srcp073Frontend::Srcp073Frontend(EventLoop &loop, int feedbackContacts, bool feedbackOnCommandPort)
    : loop_(loop), feedbackOnCommandPort_(feedbackOnCommandPort),
      contacts_(static_cast<std::size_t>(feedbackContacts), 0) {}

void Srcp073Frontend::opened(ConnId id, int listenerIndex) {
  Port port = static_cast<Port>(listenerIndex);
  ports_[id] = port;
  switch (port) {
  case CommandPort:
    loop_.send(id, "srcp-sim 1.0; SRCP 0.7.3");
    break;
  case FeedbackPort:
    loop_.send(id, "INFO FB S88 * " + allContacts());
    break;
  case InfoPort:
    loop_.send(id, std::string("INFO POWER ") + (powerOn_ ? "ON " : "OFF "));
    break;
  }
}

std::string Srcp073Frontend::allContacts() const {
  std::string digits;
  for (int c : contacts_)
    digits += c ? '1' : '0';
  return digits;
}

void Srcp073Frontend::sendTo(Port port, const std::string &line) {
  for (const auto &[id, p] : ports_)
    if (p == port)
      loop_.send(id, line);
}

void Srcp073Frontend::received(ConnId id, std::string_view line) {
  auto it = ports_.find(id);
  if (it != ports_.end() && it->second == CommandPort)
    command(id, line);
}

void Srcp073Frontend::command(ConnId id, std::string_view line) {
  // Answers quote words of the command: a line with control or non-ASCII bytes is not understood.
  for (std::string_view rest = line;;) {
    const std::size_t printable = printablePrefix(rest);
    if (printable == rest.size())
      break;
    if (rest[printable] != '\t')
      return;
    rest.remove_prefix(printable + 1);
  }
  splitWords(line, words_);
  const std::vector<std::string_view> &w = words_;
  if (w.empty())
    return;
  std::string verb = upper(w[0]);
  std::string group = w.size() > 1 ? upper(w[1]) : "";
  if (verb == "SET" && group == "GA")
    setAccessory(w);
  else if (verb == "SET" && group == "GL")
    setLoco(w);
  else if (verb == "SET" && group == "POWER" && w.size() >= 3) {
    std::string state = upper(w[2]);
    if (state == "ON" || state == "OFF")
      setPower(1, state == "ON");
  } else if (verb == "RESET" && w.size() == 1) {
    accessories_.clear();
    locos_.clear();
    pending_.clear();
    setPower(1, false);
  } else if (verb == "GET") {
    answerGet(id, w);
  }
}

void Srcp073Frontend::setAccessory(const std::vector<std::string_view> &w) {
  // SET GA <M|N> address port value delay
  if (w.size() < 6)
    return;
  std::string protocol = upper(w[2]);
  auto address = parseInt(w[3]);
  auto port = parseInt(w[4]);
  auto value = parseInt(w[5]);
  auto delay = w.size() >= 7 ? parseInt(w[6]) : std::optional<int>(-1);
  if ((protocol != "M" && protocol != "N" && protocol != "P") || !address || *address < 0 || !port ||
      *port < 0 || *port > 1 || !value || *value < 0 || *value > 1 || !delay)
    return;
  std::string device = protocol + " " + std::to_string(*address) + " " + std::to_string(*port);
  accessories_[device] = *value;
  std::erase_if(pending_, [&](const PendingSwitchOff &p) { return p.device == device; });
  if (*value == 1 && *delay > 0)
    pending_.push_back({nowMs_ + *delay, device});
  sendTo(InfoPort, "INFO GA " + device + " " + std::to_string(*value) + " " + std::to_string(*delay));
}

void Srcp073Frontend::setLoco(const std::vector<std::string_view> &w) {
  // SET GL <code> address direction speed vmax f0 n f1..fn
  if (w.size() < 7)
    return;
  Loco l;
  l.code = std::string(w[2]);
  auto address = parseInt(w[3]);
  auto direction = parseInt(w[4]);
  auto speed = parseInt(w[5]);
  auto maxSpeed = parseInt(w[6]);
  if (!address || *address < 0 || !direction || !speed || !maxSpeed)
    return;
  l.address = *address;
  l.direction = *direction;
  l.speed = *speed;
  l.maxSpeed = *maxSpeed;
  for (std::size_t i = 7; i < w.size() && l.rest.size() < kMaxFunctions073 + 2; ++i) {
    auto v = parseInt(w[i]);
    if (!v)
      return;
    l.rest.push_back(*v);
  }
  locos_[l.address] = l;
  sendTo(InfoPort, "INFO GL " + locoText(l));
}

std::string Srcp073Frontend::locoText(const Loco &l) const {
  std::string text = l.code + " " + std::to_string(l.address) + " " + std::to_string(l.direction) + " " +
                     std::to_string(l.speed) + " " + std::to_string(l.maxSpeed);
  for (int v : l.rest)
    text += " " + std::to_string(v);
  return text;
}

void Srcp073Frontend::answerGet(ConnId id, const std::vector<std::string_view> &w) {
  std::string group = w.size() > 1 ? upper(w[1]) : "";
  if (group == "POWER") {
    loop_.send(id, std::string("INFO POWER ") + (powerOn_ ? "ON " : "OFF "));
  } else if (group == "GA" && w.size() >= 5) {
    auto address = parseInt(w[3]);
    auto port = parseInt(w[4]);
    if (!address || !port)
      return;
    std::string device = upper(w[2]) + " " + std::to_string(*address) + " " + std::to_string(*port);
    auto it = accessories_.find(device);
    loop_.send(id, "INFO GA " + device + " " + std::to_string(it == accessories_.end() ? 0 : it->second) + " -1");
  } else if (group == "GL" && w.size() >= 4) {
    auto address = parseInt(w[3]);
    if (!address)
      return;
    auto it = locos_.find(*address);
    if (it != locos_.end())
      loop_.send(id, "INFO GL " + locoText(it->second));
  } else if (group == "FB" && w.size() >= 4 && upper(w[2]) == "S88") {
    if (w[3] == "*") {
      loop_.send(id, "INFO FB S88 * " + allContacts());
      return;
    }
    auto contact = parseInt(w[3]);
    if (!contact || *contact < 1 || *contact > kMaxContacts073)
      return;
    int value = static_cast<std::size_t>(*contact) <= contacts_.size() ? contacts_[static_cast<std::size_t>(*contact - 1)] : 0;
    loop_.send(id, "INFO FB S88 " + std::to_string(*contact) + " " + std::to_string(value));
  }
}

void Srcp073Frontend::tick(double nowMs) {
  nowMs_ = nowMs;
  if (pending_.empty())
    return;
  std::vector<std::string> due;
  std::erase_if(pending_, [&](const PendingSwitchOff &p) {
    if (p.dueMs > nowMs)
      return false;
    due.push_back(p.device);
    return true;
  });
  for (const auto &device : due) {
    accessories_[device] = 0;
    sendTo(InfoPort, "INFO GA " + device + " 0 -1");
  }
}

void Srcp073Frontend::setFeedback(int, int contact, int value) {
  if (contact < 1 || contact > kMaxContacts073)
    return;
  if (static_cast<std::size_t>(contact) > contacts_.size())
    contacts_.resize(static_cast<std::size_t>(contact), 0);
  int &slot = contacts_[static_cast<std::size_t>(contact - 1)];
  int v = value ? 1 : 0;
  if (slot == v)
    return;
  slot = v;
  std::string line = "INFO FB S88 " + std::to_string(contact) + " " + std::to_string(v);
  sendTo(FeedbackPort, line);
  if (feedbackOnCommandPort_)
    sendTo(CommandPort, line);
}

void Srcp073Frontend::setPower(int, bool on) {
  powerOn_ = on;
  sendTo(InfoPort, std::string("INFO POWER ") + (on ? "ON " : "OFF "));
}

void Srcp073Frontend::restart() {
  accessories_.clear();
  locos_.clear();
  pending_.clear();
  powerOn_ = false;
}

DemoDrive Srcp073Frontend::demoDrive() const {
  DemoDrive drive;
  for (const auto &[address, l] : locos_) {
    if (l.speed <= 0 || l.maxSpeed <= 0 || l.direction == 2)
      continue;
    double fraction = std::min(1.0, static_cast<double>(l.speed) / l.maxSpeed);
    if (fraction > drive.speedFraction) {
      drive.speedFraction = fraction;
      drive.forward = l.direction != 0;
    }
  }
  return drive;
}

} // namespace srcpsim
