// What phones may do with the railway: acquiring and driving locos, functions with latching and
// momentary keys, turnouts, power, and what every client is told when the railway changes; a lost
// heartbeat or a dropped client stops its locos.

#include "phone/PhoneThrottles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace withrottle;

namespace {

struct FakeRailway : Railway {
    std::vector<RosterEntry> locos{{"Lok", 3}, {"Big Boy", 4014}, {"", 0}};
    std::vector<LocoState> state = std::vector<LocoState>(3);
    std::vector<NamedItem> points{{"QT1,1", "Turnout 1", 2}};
    int powerState = 2;
    std::vector<std::string> calls;

    std::string serverName() const override { return "Test"; }
    std::vector<RosterEntry> roster() const override { return locos; }
    std::vector<NamedItem> turnouts() const override { return points; }
    std::vector<NamedItem> routes() const override { return {{"QR0,0", "Route 1", 0}}; }
    int power() const override { return powerState; }
    LocoState loco(int lnr) const override { return state[static_cast<std::size_t>(lnr)]; }
    void setSpeed(int lnr, int speed) override
    {
        calls.push_back("speed " + std::to_string(lnr) + " " + std::to_string(speed));
        state[static_cast<std::size_t>(lnr)].speed = speed;
    }
    void setDirection(int lnr, bool forward) override
    {
        calls.push_back("dir " + std::to_string(lnr) + " " + std::to_string(forward));
        state[static_cast<std::size_t>(lnr)].forward = forward;
    }
    void setFunction(int lnr, int f, bool on) override
    {
        calls.push_back("F" + std::to_string(f) + " " + std::to_string(lnr) + " " + std::to_string(on));
        state[static_cast<std::size_t>(lnr)].on[static_cast<std::size_t>(f)] = on;
    }
    void emergencyStop(int lnr) override { calls.push_back("estop " + std::to_string(lnr)); }
    bool setTurnout(const std::string& name, char how) override
    {
        if (name != "QT1,1")
            return false;
        calls.push_back(std::string("turnout ") + how);
        points[0].state = how == 'T' ? 4 : how == 'C' ? 2 : (points[0].state == 4 ? 2 : 4);
        return true;
    }
    bool setRoute(const std::string& name) override
    {
        calls.push_back("route " + name);
        return name == "QR0,0";
    }
    void setPower(bool on) override
    {
        calls.push_back(on ? "power on" : "power off");
        powerState = on ? 1 : 0;
    }
};

struct PhoneThrottlesTest : ::testing::Test {
    FakeRailway rail;
    std::map<int, std::vector<std::string>> sent;
    PhoneThrottles phones{rail, [this](int c, const std::string& l) { sent[c].push_back(l); },
                          [](PhoneThrottles::Text t) { return "text" + std::to_string(static_cast<int>(t)); }};

    void cmd(int client, const std::string& line)
    {
        const Command c = parse(line);
        ASSERT_NE(c.kind, Kind::Invalid) << line;
        phones.command(client, c);
    }
    bool got(int client, const std::string& line) const
    {
        const auto it = sent.find(client);
        return it != sent.end() && std::find(it->second.begin(), it->second.end(), line) != it->second.end();
    }
    void clear() { sent.clear(); rail.calls.clear(); }
};

}  // namespace

TEST_F(PhoneThrottlesTest, GreetingAndAcquireByAddressOrRosterEntry)
{
    phones.clientJoined(1);
    EXPECT_TRUE(got(1, "RL2]\\[Lok}|{3}|{S]\\[Big Boy}|{4014}|{L")) << "records without an address are left out";
    EXPECT_TRUE(got(1, "PTL]\\[QT1,1}|{Turnout 1}|{2"));
    EXPECT_TRUE(got(1, "*10"));
    cmd(1, "NPhone");
    cmd(1, "MT+S3<;>S3");
    EXPECT_TRUE(got(1, "MT+S3<;>"));
    EXPECT_TRUE(got(1, "MTAS3<;>V0"));
    EXPECT_TRUE(got(1, "MTAS3<;>F00"));
    EXPECT_TRUE(got(1, "MTAS3<;>R1"));
    cmd(1, "MS+L4014<;>EBig Boy");
    EXPECT_TRUE(got(1, "MS+L4014<;>"));
    EXPECT_EQ(phones.heldBy(1), (std::vector<int>{0, 1}));
    cmd(1, "MT+S7<;>S7");
    EXPECT_TRUE(got(1, "Hmtext0 7")) << "an address the program has no loco for";
    EXPECT_FALSE(got(1, "MT+S7<;>"));
    cmd(1, "MT-S3<;>r");
    EXPECT_TRUE(got(1, "MT-S3<;>"));
    EXPECT_EQ(phones.heldBy(1), (std::vector<int>{1}));
}

TEST_F(PhoneThrottlesTest, DrivingGoesToTheRailwayAndOtherHoldersAreTold)
{
    phones.clientJoined(1);
    phones.clientJoined(2);
    cmd(1, "MT+S3<;>S3");
    cmd(2, "MA+S3<;>S3");
    clear();
    cmd(1, "MTAS3<;>V60");
    EXPECT_EQ(rail.calls, (std::vector<std::string>{"speed 0 60"}));
    EXPECT_FALSE(got(1, "MTAS3<;>V60")) << "the sender's slider is not echoed";
    EXPECT_TRUE(got(2, "MAAS3<;>V60"));
    cmd(1, "MTAS3<;>R0");
    EXPECT_TRUE(got(1, "MTAS3<;>R0"));
    EXPECT_TRUE(got(2, "MAAS3<;>R0"));
    cmd(1, "MTA*<;>X");
    EXPECT_EQ(rail.calls.back(), "estop 0");
    cmd(1, "MTAS3<;>V-1");
    EXPECT_EQ(rail.calls.back(), "estop 0");
    // The screen moves the loco: both phones are told at the next poll.
    clear();
    rail.state[0].speed = 20;
    phones.poll();
    EXPECT_TRUE(got(1, "MTAS3<;>V20"));
    EXPECT_TRUE(got(2, "MAAS3<;>V20"));
    clear();
    phones.poll();
    EXPECT_TRUE(sent.empty()) << "no change, nothing sent";
}

TEST_F(PhoneThrottlesTest, LatchingAndMomentaryFunctionKeys)
{
    phones.clientJoined(1);
    cmd(1, "MT+S3<;>S3");
    clear();
    cmd(1, "MTAS3<;>F12");  // latching: the press switches
    cmd(1, "MTAS3<;>F02");  // the release does nothing
    EXPECT_EQ(rail.calls, (std::vector<std::string>{"F2 0 1"}));
    EXPECT_TRUE(got(1, "MTAS3<;>F12"));
    cmd(1, "MTAS3<;>F12");
    EXPECT_EQ(rail.calls.back(), "F2 0 0");
    clear();
    cmd(1, "MTAS3<;>m11");  // F1 momentary: on while pressed
    cmd(1, "MTAS3<;>F11");
    cmd(1, "MTAS3<;>F01");
    EXPECT_EQ(rail.calls, (std::vector<std::string>{"F1 0 1", "F1 0 0"}));
    clear();
    cmd(1, "MTAS3<;>f10");
    cmd(1, "MTAS3<;>F19");  // beyond the functions the program has
    EXPECT_EQ(rail.calls, (std::vector<std::string>{"F0 0 1"}));
}

TEST_F(PhoneThrottlesTest, HeartbeatLostAndDroppedClientsStopTheirLocos)
{
    phones.clientJoined(1);
    phones.clientJoined(2);
    cmd(1, "MT+S3<;>S3");
    cmd(1, "MTAS3<;>V80");
    cmd(2, "MT+L4014<;>L4014");
    cmd(2, "MTAL4014<;>V40");
    clear();
    phones.heartbeatLost(1);
    EXPECT_EQ(rail.calls, (std::vector<std::string>{"speed 0 0"}));
    EXPECT_TRUE(got(1, "MTAS3<;>V0")) << "the phone's slider follows, should it hear again";
    EXPECT_EQ(phones.heldBy(1), (std::vector<int>{0})) << "it keeps its loco";
    clear();
    phones.clientLeft(2);
    EXPECT_EQ(rail.calls, (std::vector<std::string>{"speed 1 0"}));
    EXPECT_TRUE(phones.heldBy(2).empty());
    cmd(2, "MTAL4014<;>V40");
    EXPECT_EQ(rail.calls.size(), 1u) << "a client that left commands nothing";
}

TEST_F(PhoneThrottlesTest, TurnoutsRoutesAndPowerAreToldToEveryClient)
{
    phones.clientJoined(1);
    phones.clientJoined(2);
    clear();
    cmd(2, "PTATQT1,1");
    EXPECT_EQ(rail.calls, (std::vector<std::string>{"turnout T"}));
    EXPECT_TRUE(got(1, "PTA4QT1,1"));
    EXPECT_TRUE(got(2, "PTA4QT1,1"));
    clear();
    rail.points[0].state = 2;  // thrown back on the panel
    phones.poll();
    EXPECT_TRUE(got(1, "PTA2QT1,1"));
    cmd(1, "PTATnope");
    EXPECT_TRUE(got(1, "Hmtext1 nope"));
    cmd(1, "PRA2QR0,0");
    EXPECT_EQ(rail.calls.back(), "route QR0,0");
    clear();
    cmd(1, "PPA1");
    EXPECT_EQ(rail.calls, (std::vector<std::string>{"power on"}));
    EXPECT_TRUE(got(1, "PPA1"));
    EXPECT_TRUE(got(2, "PPA1"));
}
