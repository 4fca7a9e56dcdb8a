#pragma once
// SRCP 0.8.2 on one port: welcome, handshake, command sessions (one answer per line) and info
// sessions (every change as an INFO line).

#include "EventLoop.h"
#include "Frontend.h"
#include "ServiceMode.h"
#include "Srcp082Layout.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace srcpsim {

class Srcp082Frontend : public Frontend {
public:
  // `srcpd`: greet like a current srcpd, describe bus 1 as it does, and acknowledge but drop a SET GL
  // or SET GA on a bus whose power is off. `lastBus`: the highest bus that exists (1 to 8).
  Srcp082Frontend(EventLoop &loop, int feedbackContacts, bool srcpd = false, int lastBus = kBusCount - 1);

  void opened(ConnId id, int listenerIndex) override;
  void received(ConnId id, std::string_view line) override;
  void overlong(ConnId id) override;
  void closed(ConnId id) override;
  void tick(double nowMs) override;

  void setFeedback(int bus, int contact, int value) override;
  void setPower(int bus, bool on) override;
  void setMuted(bool muted) override { muted_ = muted; }
  void restart() override;
  void setServiceModeFault(std::string_view fault, bool on) override;
  void setServiceModeTiming(double readMs, double writeMs) override { serviceMode_.setTiming(readMs, writeMs); }
  DemoDrive demoDrive() const override;
  int demoFeedbackBus() const override { return layout_.bus(8).has("FB") ? 8 : 1; }

private:
  enum class Mode { Handshake, Command, Info };
  struct Session {
    int number = 0;
    Mode mode = Mode::Handshake;
    bool wantsInfo = false;
  };
  // One answer to a command: a code and the text after it ("OK", "ERROR ...", "INFO ...").
  struct Answer {
    int code;
    std::string text;
  };
  struct PendingSwitchOff {
    double dueMs;
    int bus;
    int address;
    int port;
  };

  // An answer that the programming track gives only when its operation has taken its time.
  struct PendingAnswer {
    double dueMs;
    ConnId id;
    Answer answer;
    std::string info; // also told to the info sessions, after "INFO "
  };

  void handshake(ConnId id, Session &s, const std::vector<std::string_view> &words);
  Answer command(ConnId id, const std::vector<std::string_view> &words);
  Answer locoCommand(const std::string &cmd, int bus, const std::vector<std::string_view> &args);
  Answer accessoryCommand(const std::string &cmd, int bus, const std::vector<std::string_view> &args);
  Answer feedbackCommand(const std::string &cmd, int bus, const std::vector<std::string_view> &args);
  Answer powerCommand(const std::string &cmd, int bus, const std::vector<std::string_view> &args);
  Answer timeCommand(const std::string &cmd, const std::vector<std::string_view> &args);
  Answer sessionCommand(ConnId id, const std::string &cmd, const std::vector<std::string_view> &args);
  Answer serverCommand(const std::string &cmd);
  Answer serviceModeCommand(ConnId id, const std::string &cmd, int bus, const std::vector<std::string_view> &args);
  void answer(ConnId id, const Answer &a);
  Answer descriptionCommand(const std::string &cmd, int bus, const std::vector<std::string_view> &args);

  // The answer line: time stamp, code, `text` and `more` (a text in two pieces needs no temporary).
  void reply(ConnId id, int code, std::string_view text, std::string_view more = {});
  void replyError(ConnId id, int code);
  void broadcast(int code, const std::string &infoText);
  void sendState(ConnId id);
  void switchAccessory(int bus, int address, int port, int value);
  // srcpd: a SET on a bus without power is acknowledged and forgotten; logged as dropped ("D").
  bool dropForPowerOff(int bus);
  std::optional<Session *> session(ConnId id);

  EventLoop &loop_;
  Srcp082Layout layout_;
  std::map<ConnId, Session> sessions_;
  int nextSession_ = 1;
  std::vector<PendingSwitchOff> pending_;
  ServiceMode serviceMode_;
  std::vector<PendingAnswer> answers_;
  double nowMs_ = 0;
  std::vector<std::string_view> words_; // the words of the line being answered
  std::vector<std::string_view> args_;  // the words after the group
  std::string line_;                    // the answer being built
  bool srcpd_ = false;
  ConnId current_ = 0; // the connection whose command is being carried out
  bool muted_ = false;
  std::int64_t lastReportedMinute_ = -1;
};

// Time stamp of an answer line: seconds since the epoch with three decimals.
std::string srcpTimeStamp();
// Appends the same text to `out`.
void appendSrcpTimeStamp(std::string &out);

} // namespace srcpsim
