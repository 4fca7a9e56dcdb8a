// The joystick throttles driven through SDL's joystick layer with software controllers
// (VirtualJoystick): the controller wrapper, binding, the stick-to-slider mapping, the button
// actions and their debounce, the one-controller module and controllers pulled out mid-drive.

#include "LocoTestSupport.h"

#include "app/SetupModel.h"
#include "loco/JoystickControl.h"
#include "loco/TJoystick.h"
#include "loco/VirtualJoystick.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// No display is needed: the library's video part is never started, and would be a dummy.
const bool kDummyVideo = qputenv("SDL_VIDEODRIVER", "dummy");

struct JoyFixture : ThrottleFixture {
    JoyFixture()
    {
        control.statusText = [this](const QString& t) { status = t; };
        control.setPolling = [this](int ms) { interval = ms; };
        model.setupjoybuttons = [this](int Device) { control.setupjoybuttons(Device); };
        main.Joy_Mode = 0;
        main.Joy1faktor = main.Joy2faktor = 100;
        model.setupAll();
    }
    // "Joystick<joy>", then the direction button of regulator Device + 1.
    void bind(int joy, int Device)
    {
        control.ButtonClick(joy);
        model.SpeedButton1Click(Device);
    }
    void ticks(int n)
    {
        for (int i = 0; i < n; ++i)
            control.JoyTimerTimer();
    }
    void makeFunctionLoco(int nr)
    {
        lok.set_protocol(nr, "M2");
        lok.set_nrof(nr, 4);
        lok.set_direction(nr, 1);
        Dekod_Funcs f{};
        f[0] = 1;
        f[2] = 2;  // horn
        f[3] = 5;  // head lights
        lok.set_F(nr, f);
        lok.set_jb3(nr, 12);
        lok.set_jb3func(nr, "F2");
        lok.set_jb4(nr, 0);
        lok.set_jb4func(nr, "keine");
    }

    TJoystick joystick;
    JoystickControl control{main, lok, model, command, icons, dialogs, joystick};
    QString status;
    int interval = -1;
};

}  // namespace

TEST(TJoystick, ReadsVirtualControllersAndFollowsPlugAndPull)
{
    TJoystick j;
    ASSERT_TRUE(j.available());
    EXPECT_EQ(j.Joy_init(), 2) << "no controller";
    TJoyData d;
    d.Joy_y = 7;
    EXPECT_EQ(j.GetInput(1, d), 1);
    EXPECT_EQ(d.Joy_y, 0) << "cleared";

    auto first = std::make_unique<VirtualJoystick>();
    ASSERT_TRUE(first->attached());
    ASSERT_EQ(j.Joy_init(), 0);
    EXPECT_EQ(j.getNrOfJoysticks(), 1);
    EXPECT_EQ(j.GetInput(2, d), 1) << "only one controller";

    const struct {
        int raw, scaled;
    } axes[] = {{-32768, -100}, {-16384, -50}, {-1, 0}, {0, 0}, {16384, 50}, {32767, 100}};
    for (const auto& a : axes) {
        first->setAxis(1, a.raw);
        first->setAxis(0, -a.raw - 1);
        ASSERT_EQ(j.GetInput(1, d), 0);
        EXPECT_EQ(d.Joy_y, a.scaled) << a.raw;
        EXPECT_EQ(d.Joy_x, TJoystick::scaleAxis(-a.raw - 1));
    }
    first->setButton(0, true);
    first->setButton(3, true);
    ASSERT_EQ(j.GetInput(1, d), 0);
    EXPECT_EQ((std::array{d.Button1, d.Button2, d.Button3, d.Button4}), (std::array{128, 0, 0, 128}));

    // The one-controller reading: raw values 0 .. 65535 and the button word.
    first->setAxis(1, -32768);
    first->setAxis(2, 0);
    JoyWinData w;
    ASSERT_EQ(j.GetWinInput(w), 0);
    EXPECT_EQ(w.Ypos, 0);
    EXPECT_EQ(w.Zpos, 32768);
    EXPECT_EQ(w.Buttons, 9u);

    // A second controller takes place 2; pulling the first keeps it there.
    VirtualJoystick second;
    second.setAxis(1, 32767);
    EXPECT_TRUE(j.updateDevices());
    EXPECT_EQ(j.getNrOfJoysticks(), 2);
    first->detach();
    EXPECT_EQ(j.GetInput(1, d), 1) << "pulled out";
    EXPECT_TRUE(j.updateDevices());
    EXPECT_EQ(j.getNrOfJoysticks(), 1);
    ASSERT_EQ(j.GetInput(2, d), 0);
    EXPECT_EQ(d.Joy_y, 100);
    EXPECT_FALSE(j.updateDevices()) << "no news";

    // Plugged in again: place 1.
    VirtualJoystick third;
    third.setAxis(1, -32768);
    EXPECT_TRUE(j.updateDevices());
    ASSERT_EQ(j.GetInput(1, d), 0);
    EXPECT_EQ(d.Joy_y, -100);
}

TEST(JoystickControl, StickPositionFollowsTheRule)
{
    const struct {
        int y, faktor, p;
    } cases[] = {{0, 100, 50},  {-100, 100, 0}, {-1, 100, 50}, {1, 100, 50}, {100, 100, 100},
                 {60, 100, 80}, {100, 28, 28},  {-50, 28, 7},  {-100, 28, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(JoystickControl::stickPosition(c.y, c.faktor), c.p) << c.y << " " << c.faktor;
}

TEST(JoystickControl, StartUpReportsTheControllersAndNoticesPlugAndPull)
{
    JoyFixture t;
    t.control.Joyinitsetup();
    EXPECT_EQ(t.status, "No Joystick detected!");
    EXPECT_FALSE(t.control.view(1).ButtonVisible);
    EXPECT_EQ(t.interval, JoystickControl::DxInterval) << "keeps looking for a controller";

    auto a = std::make_unique<VirtualJoystick>();
    VirtualJoystick b;
    t.ticks(1);
    EXPECT_EQ(t.status, " 2 Joystick(s) is(are) detected");
    EXPECT_TRUE(t.control.view(1).ButtonVisible);
    EXPECT_TRUE(t.control.view(2).ButtonVisible);

    t.main.Joy_Mode = 1;
    t.control.Joyinitsetup();
    EXPECT_EQ(t.status, " Joystick(s) is(are) detected");
    EXPECT_EQ(t.interval, JoystickControl::WinInterval);
    t.main.Joy_Mode = 0;
    t.control.Joyinitsetup();
    a.reset();
    t.ticks(1);
    EXPECT_EQ(t.status, " 1 Joystick(s) is(are) detected");
}

TEST(JoystickControl, BoundStickDrivesTheRegulatorAndSendsTheLocoLine)
{
    JoyFixture t;
    VirtualJoystick pad;
    t.control.Joyinitsetup();

    // Binding at the bottom of the slider also reverses the "M1" loco (-1 -> 1), as the button does.
    t.bind(1, 3);
    EXPECT_EQ(t.main.Joy1con, 4);
    EXPECT_EQ(t.main.Joy1loknr, 3);
    EXPECT_EQ(t.control.view(1).Joylabel, "Controler 4");
    EXPECT_EQ(t.main.Joy1faktor, 100);
    EXPECT_EQ(t.lok.get_direction(3), 1);
    EXPECT_EQ(t.last(), "SET GL M1 3 1 0 100 0 0 ");
    EXPECT_EQ(t.control.view(1).Icon[0], "pfeil_dop.bmp");
    EXPECT_EQ(t.control.view(1).Icon[1], "func_off.bmp");

    const struct {
        int raw, position, speed;
    } moves[] = {{0, 50, 50}, {-32768, 0, 100}, {19661, 80, 20}, {32767, 100, 0}};
    for (const auto& m : moves) {
        pad.setAxis(1, m.raw);
        t.ticks(2);
        EXPECT_EQ(t.model.regulator(3).Position, m.position) << m.raw;
        EXPECT_EQ(t.lok.get_speed(3), m.speed) << m.raw;
        EXPECT_EQ(t.last(), "SET GL M1 3 1 " + std::to_string(m.speed) + " 100 0 0 ");
    }
    const std::size_t sent = t.sink.lines.size();
    t.ticks(4);
    EXPECT_EQ(t.sink.lines.size(), sent) << "an unchanged stick sends nothing";

    // A regulator with top speed 28: fully back is standstill, y = -50 is Position 7, speed 21.
    t.lok.set_speedmax(5, 28);
    t.model.setupScrollBar(5);
    t.control.ButtonRightClick(1);
    EXPECT_EQ(t.main.Joy1con, 0);
    EXPECT_EQ(t.main.Joy1loknr, -1);
    EXPECT_TRUE(t.control.view(1).Joylabel.isEmpty());
    EXPECT_TRUE(t.control.view(1).Icon[0].isEmpty());
    t.bind(1, 5);
    EXPECT_EQ(t.main.Joy1faktor, 28);
    pad.setAxis(1, 32767);
    t.ticks(2);
    EXPECT_EQ(t.model.regulator(5).Position, 28);
    EXPECT_EQ(t.lok.get_speed(5), 0);
    pad.setAxis(1, -16384);
    t.ticks(2);
    EXPECT_EQ(t.model.regulator(5).Position, 7);
    EXPECT_EQ(t.lok.get_speed(5), 21);
    // Regulator 4 drives the same loco (address 3): it follows, so both show what the loco does.
    ASSERT_EQ(t.lok.get_addr(3), t.lok.get_addr(5));
    EXPECT_EQ(t.model.regulator(3).Position, 100 - 21) << "regulators on one loco stay in step";
}

TEST(JoystickControl, AStopStandsUntilTheStickMoves)
{
    JoyFixture t;
    VirtualJoystick pad;
    t.control.Joyinitsetup();
    t.bind(1, 0);
    pad.setAxis(1, -16384);
    t.ticks(2);
    ASSERT_EQ(t.lok.get_speed(0), 75);

    // The emergency stop (or a stop by key or mouse) while the stick rests half forward: the
    // loco stays stopped, reading after reading, instead of being sent off again.
    t.model.setall_lokostop();
    ASSERT_EQ(t.lok.get_speed(0), 0);
    const std::size_t sent = t.sink.lines.size();
    t.ticks(6);
    EXPECT_EQ(t.lok.get_speed(0), 0);
    EXPECT_EQ(t.sink.lines.size(), sent);

    // Moving the stick takes the loco over again.
    pad.setAxis(1, -32768);
    t.ticks(2);
    EXPECT_EQ(t.model.regulator(0).Position, 0);
    EXPECT_EQ(t.lok.get_speed(0), 100);
}

TEST(JoystickControl, ButtonsActOnceAndAgainOnEveryFifthReadingWhileHeld)
{
    JoyFixture t;
    VirtualJoystick pad;
    t.makeFunctionLoco(0);
    t.control.Joyinitsetup();
    t.bind(1, 0);
    ASSERT_EQ(t.lok.get_direction(0), 0);
    pad.setAxis(1, 32767);  // stick back: standstill
    t.ticks(2);
    const std::size_t start = t.sink.lines.size();

    // F0 held for eleven readings of joystick 1: fires on readings 1, 6 and 11.
    pad.setButton(1, true);
    std::vector<int> f0;
    for (int reading = 1; reading <= 11; ++reading) {
        t.ticks(2);
        f0.push_back(t.lok.get_F(0)[0]);
    }
    EXPECT_EQ(f0, (std::vector<int>{11, 11, 11, 11, 11, 1, 1, 1, 1, 1, 11}));
    EXPECT_EQ(t.sink.lines.size(), start + 3);
    EXPECT_EQ(t.control.view(1).Icon[1], "Func_on.bmp");
    EXPECT_EQ(t.model.regulator(0).FuncIcon[0], "Func_on.bmp") << "the regulator shows it too";
    pad.setButton(1, false);
    t.ticks(10);

    // Direction at standstill flips and shows the arrow; with speed 5 it keeps the direction but
    // still sends the loco line.
    pad.setButton(0, true);
    t.ticks(2);
    EXPECT_EQ(t.lok.get_direction(0), 1);
    EXPECT_EQ(t.control.view(1).Icon[0], "pfeil_li.bmp");
    EXPECT_EQ(t.model.regulator(0).DirectionIcon, "pfeil_li.bmp");
    EXPECT_EQ(t.last(), "SET GL M2 3 1 0 100 1 4 0 0 0 0 ");
    pad.setButton(0, false);
    t.ticks(10);
    t.lok.set_speed(0, 5);
    pad.setButton(0, true);
    const std::size_t before = t.sink.lines.size();
    t.ticks(2);
    EXPECT_EQ(t.lok.get_direction(0), 1);
    EXPECT_EQ(t.sink.lines.size(), before + 1);
    EXPECT_EQ(t.last(), "SET GL M2 3 1 5 100 1 4 0 0 0 0 ");
    pad.setButton(0, false);
    t.lok.set_speed(0, 0);
    t.ticks(10);

    // Button 3 switches F2 (the horn) on the wire; button 4 ("keine") does nothing.
    EXPECT_EQ(t.control.view(1).Icon[2], "hupe_aus.bmp");
    pad.setButton(2, true);
    t.ticks(2);
    EXPECT_EQ(t.lok.get_F(0)[2], 12);
    EXPECT_EQ(t.last(), "SET GL M2 3 1 0 100 1 4 0 1 0 0 ");
    EXPECT_EQ(t.control.view(1).Icon[2], "hupe_an.bmp");
    EXPECT_EQ(t.model.regulator(0).FuncIcon[2], "hupe_an.bmp");
    pad.setButton(2, false);
    t.ticks(10);
    const std::size_t beforeKeine = t.sink.lines.size();
    pad.setButton(3, true);
    t.ticks(2);
    EXPECT_EQ(t.sink.lines.size(), beforeKeine);
    EXPECT_TRUE(t.control.view(1).Icon[3].isEmpty());

    // Clicking the pictures does the same; an unbound joystick's pictures do nothing.
    t.control.funcPicClick(1, 3);
    EXPECT_EQ(t.lok.get_F(0)[2], 2);
    const std::size_t beforeUnbound = t.sink.lines.size();
    t.control.funcPicClick(2, 2);
    EXPECT_EQ(t.sink.lines.size(), beforeUnbound);
    EXPECT_EQ(t.dialogs.shown.size(), 0u);
}

TEST(JoystickControl, PulledOutMidDriveLeavesTheLocoAsItWas)
{
    JoyFixture t;
    auto pad = std::make_unique<VirtualJoystick>();
    t.control.Joyinitsetup();
    t.bind(1, 0);
    pad->setAxis(1, -20000);
    t.ticks(2);
    const int speed = t.lok.get_speed(0);
    const int position = t.model.regulator(0).Position;
    ASSERT_GT(speed, 50);
    const std::size_t sent = t.sink.lines.size();

    pad.reset();
    t.ticks(6);
    EXPECT_EQ(t.status, "No Joystick detected!");
    EXPECT_FALSE(t.control.view(1).ButtonVisible);
    EXPECT_EQ(t.lok.get_speed(0), speed);
    EXPECT_EQ(t.model.regulator(0).Position, position);
    EXPECT_EQ(t.sink.lines.size(), sent) << "nothing goes to the loco";
    EXPECT_EQ(t.main.Joy1con, 1) << "the binding stays";

    // Plugged in again, the stick takes the loco over once more.
    VirtualJoystick again;
    again.setAxis(1, 32767);
    t.ticks(2);
    EXPECT_EQ(t.status, " 1 Joystick(s) is(are) detected");
    EXPECT_EQ(t.lok.get_speed(0), 0);
}

TEST(JoystickControl, OneControllerModuleUsesRawAxesAndTheButtonWord)
{
    JoyFixture t;
    t.main.Joy_Mode = 1;
    VirtualJoystick pad;
    t.makeFunctionLoco(1);
    t.control.Joyinitsetup();
    t.bind(1, 0);
    t.bind(2, 1);
    ASSERT_EQ(t.main.Joy2con, 2);

    // An uncalibrated axis at rest reads 32768: the slider stays at its bottom (standstill).
    t.ticks(1);
    EXPECT_EQ(t.model.regulator(0).Position, 100);
    EXPECT_EQ(t.lok.get_speed(0), 0);
    pad.setAxis(1, -32768 + 30);  // raw 30
    pad.setAxis(2, -32768 + 60);  // raw 60
    t.ticks(1);
    EXPECT_EQ(t.model.regulator(0).Position, 30);
    EXPECT_EQ(t.model.regulator(1).Position, 60);
    EXPECT_EQ(t.lok.get_speed(1), 40);
    pad.setAxis(1, 32767);
    pad.setAxis(2, 32767);
    t.ticks(1);
    EXPECT_EQ(t.lok.get_speed(0), 0);

    // The button word as a whole: 8 is F0 of joystick 2, 12 its button 3 (F2), held acts once.
    const struct {
        std::array<bool, 4> held;
        int f0, f2;
    } words[] = {{{false, false, false, true}, 11, 2},
                 {{false, false, false, true}, 11, 2},
                 {{false, false, false, false}, 11, 2},
                 {{false, false, true, true}, 11, 12},
                 {{true, false, true, false}, 11, 12},  // 5: no action
                 {{false, false, false, true}, 1, 12}};
    for (const auto& w : words) {
        for (int b = 0; b < 4; ++b)
            pad.setButton(b, w.held[static_cast<std::size_t>(b)]);
        t.ticks(1);
        EXPECT_EQ(t.lok.get_F(1)[0], w.f0);
        EXPECT_EQ(t.lok.get_F(1)[2], w.f2);
    }
    // Buttons 1 and 2 together: direction of joystick 1 ("M1" loco 0 at standstill).
    const int dir = t.lok.get_direction(0);
    pad.setButton(0, true);
    pad.setButton(1, true);
    pad.setButton(3, false);
    t.ticks(1);
    EXPECT_EQ(t.lok.get_direction(0), dir == 1 ? 0 : 1);
}

TEST(JoystickSettings, TheTwoControllerModuleIsKeptWhenTheControllerServiceRuns)
{
    for (const bool service : {true, false}) {
        AppState main;
        main.Dxpresent = service;
        main.Joy_Mode = 0;
        SetupValues v = fillSetup(main, SetupValues{});
        EXPECT_EQ(v.joyChoiceEnabled, service);
        EXPECT_EQ(v.joyItem, 0);
        applySetup(v, main);
        EXPECT_EQ(main.Joy_Mode, service ? 0 : 1) << service;
    }
}
