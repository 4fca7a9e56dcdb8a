// End to end: a command and an info session to the project's simulator, INIT/GET/SET/TERM for each
// device group, and info groups that see the changes.

#include "FakeSrcpServer.h"
#include "SimProcess.h"

#include "srcp/SRCPClient.h"
#include "srcp/SRCPDeviceGroups.h"

#include <gtest/gtest.h>

namespace {

struct SimSessions : ::testing::Test {
    SimProcess sim{SRCP_SIM_PATH, {"--protocol", "0.8.2", "--port", "0"}};
    TestLoop loop;  // stands in for the GUI thread
    TSRCPCommandClient cmd;
    TSRCPInfoClient info{loop.executor()};
    int errors = 0;

    void SetUp() override
    {
        if (::access(SRCP_SIM_PATH, X_OK) != 0)
            GTEST_SKIP() << "no simulator at " << SRCP_SIM_PATH;
        ASSERT_NE(sim.port(), 0) << "srcp-sim did not report its port (first line: \"" << sim.firstLine() << "\")";
        for (TSRCPBaseClient* c : {static_cast<TSRCPBaseClient*>(&cmd), static_cast<TSRCPBaseClient*>(&info)}) {
            c->SetHost("127.0.0.1");
            c->SetPort(sim.port());
            c->Connect(3000);
        }
        ASSERT_TRUE(cmd.Connected());
        ASSERT_TRUE(info.Connected());
        cmd.SetOnError([this](TSRCPBaseClient&) { ++errors; });
    }

    // The first bus whose description lists every group in `wanted`, or -1.
    int busWith(std::initializer_list<TSRCPDeviceGroup> wanted)
    {
        TSRCPDescription description;
        description.SetCommandClient(&cmd);
        description.SetEventMode(semAll);
        for (int bus = 0; bus < 10; ++bus) {
            description.SetBus(bus);
            if (!description.GetData())
                continue;
            bool all = true;
            for (TSRCPDeviceGroup g : wanted) {
                bool found = false;
                for (int i = 0; i < description.DeviceGroupsCount(); ++i)
                    found = found || description.DeviceGroups(i) == g;
                all = all && found;
            }
            if (all)
                return bus;
        }
        return -1;
    }

    template <class G>
    void listen(G& group, int bus)
    {
        group.SetInfoClient(&info);
        group.SetBus(bus);
        group.SetEventMode(semBus);
    }
};

} // namespace

TEST_F(SimSessions, PowerLocoAccessoryAndFeedbackRoundTrip)
{
    const int bus = busWith({dgPower, dgLoco, dgAccessoire, dgFeedback});
    ASSERT_GE(bus, 0) << "no bus offers POWER, GL, GA and FB";

    // power
    TSRCPPower power, powerSeen;
    power.SetCommandClient(&cmd);
    power.SetBus(bus);
    listen(powerSeen, bus);
    power.Initalize();
    power.SetPowerOn(true);
    EXPECT_TRUE(power.SetData());
    EXPECT_TRUE(loop.runUntil([&] { return powerSeen.PowerOn(); }));
    power.SetPowerOn(false);
    EXPECT_TRUE(power.GetData());
    EXPECT_TRUE(power.PowerOn()) << "GET reads the server's state back";

    // loco
    TSRCPLoco loco, locoSeen;
    loco.SetCommandClient(&cmd);
    loco.SetBus(bus);
    loco.SetAddress(3);
    loco.SetProtocol(spNMRA);
    loco.SetSubProtocol(1);
    loco.SetMaxSpeedStep(28);
    loco.SetFunctionCount(5);
    listen(locoSeen, bus);
    int locoInits = 0, locoTerms = 0;
    locoSeen.SetOnInit([&](TSRCPBaseDeviceGroup&) { ++locoInits; });
    locoSeen.SetOnTerm([&](TSRCPBaseDeviceGroup&) { ++locoTerms; });
    loco.Initalize();
    EXPECT_EQ(loco.DeviceState(), sdsInitialized);
    EXPECT_TRUE(loop.runUntil([&] { return locoInits > 0; }));
    EXPECT_EQ(locoSeen.Address(), 3);
    loco.SetDriveMode(dmForward);
    loco.SetSpeed(14);
    loco.SetMaxSpeed(28);
    loco.SetFunctions(0, 1);
    EXPECT_TRUE(loco.SetData());
    EXPECT_TRUE(loop.runUntil([&] { return locoSeen.SpeedStep() == 14; }));
    EXPECT_EQ(locoSeen.Functions(0), 1);
    EXPECT_TRUE(loco.GetData());
    EXPECT_EQ(loco.DeviceState(), sdsActiv);
    EXPECT_EQ(loco.SpeedStep(), 14);
    loco.Terminate();
    EXPECT_TRUE(loop.runUntil([&] { return locoTerms > 0; }));

    // accessory
    TSRCPAccessoire ga, gaSeen;
    ga.SetCommandClient(&cmd);
    ga.SetBus(bus);
    ga.SetAddress(12);
    listen(gaSeen, bus);
    ga.Initalize();
    EXPECT_EQ(ga.DeviceState(), sdsInitialized);
    ga.SetPort(1);
    ga.SetValue(1);
    ga.SetDelay(-1);  // stays on until switched off
    EXPECT_TRUE(ga.SetData());
    EXPECT_TRUE(loop.runUntil([&] { return gaSeen.Address() == 12 && gaSeen.Port() == 1 && gaSeen.Value() == 1; }));
    EXPECT_TRUE(ga.GetData());
    EXPECT_EQ(ga.Value(), 1);
    ga.Terminate();
    EXPECT_EQ(ga.DeviceState(), sdsTerminated);

    // feedback
    TSRCPFeedback fb, fbSeen;
    fb.SetCommandClient(&cmd);
    fb.SetBus(bus);
    listen(fbSeen, bus);
    fb.SetEnabled(true);
    EXPECT_TRUE(fb.Enabled());
    sim.command("fb " + std::to_string(bus) + " 5 1");
    EXPECT_TRUE(loop.runUntil([&] { return fbSeen.Contacts(4) == 1; }));
    fb.SetAddress(5);
    EXPECT_TRUE(fb.GetData());
    EXPECT_EQ(fb.Contacts(4), 1);
    fb.SetEnabled(false);
    EXPECT_FALSE(fb.Enabled());

    EXPECT_EQ(errors, 0) << cmd.Response();
}

TEST_F(SimSessions, ModelTimeRoundTrip)
{
    const int bus = busWith({dgTime});
    ASSERT_GE(bus, 0) << "no bus offers TIME";
    TSRCPTime time, timeSeen;
    time.SetCommandClient(&cmd);
    time.SetBus(bus);
    listen(timeSeen, bus);
    int inits = 0, terms = 0;
    timeSeen.SetOnInit([&](TSRCPBaseDeviceGroup&) { ++inits; });
    timeSeen.SetOnTerm([&](TSRCPBaseDeviceGroup&) { ++terms; });
    time.SetMultiplicator(4);
    time.SetDivisor(1);
    const TSRCPTimeStamp noon{SRCPDayNumber(2026, 5, 1), 12 * 3600 * 1000};
    time.SetTimeDate(noon);  // not enabled yet: stored only
    time.SetEnabled(true);   // INIT, then SET of the stored time
    EXPECT_TRUE(time.Enabled());
    EXPECT_TRUE(loop.runUntil([&] { return inits > 0 && timeSeen.TimeDate().Date == noon.Date; }));
    EXPECT_EQ(timeSeen.Multiplicator(), 4);
    EXPECT_GE(timeSeen.TimeDate().Time, noon.Time);
    EXPECT_TRUE(time.GetData());
    EXPECT_EQ(time.TimeDate().Date, noon.Date);
    EXPECT_GE(time.TimeDate().Time, noon.Time);
    time.SetEnabled(false);
    EXPECT_FALSE(time.Enabled());
    EXPECT_TRUE(loop.runUntil([&] { return terms > 0; }));
    EXPECT_EQ(errors, 0) << cmd.Response();
}

TEST_F(SimSessions, PowerSwitchedAtTheServerReachesTheInfoSession)
{
    const int bus = busWith({dgPower});
    ASSERT_GE(bus, 0);
    TSRCPPower seen;
    listen(seen, bus);
    std::vector<bool> states;
    seen.SetOnChange([&](TSRCPBaseDeviceGroup&) { states.push_back(seen.PowerOn()); });
    sim.command("power " + std::to_string(bus) + " on");
    EXPECT_TRUE(loop.runUntil([&] { return !states.empty() && states.back(); }));
    sim.command("power " + std::to_string(bus) + " off");
    EXPECT_TRUE(loop.runUntil([&] { return !states.empty() && !states.back(); }));
}

TEST_F(SimSessions, DisconnectEndsBothSessions)
{
    int disconnects = 0;
    cmd.SetOnDisconnected([&](TSRCPBaseClient&) { ++disconnects; });
    info.SetOnDisconnected([&](TSRCPBaseClient&) { ++disconnects; });
    EXPECT_NE(cmd.SessionID(), -1);
    EXPECT_NE(info.SessionID(), cmd.SessionID());
    info.Disconnect();
    cmd.Disconnect();
    EXPECT_EQ(disconnects, 2);
    EXPECT_FALSE(cmd.Connected());
    EXPECT_FALSE(info.Connected());
}
