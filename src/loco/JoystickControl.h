#pragma once
// The joystick throttles without their widgets: binding joystick 1 and 2 to a regulator ("Joystick1"
// / "Joystick 2", then a regulator's direction button), the four button pictures of each joystick
// and their actions (direction, F0, the two functions chosen per loco), and what one tick of the
// polling timer does: take in controllers plugged in or pulled out, read the stick into the bound
// regulator's slider and fire the pressed buttons.
//
// Two modules (Joy_Mode): 0 reads up to two controllers, each its own joystick, every joystick every
// second tick of a 50 ms timer; 1 reads the first controller every 200 ms, its Y axis and buttons 1,
// 2 serving joystick 1 and its Z axis and buttons 3, 4 joystick 2.

#include <QImage>
#include <QString>

#include <array>
#include <functional>

struct AppState;
class JoystickSource;
class LocoCommand;
class LocoIcons;
class ThrottleModel;
class TLok;
class UserDialogs;

struct JoyView {
    bool ButtonVisible = false;        // "Joystick1" / "Joystick 2"
    QString Joylabel;                  // "Controler <n>" while bound
    std::array<QString, 4> Icon;       // file names of the four button pictures; empty = cleared
    std::array<QImage, 4> Image;
};

class JoystickControl {
public:
    static constexpr int DxInterval = 50;    // ms, module 0
    static constexpr int WinInterval = 200;  // ms, module 1

    JoystickControl(AppState& main, TLok& lok, ThrottleModel& throttles, LocoCommand& command, LocoIcons& icons,
                    UserDialogs& dialogs, JoystickSource& source);

    // Hooks, all optional.
    std::function<void(int joy)> changed;            // redraw joystick 1 / 2 (0: both)
    std::function<void(const QString&)> statusText;  // third panel of the status bar
    std::function<void(const QString&)> debugLine;
    std::function<QString(int id)> message;
    std::function<void()> saveParameters;             // after a damaged function code reset the table
    std::function<void(int ms)> setPolling;           // polling timer interval; 0 stops it

    const JoyView& view(int joy) const { return m_view[static_cast<std::size_t>(joy - 1)]; }
    int pollInterval() const { return m_interval; }
    bool Joysetup = false;

    // Start-up and after the settings dialog: starts the module chosen by Joy_Mode.
    void Joyinitsetup();
    // Module 1: looks for the first controller; true when there is one.
    bool JoyWinSetup();

    // "Joystick1" / "Joystick 2": the next regulator button binds that joystick. A right click
    // unbinds it.
    void ButtonClick(int joy);
    void ButtonRightClick(int joy);
    // Offers regulator Device to a joystick waiting for a binding (before its direction switch).
    void setupjoybuttons(int Device);
    void loadjoypics(int joy, int nr);
    // Button k (1..4) of joystick joy, from the controller or a click on its picture.
    void funcPicClick(int joy, int k);
    void searchAndClickPics(const QString& Fname, int loknr);

    // One tick of the polling timer.
    void JoyTimerTimer();
    // Takes in controllers plugged in or pulled out and shows the news (part of the tick).
    void checkDevices();
    // Shows or hides "Joystick1" and "Joystick 2".
    void setButtonsVisible(bool visible);
    // Module 1 reading (part of the tick).
    void JoyMove();
    // The slider position for stick value y (-100 .. 100) with scale `faktor` (module 0).
    static int stickPosition(int y, int faktor);

    void stopPolling();
    void startPolling();
    // Message `id` in the current language (a few English texts without the table).
    QString text(int id) const;

private:
    int& con(int joy);
    int& loknr(int joy);
    int& faktor(int joy);
    bool& waiting(int joy);
    JoyView& v(int joy) { return m_view[static_cast<std::size_t>(joy - 1)]; }
    void readDx(int joy);
    void devicesChanged();
    void showFound(int count);
    void setPic(int joy, int k, const QString& file);
    QString lookup(int nr, int code);  // the icon of loco nr's code
    void debug(const QString& line);
    void notify(int joy);
    void setInterval(int ms);

    AppState& m_main;
    TLok& m_lok;
    ThrottleModel& m_throttles;
    LocoCommand& m_command;
    LocoIcons& m_icons;
    UserDialogs& m_dialogs;
    JoystickSource& m_source;
    std::array<JoyView, 2> m_view;
    std::array<std::array<int, 4>, 2> m_code{};  // function code each button picture shows
    std::array<int, 2> m_buttonpressed{};          // debounce counters Joy1buttonpressed, Joy2buttonpressed
    bool StickChanged = false;
    // Two-controller module: the slider position each stick asked for last (-1: none since binding).
    // The slider follows a stick that moves, and a resting stick leaves the slider where the keys,
    // the mouse or an emergency stop put it.
    std::array<int, 2> m_lastStick{-1, -1};
    unsigned m_lastWord = 0;                        // module 1: button word of the last reading
    int m_interval = 0;
    int m_wanted = 0;                               // interval of the running module
};
