// The joystick controls under the throttles and the one-controller test window, with a software
// controller through the real SDL back end.

#include "LocoTestSupport.h"

#include "loco/widgets/ClickImage.h"
#include "loco/widgets/JoyPanel.h"
#include "loco/widgets/JoyTestForms.h"
#include "loco/JoystickControl.h"
#include "loco/TJoystick.h"
#include "loco/VirtualJoystick.h"

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

const bool kDummyVideo = qputenv("SDL_VIDEODRIVER", "dummy");

struct Widgets : ThrottleFixture {
    Widgets()
    {
        main.Joy_Mode = 1;
        control.setPolling = [this](int ms) { interval = ms; };
        control.changed = [this](int joy) { panel.refresh(joy); };
        model.setupjoybuttons = [this](int Device) { control.setupjoybuttons(Device); };
        model.setupAll();
    }
    TJoystick joystick;
    JoystickControl control{main, lok, model, command, icons, dialogs, joystick};
    JoyPanel panel{control};
    TJoyWinForm test{main, dialogs, joystick, control};
    int interval = -1;
};

}  // namespace

TEST(JoyPanel, ButtonsBindAndUnbindAndThePicturesActLikeTheControllerButtons)
{
    Widgets w;
    VirtualJoystick pad;
    w.control.Joyinitsetup();
    w.panel.show();
    ASSERT_TRUE(w.panel.button(1)->isVisible());
    EXPECT_EQ(w.panel.findChild<QPushButton*>("Button2"), w.panel.button(2));

    QTest::mouseClick(w.panel.button(2), Qt::LeftButton);
    w.model.SpeedButton1Click(6);
    EXPECT_EQ(w.main.Joy2con, 7);
    EXPECT_EQ(w.panel.label(2)->text(), "Controler 7");
    EXPECT_FALSE(w.panel.findChild<ClickImage*>("Joy2func_pic2")->pixmap().isNull());

    QTest::mouseClick(w.panel.pic(2, 2), Qt::LeftButton);  // F0 on
    EXPECT_EQ(w.lok.get_F(6)[0], 11);
    EXPECT_EQ(w.last(), "SET GL M1 3 1 0 100 1 0 ");

    QContextMenuEvent right(QContextMenuEvent::Mouse, QPoint(2, 2), w.panel.button(2)->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(w.panel.button(2), &right);
    EXPECT_EQ(w.main.Joy2con, 0);
    EXPECT_EQ(w.main.Joy2loknr, -1);
    EXPECT_TRUE(w.panel.label(2)->text().isEmpty());
    EXPECT_TRUE(w.panel.pic(2, 2)->pixmap().isNull());
    const std::size_t sent = w.sink.lines.size();
    QTest::mouseClick(w.panel.pic(2, 2), Qt::LeftButton);
    EXPECT_EQ(w.sink.lines.size(), sent) << "unbound";
}

TEST(TJoyWinForm, TestShowsRawAxesAndTheButtonWordOrReportsAMissingController)
{
    Widgets w;
    w.control.Joyinitsetup();
    w.test.show();
    EXPECT_EQ(w.test.findChild<QPushButton*>("CalButton")->isEnabled(), !joystickCalibrationTool().isEmpty());

    // No controller: error box 130, the panel's buttons hidden, no test timer.
    QTest::mouseClick(w.test.findChild<QPushButton*>("Test_button"), Qt::LeftButton);
    ASSERT_EQ(w.dialogs.count("message"), 1);
    EXPECT_EQ(w.dialogs.last("message")->text, "No Joystick detected!");
    EXPECT_EQ(w.dialogs.last("message")->caption, "Error");
    EXPECT_EQ(w.test.resultLabel()->text(), "Joy = 1");
    EXPECT_FALSE(w.control.view(1).ButtonVisible);
    EXPECT_FALSE(w.test.testTimer()->isActive());

    VirtualJoystick pad;
    pad.setAxis(1, -32768 + 1000);
    pad.setAxis(2, 32767);
    pad.setButton(2, true);
    pad.setButton(3, true);  // word 12: "Button 1 + 2" of joystick 2
    QTest::mouseClick(w.test.findChild<QPushButton*>("Test_button"), Qt::LeftButton);
    EXPECT_EQ(w.test.resultLabel()->text(), "Joy = 0");
    EXPECT_TRUE(w.control.view(1).ButtonVisible);
    EXPECT_TRUE(w.test.testTimer()->isActive());
    EXPECT_EQ(w.interval, 0) << "polling rests";
    EXPECT_EQ(w.test.trackBarY()->maximum(), 65535);
    w.test.TestTimerTimer();
    EXPECT_EQ(w.test.trackBarY()->value(), 1000);
    EXPECT_EQ(w.test.trackBarZ()->value(), 65535);
    for (int j = 1; j <= 2; ++j)
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(w.test.box(j, i)->isChecked(), j == 2 && i == 2) << j << " " << i;

    w.test.reject();  // closed without "Exit": polling runs again all the same
    EXPECT_FALSE(w.test.testTimer()->isActive());
    EXPECT_EQ(w.interval, JoystickControl::WinInterval);
}
