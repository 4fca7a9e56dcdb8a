#include "srcp/SRCPString.h"
#include "srcp/SRCPSyntax.h"
#include "srcp/SRCPTables.h"

#include <gtest/gtest.h>

TEST(SRCPTables, CodesTranslateByVersionColumn)
{
    struct Case {
        std::int32_t code;
        TSRCPCommandVersion version;
        TSRCPCommandType type;
    } cases[] = {
        {100, cv073, ctInfoGet},   {100, cv082, ctInfoGet},   {101, cv073, ctInfoInit},
        {101, cv082, ctInfoInit},  {102, cv073, ctInvalid},   {102, cv082, ctInfoTerm},
        {110, cv082, ctInfoGuess}, {110, cv073, ctInvalid},   {200, cv082, ctCmdOK},
        {201, cv082, ctOKProtocol}, {202, cv073, ctOKConnectionMode}, {300, cv082, ctInvalid},
        {399, cv082, ctInvalid},   {412, cv082, ctEWrongValue}, {419, cv082, ctEListToShort},
        {424, cv082, ctEDeviceReinitialized}, {500, cv082, ctEOutOfRessources},
        {699, cv082, ctInvalid},   {0, cv082, ctInvalid},     {-1, cv082, ctInvalid},
        {99, cv082, ctInvalid},    {700, cv082, ctInvalid},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SRCPCodeToCommandType(c.code, c.version), c.type) << c.code << " v" << int(c.version);

    EXPECT_EQ(SRCPCommandTypeToCode(ctInvalid, cv082), 699);
    EXPECT_EQ(SRCPCommandTypeToCode(ctInfoTerm, cv073), 101);
    EXPECT_EQ(SRCPCommandTypeToCode(ctInfoTerm, cv082), 102);
    EXPECT_EQ(SRCPCommandTypeToCode(ctInfoGuess, cv073), 100);
    EXPECT_EQ(SRCPCommandTypeToCode(ctCmdOKGo, cv082), 200);
    EXPECT_EQ(SRCPCommandTypeToCode(ctWelcome, cv082), 0);
    EXPECT_EQ(SRCPCommandTypeToCode(ctGet, cv082), 0);
    EXPECT_EQ(SRCPCommandTypeToCode(ctEListToShort, cv082), 419);
}

TEST(SRCPTables, WordsOfTypesGroupsVersionsAndStates)
{
    EXPECT_EQ(SRCPCommandTypeWord(ctCommands), "");
    EXPECT_EQ(SRCPCommandTypeWord(ctVerify), "VERIFY");
    EXPECT_EQ(SRCPCommandTypeWord(ctSetMode), "SET");
    EXPECT_EQ(SRCPCommandTypeWord(ctWelcome), "INFO");
    EXPECT_EQ(SRCPCommandTypeWord(ctInfoGuess), "INFO");
    EXPECT_EQ(SRCPCommandTypeWord(ctOKConnectionMode), "OK");
    EXPECT_EQ(SRCPCommandTypeWord(ctErrorStart), "ERROR");
    EXPECT_EQ(SRCPCommandTypeWord(ctInvalid), "ERROR");

    EXPECT_EQ(SRCPDevGroupOfWord("ga"), dgAccessoire);
    EXPECT_EQ(SRCPDevGroupOfWord("Welcome"), dgWelcome);
    EXPECT_EQ(SRCPDevGroupOfWord("???"), dgInvalid);
    EXPECT_EQ(SRCPDevGroupOfWord("GM"), dgInvalid);
    EXPECT_EQ(SRCPDevGroupOfWord(""), dgInvalid);
    EXPECT_EQ(SRCPDevGroupWord(dgInvalid), "???");
    EXPECT_EQ(SRCPDevGroupWord(dgDescription), "DESCRIPTION");

    EXPECT_EQ(SRCPVersionOfWord("0.8.2"), cv082);
    EXPECT_EQ(SRCPVersionOfWord("Unknown"), cvUnknown);
    EXPECT_EQ(SRCPVersionOfWord("0.8.4"), cvUnknown);

    TSRCPServiceModeType smt = smtCV;
    EXPECT_TRUE(SRCPAddressTypeOfWord("cvbit", smt));
    EXPECT_EQ(smt, smtCVBit);
    EXPECT_TRUE(SRCPAddressTypeOfWord("", smt));  // the empty word is the invalid type's
    EXPECT_EQ(smt, smtInvalid);
    smt = smtReg;
    EXPECT_FALSE(SRCPAddressTypeOfWord("PAGE", smt));
    EXPECT_EQ(smt, smtReg);

    TSRCPServerState st = ssRunning;
    EXPECT_FALSE(SRCPServerStateOfWord("SLEEPING", st));
    EXPECT_EQ(st, ssInvalid);
    TSRCPConnectionModeType mode = cmtCommand;
    EXPECT_TRUE(SRCPConnectionModeOfWord("info", mode));
    EXPECT_EQ(mode, cmtInfo);
    EXPECT_FALSE(SRCPConnectionModeOfWord("BOTH", mode));
    EXPECT_EQ(mode, cmtInfo);
}

TEST(SRCPTables, LaterRevisionsOfZeroEightOfferZeroEightTwo)
{
    struct Case {
        const char* offered;
        TSRCPCommandVersion wanted;
        bool offers;
    } cases[] = {
        {"0.8.2", cv082, true}, {"0.8.3", cv082, true}, {"0.8.4", cv082, true}, {"0.8.12", cv082, true},
        {"0.8.1", cv082, false}, {"0.8.0", cv082, false}, {"0.7.3", cv082, false}, {"0.9.0", cv082, false},
        {"0.8.", cv082, false}, {"0.8.x", cv082, false}, {"0.8.4", cv073, false}, {"0.7.3", cv073, true},
        {"", cv082, false}, {"0.8.2", cvUnknown, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SRCPVersionOffers(c.offered, c.wanted), c.offers) << c.offered;
}

TEST(SRCPTables, SyntaxRowsEndAndKeepTheirOrder)
{
    for (const auto& g : v082Info) {
        if (!g.Table)
            continue;
        int rows = 0;
        for (const TCmdSyntax* r = g.Table; r->CmdType != ctInvalid; ++r) {
            ASSERT_LT(++rows, 20) << "table of group " << int(g.DevGroupType) << " has no end row";
            EXPECT_EQ(SRCPFindSyntaxRow(cv082, g.DevGroupType, r->CmdType), r) << "duplicate row";
        }
    }
    // Rows with a deliberate difference: INFO GL of a guess carries the max speed, not the steps.
    EXPECT_EQ(SRCPFindSyntaxRow(cv082, dgLoco, ctInfoGet)->DataPoint[8], dpSpeedSteps);
    EXPECT_EQ(SRCPFindSyntaxRow(cv082, dgLoco, ctInfoGuess)->DataPoint[8], dpMaxSpeed);
    EXPECT_EQ(SRCPFindSyntaxRow(cv082, dgServiceMode, ctVerify)->DataPoint[7], dpValue);
    EXPECT_EQ(SRCPFindSyntaxRow(cv082, dgDescription, ctInfoTerm), nullptr);
    EXPECT_EQ(SRCPFindSyntaxRow(cv082, dgLoco, ctEForbidden), nullptr);
}

TEST(SRCPString, IntegerConventions)
{
    struct ToStr {
        std::int32_t n;
        const char* text;
    } out[] = {{0, "0"}, {42, "42"}, {2147483647, "2147483647"}, {-1, ""}, {-2, "="}, {-3, "*"}, {-4, ""},
               {-2147483647 - 1, ""}};
    for (const auto& c : out)
        EXPECT_EQ(SRCPIntToStr(c.n), c.text) << c.n;

    struct FromStr {
        const char* text;
        bool ok;
        std::int32_t n;
    } in[] = {{"17", true, 17},       {"  17 ", true, 17},     {"-5", true, -5},      {"+5", true, 5},
              {"*", true, -3},        {" = ", true, -2},       {"", false, -1},       {"  ", false, -1},
              {"1 2", false, -1},     {"12a", false, -1},      {"0x10", false, -1},   {"**", false, -1},
              {"-", false, -1},       {"+-3", false, -1},      {"99999999999", false, -1},
              {"2147483647", true, 2147483647}};
    for (const auto& c : in) {
        std::int32_t n = 99;
        EXPECT_EQ(StrToSRCPInt(c.text, n), c.ok) << '"' << c.text << '"';
        EXPECT_EQ(n, c.n) << '"' << c.text << '"';
    }
}

TEST(SRCPString, BuilderNeverWritesDoubleOrTrailingBlanks)
{
    TSRCPString s;
    s.Add(std::string_view("SET"));
    s.Add(std::string_view(""));
    s.Add(1);
    s.Add(-1);
    s.Add(std::string_view("GA"));
    s.Add(-2);
    s.Add(-3);
    s.Add(-1);
    EXPECT_EQ(s.Value(), "SET 1 GA = *");
    s.Clear();
    s.Add(-1);
    EXPECT_EQ(s.Value(), "");
    s.Add(0);
    EXPECT_EQ(s.Value(), "0");
}
