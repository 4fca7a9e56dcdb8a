#include "Srcp082Frontend.h"

#include <charconv>

#include "LineTokens.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace srcpsim {

namespace {

const char *errorText(int code) {
  switch (code) {
  case 400: return "unsupported protocol";
  case 401: return "unsupported connection mode";
  case 410: return "unknown command";
  case 411: return "unknown value";
  case 412: return "wrong value";
  case 415: return "forbidden";
  case 416: return "no data";
  case 417: return "timeout";
  case 418: return "list too long";
  case 419: return "list too short";
  case 420: return "unsupported device protocol";
  case 421: return "unsupported device";
  case 422: return "unsupported device group";
  case 423: return "unsupported operation";
  default: return "unspecified error";
  }
}

bool isCommandWord(const std::string &w) {
  return w == "GET" || w == "SET" || w == "INIT" || w == "TERM" || w == "RESET" || w == "CHECK" || w == "WAIT" ||
         w == "VERIFY";
}

bool isGroupWord(const std::string &w) {
  return w == "FB" || w == "GA" || w == "GL" || w == "SM" || w == "LOCK" || w == "POWER" || w == "TIME" ||
         w == "SESSION" || w == "DESCRIPTION" || w == "SERVER";
}

// Reads a number field: 411 if it is not a number, 412 if outside [lo, hi].
int readNumber(std::string_view word, int lo, int hi, int &out) {
  auto v = parseInt(word);
  if (!v)
    return 411;
  if (*v < lo || *v > hi)
    return 412;
  out = *v;
  return 0;
}

} // namespace

std::string srcpTimeStamp() {
  std::string text;
  appendSrcpTimeStamp(text);
  return text;
}

void appendSrcpTimeStamp(std::string &out) {
  auto now = std::chrono::system_clock::now().time_since_epoch();
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
  if (ms < 0) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(ms / 1000), static_cast<long long>(ms % 1000));
    out += text;
    return;
  }
  char text[32];
  auto [end, ec] = std::to_chars(text, text + sizeof text, static_cast<long long>(ms / 1000));
  (void)ec;
  const auto fraction = static_cast<int>(ms % 1000);
  *end++ = '.';
  *end++ = static_cast<char>('0' + fraction / 100);
  *end++ = static_cast<char>('0' + fraction / 10 % 10);
  *end++ = static_cast<char>('0' + fraction % 10);
  out.append(text, static_cast<std::size_t>(end - text));
}

Srcp082Frontend::Srcp082Frontend(EventLoop &loop, int feedbackContacts, bool srcpd, int lastBus)
    : loop_(loop), layout_(feedbackContacts, srcpd, lastBus), srcpd_(srcpd) {}

bool Srcp082Frontend::dropForPowerOff(int b) {
  const Bus082 &bus = layout_.bus(b);
  if (!srcpd_ || !bus.has("POWER") || bus.powerOn)
    return false;
  loop_.log().write(current_, 'D', "bus " + std::to_string(b) + " power off");
  return true;
}

std::optional<Srcp082Frontend::Session *> Srcp082Frontend::session(ConnId id) {
  auto it = sessions_.find(id);
  if (it == sessions_.end())
    return std::nullopt;
  return &it->second;
}

void Srcp082Frontend::replyError(ConnId id, int code) { reply(id, code, "ERROR ", errorText(code)); }

void Srcp082Frontend::reply(ConnId id, int code, std::string_view text, std::string_view more) {
  line_.clear();
  appendSrcpTimeStamp(line_);
  char number[16];
  auto [end, ec] = std::to_chars(number, number + sizeof number, code);
  (void)ec;
  line_ += ' ';
  line_.append(number, static_cast<std::size_t>(end - number));
  line_ += ' ';
  line_ += text;
  line_ += more;
  loop_.send(id, line_);
}

void Srcp082Frontend::broadcast(int code, const std::string &infoText) {
  if (std::none_of(sessions_.begin(), sessions_.end(), [](const auto &entry) { return entry.second.mode == Mode::Info; }))
    return;
  std::string line = srcpTimeStamp() + " " + std::to_string(code) + " INFO " + infoText;
  for (auto &[id, s] : sessions_)
    if (s.mode == Mode::Info)
      loop_.send(id, line);
}

void Srcp082Frontend::opened(ConnId id, int) {
  sessions_[id] = Session{};
  loop_.send(id, srcpd_ ? "srcpd V2.1.3; SRCP 0.8.4; SRCPOTHER 0.8.3" : "srcp-sim 1.0; SRCP 0.8.2");
}

void Srcp082Frontend::closed(ConnId id) { sessions_.erase(id); }

void Srcp082Frontend::overlong(ConnId id) {
  auto s = session(id);
  if (s && (*s)->mode != Mode::Info)
    replyError(id, 418);
}

void Srcp082Frontend::received(ConnId id, std::string_view line) {
  auto s = session(id);
  if (!s)
    return;
  splitWords(line, words_);
  const std::vector<std::string_view> &words = words_;
  if (words.empty())
    return;
  nowMs_ = loop_.log().nowMs();
  switch ((*s)->mode) {
  case Mode::Handshake:
    handshake(id, **s, words);
    break;
  case Mode::Command: {
    if (muted_)
      break; // a server that hangs: the line is read, nothing comes back
    Answer a = command(id, words);
    if (a.code == 0)
      break; // answered already (the session ended itself), or later (the programming track)
    answer(id, a);
    break;
  }
  case Mode::Info:
    break; // an info session only listens
  }
}

void Srcp082Frontend::answer(ConnId id, const Answer &a) {
  if (a.code >= 400)
    replyError(id, a.code);
  else
    reply(id, a.code, a.text);
}

void Srcp082Frontend::handshake(ConnId id, Session &s, const std::vector<std::string_view> &words) {
  std::string first = upper(words[0]);
  if (first == "GO" && words.size() == 1) {
    s.number = nextSession_++;
    s.mode = s.wantsInfo ? Mode::Info : Mode::Command;
    reply(id, 200, "OK GO " + std::to_string(s.number));
    if (s.mode == Mode::Info)
      sendState(id);
    return;
  }
  if (first == "SET" && words.size() >= 2) {
    std::string what = upper(words[1]);
    if (what == "PROTOCOL") {
      if (words.size() < 4)
        return replyError(id, 419);
      if (upper(words[2]) != "SRCP" || words[3].substr(0, 4) != "0.8.")
        return replyError(id, 400);
      return reply(id, 201, "OK PROTOCOL SRCP");
    }
    if (what == "CONNECTIONMODE") {
      if (words.size() < 4)
        return replyError(id, 419);
      std::string mode = upper(words[3]);
      if (upper(words[2]) != "SRCP" || (mode != "COMMAND" && mode != "INFO"))
        return replyError(id, 401);
      s.wantsInfo = mode == "INFO";
      return reply(id, 202, "OK CONNECTIONMODE");
    }
  }
  replyError(id, 410);
}

void Srcp082Frontend::sendState(ConnId id) {
  auto info = [&](int code, const std::string &text) {
    loop_.send(id, srcpTimeStamp() + " " + std::to_string(code) + " INFO " + text);
  };
  for (int b = 0; b < kBusCount; ++b)
    if (!layout_.bus(b).groups.empty())
      info(100, layout_.descriptionText(b));
  for (int b = 0; b < kBusCount; ++b) {
    const Bus082 &bus = layout_.bus(b);
    if (bus.has("POWER") && bus.powerInitialised) {
      info(101, std::to_string(b) + " POWER");
      info(100, layout_.powerText(b));
    }
    if (b == 0 && layout_.clock().initialised()) {
      info(101, layout_.timeInitText());
      if (layout_.clock().hasTime())
        info(100, layout_.timeDataText(layout_.clock().now(nowMs_)));
    }
    for (const auto &[address, loco] : bus.locos) {
      info(101, layout_.locoInitText(b, address));
      info(100, layout_.locoDataText(b, address));
    }
    for (const auto &[address, ga] : bus.accessories) {
      info(101, layout_.accessoryInitText(b, address));
      for (int port = 0; port < 2; ++port)
        if (ga.reported[static_cast<std::size_t>(port)])
          info(100, std::to_string(b) + " GA " + std::to_string(address) + " " + std::to_string(port) + " " +
                        std::to_string(ga.value[static_cast<std::size_t>(port)]));
    }
    if (bus.feedbackInitialised)
      info(101, std::to_string(b) + " FB");
    for (std::size_t i = 0; i < bus.contacts.size(); ++i)
      if (bus.contacts[i])
        info(100, std::to_string(b) + " FB " + std::to_string(i + 1) + " 1");
  }
}

Srcp082Frontend::Answer Srcp082Frontend::command(ConnId id, const std::vector<std::string_view> &words) {
  current_ = id;
  std::string cmd = upper(words[0]);
  if (!isCommandWord(cmd))
    return {410, ""};
  if (words.size() < 3)
    return {419, ""};
  int bus = 0;
  if (int e = readNumber(words[1], 0, kBusCount - 1, bus))
    return {e == 411 ? 412 : e, ""};
  std::string group = upper(words[2]);
  if (!isGroupWord(group))
    return {421, ""};
  if (layout_.bus(bus).groups.empty())
    return {412, ""}; // no such bus
  if (group != "DESCRIPTION" && !layout_.bus(bus).has(group))
    return {422, ""};
  args_.assign(words.begin() + 3, words.end());
  const std::vector<std::string_view> &args = args_;
  if (group == "SM")
    return serviceModeCommand(id, cmd, bus, args);
  if (cmd == "VERIFY" || cmd == "WAIT")
    return {423, ""};
  if (group == "GL")
    return locoCommand(cmd, bus, args);
  if (group == "GA")
    return accessoryCommand(cmd, bus, args);
  if (group == "FB")
    return feedbackCommand(cmd, bus, args);
  if (group == "POWER")
    return powerCommand(cmd, bus, args);
  if (group == "TIME")
    return timeCommand(cmd, args);
  if (group == "SESSION")
    return sessionCommand(id, cmd, args);
  if (group == "SERVER")
    return serverCommand(cmd);
  return descriptionCommand(cmd, bus, args);
}

Srcp082Frontend::Answer Srcp082Frontend::locoCommand(const std::string &cmd, int b,
                                                     const std::vector<std::string_view> &args) {
  Bus082 &bus = layout_.bus(b);
  if (args.empty())
    return {419, ""};
  int address = 0;
  if (int e = readNumber(args[0], 1, 10239, address))
    return {e, ""};
  auto it = bus.locos.find(address);
  if (cmd == "INIT" || cmd == "RESET") {
    if (args.size() < 2)
      return {419, ""};
    std::string protocol = upper(args[1]);
    if (protocol != "M" && protocol != "N" && protocol != "A" && protocol != "P")
      return {420, ""};
    Loco082 loco;
    loco.protocol = protocol[0];
    std::vector<int> numbers;
    for (std::size_t i = 2; i < args.size(); ++i) {
      int n = 0;
      if (int e = readNumber(args[i], 0, 1024, n))
        return {e, ""};
      numbers.push_back(n);
    }
    if (loco.protocol == 'M' || loco.protocol == 'N') {
      if (numbers.size() < 2)
        return {419, ""};
      loco.subProtocol = loco.protocol == 'M' ? 2 : 1;
      if (numbers.size() >= 3) {
        loco.subProtocol = numbers[0];
        numbers.erase(numbers.begin());
      }
    } else if (loco.protocol == 'P') {
      // The server's own protocol: a protocol version may come first, as for M and N; without
      // steps and functions the server's defaults.
      if (numbers.size() >= 3)
        numbers.erase(numbers.begin());
      if (numbers.size() < 2)
        numbers = {14, 1};
    }
    if (loco.protocol != 'A') {
      if (numbers.size() < 2)
        return {419, ""};
      if (numbers[0] < 1 || numbers[0] > 128 || numbers[1] > kMaxFunctions)
        return {412, ""};
      loco.speedSteps = numbers[0];
      loco.functionCount = numbers[1] < 1 ? 1 : numbers[1];
    }
    loco.maxSpeed = loco.speedSteps;
    loco.functions.assign(static_cast<std::size_t>(loco.functionCount), 0);
    bus.locos[address] = loco;
    broadcast(101, layout_.locoInitText(b, address));
    return {200, "OK"};
  }
  if (it == bus.locos.end())
    return {416, ""};
  Loco082 &loco = it->second;
  if (cmd == "GET")
    return {100, "INFO " + layout_.locoDataText(b, address)};
  if (cmd == "TERM") {
    bus.locos.erase(it);
    broadcast(102, std::to_string(b) + " GL " + std::to_string(address));
    return {200, "OK"};
  }
  // SET or CHECK: drive mode, speed, maximum speed, functions.
  if (args.size() < 4)
    return {419, ""};
  int direction = loco.direction, speed = 0, maxSpeed = 0;
  if (args[1] != "=")
    if (int e = readNumber(args[1], 0, 2, direction))
      return {e, ""};
  if (int e = readNumber(args[2], 0, 1024, speed))
    return {e, ""};
  if (int e = readNumber(args[3], 0, 1024, maxSpeed))
    return {e, ""};
  if (speed > maxSpeed)
    return {412, ""};
  std::vector<int> functions = loco.functions;
  if (args.size() - 4 > static_cast<std::size_t>(kMaxFunctions))
    return {418, ""};
  for (std::size_t i = 4; i < args.size(); ++i) {
    int f = 0;
    if (int e = readNumber(args[i], 0, 1, f))
      return {e, ""};
    if (i - 4 >= functions.size())
      functions.resize(i - 3, 0);
    functions[i - 4] = f;
  }
  if (cmd == "CHECK")
    return {200, "OK"};
  if (cmd != "SET")
    return {423, ""};
  if (dropForPowerOff(b))
    return {200, "OK"};
  loco.direction = direction;
  loco.speed = direction == 2 ? 0 : speed;
  loco.maxSpeed = maxSpeed;
  loco.functions = functions;
  broadcast(100, layout_.locoDataText(b, address));
  return {200, "OK"};
}

void Srcp082Frontend::switchAccessory(int b, int address, int port, int value) {
  Accessory082 &ga = layout_.bus(b).accessories[address];
  ga.value[static_cast<std::size_t>(port)] = value;
  ga.reported[static_cast<std::size_t>(port)] = true;
  broadcast(100, std::to_string(b) + " GA " + std::to_string(address) + " " + std::to_string(port) + " " +
                     std::to_string(value));
}

Srcp082Frontend::Answer Srcp082Frontend::accessoryCommand(const std::string &cmd, int b,
                                                          const std::vector<std::string_view> &args) {
  Bus082 &bus = layout_.bus(b);
  if (args.empty())
    return {419, ""};
  int address = 0;
  if (int e = readNumber(args[0], 1, 2048, address))
    return {e, ""};
  if (cmd == "INIT" || cmd == "RESET") {
    if (args.size() < 2)
      return {419, ""};
    std::string protocol = upper(args[1]);
    if (protocol != "M" && protocol != "N" && protocol != "P")
      return {420, ""};
    Accessory082 ga;
    ga.protocol = protocol[0];
    bus.accessories[address] = ga;
    broadcast(101, layout_.accessoryInitText(b, address));
    return {200, "OK"};
  }
  auto it = bus.accessories.find(address);
  if (it == bus.accessories.end())
    return {416, ""};
  if (cmd == "TERM") {
    bus.accessories.erase(it);
    std::erase_if(pending_, [&](const PendingSwitchOff &p) { return p.bus == b && p.address == address; });
    broadcast(102, std::to_string(b) + " GA " + std::to_string(address));
    return {200, "OK"};
  }
  if (args.size() < 2)
    return {419, ""};
  int port = 0;
  if (int e = readNumber(args[1], 0, 1, port))
    return {e, ""};
  if (cmd == "GET")
    return {100, "INFO " + std::to_string(b) + " GA " + std::to_string(address) + " " + std::to_string(port) + " " +
                     std::to_string(it->second.value[static_cast<std::size_t>(port)])};
  if (args.size() < 3)
    return {419, ""};
  int value = 0, delay = -1;
  if (int e = readNumber(args[2], 0, 1, value))
    return {e, ""};
  if (args.size() >= 4)
    if (int e = readNumber(args[3], -1, 3600000, delay))
      return {e, ""};
  if (cmd == "CHECK")
    return {200, "OK"};
  if (cmd != "SET")
    return {423, ""};
  if (dropForPowerOff(b))
    return {200, "OK"};
  std::erase_if(pending_,
                [&](const PendingSwitchOff &p) { return p.bus == b && p.address == address && p.port == port; });
  switchAccessory(b, address, port, value);
  if (value == 1 && delay > 0)
    pending_.push_back({nowMs_ + delay, b, address, port});
  return {200, "OK"};
}

Srcp082Frontend::Answer Srcp082Frontend::feedbackCommand(const std::string &cmd, int b,
                                                         const std::vector<std::string_view> &args) {
  Bus082 &bus = layout_.bus(b);
  if (cmd == "INIT") {
    bus.feedbackInitialised = true;
    broadcast(101, std::to_string(b) + " FB");
    return {200, "OK"};
  }
  if (cmd == "TERM") {
    bus.feedbackInitialised = false;
    broadcast(102, std::to_string(b) + " FB");
    return {200, "OK"};
  }
  if (cmd == "RESET") {
    for (std::size_t i = 0; i < bus.contacts.size(); ++i)
      if (bus.contacts[i])
        setFeedback(b, static_cast<int>(i + 1), 0);
    return {200, "OK"};
  }
  if (cmd == "GET" || cmd == "SET") {
    if (args.empty())
      return {419, ""};
    int contact = 0;
    if (int e = readNumber(args[0], 1, kMaxContacts, contact))
      return {e, ""};
    if (cmd == "GET")
      return {100, "INFO " + std::to_string(b) + " FB " + std::to_string(contact) + " " +
                       std::to_string(layout_.contact(b, contact))};
    // SET <bus> FB <contact> <value>: a simulated contact, as if a train had arrived.
    int value = 0;
    if (args.size() < 2)
      return {419, ""};
    if (int e = readNumber(args[1], 0, 1, value))
      return {e, ""};
    setFeedback(b, contact, value);
    return {200, "OK"};
  }
  return {423, ""};
}

Srcp082Frontend::Answer Srcp082Frontend::powerCommand(const std::string &cmd, int b,
                                                      const std::vector<std::string_view> &args) {
  Bus082 &bus = layout_.bus(b);
  if (cmd == "INIT") {
    bus.powerInitialised = true;
    broadcast(101, std::to_string(b) + " POWER");
    return {200, "OK"};
  }
  if (cmd == "TERM") {
    bus.powerInitialised = false;
    bus.powerOn = false;
    broadcast(102, std::to_string(b) + " POWER");
    return {200, "OK"};
  }
  if (cmd == "GET")
    return {100, "INFO " + layout_.powerText(b)};
  if (cmd == "SET" || cmd == "CHECK") {
    if (args.empty())
      return {419, ""};
    std::string word = upper(args[0]);
    if (word != "ON" && word != "OFF")
      return {411, ""};
    if (cmd == "SET")
      setPower(b, word == "ON");
    return {200, "OK"};
  }
  return {423, ""};
}

Srcp082Frontend::Answer Srcp082Frontend::timeCommand(const std::string &cmd, const std::vector<std::string_view> &args) {
  ModelClock &clock = layout_.clock();
  if (cmd == "INIT" || cmd == "RESET") {
    if (args.size() < 2)
      return {419, ""};
    int fx = 0, fy = 0;
    if (int e = readNumber(args[0], 1, 1000, fx))
      return {e, ""};
    if (int e = readNumber(args[1], 1, 1000, fy))
      return {e, ""};
    clock.init(fx, fy, nowMs_);
    broadcast(101, layout_.timeInitText());
    return {200, "OK"};
  }
  if (!clock.initialised())
    return {416, ""};
  if (cmd == "TERM") {
    clock.term();
    broadcast(102, "0 TIME");
    return {200, "OK"};
  }
  if (cmd == "GET") {
    if (!clock.hasTime())
      return {416, ""};
    return {100, "INFO " + layout_.timeDataText(clock.now(nowMs_))};
  }
  if (args.size() < 4)
    return {419, ""};
  ModelTime t;
  if (int e = readNumber(args[0], 0, 100000000, t.julianDay))
    return {e, ""};
  if (int e = readNumber(args[1], 0, 23, t.hour))
    return {e, ""};
  if (int e = readNumber(args[2], 0, 59, t.minute))
    return {e, ""};
  if (int e = readNumber(args[3], 0, 59, t.second))
    return {e, ""};
  if (cmd == "CHECK")
    return {200, "OK"};
  if (cmd != "SET")
    return {423, ""};
  clock.set(t, nowMs_);
  lastReportedMinute_ = clock.minuteStamp(nowMs_);
  broadcast(100, layout_.timeDataText(t));
  return {200, "OK"};
}

Srcp082Frontend::Answer Srcp082Frontend::sessionCommand(ConnId id, const std::string &cmd,
                                                        const std::vector<std::string_view> &args) {
  int own = sessions_[id].number;
  int number = own;
  if (!args.empty())
    if (int e = readNumber(args[0], 0, 1000000000, number))
      return {e, ""};
  ConnId target = 0;
  const Session *found = nullptr;
  for (const auto &[cid, s] : sessions_)
    if (s.number == number && s.mode != Mode::Handshake) {
      target = cid;
      found = &s;
    }
  if (!found)
    return {412, ""};
  if (cmd == "GET")
    return {100, "INFO 0 SESSION " + std::to_string(number) + (found->mode == Mode::Info ? " INFO" : " COMMAND")};
  if (cmd != "TERM")
    return {423, ""};
  if (target == id) {
    reply(id, 200, "OK");
    loop_.closeAfterFlush(id);
    return {0, ""}; // already answered
  }
  loop_.closeAfterFlush(target);
  return {200, "OK"};
}

Srcp082Frontend::Answer Srcp082Frontend::serverCommand(const std::string &cmd) {
  if (cmd == "GET")
    return {100, "INFO 0 SERVER RUNNING"};
  if (cmd == "RESET") {
    layout_.reset();
    pending_.clear();
    for (int b = 0; b < kBusCount; ++b)
      if (layout_.bus(b).has("POWER"))
        broadcast(100, layout_.powerText(b));
    return {200, "OK"};
  }
  if (cmd == "TERM")
    return {415, ""};
  return {423, ""};
}

Srcp082Frontend::Answer Srcp082Frontend::descriptionCommand(const std::string &cmd, int b,
                                                            const std::vector<std::string_view> &args) {
  if (cmd != "GET")
    return {423, ""};
  if (args.empty())
    return {100, "INFO " + layout_.descriptionText(b)};
  std::string group = upper(args[0]);
  if (args.size() < 2)
    return {419, ""};
  int address = 0;
  if (int e = readNumber(args[1], 1, 10239, address))
    return {e, ""};
  const Bus082 &bus = layout_.bus(b);
  if (group == "GL" && bus.locos.count(address))
    return {101, "INFO " + layout_.locoInitText(b, address)};
  if (group == "GA" && bus.accessories.count(address))
    return {101, "INFO " + layout_.accessoryInitText(b, address)};
  if (!isGroupWord(group))
    return {421, ""};
  if (!bus.has(group))
    return {422, ""};
  return {416, ""};
}

Srcp082Frontend::Answer Srcp082Frontend::serviceModeCommand(ConnId id, const std::string &cmd, int bus,
                                                            const std::vector<std::string_view> &args) {
  if (serviceMode_.silent() && cmd != "INIT")
    return {0, ""}; // read, never answered
  ServiceMode::Result r = serviceMode_.command(cmd, args);
  const std::string info = r.code == 100 ? std::to_string(bus) + " SM " + r.infoText : std::string();
  Answer a{r.code, r.code == 100 ? "INFO " + info : std::string(r.code < 400 ? "OK" : "")};
  if (r.durationMs <= 0)
    return a;
  answers_.push_back({nowMs_ + r.durationMs, id, a, info});
  return {0, ""};
}

void Srcp082Frontend::setServiceModeFault(std::string_view fault, bool on) {
  if (fault == "noloco")
    serviceMode_.setNoLoco(on);
  else if (fault == "noack")
    serviceMode_.setNoAck(on);
  else if (fault == "silent")
    serviceMode_.setSilent(on);
}

void Srcp082Frontend::tick(double nowMs) {
  nowMs_ = nowMs;
  if (!answers_.empty() && !muted_) {
    std::vector<PendingAnswer> due;
    std::erase_if(answers_, [&](const PendingAnswer &p) {
      if (p.dueMs > nowMs)
        return false;
      due.push_back(p);
      return true;
    });
    for (const auto &p : due) {
      if (!sessions_.count(p.id))
        continue; // the client left meanwhile
      answer(p.id, p.answer);
      if (!p.info.empty())
        broadcast(100, p.info);
    }
  }
  if (!pending_.empty()) {
    std::vector<PendingSwitchOff> due;
    std::erase_if(pending_, [&](const PendingSwitchOff &p) {
      if (p.dueMs > nowMs)
        return false;
      due.push_back(p);
      return true;
    });
    for (const auto &p : due)
      if (layout_.bus(p.bus).accessories.count(p.address))
        switchAccessory(p.bus, p.address, p.port, 0);
  }
  const ModelClock &clock = layout_.clock();
  if (clock.initialised() && clock.hasTime()) {
    auto minute = clock.minuteStamp(nowMs);
    if (minute != lastReportedMinute_) {
      lastReportedMinute_ = minute;
      broadcast(100, layout_.timeDataText(clock.now(nowMs)));
    }
  }
}

void Srcp082Frontend::setFeedback(int bus, int contact, int value) {
  if (bus < 0 || bus >= kBusCount || !layout_.bus(bus).has("FB"))
    return;
  if (layout_.setContact(bus, contact, value))
    broadcast(100, std::to_string(bus) + " FB " + std::to_string(contact) + " " + std::to_string(value ? 1 : 0));
}

void Srcp082Frontend::setPower(int bus, bool on) {
  if (bus < 0 || bus >= kBusCount || !layout_.bus(bus).has("POWER"))
    return;
  layout_.bus(bus).powerOn = on;
  broadcast(100, layout_.powerText(bus));
}

void Srcp082Frontend::restart() {
  std::vector<std::vector<std::uint8_t>> contacts;
  for (int b = 0; b < kBusCount; ++b)
    contacts.push_back(layout_.bus(b).contacts);
  layout_.reset();
  for (int b = 0; b < kBusCount; ++b)
    if (layout_.bus(b).has("FB"))
      layout_.bus(b).contacts = contacts[static_cast<std::size_t>(b)];
  pending_.clear();
  answers_.clear();
  serviceMode_.command("TERM", {}); // out of service mode; the decoder on the track keeps its CVs
  muted_ = false;
  lastReportedMinute_ = -1;
}

DemoDrive Srcp082Frontend::demoDrive() const {
  DemoDrive drive;
  for (int b = 0; b < kBusCount; ++b)
    for (const auto &[address, loco] : layout_.bus(b).locos) {
      if (loco.direction == 2 || loco.speed <= 0 || loco.maxSpeed <= 0)
        continue;
      double fraction = static_cast<double>(loco.speed) / loco.maxSpeed;
      if (fraction > drive.speedFraction) {
        drive.speedFraction = fraction;
        drive.forward = loco.direction != 0;
      }
    }
  return drive;
}

} // namespace srcpsim
