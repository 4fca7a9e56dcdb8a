#pragma once
// A game controller that exists only in software (SDL's virtual joystick): three axes (X, Y, Z) and
// four buttons. The tests drive the joystick throttles with it, and QUARN_VIRTUAL_JOYSTICKS plugs
// such controllers into the running program (see attachFromEnvironment).

#include <QString>

#include <memory>
#include <vector>

struct _SDL_Joystick;

class VirtualJoystick {
public:
    explicit VirtualJoystick(const QString& name = QStringLiteral("Quarn virtual controller"));
    ~VirtualJoystick();
    VirtualJoystick(const VirtualJoystick&) = delete;
    VirtualJoystick& operator=(const VirtualJoystick&) = delete;

    bool attached() const { return m_handle != nullptr; }
    // axis 0 = X, 1 = Y, 2 = Z; value -32768 .. 32767.
    void setAxis(int axis, int value);
    // button 0 .. 3.
    void setButton(int button, bool pressed);
    // Pulls the controller out (also done by the destructor).
    void detach();

    // Plugs in the controllers described by the environment variable QUARN_VIRTUAL_JOYSTICKS:
    // one description per controller, separated by ";", each a comma-separated list of "x=<v>",
    // "y=<v>", "z=<v>" (axis values -32768 .. 32767) and "b1" .. "b4" (button held), e.g.
    // "y=-16000,b2;y=8000". An empty description plugs in a controller at rest.
    static std::vector<std::unique_ptr<VirtualJoystick>> attachFromEnvironment();

private:
    int m_instance = -1;
    _SDL_Joystick* m_handle = nullptr;
    bool m_started = false;
};
