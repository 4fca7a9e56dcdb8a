#pragma once
// SRCP 0.7.3 on three ports: commands (listener 0), feedback (listener 1) and information (listener 2).
// Command lines are taken as the client writes them; anything not understood is ignored silently.

#include "EventLoop.h"
#include "Frontend.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace srcpsim {

class Srcp073Frontend : public Frontend {
public:
  enum Port { CommandPort = 0, FeedbackPort = 1, InfoPort = 2 };

  Srcp073Frontend(EventLoop &loop, int feedbackContacts, bool feedbackOnCommandPort);

  void opened(ConnId id, int listenerIndex) override;
  void received(ConnId id, std::string_view line) override;
  void overlong(ConnId) override {} // dropped, as any line this server does not understand
  void closed(ConnId id) override { ports_.erase(id); }
  void tick(double nowMs) override;

  void setFeedback(int bus, int contact, int value) override;
  void setPower(int bus, bool on) override;
  void restart() override;
  DemoDrive demoDrive() const override;
  int demoFeedbackBus() const override { return 1; }

private:
  struct Loco {
    std::string code;
    int address = 0;
    int direction = 1;
    int speed = 0;
    int maxSpeed = 0;
    std::vector<int> rest; // f0, n, f1..fn
  };
  struct PendingSwitchOff {
    double dueMs;
    std::string device; // "M 16 1"
  };

  void command(ConnId id, std::string_view line);
  void setAccessory(const std::vector<std::string_view> &w);
  void setLoco(const std::vector<std::string_view> &w);
  void answerGet(ConnId id, const std::vector<std::string_view> &w);
  void sendTo(Port port, const std::string &line);
  std::string locoText(const Loco &l) const;
  std::string allContacts() const;

  EventLoop &loop_;
  bool feedbackOnCommandPort_;
  std::map<ConnId, Port> ports_;
  bool powerOn_ = false;
  std::map<std::string, int> accessories_; // "M 16 1" -> value
  std::map<int, Loco> locos_;
  std::vector<int> contacts_;
  std::vector<PendingSwitchOff> pending_;
  double nowMs_ = 0;
  std::vector<std::string_view> words_; // the words of the line being carried out
};

} // namespace srcpsim
