#pragma once
// A loco's drive state as the server reports it, whoever drove the loco, and the arithmetic that
// puts a reported speed on a regulator. The server speaks of a speed on its own scale (SRCP 0.8:
// the speed step V of V_max steps; SRCP 0.7.3: the speed of the sender's maximum); a regulator's
// slider runs from 0 to the loco record's own maximum.

#include <QString>

#include <vector>

struct DriveReport {
    QString protocol;  // SRCP 0.7.3: the protocol code ("M2", "N1", ...); SRCP 0.8: empty
    int bus = -1;      // SRCP 0.8: the loco's bus; SRCP 0.7.3: -1
    int address = 0;
    int direction = 0;      // 1 forward, 0 backwards, -1: as it was (SRCP 0.8 emergency stop)
    int speed = 0;          // on the scale 0 .. speedMax
    int speedMax = 0;       // 0 or less: the speed is on the loco record's own scale already
    int steps = 0;          // the decoder's speed steps, when known; 0: not known
    std::vector<int> functions;  // F0, F1, ..., Fn: 1 on, 0 off
};

// `speed` of 0..`speedMax` on the scale 0..`ownMax`, rounded to the nearest (halves up) and
// limited to that scale. A `speedMax` of 0 or less leaves the speed as it is (limited).
int speedOnScale(int speed, int speedMax, int ownMax);

// Speed `a` of 0..`aMax` and speed `b` of 0..`bMax` drive a decoder of `steps` speed steps alike.
// Without known steps (0 or less) they are compared on the scale of `b`.
bool sameDecoderSpeed(int a, int aMax, int b, int bMax, int steps);
