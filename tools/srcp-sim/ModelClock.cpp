#include "ModelClock.h"

#include <cmath>

namespace srcpsim {

namespace {
constexpr double kDayMs = 86400.0 * 1000.0;
}

double ModelClock::modelMs(double nowMs) const {
  return baseModelMs_ + (nowMs - baseRealMs_) * fx_ / fy_;
}

void ModelClock::init(int fx, int fy, double nowMs) {
  if (hasTime_) {
    baseModelMs_ = modelMs(nowMs);
    baseRealMs_ = nowMs;
  }
  fx_ = fx;
  fy_ = fy;
  initialised_ = true;
}

void ModelClock::term() {
  initialised_ = false;
  hasTime_ = false;
}

void ModelClock::set(const ModelTime &t, double nowMs) {
  baseModelMs_ = t.julianDay * kDayMs + ((t.hour * 60.0 + t.minute) * 60.0 + t.second) * 1000.0;
  baseRealMs_ = nowMs;
  hasTime_ = true;
}

ModelTime ModelClock::now(double nowMs) const {
  double ms = modelMs(nowMs);
  double day = std::floor(ms / kDayMs);
  auto secondsOfDay = static_cast<long long>((ms - day * kDayMs) / 1000.0);
  ModelTime t;
  t.julianDay = static_cast<int>(day);
  t.hour = static_cast<int>(secondsOfDay / 3600);
  t.minute = static_cast<int>(secondsOfDay / 60 % 60);
  t.second = static_cast<int>(secondsOfDay % 60);
  return t;
}

std::int64_t ModelClock::minuteStamp(double nowMs) const {
  return static_cast<std::int64_t>(std::floor(modelMs(nowMs) / 60000.0));
}

} // namespace srcpsim
