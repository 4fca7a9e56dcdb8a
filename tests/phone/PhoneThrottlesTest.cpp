// What phones may do with the railway: acquiring and driving locos, functions with latching and
// momentary keys (only those the loco has), turnouts, power, and what every client is told when the
// railway changes or refuses; a loco stops when the last speaking phone that holds it goes.

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
    Refusal refuse = Refusal::None;
    int step = 1;  // the loco runs at multiples of this phone speed
    bool powerAnswers = true;
    std::vector<std::string> calls;

    Refusal refusal(Kind) const override { return refuse; }
    unsigned functions(int lnr) const override { return lnr == 1 ? 0b101u : 0b11111u; }  // Big Boy: F0, F2

    std::string serverName() const override { return "Test"; }
    std::vector<RosterEntry> roster() const override { return locos; }
    std::vector<NamedItem> turnouts() const override { return points; }
    std::vector<NamedItem> routes() const override { return {{"QR0,0", "Route 1", 0}}; }
    int power() const override { return powerState; }
    LocoState loco(int lnr) const override { return state[static_cast<std::size_t>(lnr)]; }
    void setSpeed(int lnr, int speed) override
    {
        calls.push_back("speed " + std::to_string(lnr) + " " + std::to_string(speed));
        state[static_cast<std::size_t>(lnr)].speed = speed / step * step;
    }
    void setDirection(int lnr, bool forward) override
    {
        calls.push_back("dir " + std::to_string(lnr) + " " + std::to_string(forward));
        if (state[static_cast<std::size_t>(lnr)].speed == 0)  // as the screen's button: turns at standstill
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
        if (powerAnswers)
            powerState = on ? 1 : 0;
    }
};

struct PhoneThrottlesTest : ::testing::Test {
    FakeRailway rail;
    std::map<int, std::vector<std::string>> sent;
    PhoneThrottles phones{rail, [this](int c, const std::string& l) { sent[c].push_back(l); },
                          [](PhoneThrottles::Text t) { return "text" + std::to_string(static_cast<int>(t)); }};
    std::int64_t now = 0;
    PhoneThrottlesTest() { phones.clock = [this] { return now; }; }

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
    // A reverse while moving is refused, as on the screen: the sender's button is put back.
    clear();
    cmd(1, "MTAS3<;>R0");
    EXPECT_TRUE(rail.state[0].forward);
    EXPECT_TRUE(got(1, "MTAS3<;>R1"));
    EXPECT_FALSE(got(2, "MAAS3<;>R0"));
    // At standstill it turns: the other holder is told, the sender is not echoed.
    cmd(1, "MTAS3<;>V0");
    clear();
    cmd(1, "MTAS3<;>R0");
    EXPECT_FALSE(rail.state[0].forward);
    EXPECT_TRUE(got(2, "MAAS3<;>R0"));
    EXPECT_FALSE(got(1, "MTAS3<;>R0"));
    // A speed the loco cannot run at is told back as the one it runs at.
    rail.step = 10;
    clear();
    cmd(1, "MTAS3<;>V55");
    EXPECT_TRUE(got(1, "MTAS3<;>V50"));
    EXPECT_TRUE(got(2, "MAAS3<;>V50"));
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

TEST_F(PhoneThrottlesTest, ALocoStopsOnlyWhenTheLastSpeakingPhoneThatHoldsItGoes)
{
    // How the first phone goes, and then how the second.
    struct Case {
        const char* first;
        const char* second;
    };
    for (const Case& k : {Case{"left", "left"}, Case{"silent", "left"}, Case{"left", "silent"},
                          Case{"silent", "silent"}}) {
        PhoneThrottles p{rail, [](int, const std::string&) {}, [](PhoneThrottles::Text) { return std::string(); }};
        const auto go = [&](int client, const std::string& how) {
            if (how == "left")
                p.clientLeft(client);
            else
                p.heartbeatLost(client);
        };
        p.clientJoined(1);
        p.clientJoined(2);
        p.command(1, parse("MT+S3<;>S3"));
        p.command(2, parse("MA+S3<;>S3"));
        p.command(1, parse("MTAS3<;>V80"));
        rail.calls.clear();
        go(1, k.first);
        EXPECT_TRUE(rail.calls.empty()) << k.first << ": the other phone still drives it";
        go(2, k.second);
        EXPECT_EQ(rail.calls, (std::vector<std::string>{"speed 0 0"})) << k.first << ", " << k.second;
    }
    // A silent phone that speaks again holds its loco again.
    phones.clientJoined(1);
    phones.clientJoined(2);
    cmd(1, "MT+S3<;>S3");
    cmd(2, "MA+S3<;>S3");
    phones.heartbeatLost(1);
    cmd(1, "*");
    clear();
    phones.clientLeft(2);
    EXPECT_TRUE(rail.calls.empty());
}

TEST_F(PhoneThrottlesTest, CommandsTheRailwayRefusesGetAnAlertAndThePhoneIsPutRight)
{
    phones.clientJoined(1);
    cmd(1, "MT+S3<;>S3");
    rail.powerState = 0;
    phones.poll();
    struct Case {
        Refusal why;
        std::string alert;
    };
    for (const Case& k : {Case{Refusal::NotOperating, "Hmtext4"}, Case{Refusal::NotConnected, "Hmtext3"}}) {
        rail.refuse = k.why;
        now += PhoneThrottles::AlertRepeatMs;
        clear();
        cmd(1, "MTAS3<;>V60");
        cmd(1, "MTAS3<;>R0");
        cmd(1, "MTAS3<;>F11");
        cmd(1, "PTATQT1,1");
        cmd(1, "PRA2QR0,0");
        cmd(1, "PPA1");
        EXPECT_TRUE(rail.calls.empty()) << k.alert;
        EXPECT_EQ(std::count(sent[1].begin(), sent[1].end(), k.alert), 1) << "one alert, not one per command";
        EXPECT_TRUE(got(1, "MTAS3<;>V0")) << "its slider back where the loco is";
        EXPECT_TRUE(got(1, "MTAS3<;>R1"));
        EXPECT_TRUE(got(1, "PPA0")) << "its power switch back";
        now += PhoneThrottles::AlertRepeatMs;
        clear();
        cmd(1, "MTAS3<;>V60");
        EXPECT_TRUE(got(1, k.alert)) << "said again after a while";
    }
    // Carried out again: a power command is not contradicted while the server answers, then told.
    rail.refuse = Refusal::None;
    rail.powerAnswers = false;
    clear();
    cmd(1, "PPA1");
    EXPECT_EQ(rail.calls, (std::vector<std::string>{"power on"}));
    now += PhoneThrottles::PowerAnswerMs - 1;
    phones.poll();
    EXPECT_FALSE(got(1, "PPA0"));
    now += 1;
    phones.poll();
    EXPECT_TRUE(got(1, "PPA0")) << "no answer in time: the phone is told what the railway has";
    rail.powerAnswers = true;
    clear();
    cmd(1, "PPA1");
    EXPECT_TRUE(got(1, "PPA1")) << "the railway's answer is told";
}

TEST_F(PhoneThrottlesTest, OnlyTheFunctionsALocoHasAreOffered)
{
    phones.clientJoined(1);
    cmd(1, "MT+L4014<;>L4014");
    EXPECT_TRUE(got(1, "MTLL4014<;>]\\[Light]\\[]\\[F2"));
    EXPECT_TRUE(got(1, "MTAL4014<;>F00"));
    EXPECT_TRUE(got(1, "MTAL4014<;>F02"));
    EXPECT_FALSE(got(1, "MTAL4014<;>F01"));
    EXPECT_FALSE(got(1, "MTAL4014<;>F04"));
    clear();
    cmd(1, "MTAL4014<;>F11");
    cmd(1, "MTAL4014<;>F01");
    EXPECT_TRUE(rail.calls.empty());
    EXPECT_EQ(sent[1], (std::vector<std::string>{"Hmtext5 F1"}));
    cmd(1, "MTAL4014<;>F12");
    EXPECT_EQ(rail.calls, (std::vector<std::string>{"F2 1 1"}));
}
