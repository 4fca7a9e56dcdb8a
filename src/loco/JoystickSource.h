#pragma once
// What the joystick throttles read from the game controllers, whatever library delivers it: up to
// two controllers with two axes and four buttons each (two-controller module), or the first
// controller's raw Y and Z axes and button word (one-controller module), and the news that a
// controller was plugged in or pulled out.

#include <QString>

#include <vector>

// One reading of one controller. Axes -100 .. 100 (negative Y = stick pushed forward), buttons 0
// (released) or 128 (pressed).
struct TJoyData {
    int Button1 = 0, Button2 = 0, Button3 = 0, Button4 = 0;
    int Joy_x = 0;
    int Joy_y = 0;
};

// One reading of the first controller for the one-controller module: raw axis values 0 .. 65535
// (32768 at rest) and the button word (bit 0 = button 1 .. bit 3 = button 4).
struct JoyWinData {
    unsigned Buttons = 0;
    int Ypos = 0;
    int Zpos = 0;
};

class JoystickSource {
public:
    virtual ~JoystickSource() = default;

    // Opens up to two controllers. 0 success; 1 the controller service could not be started;
    // 2 no controller attached.
    virtual int Joy_init() = 0;
    // Controllers open now (0 .. 2).
    virtual int getNrOfJoysticks() const = 0;
    // Reads controller 1 or 2 into `data` (cleared first). 0 success; 1 that controller is not open
    // (data stays all 0).
    virtual int GetInput(int nr, TJoyData& data) = 0;
    // Reads the first controller for the one-controller module. 0 success, non-zero when there is
    // none (data stays all 0).
    virtual int GetWinInput(JoyWinData& data) = 0;
    // Takes in controllers plugged in or pulled out since the last call: a pulled controller is
    // closed, a new one takes a free place of the two. Returns true when anything changed.
    virtual bool updateDevices() = 0;
    // Name of controller 1 or 2 (empty when not open).
    virtual QString name(int nr) const = 0;
};
