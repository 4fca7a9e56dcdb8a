#pragma once
// What the socket loop asks of a protocol front end. All calls come from the loop thread.

#include <cstdint>
#include <string_view>

namespace srcpsim {

using ConnId = std::uint64_t;

// The loco that drives the demo ring: how fast (0 = standing, 1 = full speed) and which way.
struct DemoDrive {
  double speedFraction = 0.0;
  bool forward = true;
};

class Frontend {
public:
  virtual ~Frontend() = default;
  // A client connected to listener `listenerIndex` (the order in which the listeners were opened).
  virtual void opened(ConnId id, int listenerIndex) = 0;
  // One complete line, without its LF or CR LF.
  virtual void received(ConnId id, std::string_view line) = 0;
  // A line longer than the limit arrived; its bytes up to the next LF are discarded.
  virtual void overlong(ConnId id) = 0;
  virtual void closed(ConnId id) = 0;
  // Called often (at least every few ms while idle); `nowMs` is milliseconds since start.
  virtual void tick(double nowMs) = 0;

  // Control interface (standard input, demo).
  virtual void setFeedback(int bus, int contact, int value) = 0;
  virtual void setPower(int bus, bool on) = 0;
  // While muted, command lines are received (and logged) but never answered.
  virtual void setMuted(bool) {}
  // The server restarts (its clients are gone already): it comes up as it does after power-up,
  // every bus off, no locos or accessories known; feedback contacts keep what the track reports.
  virtual void restart() {}
  // The programming track (0.8.2): "noloco" (no loco on it) or "noack" (the decoder never
  // acknowledges) switched on or off, and how long one read and one write take.
  virtual void setServiceModeFault(std::string_view, bool) {}
  virtual void setServiceModeTiming(double, double) {}
  virtual DemoDrive demoDrive() const = 0;
  // The bus whose feedback contacts the demo ring drives.
  virtual int demoFeedbackBus() const = 0;
};

} // namespace srcpsim
