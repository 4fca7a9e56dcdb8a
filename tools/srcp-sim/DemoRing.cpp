#include "DemoRing.h"

namespace srcpsim {

DemoRing::DemoRing(Frontend &frontend, std::vector<int> contacts, double fullSpeedStepMs, double idleSpeedFraction)
    : frontend_(frontend), contacts_(std::move(contacts)), fullSpeedStepMs_(fullSpeedStepMs),
      idleSpeedFraction_(idleSpeedFraction) {}

void DemoRing::tick(double nowMs) {
  if (lastMs_ < 0)
    lastMs_ = nowMs;
  double elapsed = nowMs - lastMs_;
  lastMs_ = nowMs;
  if (contacts_.empty())
    return;
  DemoDrive drive = frontend_.demoDrive();
  if (drive.speedFraction <= 0) {
    drive.speedFraction = idleSpeedFraction_;
    drive.forward = true;
  }
  if (drive.speedFraction <= 0)
    return;
  progress_ += elapsed * drive.speedFraction / fullSpeedStepMs_;
  if (progress_ > 2)
    progress_ = 2; // after a stall, move on at most two contacts at once
  int n = static_cast<int>(contacts_.size());
  int bus = frontend_.demoFeedbackBus();
  while (progress_ >= 1) {
    progress_ -= 1;
    int next = position_ < 0 ? 0 : (position_ + (drive.forward ? 1 : n - 1)) % n;
    frontend_.setFeedback(bus, contacts_[static_cast<std::size_t>(next)], 1);
    if (position_ >= 0 && contacts_[static_cast<std::size_t>(position_)] != contacts_[static_cast<std::size_t>(next)])
      frontend_.setFeedback(bus, contacts_[static_cast<std::size_t>(position_)], 0);
    position_ = next;
  }
}

} // namespace srcpsim
