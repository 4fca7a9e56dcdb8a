// The model clock without its window: speeds, the PC clock, server time messages (also bad ones),
// the hands, and the server's time device set from "&Time" against the simulator.

#include "base/AppState.h"
#include "session/ModelClock.h"
#include "srcp/FakeSrcpServer.h"
#include "srcp/SimProcess.h"
#include "srcp/SRCPClient.h"
#include "srcp/SRCPDeviceGroups.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

// Feeds a server line to a group the way the info client does.
void feed(TSRCPBaseDeviceGroup& g, const char* line)
{
    TSRCPCmd cmd;
    cmd.SetSRCPVersion(cv082);
    if (!cmd.ExamineAnswer(line))
        cmd.SetDeviceGroup(dgInvalid);
    g.SetDataAnswer(cmd);
}

struct ClockFixture : ::testing::Test {
    AppState state;
    ModelClock clock{state};
    TSRCPTime serverTime;  // bus 0's time group as the SRCP 0.8 client keeps it
    ClockFixture()
    {
        serverTime.SetBus(0);
        serverTime.SetOnChange([this](TSRCPBaseDeviceGroup&) { clock.SRCPCl2TimeChange(&serverTime); });
    }
    QString tick() { return ModelClock::caption(clock.tick(QTime(9, 15, 42))); }
};

}  // namespace

TEST_F(ClockFixture, TimerIntervalFollowsTheChosenSpeed)
{
    struct Case {
        bool decrease;
        int speed;
        int interval;
    } cases[] = {{false, 1, 1000}, {false, 4, 250}, {false, 10, 100}, {true, 10, 10000}, {true, 3, 3000},
                 {false, 0, 1000} /* below the range: 1 */, {false, 99, 100} /* above: 10 */};
    for (const Case& c : cases) {
        clock.setup({12, 0, 0, true, c.decrease, c.speed}, nullptr);
        EXPECT_EQ(clock.timerInterval(), c.interval) << c.decrease << " " << c.speed;
    }
    clock.Faktx = 0;  // never a division by zero, whoever set the factors
    clock.Fakty = -3;
    EXPECT_EQ(clock.timerInterval(), 1000);
}

TEST_F(ClockFixture, PcClockShowsThePcTimeAndKeepsTheEnteredTimeOnly)
{
    EXPECT_TRUE(clock.setup({3, 4, 5, false, false, 1}, &serverTime));
    EXPECT_FALSE(clock.KavoMaster);
    EXPECT_EQ(decodeTime(state.KavoTime), (ClockTime{3, 4, 5}));
    EXPECT_EQ(tick(), "09:15:42");
    EXPECT_EQ(clock.KavoSeconds, 42);
    EXPECT_EQ(serverTime.DeviceState(), sdsTerminated) << "the server's time device is left alone";
}

TEST_F(ClockFixture, TimeMessageFor1230AtFactor4RunsTheSecondsFromZeroUpTo60)
{
    state.SrcpVer = 73;  // no SRCP 0.8 client: the server's time cannot be set
    EXPECT_FALSE(clock.setup({7, 5, 0, true, false, 4}, &serverTime));
    EXPECT_TRUE(clock.KavoMaster);
    EXPECT_EQ(clock.timerInterval(), 250);
    EXPECT_EQ(tick(), "07:05:01");

    feed(serverTime, "100.0 101 INFO 0 TIME 4 1");
    feed(serverTime, "101.0 100 INFO 0 TIME 2461000 12 30 0");
    EXPECT_EQ(clock.KavoSeconds, 0);
    EXPECT_EQ(tick(), "12:30:01");
    for (int i = 0; i < 70; ++i)
        tick();
    EXPECT_EQ(tick(), "12:30:60") << "a model minute that has run out waits for the next message";
    feed(serverTime, "102.0 100 INFO 0 TIME 2461000 12 31 0");
    EXPECT_EQ(tick(), "12:31:01");
}

TEST_F(ClockFixture, BadTimeMessagesNeverStopTheClock)
{
    clock.setup({8, 0, 0, true, false, 2}, nullptr);
    feed(serverTime, "100.0 100 INFO 0 TIME 2461000 12 30 0");
    tick();
    const double good = state.KavoTime;

    feed(serverTime, "101.0 101 INFO 0 TIME 0 0");                 // speed factor 0
    feed(serverTime, "102.0 100 INFO 0 TIME 2461000 -5 30 0");     // negative time
    feed(serverTime, "103.0 100 INFO 0 TIME 2461000 99 99 99");    // absurd time
    feed(serverTime, "104.0 100 INFO 1 TIME 2461000 18 0 0");      // another bus
    feed(serverTime, "105.0 100 INFO 0 TIME 99999999999 18 0 0");  // a day number out of range
    TSRCPTime otherBus;
    otherBus.SetBus(3);
    feed(otherBus, "106.0 100 INFO 3 TIME 2461000 18 0 0");
    clock.SRCPCl2TimeChange(&otherBus);
    clock.SRCPCl2TimeChange(nullptr);
    EXPECT_EQ(state.KavoTime, good);
    EXPECT_EQ(tick(), "12:30:02");
    EXPECT_EQ(clock.timerInterval(), 500) << "the dialog's speed drives the ticks";

    // Values the window may still meet in KavoTime: decoded to a time of day, never out of range.
    for (double v : {-1.25, -0.0, 1e300, std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity(), 0.99999999999}) {
        const ClockTime t = decodeTime(v);
        EXPECT_TRUE(t.hours >= 0 && t.hours < 24 && t.minutes >= 0 && t.minutes < 60 && t.seconds >= 0 && t.seconds < 60)
            << v;
    }
    EXPECT_EQ(decodeTime(-1.25), (ClockTime{18, 0, 0})) << "days before 1899 keep their time of day";
}

TEST_F(ClockFixture, HandsTurnSixDegreesPerMinuteAndThirtyPerHour)
{
    const ClockHands h = ModelClock::hands({13, 30, 15});
    EXPECT_EQ(h.hrs, 390) << "13 o'clock is drawn where 1 o'clock is";
    EXPECT_EQ(h.mins, 180);
    EXPECT_EQ(h.secs, 90);
    EXPECT_DOUBLE_EQ(h.hourHand, 405) << "the hour hand stands half way to 2";
    EXPECT_EQ(ModelClock::caption({7, 5, 60}), "07:05:60");
}

TEST(ModelClockCaption, TwoDigitsEachAndWhatDoesNotFitInFull)
{
    const std::pair<ClockTime, const char*> cases[] = {
        {{0, 0, 0}, "00:00:00"}, {{23, 59, 59}, "23:59:59"}, {{9, 10, 60}, "09:10:60"},
        {{100, -5, 7}, "100:-5:07"}, {{-12, 99, 0}, "-12:99:00"},
    };
    for (const auto& [t, text] : cases)
        EXPECT_EQ(ModelClock::caption(t), QString::fromLatin1(text)) << text;
}

// "&Time" with the server as source: INIT 0 TIME with the factors, then SET 0 TIME; the server's
// minute messages reset the seconds.
TEST(ModelClockSim, ServerModelTimeRunsAtTheChosenSpeed)
{
    if (::access(SRCP_SIM_PATH, X_OK) != 0)
        GTEST_SKIP() << "no simulator at " << SRCP_SIM_PATH;
    SimProcess sim{SRCP_SIM_PATH, {"--protocol", "0.8.2", "--port", "0"}};
    ASSERT_NE(sim.port(), 0);
    TestLoop loop;
    TSRCPCommandClient cmd;
    TSRCPInfoClient info{loop.executor()};
    for (TSRCPBaseClient* c : {static_cast<TSRCPBaseClient*>(&cmd), static_cast<TSRCPBaseClient*>(&info)}) {
        c->SetHost("127.0.0.1");
        c->SetPort(sim.port());
        c->Connect(3000);
    }
    ASSERT_TRUE(cmd.Connected() && info.Connected());

    AppState state;
    state.SrcpVer = 80;
    ModelClock clock{state};
    TSRCPTime time;  // bus 0's time group: commands out, server messages in
    time.SetBus(0);
    time.SetCommandClient(&cmd);
    time.SetInfoClient(&info);
    int messages = 0;
    time.SetOnChange([&](TSRCPBaseDeviceGroup& g) {
        ++messages;
        clock.SRCPCl2TimeChange(dynamic_cast<TSRCPCustomTime*>(&g));
    });

    ASSERT_TRUE(clock.setup({12, 30, 58, true, false, 10}, &time));
    EXPECT_EQ(time.Multiplicator(), 10);
    EXPECT_EQ(time.Divisor(), 1);
    EXPECT_TRUE(time.Enabled());
    EXPECT_EQ(clock.timerInterval(), 100);
    // At ten times the speed the model minute ends 0.2 s later; the server says so.
    ASSERT_TRUE(loop.runUntil([&] { return decodeTime(state.KavoTime).minutes == 31; }, 8000));
    EXPECT_EQ(clock.KavoSeconds, 0);
    EXPECT_EQ(ModelClock::caption(clock.tick(QTime())), "12:31:01");

    ModelClock::stopServerTime(&time);
    EXPECT_FALSE(time.Enabled());
}
