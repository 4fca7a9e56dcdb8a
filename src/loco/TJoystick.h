#pragma once
// The game controllers through SDL's joystick API (the real JoystickSource of the program). Up to
// two controllers are kept open in two places; a controller that is pulled out frees its place, one
// plugged in takes the first free place, so joystick 2 stays joystick 2 when joystick 1 is pulled.

#include "loco/JoystickSource.h"

#include <array>

struct _SDL_Joystick;

class TJoystick : public JoystickSource {
public:
    TJoystick();
    ~TJoystick() override;
    TJoystick(const TJoystick&) = delete;
    TJoystick& operator=(const TJoystick&) = delete;

    // The controller service started (SDL's joystick subsystem).
    bool available() const { return m_started; }

    int Joy_init() override;
    int getNrOfJoysticks() const override;
    int GetInput(int nr, TJoyData& data) override;
    int GetWinInput(JoyWinData& data) override;
    bool updateDevices() override;
    QString name(int nr) const override;

    // Axis value of the library (-32768 .. 32767) to -100 .. 100.
    static int scaleAxis(int raw);

private:
    void closeAll();
    bool openFree();   // opens attached controllers not yet open into free places
    _SDL_Joystick* first() const;

    bool m_started = false;
    std::array<_SDL_Joystick*, 2> m_dev{};
    bool Isinitialized = false;
};

extern TJoystick* Joystick;
