#include "loco/TJoystick.h"

#include <SDL.h>

TJoystick* Joystick = nullptr;

TJoystick::TJoystick()
{
    // The program has its own handlers for Ctrl+C and the end of the session.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // Controllers are read when the timers ask, also while another window has the focus.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    m_started = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
    if (!m_started)
        return;
    // Axis and button values are read directly; only the plug and pull news go through the queue.
    for (Uint32 type : {SDL_JOYAXISMOTION, SDL_JOYBALLMOTION, SDL_JOYHATMOTION, SDL_JOYBUTTONDOWN,
                        SDL_JOYBUTTONUP, SDL_JOYBATTERYUPDATED})
        SDL_EventState(type, SDL_IGNORE);
}

TJoystick::~TJoystick()
{
    closeAll();
    if (m_started)
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    if (Joystick == this)
        Joystick = nullptr;
}

void TJoystick::closeAll()
{
    for (SDL_Joystick*& j : m_dev) {
        if (j)
            SDL_JoystickClose(j);
        j = nullptr;
    }
    Isinitialized = false;
}

int TJoystick::scaleAxis(int raw)
{
    if (raw < 0)
        return raw * 100 / 32768;
    return raw * 100 / 32767;
}

bool TJoystick::openFree()
{
    bool changed = false;
    const int n = SDL_NumJoysticks();
    for (int i = 0; i < n; ++i) {
        const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(i);
        bool open = false;
        for (SDL_Joystick* j : m_dev)
            open = open || (j && SDL_JoystickInstanceID(j) == id);
        if (open)
            continue;
        for (SDL_Joystick*& j : m_dev) {
            if (j)
                continue;
            j = SDL_JoystickOpen(i);
            changed = changed || j != nullptr;
            break;
        }
    }
    return changed;
}

bool TJoystick::updateDevices()
{
    if (!m_started)
        return false;
    SDL_JoystickUpdate();
    SDL_PumpEvents();
    SDL_Event events[16];
    int news = 0;
    int got = 0;
    while ((got = SDL_PeepEvents(events, 16, SDL_GETEVENT, SDL_JOYDEVICEADDED, SDL_JOYDEVICEREMOVED)) > 0)
        news += got;
    // Nothing else of the library is used: keep its queue empty.
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

    bool changed = false;
    for (SDL_Joystick*& j : m_dev) {
        if (j && !SDL_JoystickGetAttached(j)) {
            SDL_JoystickClose(j);
            j = nullptr;
            changed = true;
        }
    }
    // A controller that the library knows but that is not open yet (also one whose news came
    // before this wrapper started).
    if (news > 0 || changed || getNrOfJoysticks() < 2)
        changed = openFree() || changed;
    Isinitialized = getNrOfJoysticks() > 0;
    return changed;
}

int TJoystick::Joy_init()
{
    if (!m_started)
        return 1;
    updateDevices();
    return Isinitialized ? 0 : 2;
}

int TJoystick::getNrOfJoysticks() const
{
    int n = 0;
    for (SDL_Joystick* j : m_dev)
        n += j ? 1 : 0;
    return n;
}

int TJoystick::GetInput(int nr, TJoyData& data)
{
    data = TJoyData{};
    if (!Isinitialized || nr < 1 || nr > 2)
        return 1;
    SDL_Joystick* j = m_dev[static_cast<std::size_t>(nr - 1)];
    if (!j || !SDL_JoystickGetAttached(j))
        return 1;
    SDL_JoystickUpdate();
    if (!SDL_JoystickGetAttached(j))
        return 1;
    const auto button = [j](int b) { return SDL_JoystickGetButton(j, b) ? 128 : 0; };
    data.Button1 = button(0);
    data.Button2 = button(1);
    data.Button3 = button(2);
    data.Button4 = button(3);
    data.Joy_x = scaleAxis(SDL_JoystickGetAxis(j, 0));
    data.Joy_y = scaleAxis(SDL_JoystickGetAxis(j, 1));
    return 0;
}

SDL_Joystick* TJoystick::first() const
{
    for (SDL_Joystick* j : m_dev)
        if (j)
            return j;
    return nullptr;
}

int TJoystick::GetWinInput(JoyWinData& data)
{
    data = JoyWinData{};
    SDL_Joystick* j = first();
    if (!j)
        return 1;
    SDL_JoystickUpdate();
    if (!SDL_JoystickGetAttached(j))
        return 1;
    for (int b = 0; b < 4; ++b)
        if (SDL_JoystickGetButton(j, b))
            data.Buttons |= 1u << b;
    // A missing axis reads as at rest.
    data.Ypos = SDL_JoystickGetAxis(j, 1) + 32768;
    data.Zpos = SDL_JoystickGetAxis(j, 2) + 32768;
    return 0;
}

QString TJoystick::name(int nr) const
{
    if (nr < 1 || nr > 2)
        return {};
    SDL_Joystick* j = m_dev[static_cast<std::size_t>(nr - 1)];
    const char* n = j ? SDL_JoystickName(j) : nullptr;
    return n ? QString::fromUtf8(n) : QString();
}
