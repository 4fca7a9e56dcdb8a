// The SRCP 0.8 client component against the project's simulator: buses from the descriptions, the
// groups' lines on the wire, the listed devices, feedback events, and the loss of the server
// (closed or silent) reported exactly once.

#include "session/SimProcess.h"
#include "srcp/FakeSrcpServer.h"

#include "moba/MoBaProtocolLists.h"
#include "moba/TMoBaSRCPClient.h"
#include "moba/TMoBaSRCPGroups.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

using namespace std::chrono_literals;

namespace {

std::string tempLog(const char* name)
{
    auto path = std::filesystem::temp_directory_path() /
                ("quarn-moba-" + std::to_string(::getpid()) + "-" + name + ".log");
    std::filesystem::remove(path);
    return path.string();
}

// Lines the simulator received, without time stamp and connection ("SET 5 GA 12 1 1 200").
std::vector<std::string> received(const std::string& log, const std::string& prefix)
{
    std::vector<std::string> out;
    for (const std::string& l : SimProcess::readLines(log)) {
        auto r = l.find(" R ");
        if (r != std::string::npos && l.compare(r + 3, prefix.size(), prefix) == 0)
            out.push_back(l.substr(r + 3));
    }
    return out;
}

struct Component {
    explicit Component(int port, bool query = false) : client(loop.executor())
    {
        client.SetHost("127.0.0.1");
        client.SetPort(port);
        client.SetQueryServer(query);
        client.OnDisconnect = [this](TMoBaSRCPClient&) { ++disconnects; };
    }
    bool waitBuses(int n) { return loop.runUntil([&] { return client.BusCount() >= n; }); }

    TestLoop loop;
    TMoBaSRCPClient client;
    int disconnects = 0;
};

} // namespace

TEST(TMoBaSRCPClient, BuildsTheBusesTheServerDescribesAndSendsTheGroupsLines)
{
    const std::string log = tempLog("buses");
    SimProcess sim(SRCP_SIM_PATH, "0.8.2", log);
    Component c(sim.port());
    std::vector<int> busInits, powerEvents;
    c.client.OnBusInit = [&](TMoBaSRCPClient&, TMoBaSRCPBus& b) { busInits.push_back(b.BusNumber()); };
    c.client.OnBusPowerChange = [&](TMoBaSRCPClient&, TMoBaSRCPBus& b) { powerEvents.push_back(b.BusNumber()); };
    c.client.Connect();
    ASSERT_TRUE(c.client.Connected());
    ASSERT_TRUE(c.waitBuses(9));
    c.loop.runUntil([&] { return false; }, 300);  // the power dump

    EXPECT_EQ(busInits, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(c.client.Busses(i).BusNumber(), i);
    EXPECT_THROW(c.client.Busses(9), std::out_of_range);
    TMoBaSRCPBus& bus0 = c.client.Busses(0);
    EXPECT_TRUE(bus0.Time() && !bus0.Power() && !bus0.GLs() && !bus0.GAs() && !bus0.FBs());
    TMoBaSRCPBus& bus1 = c.client.Busses(1);
    EXPECT_TRUE(bus1.Power() && bus1.GLs() && bus1.GAs() && bus1.FBs() && !bus1.Time());
    EXPECT_EQ(bus1.BusSectionName(), "Bus1Info");
    EXPECT_FALSE(bus1.Power()->PowerOn());
    EXPECT_FALSE(powerEvents.empty());

    // accessory: INIT and SET; the info session lists it with the activation time of the Add
    TMoBaSRCPAccessoires& gas = *c.client.Busses(5).GAs();
    TMoBaAdvancedSolenoid sol;
    sol.SetProtocol(MoBaSolenoidProtocols->Items(0));  // Motorola
    sol.SetAddress(12);
    sol.SetActivationTime(500);
    sol.SetPorts(1, 1);
    int gaChanges = 0;
    c.client.OnAccessoireChange = [&](TMoBaSRCPClient&, TMoBaSRCPSolenoid& s) {
        EXPECT_EQ(s.Address(), 12);
        ++gaChanges;
    };
    EXPECT_TRUE(gas.Add(sol));
    sol.SetPorts(1, 0);
    EXPECT_TRUE(gas.Change(sol));
    ASSERT_TRUE(c.loop.runUntil([&] { return gaChanges == 2; }));
    EXPECT_EQ(gas.Solenoids(12)->Ports(1), 0);
    EXPECT_EQ(gas.Solenoids(12)->SRCPState(), mssActivNoRead);
    EXPECT_EQ(gas.Solenoids(12)->ActivationTime(), 500u);
    EXPECT_EQ(gas.AddedCount(), 0);
    EXPECT_EQ(received(log, "INIT 5 GA"), (std::vector<std::string>{"INIT 5 GA 12 M"}));
    EXPECT_EQ(received(log, "SET 5 GA"), (std::vector<std::string>{"SET 5 GA 12 1 1 500", "SET 5 GA 12 1 0 500"}));

    // loco: announced, listed from the server's INIT with a registry protocol; a second loco
    TMoBaSRCPLocos& gls = *bus1.GLs();
    TMoBaLocoProtocol m2;
    m2.SetProtocolBase(mpbMotorola);
    m2.SetProtocolExtension(2);
    m2.SetMaxAddress(80);
    m2.SetMaxSteps(14);
    m2.SetMaxFunctions(5);
    TMoBaAdvancedLoco loco;
    loco.SetProtocol(&m2);
    loco.SetAddress(24);
    loco.SetMaxSpeed(100);
    EXPECT_TRUE(gls.Add(loco));
    loco.SetAddress(25);
    loco.SetDriveMode(mdmBackwards);
    EXPECT_TRUE(gls.Add(loco));
    ASSERT_TRUE(c.loop.runUntil([&] { return gls.Count() == 2 && gls.Locos(25) &&
                                              gls.Locos(25)->SRCPState() == mssActivNoRead; }));
    EXPECT_EQ(received(log, "INIT 1 GL 24"), (std::vector<std::string>{"INIT 1 GL 24 M 2 14 5"}));
    EXPECT_EQ(received(log, "SET 1 GL 24"), (std::vector<std::string>{"SET 1 GL 24 1 0 100 0 0 0 0 0"}));
    ASSERT_NE(gls.Locos(24)->Protocol(), nullptr);
    EXPECT_TRUE(gls.Locos(24)->Protocol()->Groups().test(1));

    // emergency stop of the bus: one command per loco, then each back to its own direction
    bus1.SetEmergencyStop(true);
    bus1.SetEmergencyStop(false);
    EXPECT_EQ(received(log, "SET 1 GL 2"),
              (std::vector<std::string>{"SET 1 GL 24 1 0 100 0 0 0 0 0", "SET 1 GL 25 0 0 100 0 0 0 0 0",
                                        "SET 1 GL 24 2 0 100 0 0 0 0 0", "SET 1 GL 25 2 0 100 0 0 0 0 0",
                                        "SET 1 GL 24 1 0 100 0 0 0 0 0", "SET 1 GL 25 0 0 100 0 0 0 0 0"}));
    c.client.Busses(4).SetEmergencyStop(true);  // no loco group: stores the value only
    EXPECT_TRUE(c.client.Busses(4).EmergencyStop());

    // feedback: a contact far up the bus grows the list and raises the event with its entry
    std::vector<std::pair<int, int>> fb;
    c.client.OnFeedbackChange = [&](TMoBaSRCPClient&, TMoBaSRCPFeedback& f) {
        fb.emplace_back(f.Address(), f.IsActiv());
        EXPECT_EQ(f.Bus(), 8);
    };
    sim.command("fb 8 40 1");
    ASSERT_TRUE(c.loop.runUntil([&] { return !fb.empty(); }));
    EXPECT_EQ(fb.front(), (std::pair<int, int>{40, 1}));
    EXPECT_GE(c.client.Busses(8).FBs()->Count(), 40);

    c.client.Disconnect();
    EXPECT_EQ(c.disconnects, 1) << "a user's disconnect raises OnDisconnect too";
    EXPECT_EQ(c.client.BusCount(), 0);
    c.client.Disconnect();
    c.loop.runAll();
    EXPECT_EQ(c.disconnects, 1) << "disconnecting a disconnected component raises nothing";
    std::filesystem::remove(log);
}

TEST(TMoBaSRCPClient, CurrentSrcpdWithOneBusAndGroupsItDoesNotKnow)
{
    const std::string log = tempLog("srcpd");
    SimProcess sim(SRCP_SIM_PATH, "0.8.2", log, {"--srcpd"});
    sim.command("fb 1 3 1");
    Component c(sim.port());
    std::vector<int> contacts;
    c.client.OnFeedbackChange = [&](TMoBaSRCPClient&, TMoBaSRCPFeedback& f) { contacts.push_back(f.Address()); };
    c.client.Connect();
    ASSERT_TRUE(c.client.Connected());
    EXPECT_EQ(c.client.Welcome(), "srcpd V2.1.3");
    ASSERT_TRUE(c.waitBuses(2));
    ASSERT_TRUE(c.loop.runUntil([&] { return !contacts.empty(); }));
    EXPECT_EQ(c.client.BusCount(), 2);
    EXPECT_EQ(c.client.BusByNumber(5), nullptr);
    TMoBaSRCPBus* bus1 = c.client.BusByNumber(1);
    ASSERT_NE(bus1, nullptr);
    EXPECT_TRUE(bus1->GAs() && bus1->GLs() && bus1->FBs() && bus1->Power());
    EXPECT_EQ(contacts, std::vector<int>{3}) << "only the occupied contact came with the start";
    EXPECT_EQ(bus1->FBs()->Items(2).IsActiv(), 1);
}

TEST(TMoBaSRCPClient, QueryServerAsksForEachBusUntilOneHasNoGroup)
{
    const std::string log = tempLog("query");
    SimProcess sim(SRCP_SIM_PATH, "0.8.2", log, {"--srcpd"});
    Component c(sim.port(), true);
    c.client.Connect();
    ASSERT_TRUE(c.client.Connected());
    EXPECT_EQ(c.client.BusCount(), 2) << "buses 0 and 1 at once, bus 2 does not exist";
    c.loop.runUntil([&] { return false; }, 300);
    EXPECT_EQ(c.client.BusCount(), 2) << "the descriptions that follow create nothing new";
    EXPECT_EQ(received(log, "GET 0 DESCRIPTION").size(), 1u);
    EXPECT_FALSE(received(log, "GET 2 DESCRIPTION").empty());
    EXPECT_TRUE(received(log, "GET 3 DESCRIPTION").empty());
}

TEST(TMoBaSRCPClient, ServerClosingMidSessionIsReportedOnceAndFreesTheBuses)
{
    const std::string log = tempLog("closed");
    SimProcess sim(SRCP_SIM_PATH, "0.8.2", log);
    Component c(sim.port());
    c.client.Connect();
    ASSERT_TRUE(c.waitBuses(9));
    sim.command("quit");
    ASSERT_TRUE(c.loop.runUntil([&] { return c.disconnects > 0; }));
    c.loop.runUntil([&] { return false; }, 300);
    EXPECT_EQ(c.disconnects, 1);
    EXPECT_FALSE(c.client.Connected());
    EXPECT_EQ(c.client.BusCount(), 0);
}

TEST(TMoBaSRCPClient, SilentServerIsGivenUpAfterTheAnswerTimeOut)
{
    const std::string log = tempLog("silent");
    SimProcess sim(SRCP_SIM_PATH, "0.8.2", log);
    Component c(sim.port());
    c.client.SetAnswerTimeoutMs(400);
    c.client.Connect();
    ASSERT_TRUE(c.waitBuses(9));
    c.loop.runUntil([&] { return false; }, 200);
    sim.command("mute");
    std::this_thread::sleep_for(100ms);
    TMoBaSRCPPower& power = *c.client.Busses(1).Power();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(power.SetPowerOn(true));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_LT(waited, 5s) << "the window waits for the time-out, not for ever";
    EXPECT_FALSE(c.client.Connected()) << "given up at once";
    EXPECT_EQ(c.client.BusCount(), 9) << "the bus under the call is freed only after it returned";
    ASSERT_TRUE(c.loop.runUntil([&] { return c.disconnects > 0; }));
    c.loop.runUntil([&] { return false; }, 200);
    EXPECT_EQ(c.disconnects, 1);
    EXPECT_EQ(c.client.BusCount(), 0);
    // and it connects again once the server answers
    sim.command("unmute");
    std::this_thread::sleep_for(100ms);
    c.client.Connect();
    EXPECT_TRUE(c.client.Connected());
    EXPECT_TRUE(c.waitBuses(9));
}

TEST(TMoBaSRCPClient, RefusedConnectionRaisesAndLeavesItDisconnected)
{
    Component c(1);  // nothing listens on port 1
    int events = 0;
    c.client.OnDisconnect = [&](TMoBaSRCPClient&) { ++events; };
    EXPECT_ANY_THROW(c.client.Connect());
    EXPECT_FALSE(c.client.Connected());
    c.loop.runAll();
    EXPECT_EQ(events, 0) << "a failed attempt is no loss of a connection";
}

TEST(TMoBaSRCPGroups, AnnouncedLocoWithoutDefaultProtocolGetsAnAutomaticOne)
{
    const int before = MoBaLocoProtocols->Count();
    TMoBaLocoProtocol* p = SRCPToMoBaLocoProtocol(spNMRA, 1, 128, 5, 3, 1);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(MoBaLocoProtocols->Count(), before + 1);
    EXPECT_EQ(p->Name(), "Automatic loco protocol");
    EXPECT_EQ(p->Description(), "Automatic loco protocol with 256 addresses, 128 speed steps and 5 function(s).");
    EXPECT_TRUE(p->Groups().test(1));
    // the same announcement again finds it
    EXPECT_EQ(SRCPToMoBaLocoProtocol(spNMRA, 1, 128, 5, 7, 2), p);
    // "Motorola 4" (255 addresses) fits address 200, "Motorola 2" (80) does not
    TMoBaLocoProtocol* m = SRCPToMoBaLocoProtocol(spMotorola, 2, 14, 5, 200, 1);
    EXPECT_EQ(m->Name(), "Motorola 4");
    EXPECT_EQ(SRCPToMoBaLocoProtocol(spMotorola, 2, 14, 5, 20, 1)->Name(), "Motorola 2");
}

TEST(TMoBaSRCPGroups, DriveModeAndProtocolTables)
{
    EXPECT_EQ(MoBaToSRCPDriveMode(mdmChange, dmForward), dmBackwards);
    EXPECT_EQ(MoBaToSRCPDriveMode(mdmChange, dmBackwards), dmForward);
    EXPECT_EQ(MoBaToSRCPDriveMode(mdmNext, dmForward), dmInvalid);
    EXPECT_EQ(SRCPToMoBaDriveMode(dmNoChange, mdmBackwards), mdmBackwards);
    EXPECT_EQ(SRCPToMoBaDriveMode(dmEmergencyStop, mdmForward), mdmEmergencyStop);
    EXPECT_EQ(SRCPToMoBaProtTranslation(spProtByServer), mpbCustom);
    EXPECT_EQ(SRCPToMoBaProtTranslation(spInvalid), mpbCustom);
    EXPECT_EQ(MoBaToSRCPProtTranslation(mpbCustom), spProtByServer);
    for (TSRCPProtocols p : {spAnalog, spFleischman, spLoconet, spMotorola, spNMRA, spSelectrix, spZimo})
        EXPECT_EQ(MoBaToSRCPProtTranslation(SRCPToMoBaProtTranslation(p)), p);
}
