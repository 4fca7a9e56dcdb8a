#pragma once
// The demo layout: a train runs round a ring of feedback contacts. The fastest loco that is driven
// sets its pace and direction; it occupies the next contact, then frees the one it left.

#include "Frontend.h"

#include <vector>

namespace srcpsim {

class DemoRing {
public:
  // `fullSpeedStepMs`: time from one contact to the next at full speed. `idleSpeedFraction`: the
  // train's speed (forward) while no loco is running; 0 stops it.
  DemoRing(Frontend &frontend, std::vector<int> contacts, double fullSpeedStepMs, double idleSpeedFraction = 0);
  void tick(double nowMs);

private:
  Frontend &frontend_;
  std::vector<int> contacts_;
  double fullSpeedStepMs_;
  double idleSpeedFraction_;
  int position_ = -1; // index into contacts_, -1 before the first move
  double progress_ = 0;
  double lastMs_ = -1;
};

} // namespace srcpsim
