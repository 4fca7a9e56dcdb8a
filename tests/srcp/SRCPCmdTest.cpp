#include "srcp/SRCPCmd.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>

namespace {

// A command of version 0.8.2 set up the way clients and device groups do it.
void prepare(TSRCPCmd& c, TSRCPDeviceGroup g, TSRCPCommandType t, int bus)
{
    c.SetInvalid();
    c.SetSRCPVersion(cv082);
    c.SetDeviceGroup(g);
    c.SetCommandType(t);
    c.SetBus(bus);
}

struct BuildCase {
    const char* expected;
    std::function<void(TSRCPCmd&)> setup;
};

} // namespace

TEST(SRCPCmd, BuildsEveryLineFormExactly)
{
    const BuildCase cases[] = {
        {"GET 1 GL 3", [](TSRCPCmd& c) { prepare(c, dgLoco, ctGet, 1); c.SetDevAddress(3); }},
        {"TERM 1 GL 3", [](TSRCPCmd& c) { prepare(c, dgLoco, ctTerm, 1); c.SetDevAddress(3); }},
        {"INIT 1 GL 3 M 2 14 5", [](TSRCPCmd& c) {
             prepare(c, dgLoco, ctInit, 1);
             c.SetDevAddress(3);
             auto& l = c.DevLoco();
             l.SetProtocol(spMotorola); l.SetSubProtocol(2); l.SetMaxSpeedStep(14); l.SetFunctionCount(5);
         }},
        {"INIT 1 GL 3 A", [](TSRCPCmd& c) {  // analog: no subprotocol, steps or function count
             prepare(c, dgLoco, ctInit, 1);
             c.SetDevAddress(3);
             auto& l = c.DevLoco();
             l.SetProtocol(spAnalog); l.SetSubProtocol(2); l.SetMaxSpeedStep(14); l.SetFunctionCount(5);
         }},
        {"INIT 1 GL 3 N 128 5", [](TSRCPCmd& c) {  // a subprotocol of 0 is never written
             prepare(c, dgLoco, ctInit, 1);
             c.SetDevAddress(3);
             auto& l = c.DevLoco();
             l.SetProtocol(spNMRA); l.SetSubProtocol(0); l.SetMaxSpeedStep(128); l.SetFunctionCount(5);
         }},
        {"INIT 1 GL 3 S 31 2", [](TSRCPCmd& c) {  // subprotocols only for M and N
             prepare(c, dgLoco, ctInit, 1);
             c.SetDevAddress(3);
             auto& l = c.DevLoco();
             l.SetProtocol(spSelectrix); l.SetSubProtocol(1); l.SetMaxSpeedStep(31); l.SetFunctionCount(2);
         }},
        {"SET 1 GL 3 1 50 100 1 0 0 0 0", [](TSRCPCmd& c) {
             prepare(c, dgLoco, ctSet, 1);
             c.SetDevAddress(3);
             auto& l = c.DevLoco();
             l.SetDriveMode(dmForward); l.SetSpeed(50); l.SetMaxSpeed(100); l.SetFunctionCount(5);
             l.SetFunctions(0, 1);
         }},
        {"SET 1 GL 3 2 = * 0", [](TSRCPCmd& c) {
             prepare(c, dgLoco, ctSet, 1);
             c.SetDevAddress(3);
             auto& l = c.DevLoco();
             l.SetDriveMode(dmEmergencyStop); l.SetSpeed(-2); l.SetMaxSpeed(-3);
         }},
        {"SET 1 GA 5 0", [](TSRCPCmd& c) {  // absent value and delay are left out
             prepare(c, dgAccessoire, ctSet, 1);
             c.SetDevAddress(5);
             c.DevAccessoire().SetPort(0);
             c.DevAccessoire().SetDelay(-1);
         }},
        {"SET 1 GA 5 0 1 200", [](TSRCPCmd& c) {
             prepare(c, dgAccessoire, ctSet, 1);
             c.SetDevAddress(5);
             auto& a = c.DevAccessoire();
             a.SetPort(0); a.SetValue(1); a.SetDelay(200);
         }},
        {"INIT 1 GA 5 M", [](TSRCPCmd& c) { prepare(c, dgAccessoire, ctInit, 1); c.SetDevAddress(5); }},
        {"INIT 1 GA 5", [](TSRCPCmd& c) {  // no accessory letter for a loco-only protocol
             prepare(c, dgAccessoire, ctInit, 1);
             c.SetDevAddress(5);
             c.DevAccessoire().SetProtocol(spSelectrix);
         }},
        {"GET 1 GA 5 0", [](TSRCPCmd& c) {
             prepare(c, dgAccessoire, ctGet, 1);
             c.SetDevAddress(5);
             c.DevAccessoire().SetPort(0);
         }},
        {"INIT 1 FB S88", [](TSRCPCmd& c) { prepare(c, dgFeedback, ctInit, 1); c.SetDataString("S88"); }},
        {"GET 1 FB 12", [](TSRCPCmd& c) { prepare(c, dgFeedback, ctGet, 1); c.SetDevAddress(12); }},
        {"TERM 1 FB", [](TSRCPCmd& c) { prepare(c, dgFeedback, ctTerm, 1); }},
        {"SET 1 POWER ON", [](TSRCPCmd& c) { prepare(c, dgPower, ctSet, 1); c.DevPower().SetPowerOn(true); }},
        {"SET 0 POWER OFF", [](TSRCPCmd& c) { prepare(c, dgPower, ctSet, 0); }},
        {"GET 1 POWER", [](TSRCPCmd& c) { prepare(c, dgPower, ctGet, 1); }},
        {"INIT 1 TIME 10 1", [](TSRCPCmd& c) {
             prepare(c, dgTime, ctInit, 1);
             c.DevTime().SetMultiplicator(10); c.DevTime().SetDivisor(1);
         }},
        {"SET 1 TIME 2460000 12 30 0", [](TSRCPCmd& c) {
             prepare(c, dgTime, ctSet, 1);
             auto& t = c.DevTime();
             t.SetDays(2460000); t.SetHour(12); t.SetMinute(30); t.SetSecond(0);
         }},
        {"SET 1 LOCK GL 3 60", [](TSRCPCmd& c) {
             prepare(c, dgLock, ctSet, 1);
             c.SetDevAddress(3);
             c.DevLock().SetLockDevGroup(dgLoco); c.DevLock().SetDuration(60);
         }},
        {"TERM 1 LOCK GL 3", [](TSRCPCmd& c) {
             prepare(c, dgLock, ctTerm, 1);
             c.SetDevAddress(3);
             c.DevLock().SetLockDevGroup(dgLoco);
         }},
        {"GET 0 SERVER", [](TSRCPCmd& c) { prepare(c, dgServer, ctGet, 0); }},
        {"TERM 0 SESSION 17", [](TSRCPCmd& c) { prepare(c, dgSession, ctTerm, 0); c.DevSession().SetSessionID(17); }},
        {"GET 1 DESCRIPTION", [](TSRCPCmd& c) { prepare(c, dgDescription, ctGet, 1); c.SetDevAddress(3); }},
        {"GET 1 DESCRIPTION GL 3", [](TSRCPCmd& c) {
             prepare(c, dgDescription, ctGet, 1);
             c.SetDevAddress(3);
             c.DevDescription().SetDescriptionDevGroup(dgLoco);
         }},
        {"SET 1 SM 3 CV 29 6", [](TSRCPCmd& c) {
             prepare(c, dgServiceMode, ctSet, 1);
             c.SetDevAddress(3);
             auto& s = c.DevServiceMode();
             s.SetAddressType(smtCV); s.SetTypeAddress(29); s.SetValue(6); s.SetBit(5);
         }},
        {"SET 1 SM 3 CVBIT 29 5 1", [](TSRCPCmd& c) {
             prepare(c, dgServiceMode, ctSet, 1);
             c.SetDevAddress(3);
             auto& s = c.DevServiceMode();
             s.SetAddressType(smtCVBit); s.SetTypeAddress(29); s.SetBit(5); s.SetValue(1);
         }},
        {"SET 1 SM 3 REG 5 2", [](TSRCPCmd& c) {
             prepare(c, dgServiceMode, ctSet, 1);
             c.SetDevAddress(3);
             auto& s = c.DevServiceMode();
             s.SetAddressType(smtReg); s.SetTypeAddress(5); s.SetValue(2);
         }},
        {"INIT 1 SM NMRA", [](TSRCPCmd& c) { prepare(c, dgServiceMode, ctInit, 1); c.DevServiceMode().SetProtocol(spNMRA); }},
        {"SET PROTOCOL SRCP 0.8.2", [](TSRCPCmd& c) {
             prepare(c, dgHandshake, ctSetVersion, 0);
             c.DevHandshake().SetVersion(cv082);
         }},
        {"SET CONNECTIONMODE SRCP COMMAND", [](TSRCPCmd& c) {
             prepare(c, dgHandshake, ctSetMode, 0);
             c.DevHandshake().SetMode(cmtCommand);
         }},
        {"SET CONNECTIONMODE SRCP INFO", [](TSRCPCmd& c) {
             prepare(c, dgHandshake, ctSetMode, 0);
             c.DevHandshake().SetMode(cmtInfo);
         }},
        {"GO", [](TSRCPCmd& c) { prepare(c, dgHandshake, ctGo, 0); }},
        // error forms
        {"413 ERROR temporarily prohibited", [](TSRCPCmd& c) {
             prepare(c, dgLoco, ctETempProhibited, 1);
             c.SetCommandClass(ccCommand);
         }},
        {"0.000 413 ERROR temporarily prohibited", [](TSRCPCmd& c) { prepare(c, dgLoco, ctETempProhibited, 1); }},
        {"105.250 200 OK", [](TSRCPCmd& c) { prepare(c, dgHandshake, ctCmdOK, 0); c.SetTimeStamp(105.25); }},
        {"105.250 100 INFO 1 FB 12 1", [](TSRCPCmd& c) {
             prepare(c, dgFeedback, ctInfoGet, 1);
             c.SetTimeStamp(105.25); c.SetDevAddress(12); c.DevFeedback().SetValue(1);
         }},
        {"699 ERROR internal error", [](TSRCPCmd& c) { prepare(c, dgWelcome, ctGet, 0); }},  // no row
        {"699 ERROR internal error", [](TSRCPCmd& c) {  // 0.7.3 has no rows at all
             prepare(c, dgLoco, ctGet, 1);
             c.SetSRCPVersion(cv073);
         }},
        {"demo-server V1.0;SRCP 0.8.2;SRCPOTHER 0.7.3", [](TSRCPCmd& c) {
             prepare(c, dgWelcome, ctWelcome, 0);
             auto& w = c.DevWelcome();
             w.SetWelcome("demo-server V1.0"); w.AddVersion(cv082); w.AddVersion(cv073);
         }},
    };
    TSRCPCmd cmd;
    for (const auto& c : cases) {
        c.setup(cmd);
        EXPECT_EQ(cmd.Command(), c.expected);
    }
}

// Each group has a device of its own kind, reached the same way by group and by name, that belongs
// to this command; the invalid group has none.
TEST(SRCPCmd, EachGroupHasItsOwnDevice)
{
    TSRCPCmd c;
    const auto is = [&c](TSRCPDeviceGroup g, auto* typed) {
        TSRCPBaseDevice* d = c.Devices(g);
        return d != nullptr && dynamic_cast<decltype(typed)>(d) != nullptr && &d->Owner() == &c;
    };
    EXPECT_TRUE(is(dgFeedback, static_cast<TSRCPDeviceFeedback*>(nullptr)));
    EXPECT_TRUE(is(dgAccessoire, static_cast<TSRCPDeviceAccessoire*>(nullptr)));
    EXPECT_TRUE(is(dgLoco, static_cast<TSRCPDeviceLoco*>(nullptr)));
    EXPECT_TRUE(is(dgServiceMode, static_cast<TSRCPDeviceServiceMode*>(nullptr)));
    EXPECT_TRUE(is(dgLock, static_cast<TSRCPDeviceLock*>(nullptr)));
    EXPECT_TRUE(is(dgPower, static_cast<TSRCPDevicePower*>(nullptr)));
    EXPECT_TRUE(is(dgTime, static_cast<TSRCPDeviceTime*>(nullptr)));
    EXPECT_TRUE(is(dgSession, static_cast<TSRCPDeviceSession*>(nullptr)));
    EXPECT_TRUE(is(dgDescription, static_cast<TSRCPDeviceDescription*>(nullptr)));
    EXPECT_TRUE(is(dgServer, static_cast<TSRCPDeviceServer*>(nullptr)));
    EXPECT_TRUE(is(dgHandshake, static_cast<TSRCPDeviceHandshake*>(nullptr)));
    EXPECT_TRUE(is(dgWelcome, static_cast<TSRCPDeviceWelcome*>(nullptr)));
    EXPECT_EQ(c.Devices(dgInvalid), nullptr);
    EXPECT_EQ(c.Devices(dgLoco), &c.DevLoco());
    EXPECT_EQ(c.Devices(dgTime), &c.DevTime());
    EXPECT_EQ(c.Devices(dgWelcome), &c.DevWelcome());
    TSRCPCmd other;
    EXPECT_NE(other.Devices(dgLoco), c.Devices(dgLoco));
}

TEST(SRCPCmd, TimeStampTextAlwaysHasThreeDecimalsAndAPoint)
{
    TSRCPCmd c;
    EXPECT_EQ(c.STimeStamp(), "0.000");
    c.SetTimeStamp(105.25);
    EXPECT_EQ(c.STimeStamp(), "105.250");
    c.SetTimeStamp(1796859510.301);
    EXPECT_EQ(c.STimeStamp(), "1796859510.301");
}

// Lines are built and time stamps read by quicker ways than printf and from_chars; over a table of
// values both must give exactly what the general ways give.
TEST(SRCPCmd, QuickBuildingAndReadingAgreeWithTheGeneralWays)
{
    const std::int32_t numbers[] = {0, 1, 9, 10, 99, 100, 12345, 999999999, 1000000000, 2147483647,
                                    -1, -2, -3, -4, -2147483647 - 1};
    for (std::int32_t a : numbers) {
        for (std::int32_t v : {0, 1, 200, -1}) {
            SCOPED_TRACE(std::to_string(a) + " " + std::to_string(v));
            TSRCPCmd c;
            prepare(c, dgAccessoire, ctSet, 5);
            c.SetDevAddress(a);
            c.DevAccessoire().SetPort(a);
            c.DevAccessoire().SetValue(v);
            c.DevAccessoire().SetDelay(a);
            std::string expected = "SET 5 GA";
            for (std::int32_t n : {a, a, v, a})
                expected += SRCPIntToStr(n).empty() ? std::string() : " " + SRCPIntToStr(n);
            EXPECT_EQ(c.Command(), expected);

            char gl[200];
            prepare(c, dgLoco, ctSet, 1);
            c.SetDevAddress(24);
            c.DevLoco().SetDriveMode(dmForward);
            c.DevLoco().SetSpeed(v < 0 ? 0 : a);
            c.DevLoco().SetMaxSpeed(128);
            c.DevLoco().SetFunctionCount(3);
            c.DevLoco().SetFunctions(1, v < 0 ? 0 : a);
            std::snprintf(gl, sizeof gl, "SET 1 GL 24 1 %d 128 0 %d 0", v < 0 ? 0 : a, v < 0 ? 0 : a);
            if (a >= 0) {
                EXPECT_EQ(c.Command(), gl);
            }
        }
    }
    for (const char* stamp : {"105.250", "0.000", "0", "7", "1796859510.301", "123456789012345", "12345678901234.5",
                              "1234567890123456", "1234567890123456.5", "1.", ".5", "-1.5", "1e3", "105.250.1", "00001.10",
                              "1.2x", "+5", "."}) {
        SCOPED_TRACE(stamp);
        const std::string field = stamp;
        double expected = 0;
        auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), expected);
        const bool readable = ec == std::errc() && end == field.data() + field.size() && std::isfinite(expected);
        TSRCPCmd c;
        c.SetSRCPVersion(cv082);
        c.ExamineAnswer(field + " 100 INFO 1 POWER ON");
        if (readable) {
            EXPECT_EQ(c.CommandType(), ctInfoGet);
            EXPECT_EQ(c.TimeStamp(), expected);
        } else {
            EXPECT_EQ(c.CommandType(), ctWelcome);  // no leading number: read as a welcome line
        }
    }
}

namespace {

struct ParseCase {
    const char* line;
    bool accepted;
    TSRCPCommandType type;
    TSRCPDeviceGroup group;
    std::function<void(const TSRCPCmd&)> check;
};

void noCheck(const TSRCPCmd&) {}

} // namespace

TEST(SRCPCmd, ParsesAnswerLines)
{
    const ParseCase cases[] = {
        {"105.250 100 INFO 1 GL 3 1 50 100 1 0 0 0 0", true, ctInfoGet, dgLoco, [](const TSRCPCmd& c) {
             auto& l = c.DevLoco();
             EXPECT_EQ(c.TimeStamp(), 105.25);
             EXPECT_EQ(c.Bus(), 1);
             EXPECT_EQ(c.DevAddress(), 3);
             EXPECT_EQ(l.DriveMode(), dmForward);
             EXPECT_EQ(l.SpeedStep(), 50);
             EXPECT_EQ(l.MaxSpeedStep(), 100);
             EXPECT_EQ(l.FunctionCount(), 5);
             EXPECT_EQ(l.Functions(0), 1);
             EXPECT_EQ(l.Functions(4), 0);
             EXPECT_EQ(l.Functions(5), -1);
         }},
        {"105.250 101 INFO 1 GL 3 N 1 128 5", true, ctInfoInit, dgLoco, [](const TSRCPCmd& c) {
             auto& l = c.DevLoco();
             EXPECT_EQ(l.Protocol(), spNMRA);
             EXPECT_EQ(l.SubProtocol(), 1);
             EXPECT_EQ(l.MaxSpeedStep(), 128);
             EXPECT_EQ(l.FunctionCount(), 5);
             EXPECT_EQ(l.Functions(4), 0);
         }},
        {"105.250 101 INFO 1 GL 3 A", true, ctInfoInit, dgLoco,
         [](const TSRCPCmd& c) { EXPECT_EQ(c.DevLoco().Protocol(), spAnalog); }},
        {"105.250 101 INFO 1 GL 3 n 1 128 5", false, ctInfoInit, dgLoco, noCheck},  // lower-case letter
        {"105.250 100 INFO 1 GL 3 1 50 100", false, ctInfoGet, dgLoco, noCheck},    // no function at all
        {"105.250 101 INFO 1 GL 3 N 1 128 99999", false, ctInfoInit, dgLoco, noCheck},  // absurd count
        {"105.250 102 INFO 1 GL 3", true, ctInfoTerm, dgLoco, [](const TSRCPCmd& c) { EXPECT_EQ(c.DevAddress(), 3); }},
        {"105.250 110 INFO 1 GL 3 0 20 100 0 1", true, ctInfoGuess, dgLoco, [](const TSRCPCmd& c) {
             EXPECT_EQ(c.DevLoco().MaxSpeed(), 100);
             EXPECT_EQ(c.DevLoco().DriveMode(), dmBackwards);
             EXPECT_EQ(c.DevLoco().Functions(1), 1);
         }},
        {"105.250 100 INFO 1 GA 5 0 1", true, ctInfoGet, dgAccessoire, [](const TSRCPCmd& c) {
             EXPECT_EQ(c.DevAddress(), 5);
             EXPECT_EQ(c.DevAccessoire().Port(), 0);
             EXPECT_EQ(c.DevAccessoire().Value(), 1);
         }},
        {"105.250 101 INFO 1 GA 5 N", true, ctInfoInit, dgAccessoire,
         [](const TSRCPCmd& c) { EXPECT_EQ(c.DevAccessoire().Protocol(), spNMRA); }},
        {"105.250 100 INFO 1 FB 12 1", true, ctInfoGet, dgFeedback, [](const TSRCPCmd& c) {
             EXPECT_EQ(c.DevAddress(), 12);
             EXPECT_EQ(c.DevFeedback().Value(), 1);
         }},
        {"0.000 100 INFO 8 FB 12 0", true, ctInfoGet, dgFeedback, [](const TSRCPCmd& c) {
             EXPECT_EQ(c.TimeStamp(), 0.0);
             EXPECT_EQ(c.Bus(), 8);
             EXPECT_EQ(c.DevFeedback().Value(), 0);
         }},
        {"105.250 100 INFO 1 POWER ON", true, ctInfoGet, dgPower,
         [](const TSRCPCmd& c) { EXPECT_TRUE(c.DevPower().PowerOn()); }},
        {"105.250 100 INFO 1 POWER off", true, ctInfoGet, dgPower,
         [](const TSRCPCmd& c) { EXPECT_FALSE(c.DevPower().PowerOn()); }},
        {"1796859510.301 100 INFO 1 POWER ON AUTO POWER ON", true, ctInfoGet, dgPower, [](const TSRCPCmd& c) {
             EXPECT_TRUE(c.DevPower().PowerOn());
             EXPECT_EQ(c.DataString(), "AUTO POWER ON");
             EXPECT_DOUBLE_EQ(c.TimeStamp(), 1796859510.301);
         }},
        {"105.250 100 INFO 1 POWER MAYBE", false, ctEUnsufficientData, dgPower, noCheck},
        {"105.250 101 INFO 1 POWER", true, ctInfoInit, dgPower, noCheck},
        {"105.250 100 INFO 1 TIME 2460000 12 30 5", true, ctInfoGet, dgTime, [](const TSRCPCmd& c) {
             EXPECT_EQ(c.DevTime().Days(), 2460000);
             EXPECT_EQ(c.DevTime().Second(), 5);
         }},
        {"105.250 101 INFO 1 TIME 10 1", true, ctInfoInit, dgTime, [](const TSRCPCmd& c) {
             EXPECT_EQ(c.DevTime().Multiplicator(), 10);
             EXPECT_EQ(c.DevTime().Divisor(), 1);
         }},
        {"105.250 100 INFO 1 LOCK GL 3 60 17", true, ctInfoGet, dgLock, [](const TSRCPCmd& c) {
             EXPECT_EQ(c.DevLock().LockDevGroup(), dgLoco);
             EXPECT_EQ(c.DevAddress(), 3);
             EXPECT_EQ(c.DevLock().Duration(), 60);
             EXPECT_EQ(c.DevLock().SessionID(), 17);
         }},
        {"105.250 100 INFO 1 LOCK XY 3 60 17", false, ctEUnsufficientData, dgLock, noCheck},
        {"105.250 100 INFO 0 SERVER RUNNING", true, ctInfoGet, dgServer,
         [](const TSRCPCmd& c) { EXPECT_EQ(c.DevServer().State(), ssRunning); }},
        {"105.250 100 INFO 0 SERVER DREAMING", false, ctInfoGet, dgServer, noCheck},
        {"105.250 101 INFO 0 SESSION 17 some client", true, ctInfoInit, dgSession, [](const TSRCPCmd& c) {
             EXPECT_EQ(c.DevSession().SessionID(), 17);
             EXPECT_EQ(c.DataString(), "some client");
         }},
        {"105.250 100 INFO 1 SM 3 CV 29 6", true, ctInfoGet, dgServiceMode, [](const TSRCPCmd& c) {
             EXPECT_EQ(c.DevServiceMode().Value(), 6);
             EXPECT_EQ(c.DevServiceMode().Bit(), -1);
         }},
        {"105.250 100 INFO 1 SM 3 CVBIT 29 5 1", true, ctInfoGet, dgServiceMode, [](const TSRCPCmd& c) {
             EXPECT_EQ(c.DevServiceMode().Bit(), 5);
             EXPECT_EQ(c.DevServiceMode().Value(), 1);
         }},
        {"105.250 100 INFO 1 DESCRIPTION GA GL FB POWER", true, ctInfoGet, dgDescription, [](const TSRCPCmd& c) {
             const std::vector<TSRCPDeviceGroup> expected{dgAccessoire, dgLoco, dgFeedback, dgPower};
             EXPECT_EQ(c.DevDescription().DevGroups(), expected);
         }},
        // real servers describe groups this library does not know: they are left out, the rest kept
        {"1796859510.301 100 INFO 0 DESCRIPTION SESSION SERVER TIME GM", true, ctInfoGet, dgDescription,
         [](const TSRCPCmd& c) {
             const std::vector<TSRCPDeviceGroup> expected{dgSession, dgServer, dgTime};
             EXPECT_EQ(c.DevDescription().DevGroups(), expected);
             EXPECT_EQ(c.Bus(), 0);
         }},
        {"1796859510.301 100 INFO 1 DESCRIPTION GA GL FB SM POWER LOCK DESCRIPTION", true, ctInfoGet,
         dgDescription, [](const TSRCPCmd& c) { EXPECT_EQ(c.DevDescription().DevGroupListCount(), 7); }},
        {"105.250 200 OK", true, ctCmdOK, dgInvalid, noCheck},
        {"105.250 200 OK GO 17", true, ctCmdOKGo, dgHandshake,
         [](const TSRCPCmd& c) { EXPECT_EQ(c.DevHandshake().SessionID(), 17); }},
        {"105.250 200 OK GO", false, ctCmdOKGo, dgHandshake, noCheck},
        {"105.250 201 OK PROTOCOL SRCP", false, ctOKProtocol, dgHandshake, noCheck},
        {"105.250 202 OK CONNECTIONMODE", false, ctOKConnectionMode, dgHandshake, noCheck},
        {"105.250 202 OK", false, ctOKConnectionMode, dgInvalid, noCheck},
        {"105.250 412 ERROR wrong value", true, ctEWrongValue, dgInvalid,
         [](const TSRCPCmd& c) { EXPECT_EQ(c.DataString(), "wrong value"); }},
        {"105.250 416 ERROR no data", true, ctENoData, dgInvalid,
         [](const TSRCPCmd& c) { EXPECT_EQ(c.DataString(), "no data"); }},
        {"1796859510.301 419 ERROR list too short", true, ctEListToShort, dgInvalid,
         [](const TSRCPCmd& c) { EXPECT_EQ(c.ResponseCode(), 419); }},
        {"105.250 416 FAILED no data", false, ctInvalid, dgInvalid, noCheck},
        {"105.250 100 INFO 1 XY 3", true, ctEUnknownValue, dgInvalid, noCheck},
        {"105.250 100 INFO x GL 3", true, ctEUnknownCommand, dgInvalid, noCheck},
        {"105.250 100 OK 1 GL 3", false, ctInfoGet, dgInvalid,
         [](const TSRCPCmd& c) { EXPECT_EQ(c.DataString(), "OK 1 GL 3"); }},
        {"100 INFO 1 GL 3", false, ctInvalid, dgInvalid, [](const TSRCPCmd& c) {
             EXPECT_EQ(c.TimeStamp(), 100.0);
             EXPECT_EQ(c.ResponseCode(), 699);
         }},
        {"105.250 300 INFO 1 GL 3", false, ctInvalid, dgInvalid, noCheck},
        {"", false, ctInvalid, dgInvalid, noCheck},
        {"demo-server V1.0; SRCP 0.8.2; SRCPOTHER 0.7.3", true, ctWelcome, dgWelcome, [](const TSRCPCmd& c) {
             auto& w = c.DevWelcome();
             EXPECT_EQ(w.Welcome(), "demo-server V1.0");
             ASSERT_EQ(w.VersionCount(), 2);
             EXPECT_EQ(w.Versions(0), cv082);
             EXPECT_EQ(w.Versions(1), cv073);
             EXPECT_EQ(w.Info(), "");
         }},
        {"srcpd V2.1.3; SRCP 0.8.4; SRCPOTHER 0.8.3", true, ctWelcome, dgWelcome, [](const TSRCPCmd& c) {
             auto& w = c.DevWelcome();
             EXPECT_EQ(w.Welcome(), "srcpd V2.1.3");  // "srcpd" is not the key SRCP
             ASSERT_EQ(w.VersionCount(), 2);
             EXPECT_EQ(w.VersionWords()[0], "0.8.4");
             EXPECT_EQ(w.VersionWords()[1], "0.8.3");
         }},
        {"server; extra; more", true, ctWelcome, dgWelcome, [](const TSRCPCmd& c) {
             EXPECT_EQ(c.DevWelcome().VersionCount(), 0);
             EXPECT_EQ(c.DevWelcome().Info(), "extra;more");
         }},
        {"server; SRCP", true, ctWelcome, dgWelcome, [](const TSRCPCmd& c) {
             ASSERT_EQ(c.DevWelcome().VersionCount(), 1);
             EXPECT_EQ(c.DevWelcome().Versions(0), cvUnknown);
         }},
    };
    TSRCPCmd cmd;
    cmd.SetSRCPVersion(cv082);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(cmd.ExamineAnswer(c.line), c.accepted);
        EXPECT_EQ(int(cmd.CommandType()), int(c.type));
        EXPECT_EQ(int(cmd.DeviceGroup()), int(c.group));
        EXPECT_EQ(cmd.CommandClass(), ccAnswer);
        c.check(cmd);
    }
}

TEST(SRCPCmd, VersionZeroSevenThreeReadsOnlyTheWords)
{
    TSRCPCmd cmd;
    cmd.SetSRCPVersion(cv073);
    EXPECT_TRUE(cmd.ExamineAnswer("105.250 101 INFO 1 GL 3 N 1 128 5"));
    EXPECT_EQ(cmd.CommandType(), ctInfoInit);
    EXPECT_EQ(cmd.DevLoco().Protocol(), spInvalid);  // nothing group-specific is read
    EXPECT_TRUE(cmd.ExamineAnswer("demo-server V1.0; SRCP 0.8.2"));
    EXPECT_EQ(cmd.DevWelcome().VersionCount(), 0);
    EXPECT_TRUE(cmd.ExamineAnswer("105.250 100 INFO 1 GL 3 1 2 3 4"));
    EXPECT_EQ(cmd.CommandType(), ctInfoGet);
}

TEST(SRCPCmd, ParsedLinesBuildBackToTheSameText)
{
    const char* lines[] = {
        "105.250 100 INFO 1 GL 3 1 50 100 1 0 0 0 0",
        "105.250 101 INFO 1 GL 3 N 1 128 5",
        "105.250 100 INFO 1 GA 5 0 1",
        "105.250 100 INFO 1 FB 12 1",
        "105.250 100 INFO 1 POWER ON",
        "105.250 100 INFO 1 LOCK GL 3 60 17",
        "105.250 100 INFO 1 SM 3 CVBIT 29 5 1",
        "105.250 100 INFO 0 SERVER RUNNING",
        "105.250 200 OK GO 17",
        "105.250 412 ERROR wrong value",
    };
    TSRCPCmd cmd;
    cmd.SetSRCPVersion(cv082);
    for (const char* line : lines) {
        ASSERT_TRUE(cmd.ExamineAnswer(line)) << line;
        if (cmd.IsErrorCmd())
            EXPECT_EQ(cmd.Command(), "105.250 412 ERROR wrong value");
        else
            EXPECT_EQ(cmd.Command(), line);
    }
}

TEST(SRCPCmd, SurvivesJunkOfEveryShape)
{
    std::vector<std::string> junk = {
        " ", "  ", ";", ";;;;", "\x01\x02\xff", std::string(1, '\0'), std::string("1 \0 2", 5),
        "1.0 ", "1.0  ", "1e308 100 INFO 1 GL", "-0.0 200 OK GO -5", "nan 100 INFO 1 POWER ON",
        "inf 100 INFO", "1 100 INFO 2147483647 GL 2147483647 1 2147483647 2147483647",
        "1 100 INFO 1 GL 3 1 1 1" + std::string(3000, ' ') + "1",
        "1 100 INFO 1 GL 3 1 1 1 " + std::string(100000, '1'),
        "1 101 INFO 1 GL 3 M 2 14 2147483647", "1 100 INFO 1 FB 2147483647 1",
        "1 100 INFO 1 DESCRIPTION " + std::string(20000, 'G') + " GA",
        "SRCP " + std::string(50000, ';'), std::string(70000, 'x'),
        "1 100 INFO 1 SM 3 CVBIT", "1 100 INFO 1 SM 3 CVBIT 1 2 3 4 5 6", "1 200 OK GO 1 2 3",
        "1 200 OK PROTOCOL", "1 200 OK CONNECTIONMODE SRCP INFO",
    };
    std::mt19937 rng(4711);
    const std::string alphabet = "0123456789 .-=*;INFOGLAPWRSETKDCBM\t\r\x80";
    for (int i = 0; i < 3000; ++i) {
        std::string s;
        std::size_t n = rng() % 60;
        for (std::size_t k = 0; k < n; ++k)
            s += alphabet[rng() % alphabet.size()];
        junk.push_back("1.5 1" + std::to_string(rng() % 3) + "0 INFO 1 " + s);
        junk.push_back(s);
    }
    TSRCPCmd cmd;
    cmd.SetSRCPVersion(cv082);
    TSRCPCmd fresh;
    fresh.SetSRCPVersion(cv082);
    for (const auto& line : junk) {
        // A line reads the same whatever was read before it: nothing of an earlier line leaks.
        bool accepted = cmd.ExamineAnswer(line);
        TSRCPCommandType type = cmd.CommandType();
        std::string built = cmd.Command();
        fresh.ExamineAnswer("105.250 100 INFO 1 GL 3 1 50 100 1 0 0 0 0");
        ASSERT_EQ(fresh.ExamineAnswer(line), accepted) << line.substr(0, 80);
        ASSERT_EQ(fresh.CommandType(), type) << line.substr(0, 80);
        ASSERT_EQ(fresh.Command(), built) << line.substr(0, 80);
    }
}
