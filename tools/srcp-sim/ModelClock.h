#pragma once
// The layout's model time: set to a day and time of day, it runs at fx/fy times real time.

#include <cstdint>

namespace srcpsim {

struct ModelTime {
  int julianDay = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

class ModelClock {
public:
  // INIT: speed factor; resets nothing else.
  void init(int fx, int fy, double nowMs);
  void term();
  void set(const ModelTime &t, double nowMs);
  bool initialised() const { return initialised_; }
  bool hasTime() const { return hasTime_; }
  int fx() const { return fx_; }
  int fy() const { return fy_; }
  ModelTime now(double nowMs) const;
  // Model minute count at `nowMs` (day * 1440 + minute of day); used to report each new minute.
  std::int64_t minuteStamp(double nowMs) const;

private:
  double modelMs(double nowMs) const;
  bool initialised_ = false;
  bool hasTime_ = false;
  int fx_ = 1;
  int fy_ = 1;
  double baseModelMs_ = 0; // model milliseconds since day 0 at `baseRealMs_`
  double baseRealMs_ = 0;
};

} // namespace srcpsim
