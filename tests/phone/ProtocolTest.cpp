// The WiThrottle reader and writer: client lines as the published protocol writes them, malformed
// ones, and the server's lines with names that carry the protocol's separators.

#include "phone/WiThrottleProtocol.h"

#include <gtest/gtest.h>

using namespace withrottle;

namespace {

struct Case {
    const char* line;
    Kind kind;
    char throttle = 0;
    const char* key = "";
    char action = 0;
    int value = 0;
    int function = 0;
    const char* text = "";
};

}  // namespace

TEST(WiThrottleParse, ReadsTheClientWords)
{
    const Case cases[] = {
        {"NPixel 7", Kind::Name, 0, "", 0, 0, 0, "Pixel 7"},
        {"HU3f2a", Kind::HardwareId, 0, "", 0, 0, 0, "3f2a"},
        {"*", Kind::Heartbeat},
        {"*+", Kind::HeartbeatOn},
        {"*-", Kind::HeartbeatOff},
        {"Q", Kind::Quit},
        {"PPA1", Kind::Power, 0, "", 0, 1},
        {"PPA0", Kind::Power, 0, "", 0, 0},
        {"PTATQT27,54", Kind::Turnout, 0, "", 'T', 0, 0, "QT27,54"},
        {"PTA2LT12", Kind::Turnout, 0, "", '2', 0, 0, "LT12"},
        {"PRA2QR0,0", Kind::Route, 0, "", '2', 0, 0, "QR0,0"},
        {"MT+S3<;>S3", Kind::Acquire, 'T', "S3", 'S'},
        {"MT+L341<;>L341", Kind::Acquire, 'T', "L341", 'L'},
        {"M0+S3<;>EBig Boy", Kind::Acquire, '0', "S3", 'E', 0, 0, "Big Boy"},
        {"MT-S3<;>r", Kind::Release, 'T', "S3", 'r'},
        {"MT-*<;>d", Kind::Release, 'T', "*", 'd'},
        {"MTAS3<;>V50", Kind::Action, 'T', "S3", 'V', 50},
        {"MTAS3<;>V-1", Kind::Action, 'T', "S3", 'V', -1},
        {"MTA*<;>V0", Kind::Action, 'T', "*", 'V', 0},
        {"MTAS3<;>R0", Kind::Action, 'T', "S3", 'R', 0},
        {"MTAS3<;>F12", Kind::Action, 'T', "S3", 'F', 1, 2},
        {"MTAS3<;>F028", Kind::Action, 'T', "S3", 'F', 0, 28},
        {"MTAS3<;>f10", Kind::Action, 'T', "S3", 'f', 1, 0},
        {"MTAS3<;>m12", Kind::Action, 'T', "S3", 'm', 1, 2},
        {"MTAS3<;>X", Kind::Action, 'T', "S3", 'X'},
        {"MTAS3<;>I", Kind::Action, 'T', "S3", 'I'},
        {"MTAS3<;>qV", Kind::Action, 'T', "S3", 'q', 'V'},
        {"PFT", Kind::Ignored},
        {"", Kind::Empty},
        // malformed
        {"MTAS3<;>V127", Kind::Invalid},
        {"MTAS3<;>V-2", Kind::Invalid},
        {"MTAS3<;>Vx", Kind::Invalid},
        {"MTAS3<;>R2", Kind::Invalid},
        {"MTAS3<;>F2", Kind::Invalid},
        {"MTAS3<;>F1999", Kind::Invalid},
        {"MTAX3<;>V1", Kind::Invalid},
        {"MTAS3V1", Kind::Invalid},
        {"MTAS<;>V1", Kind::Invalid},
        {"MTAS99999999999<;>V1", Kind::Invalid},
        {"MT+*<;>*", Kind::Invalid},
        {"MTAS3<;>", Kind::Invalid},
        {"PPA7", Kind::Invalid},
        {"PTAX12", Kind::Invalid},
        {"PTAT", Kind::Invalid},
        {"**", Kind::Invalid},
        {"QQ", Kind::Invalid},
        {"xyz", Kind::Invalid},
        {"N\x01", Kind::Invalid},
        {"N\xc3\xa4", Kind::Invalid},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const Command cmd = parse(c.line);
        EXPECT_EQ(cmd.kind, c.kind);
        if (c.kind == Kind::Invalid || c.kind == Kind::Ignored || c.kind == Kind::Empty)
            continue;
        EXPECT_EQ(cmd.throttle, c.throttle);
        if (*c.key) {
            EXPECT_EQ(cmd.loco.text(), c.key);
        }
        EXPECT_EQ(cmd.action, c.action);
        EXPECT_EQ(cmd.value, c.value);
        EXPECT_EQ(cmd.function, c.function);
        EXPECT_EQ(cmd.text, c.text);
    }
}

TEST(WiThrottleWrite, GreetingListsRosterTurnoutsRoutesPowerAndHeartbeat)
{
    Greeting g;
    g.serverName = "Quarn";
    g.roster = {{"Big]\\[Boy", 3}, {"Class 66", 1066}};
    g.turnouts = {{"QT27,54", "Turnout 5", 2}, {"QT81,54", "Turnout}|{6", 4}};
    g.routes = {{"QR0,0", "Route 1", 0}};
    g.power = 1;
    g.heartbeatSeconds = 4;
    const std::vector<std::string> lines = greeting(g);
    ASSERT_GE(lines.size(), 9u);
    EXPECT_EQ(lines.front(), "VN2.0");
    auto has = [&](const std::string& l) { return std::find(lines.begin(), lines.end(), l) != lines.end(); };
    EXPECT_TRUE(has("RL2]\\[Big Boy}|{3}|{S]\\[Class 66}|{1066}|{L")) << "separators inside names are blanked";
    EXPECT_TRUE(has("PTL]\\[QT27,54}|{Turnout 5}|{2]\\[QT81,54}|{Turnout 6}|{4"));
    EXPECT_TRUE(has("PRL]\\[QR0,0}|{Route 1}|{0"));
    EXPECT_TRUE(has("PPA1"));
    EXPECT_EQ(lines.back(), "*4");
    for (const std::string& l : lines)
        EXPECT_EQ(l.find_first_of("\r\n"), std::string::npos) << l;
}

TEST(WiThrottleWrite, ThrottleLinesAndCleanTexts)
{
    EXPECT_EQ(throttleLine('T', 'A', keyFor(3), "V50"), "MTAS3<;>V50");
    EXPECT_EQ(throttleLine('1', '+', keyFor(341), ""), "M1+L341<;>");
    EXPECT_EQ(functionLabels('T', keyFor(3), {"Light", "F1"}), "MTLS3<;>]\\[Light]\\[F1");
    EXPECT_EQ(alert("no\r\nsuch<;>loco"), "Hmno  such loco");
    EXPECT_EQ(turnoutState({"QT1,2", "x", 4}), "PTA4QT1,2");
}
