// The joystick throttles in the main window against the project's SRCP simulator in 0.7.3 mode,
// with a software controller: binding, stick, buttons, the test windows and pulling the controller
// out mid-drive, each checked in the simulator's log of received lines.

#include "base/ParameterFile.h"
#include "app/TMainForm.h"
#include "loco/widgets/ClickImage.h"
#include "loco/widgets/JoyPanel.h"
#include "loco/widgets/JoyTestForms.h"
#include "loco/JoystickControl.h"
#include "app/JoystickHost.h"
#include "app/LocoControlHost.h"
#include "loco/widgets/ReglerPanel.h"
#include "loco/ThrottleModel.h"
#include "base/TLok.h"
#include "loco/VirtualJoystick.h"
#include "app/TrackPanelHost.h"
#include "session/ServerSession.h"
#include "app/SessionHost.h"
#include "base/C_language.h"
#include "base/ScriptedDialogs.h"

#include "session/SimProcess.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include "common/ProgramFolder.h"
#include "integration/SimFixture.h"

#include <chrono>
#include <functional>
#include <regex>
#include <thread>

using namespace std::chrono;

namespace {

const bool kDummyVideo = qputenv("SDL_VIDEODRIVER", "dummy");

std::vector<std::string> received(const std::string& logFile)
{
    std::vector<std::string> out;
    static const std::regex line(R"(^\d+\.\d+ \d+ R (SET GL .*)$)");
    for (const std::string& l : SimProcess::readLines(logFile)) {
        std::smatch m;
        if (std::regex_match(l, m, line))
            out.push_back(m[1].str());
    }
    return out;
}

// Runs the event loop (and with it the polling timer) until `done` or 5 s have passed.
bool runUntil(const std::function<bool()>& done)
{
    const auto end = steady_clock::now() + seconds(5);
    while (!done() && steady_clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(milliseconds(5));
    }
    return done();
}

}  // namespace

TEST(JoystickIntegration, VirtualControllerDrivesALocoOnTheWire)
{
    QTemporaryDir dir;
    const QString work = dir.path() + QLatin1Char('/');
    ASSERT_TRUE(testsupport::makeProgramFolder(work));
    QFile::remove(work + QStringLiteral("Data/parmc.dat"));
    const std::string logFile = (work + QStringLiteral("sim.log")).toStdString();
    SimProcess sim(SRCP_SIM_PATH, "0.7.3", logFile);

    auto pad = std::make_unique<VirtualJoystick>();
    pad->setAxis(1, 32767);  // stick fully back: standstill
    ScriptedDialogs d;
    TMainForm form(d, work);
    new TrackPanelHost(form);
    new SessionHost(form);
    auto* loco = new LocoControlHost(form);
    auto* joy = new JoystickHost(form, *loco);
    ASSERT_NE(joy->control(), nullptr);
    EXPECT_TRUE(form.Dxpresent) << "two controllers can be used";
    EXPECT_EQ(form.Joy_Mode, 0) << "a fresh start reads ordinary controllers with the two-controller module";
    joy->showModal = [](QDialog* w) { w->show(); };

    // Loco 0: "M2" with the horn on F2, which button 3 switches.
    Lok->set_protocol(0, "M2");
    Lok->set_nrof(0, 4);
    Lok->set_direction(0, 1);
    Dekod_Funcs f{};
    f[0] = 1;
    f[2] = 2;
    Lok->set_F(0, f);
    Lok->set_jb3(0, 12);
    Lok->set_jb3func(0, "F2");

    form.resize(1000, 760);
    form.show();
    d.shown.clear();  // the fresh start's parameter-file message
    const auto message = [&form](int id) { return Lang->getmessage(id, form.Lang_id); };
    EXPECT_EQ(form.statusText(2), message(138) + "1 " + message(139));
    JoyPanel* panel = joy->panel();
    ASSERT_TRUE(panel->button(1)->isVisibleTo(panel));
    EXPECT_TRUE(joy->pollTimer()->isActive());

    form.Iphostchar = QStringLiteral("127.0.0.1");
    form.Ipport = sim.port();
    form.action(QStringLiteral("Hostverbinden1"))->trigger();
    ASSERT_TRUE(simfixture::sessionSettled(form));
    ASSERT_TRUE(form.Session->commandConnected());
    form.Betrieb1Click();

    // Bind joystick 1 to regulator 1: its direction button also reverses the loco at standstill.
    QTest::mouseClick(panel->button(1), Qt::LeftButton);
    QTest::mouseClick(loco->panel()->speedButton(0), Qt::LeftButton);
    EXPECT_EQ(form.Joy1con, 1);
    EXPECT_EQ(panel->label(1)->text(), message(122) + "1");
    std::vector<std::string> expected{"SET GL M2 3 0 0 100 0 4 0 0 0 0 "};
    ASSERT_TRUE(runUntil([&] { return received(logFile).size() >= expected.size(); }));

    // Stick half forward, then back: the slider follows and the loco lines go out.
    QScrollBar* slider = loco->panel()->scrollBar(0);
    pad->setAxis(1, -16384);
    EXPECT_TRUE(runUntil([&] { return slider->value() == 25; }));
    expected.push_back("SET GL M2 3 0 75 100 0 4 0 0 0 0 ");
    pad->setAxis(1, 32767);
    EXPECT_TRUE(runUntil([&] { return slider->value() == 100; }));
    expected.push_back("SET GL M2 3 0 0 100 0 4 0 0 0 0 ");

    // Buttons 1 (direction), 2 (F0) and 3 (F2), each let go as soon as it has acted (a held button
    // would act again after 500 ms).
    const struct {
        int button;
        std::function<int()> state;
        const char* line;
    } presses[] = {{0, [] { return Lok->get_direction(0); }, "SET GL M2 3 1 0 100 0 4 0 0 0 0 "},
                   {1, [] { return int(Lok->get_F(0)[0]); }, "SET GL M2 3 1 0 100 1 4 0 0 0 0 "},
                   {2, [] { return int(Lok->get_F(0)[2]); }, "SET GL M2 3 1 0 100 1 4 0 1 0 0 "}};
    for (const auto& p : presses) {
        expected.push_back(p.line);
        const int before = p.state();
        pad->setButton(p.button, true);
        EXPECT_TRUE(runUntil([&] { return p.state() != before; })) << p.line;
        pad->setButton(p.button, false);
        EXPECT_TRUE(runUntil([&] { return received(logFile).size() >= expected.size(); })) << p.line;
    }
    EXPECT_EQ(received(logFile), expected);
    EXPECT_EQ(panel->pic(1, 1)->pixmap().isNull(), false);

    // The test window shows the stick and the buttons while the polling timer rests.
    form.action(QStringLiteral("Joystickcalibrieren1"))->trigger();
    TJoyDxForm* test = joy->dxForm();
    ASSERT_TRUE(test->isVisible());
    EXPECT_EQ(test->findChild<QPushButton*>("CalButton")->isEnabled(), !joystickCalibrationTool().isEmpty());
    pad->setAxis(1, -32768);
    pad->setButton(3, true);
    QTest::mouseClick(test->findChild<QPushButton*>("Test_button"), Qt::LeftButton);
    EXPECT_FALSE(joy->pollTimer()->isActive());
    EXPECT_TRUE(runUntil([&] { return test->trackBar(1)->value() == -100 && test->box(1, 3)->isChecked(); }));
    EXPECT_FALSE(test->box(1, 0)->isChecked());
    if (const QByteArray shots = qgetenv("QUARN_SCREENSHOT_DIR"); !shots.isEmpty())
        test->grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/joystick-test-dx.png"));
    EXPECT_EQ(slider->value(), 100) << "the test window drives nothing";
    pad->setButton(3, false);
    pad->setAxis(1, -16384);
    QTest::mouseClick(test->findChild<QPushButton*>("Exit_button"), Qt::LeftButton);
    EXPECT_FALSE(test->isVisible());
    EXPECT_TRUE(joy->pollTimer()->isActive());
    EXPECT_TRUE(runUntil([&] { return slider->value() == 25; }));
    expected.push_back("SET GL M2 3 1 75 100 1 4 0 1 0 0 ");
    ASSERT_TRUE(runUntil([&] { return received(logFile).size() >= expected.size(); }));

    // Pulled out mid-drive: the message, and the loco keeps going as it was.
    pad.reset();
    EXPECT_TRUE(runUntil([&] { return form.statusText(2) == message(130); }));
    std::this_thread::sleep_for(milliseconds(300));
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_EQ(received(logFile), expected);
    EXPECT_EQ(Lok->get_speed(0), 75);
    EXPECT_EQ(slider->value(), 25);
    EXPECT_EQ(d.count(QStringLiteral("message")) + d.count(QStringLiteral("error")), 0)
        << (d.shown.empty() ? "" : d.shown.front().text.toStdString());
    form.action(QStringLiteral("Hosttrennen1"))->trigger();
}
