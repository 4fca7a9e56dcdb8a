// "&Time", the time setup dialog and the clock window in the main window (offscreen).

#include "app/TMainForm.h"
#include "app/ClockHost.h"
#include "session/widgets/TTimeForm.h"
#include "session/widgets/TUhrForm.h"
#include "srcp/SRCPDeviceGroups.h"
#include "base/C_language.h"
#include "base/ScriptedDialogs.h"

#include <QAction>
#include <QGroupBox>
#include <QImage>
#include <QPainter>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct ClockWindow : ::testing::Test {
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    std::unique_ptr<TMainForm> form;
    ClockHost* host = nullptr;
    QAction* zeit = nullptr;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        form = std::make_unique<TMainForm>(dialogs, dir.path() + "/");
        host = new ClockHost(*form);
        zeit = form->action("Zeit1");
        ASSERT_NE(zeit, nullptr);
        zeit->setEnabled(true);  // as when connected
        dialogs.shown.clear();
    }

    // "&Time" with the dialog confirmed after `fill` set its fields.
    void chooseTime(const std::function<void(TTimeForm&)>& fill)
    {
        host->execTimeForm = [this, fill] {
            TTimeForm& f = host->timeForm();
            f.show();  // FormShow: the PC time, "increase", "PC clock"
            fill(f);
            f.hide();
            return true;
        };
        zeit->trigger();
    }

    static void feed(TSRCPBaseDeviceGroup& g, const char* line)
    {
        TSRCPCmd cmd;
        cmd.SetSRCPVersion(cv082);
        ASSERT_TRUE(cmd.ExamineAnswer(line));
        g.SetDataAnswer(cmd);
    }
};

}  // namespace

TEST_F(ClockWindow, ServerTimeMessageFor1230AtFactor4IsShownOnTheNextTick)
{
    chooseTime([](TTimeForm& f) {
        f.kavoServer->setChecked(true);
        f.edSpeed->setValue(4);
    });
    TUhrForm& uhr = host->uhrForm();
    EXPECT_TRUE(zeit->isChecked());
    EXPECT_TRUE(uhr.isVisible());
    EXPECT_EQ(uhr.Timer1.interval(), 250);
    // Not connected to an SRCP 0.8 server: the user is told, the clock still shows the time set.
    ASSERT_EQ(dialogs.count("message"), 1);
    EXPECT_EQ(dialogs.last("message")->text, Lang->getmessage(570, form->Lang_id));

    TSRCPTime busZero;
    busZero.SetBus(0);
    busZero.SetOnChange([&](TSRCPBaseDeviceGroup&) { host->SRCPCl2TimeChange(&busZero); });
    feed(busZero, "200.0 101 INFO 0 TIME 4 1");
    feed(busZero, "201.0 100 INFO 0 TIME 2461000 12 30 0");
    uhr.Timer1Timer();
    EXPECT_EQ(uhr.windowTitle(), "12:30:01");
    EXPECT_EQ(uhr.OldMins, 180);
    EXPECT_EQ(uhr.OldHrs, 360);

    // The window cannot be closed by itself; unchecking "&Time" closes it.
    uhr.close();
    EXPECT_TRUE(uhr.isVisible());
    zeit->trigger();
    EXPECT_FALSE(zeit->isChecked());
    EXPECT_FALSE(uhr.isVisible());
}

TEST_F(ClockWindow, PcClockRunsAtOneTickASecondAndLeavingTheServerClosesIt)
{
    chooseTime([](TTimeForm& f) {
        f.kavoServer->setChecked(true);
        f.edSpeed->setValue(7);
        f.pcClock->setChecked(true);  // back to the PC clock: speed 1 and disabled
        EXPECT_EQ(f.edSpeed->value(), 1);
        EXPECT_FALSE(f.rgSpeed->isEnabled());
    });
    TUhrForm& uhr = host->uhrForm();
    EXPECT_EQ(dialogs.count("message"), 0);
    EXPECT_EQ(uhr.Timer1.interval(), 1000);
    const QTime before = QTime::currentTime();
    uhr.Timer1Timer();
    const QTime shown = QTime::fromString(uhr.windowTitle(), "hh:mm:ss");
    ASSERT_TRUE(shown.isValid()) << uhr.windowTitle().toStdString();
    EXPECT_LE(std::abs(before.secsTo(shown)), 2);

    host->serverClosed();
    EXPECT_FALSE(uhr.isVisible());
    EXPECT_FALSE(zeit->isChecked());
}

TEST_F(ClockWindow, CancelLeavesTimeCheckedWithoutAClock)
{
    host->execTimeForm = [] { return false; };
    zeit->trigger();
    EXPECT_TRUE(zeit->isChecked());
    EXPECT_FALSE(host->uhrForm().isVisible());
    zeit->trigger();
    EXPECT_FALSE(zeit->isChecked());
    EXPECT_FALSE(host->uhrForm().isVisible());
}

TEST_F(ClockWindow, SetupDialogCannotLeaveItsRanges)
{
    TTimeForm& f = host->timeForm();
    f.show();
    EXPECT_TRUE(f.pcClock->isChecked());
    EXPECT_TRUE(f.increase->isChecked());
    EXPECT_FALSE(f.edSpeed->isEnabled());
    f.kavoServer->setChecked(true);
    EXPECT_TRUE(f.edSpeed->isEnabled());
    f.edHours->setValue(24);
    f.edMin->setValue(-1);
    f.esSecs->setValue(75);
    f.edSpeed->setValue(0);
    const TimeSetup v = f.values();  // the time fields wrap round, the speed stops at its ends
    EXPECT_TRUE(v.hours >= 0 && v.hours <= 23) << v.hours;
    EXPECT_TRUE(v.minutes >= 0 && v.minutes <= 59) << v.minutes;
    EXPECT_TRUE(v.seconds >= 0 && v.seconds <= 59) << v.seconds;
    EXPECT_EQ(v.speed, 1);
    f.edSpeed->setValue(11);
    EXPECT_EQ(f.values().speed, 10);
    f.hide();
}

// The picture: hands where the time says, drawn antialiased on a white dial.
TEST_F(ClockWindow, FaceShowsTheHandsAtTheirAngles)
{
    chooseTime([](TTimeForm& f) {
        f.kavoServer->setChecked(true);
        f.edHours->setValue(3);
        f.edMin->setValue(0);
        f.esSecs->setValue(44);  // the next tick shows 45: the seconds hand points at 9 o'clock
    });
    TUhrForm& uhr = host->uhrForm();
    uhr.Timer1Timer();
    ASSERT_EQ(uhr.windowTitle(), "03:00:45");
    QImage img(uhr.size(), QImage::Format_RGB32);
    QPainter p(&img);
    uhr.paintClock(p);
    p.end();
    if (qEnvironmentVariableIsSet("QUARN_SCREENSHOTS"))
        img.save(QStringLiteral(QUARN_SOURCE_DIR "build/clock-face-test.png"));
    const QPoint c = uhr.Center;
    ASSERT_EQ(img.width(), TUhrForm::ClientWidth);
    ASSERT_EQ(img.height(), TUhrForm::ClientWidth);
    auto dark = [&](QPoint q) { return qGray(img.pixel(q)) < 80; };
    auto red = [&](QPoint q) {
        const QColor col(img.pixel(q));
        return col.red() > 150 && col.green() < 120 && col.blue() < 120;
    };
    EXPECT_TRUE(dark(c + QPoint(0, -40))) << "minute hand at 12";
    EXPECT_TRUE(dark(c + QPoint(25, 0))) << "hour hand at 3";
    EXPECT_TRUE(red(c + QPoint(-45, 0))) << "seconds hand at 9";
    EXPECT_FALSE(dark(c + QPoint(0, 40))) << "nothing at 6 but the dial";
    EXPECT_TRUE(dark(c + QPoint(0, 57))) << "the tick at 6";
    int shades = 0;  // antialiased edges: grey levels between ink and paper
    for (int x = 0; x < img.width(); ++x) {
        const int g = qGray(img.pixel(x, c.y() - 30));
        shades += g > 60 && g < 200;
    }
    EXPECT_GT(shades, 0);
}
