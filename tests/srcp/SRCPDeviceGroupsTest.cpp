#include "srcp/SRCPDeviceGroups.h"

#include <gtest/gtest.h>

namespace {

// Feeds an info line to a group the way the info client does.
struct Feeder {
    TSRCPCmd cmd;
    Feeder() { cmd.SetSRCPVersion(cv082); }
    void operator()(TSRCPBaseDeviceGroup& g, const char* line)
    {
        if (!cmd.ExamineAnswer(line))
            cmd.SetDeviceGroup(dgInvalid);
        g.SetDataAnswer(cmd);
    }
};

} // namespace

TEST(SRCPDeviceGroups, ExactModeDropsStaleMessagesButNotUndatedOnes)
{
    Feeder feed;
    TSRCPLoco loco;
    loco.SetBus(1);
    loco.SetAddress(3);
    int changes = 0, inits = 0;
    loco.SetOnChange([&](TSRCPBaseDeviceGroup&) { ++changes; });
    loco.SetOnInit([&](TSRCPBaseDeviceGroup&) { ++inits; });

    feed(loco, "105.250 100 INFO 1 GL 3 1 50 100 1 0");
    feed(loco, "105.250 100 INFO 1 GL 3 0 60 100 1 0");  // same stamp: stale
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(loco.SpeedStep(), 50);
    feed(loco, "105.100 100 INFO 1 GL 3 0 60 100 1 0");  // older: stale
    feed(loco, "105.250 100 INFO 1 GL 4 0 60 100 1 0");  // other address
    feed(loco, "105.300 100 INFO 2 GL 3 0 60 100 1 0");  // other bus
    EXPECT_EQ(changes, 1);
    feed(loco, "0.000 100 INFO 1 GL 3 0 70 100 1 0");    // undated: applies
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(loco.SpeedStep(), 70);
    EXPECT_EQ(loco.DriveMode(), dmBackwards);
    EXPECT_EQ(loco.TimeStamps(ststData), 0.0);

    feed(loco, "104.000 101 INFO 1 GL 3 N 1 128 5");  // inits keep their own stamp
    EXPECT_EQ(inits, 1);
    EXPECT_EQ(loco.Protocol(), spNMRA);
    EXPECT_EQ(loco.FunctionCount(), 5);
    EXPECT_EQ(loco.DeviceState(), sdsInitialized);
    feed(loco, "104.000 102 INFO 1 GL 3");
    EXPECT_EQ(loco.DeviceState(), sdsInitialized) << "a term as old as the init is stale";
    feed(loco, "104.500 102 INFO 1 GL 3");
    EXPECT_EQ(loco.DeviceState(), sdsTerminated);
}

TEST(SRCPDeviceGroups, BusModeTakesEveryAddressOfItsBus)
{
    Feeder feed;
    TSRCPAccessoire ga;
    ga.SetBus(1);
    ga.SetEventMode(semBus);
    std::vector<int> seen;
    ga.SetOnChange([&](TSRCPBaseDeviceGroup&) { seen.push_back(ga.Address()); });
    feed(ga, "105.250 100 INFO 1 GA 5 0 1");
    feed(ga, "105.250 100 INFO 1 GA 6 1 1");
    feed(ga, "105.000 100 INFO 1 GA 5 0 0");  // older, still taken: bus mode keeps everything
    feed(ga, "106.000 100 INFO 2 GA 5 0 0");
    EXPECT_EQ(seen, (std::vector<int>{5, 6, 5}));
    EXPECT_EQ(ga.Value(), 0);
}

TEST(SRCPDeviceGroups, FeedbackContactsGrowAndKeepTheNewestValue)
{
    Feeder feed;
    TSRCPFeedback fb;
    fb.SetBus(1);
    fb.SetEventMode(semBus);
    feed(fb, "0.000 100 INFO 1 FB 12 1");  // a GET answer of a real server
    ASSERT_EQ(fb.ContactCount(), 12);
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(fb.Contacts(i), 0);
    EXPECT_EQ(fb.Contacts(11), 1);
    EXPECT_EQ(fb.Contacts(12), -1);
    EXPECT_EQ(fb.ContactTimeStamp(12), -1);
    EXPECT_EQ(fb.Contacts(-1), -1);

    feed(fb, "200.000 100 INFO 1 FB 3 1");
    EXPECT_EQ(fb.ContactTimeStamp(2), 200.0);
    feed(fb, "199.000 100 INFO 1 FB 3 0");  // older than the contact's last value
    EXPECT_EQ(fb.Contacts(2), 1);
    feed(fb, "200.000 100 INFO 1 FB 3 0");  // as recent, arriving later: the newer one
    EXPECT_EQ(fb.Contacts(2), 0);
    feed(fb, "0.000 100 INFO 1 FB 3 1");    // undated: applies, keeps the stamp
    EXPECT_EQ(fb.Contacts(2), 1);
    EXPECT_EQ(fb.ContactTimeStamp(2), 200.0);

    feed(fb, "201.000 100 INFO 1 FB 2147483647 1");  // absurd address: ignored, no huge list
    feed(fb, "201.000 100 INFO 1 FB 0 1");
    EXPECT_EQ(fb.ContactCount(), 12);

    TSRCPFeedback small;
    small.SetEventMode(semAll);
    feed(small, "5.0 100 INFO 4 FB 3 1");
    EXPECT_EQ(small.ContactTimeStamp(5), -1);
    EXPECT_EQ(small.ContactTimeStamp(2), 5.0);
}

TEST(SRCPDeviceGroups, LockMessagesReachTheLockedDeviceOnly)
{
    Feeder feed;
    TSRCPLoco loco3, loco4;
    loco3.SetBus(1);
    loco3.SetAddress(3);
    loco4.SetBus(1);
    loco4.SetAddress(4);
    int locks3 = 0, locks4 = 0, unlocks3 = 0;
    loco3.SetOnLock([&](TSRCPBaseDeviceGroup&) { ++locks3; });
    loco4.SetOnLock([&](TSRCPBaseDeviceGroup&) { ++locks4; });
    loco3.SetOnUnlock([&](TSRCPBaseDeviceGroup&) { ++unlocks3; });
    for (TSRCPLoco* l : {&loco3, &loco4})
        feed(*l, "105.250 100 INFO 1 LOCK GL 3 60 17");
    EXPECT_EQ(locks3, 1);
    EXPECT_EQ(locks4, 0);
    EXPECT_EQ(loco3.LockClient(), 17);
    EXPECT_EQ(loco3.TimeStamps(ststLock), 105.25);
    feed(loco3, "106.000 102 INFO 1 LOCK GL 3");
    EXPECT_EQ(unlocks3, 1);
    EXPECT_EQ(loco3.LockClient(), -1);

    TSRCPAccessoire ga;
    ga.SetBus(1);
    ga.SetAddress(3);
    int gaLocks = 0;
    ga.SetOnLock([&](TSRCPBaseDeviceGroup&) { ++gaLocks; });
    feed(ga, "107.000 100 INFO 1 LOCK GL 3 60 17");
    EXPECT_EQ(gaLocks, 0);
}

TEST(SRCPDeviceGroups, TimeKeepsItsFactorsPositiveAndConvertsJulianDays)
{
    TSRCPTime time;
    time.SetDivisor(0);
    time.SetMultiplicator(-5);
    EXPECT_EQ(time.Divisor(), 1);
    EXPECT_EQ(time.Multiplicator(), 1);

    EXPECT_EQ(SRCPDayNumber(1, 1, 1), 1);
    EXPECT_EQ(SRCPDayNumber(1899, 12, 30), 693594);
    EXPECT_EQ(SRCPDayNumber(2000, 1, 1) + SRCPJulianDayOffset, 2451545);
    int y, m, d;
    SRCPDecodeDayNumber(SRCPDayNumber(2024, 2, 29), y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 20240229);

    Feeder feed;
    feed(time, "10.0 100 INFO 0 TIME 2451545 12 30 15");
    EXPECT_EQ(time.TimeDate(), (TSRCPTimeStamp{SRCPDayNumber(2000, 1, 1), (12 * 3600 + 30 * 60 + 15) * 1000}));
    EXPECT_NEAR(time.DateTime(), 36526 + (12 * 3600 + 30 * 60 + 15) / 86400.0, 1e-9);
    feed(time, "11.0 100 INFO 0 TIME 2451545 99 0 0");  // not a time of day: ignored
    EXPECT_EQ(time.TimeDate().Time, (12 * 3600 + 30 * 60 + 15) * 1000);
    feed(time, "12.0 101 INFO 0 TIME 0 -3");
    EXPECT_EQ(time.Multiplicator(), 1);
    EXPECT_EQ(time.Divisor(), 1);
    feed(time, "13.0 101 INFO 0 TIME 10 2");
    EXPECT_EQ(time.Multiplicator(), 10);
    EXPECT_EQ(time.Divisor(), 2);
    EXPECT_TRUE(time.Enabled()) << "an init message from the server initialises the group";
}
