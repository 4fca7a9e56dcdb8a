#include "moba/MoBaDevices.h"
#include "moba/MoBaIniFile.h"
#include "moba/MoBaProtocolLists.h"
#include "moba/MoBaProtocols.h"

#include <gtest/gtest.h>

namespace {

TMoBaGroups groupsOf(std::initializer_list<int> members)
{
    TMoBaGroups g;
    for (int m : members)
        g.set(static_cast<std::size_t>(m));
    return g;
}

TEST(MoBaProtocolBase, SignsAndParsing)
{
    const struct {
        const char* text;
        TMoBaProtocolBase expected;
    } cases[] = {
        {"", mpbCustom},        {"m", mpbCustom},     {"Motorola", mpbMotorola}, {"N", mpbNMRA},
        {"Z", mpbZimo},         {"A", mpbAnalog},     {"F", mpbFleischmann},     {"L", mpbLoconet},
        {"S", mpbSelectrix},    {"C", mpbCustom},     {"x", mpbCustom},          {" M", mpbCustom},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StringToMoBaProtocolBase(c.text), c.expected) << '"' << c.text << '"';

    for (const TMoBaProtocolBaseInfo& info : MoBaProtocolBaseInfo) {
        EXPECT_EQ(MoBaProtocolBaseToChar(info.Base), info.Sign);
        EXPECT_EQ(StringToMoBaProtocolBase(std::string(1, info.Sign)), info.Base);
    }
    EXPECT_EQ(MoBaProtocolBaseToChar(static_cast<TMoBaProtocolBase>(200)), 'C');
}

TEST(MoBaGroups, ToAndFromText)
{
    EXPECT_EQ(MoBaGroupsToString(groupsOf({3, 1})), "1,3");
    EXPECT_EQ(MoBaGroupsToString({}), "");
    EXPECT_EQ(MoBaGroupsToString(groupsOf({0, 255})), "0,255");

    const struct {
        const char* text;
        TMoBaGroups expected;
    } cases[] = {
        {"1,300,abc,7", groupsOf({1, 7})},
        {"", {}},
        {"1 2  3", groupsOf({1, 2, 3})},
        {"\"4,5\",6", groupsOf({6})},           // a quoted item with a comma is one (non-numeric) item
        {"\"8\",,9,", groupsOf({8, 9})},         // quotes group; empty items are skipped
        {"-1,256,0,255,+12", groupsOf({0, 255, 12})},
        {"2x,0x3,1.5,99999999999999999999", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StringToMoBaGroups(c.text), c.expected) << '"' << c.text << '"';

    const TMoBaGroups many = groupsOf({0, 1, 17, 128, 254, 255});
    EXPECT_EQ(StringToMoBaGroups(MoBaGroupsToString(many)), many);
}

TEST(MoBaProtocol, DefaultsAfterCreate)
{
    TMoBaLocoProtocol loco;
    EXPECT_EQ(loco.ProtocolBase(), mpbCustom);
    EXPECT_EQ(loco.MaxAddress(), 256);
    EXPECT_EQ(loco.Name(), "");
    EXPECT_TRUE(loco.Groups().none());
    EXPECT_EQ(loco.ProtocolExtension(), 0);
    EXPECT_EQ(loco.MinSteps(), 0);
    EXPECT_EQ(loco.MaxSteps(), 15);
    EXPECT_EQ(loco.MaxFunctions(), 1);
    TMoBaSolenoidProtocol sol;
    EXPECT_EQ(sol.MaxValue(), 1);
    EXPECT_EQ(sol.MaxPort(), 1);
    EXPECT_NE(dynamic_cast<TMoBaSolenoidProtocol*>(sol.CreateNew().get()), nullptr);
    EXPECT_NE(dynamic_cast<TMoBaLocoProtocol*>(loco.CreateNew().get()), nullptr);
}

void fillBase(TMoBaBaseProtocol& p)
{
    p.SetName("N");
    p.SetDescription("D");
    p.SetMaxAddress(77);
    p.SetProtocolBase(mpbZimo);
    p.SetGroups(groupsOf({2, 9}));
    p.SetProtocolExtension(3);
}

void expectBase(const TMoBaBaseProtocol& p)
{
    EXPECT_EQ(p.Name(), "N");
    EXPECT_EQ(p.Description(), "D");
    EXPECT_EQ(p.MaxAddress(), 77);
    EXPECT_EQ(p.ProtocolBase(), mpbZimo);
    EXPECT_EQ(p.Groups(), groupsOf({2, 9}));
    EXPECT_EQ(p.ProtocolExtension(), 3);
}

TEST(MoBaProtocol, AssignCopiesWhatBothClassesHave)
{
    TMoBaLocoProtocol loco;
    fillBase(loco);
    loco.SetMinSteps(2);
    loco.SetMaxSteps(28);
    loco.SetMaxFunctions(9);

    TMoBaLocoProtocol loco2;
    loco2.Assign(loco);
    expectBase(loco2);
    EXPECT_EQ(loco2.MinSteps(), 2);
    EXPECT_EQ(loco2.MaxSteps(), 28);
    EXPECT_EQ(loco2.MaxFunctions(), 9);

    // Between a loco and a solenoid protocol only the common part is copied.
    TMoBaSolenoidProtocol sol;
    sol.Assign(loco);
    expectBase(sol);
    EXPECT_EQ(sol.MaxPort(), 1);
    EXPECT_EQ(sol.MaxValue(), 1);

    sol.SetMaxPort(4);
    sol.SetMaxValue(7);
    TMoBaSolenoidProtocol sol2;
    sol2.Assign(sol);
    EXPECT_EQ(sol2.MaxPort(), 4);
    EXPECT_EQ(sol2.MaxValue(), 7);
    TMoBaLocoProtocol loco3;
    loco3.Assign(sol);
    EXPECT_EQ(loco3.MaxSteps(), 15);
}

TEST(MoBaProtocol, AssignBetweenUnrelatedClassesIsAnError)
{
    TMoBaLocoProtocol prot;
    TMoBaBaseLoco loco;
    TMoBaBasePower power;
    EXPECT_THROW(loco.Assign(prot), EMoBaAssignError);
    EXPECT_THROW(prot.Assign(loco), EMoBaAssignError);
    EXPECT_THROW(power.Assign(loco), EMoBaAssignError);
    EXPECT_THROW(loco.Assign(power), EMoBaAssignError);
    try {
        loco.Assign(prot);
    } catch (const EMoBaAssignError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TMoBaLocoProtocol to a TMoBaBaseLoco");
    }
}

TEST(MoBaRegistries, StartWithTheDefaults)
{
    LoadDefaultProtocolSettings();
    ASSERT_EQ(MoBaLocoProtocols->Count(), 11);
    EXPECT_TRUE(MoBaLocoProtocols->Changed());
    EXPECT_EQ(MoBaLocoProtocols->Items(9)->Name(), "NMRA 3");
    EXPECT_EQ(MoBaLocoProtocols->Items(9)->MaxAddress(), 10239);
    for (int i = 0; i < 11; ++i) {
        const TMoBaDefaultLocoProtocolSpec& row = MoBaDefaultLocoProtocolSpecification[static_cast<std::size_t>(i)];
        const TMoBaLocoProtocol* p = MoBaLocoProtocols->Items(i);
        EXPECT_EQ(p->Name(), row.Name);
        EXPECT_EQ(p->Description(), row.Description);
        EXPECT_EQ(p->ProtocolBase(), row.ProtocolBase);
        EXPECT_EQ(p->ProtocolExtension(), row.ProtocolExtension);
        EXPECT_EQ(p->MaxAddress(), row.MaxAddress);
        EXPECT_EQ(p->MaxFunctions(), row.MaxFunctions);
        EXPECT_EQ(p->MinSteps(), row.MinSteps);
        EXPECT_EQ(p->MaxSteps(), row.MaxSteps);
        EXPECT_TRUE(p->Groups().none());
    }
    ASSERT_EQ(MoBaSolenoidProtocols->Count(), 2);
    EXPECT_TRUE(MoBaSolenoidProtocols->Changed());
    EXPECT_EQ(MoBaSolenoidProtocols->Items(0)->Name(), "Motorola Solenoid");
    EXPECT_EQ(MoBaSolenoidProtocols->Items(1)->ProtocolBase(), mpbNMRA);
    EXPECT_EQ(MoBaSolenoidProtocols->Items(1)->MaxAddress(), 4096);
    EXPECT_EQ(MoBaSolenoidProtocols->Items(1)->MaxPort(), 1);
    EXPECT_EQ(MoBaSolenoidProtocols->Items(1)->MaxValue(), 1);
    EXPECT_THROW(MoBaLocoProtocols->Items(11), std::out_of_range);
    EXPECT_THROW(MoBaLocoProtocols->Items(-1), std::out_of_range);
}

TEST(MoBaProtocolList, AddDeleteExtractAndClassCheck)
{
    TMoBaLocoProtocolList list;
    EXPECT_FALSE(list.Changed());
    EXPECT_EQ(list.Add(std::make_unique<TMoBaLocoProtocol>()), 0);
    EXPECT_TRUE(list.Changed());
    list.DoResetChanges();
    EXPECT_FALSE(list.Changed());
    EXPECT_THROW(list.Add(std::make_unique<TMoBaSolenoidProtocol>()), std::invalid_argument);
    EXPECT_THROW(list.Add(nullptr), std::invalid_argument);
    EXPECT_EQ(list.Count(), 1);

    auto second = std::make_unique<TMoBaLocoProtocol>();
    TMoBaLocoProtocol* raw = second.get();
    list.Add(std::move(second));
    std::unique_ptr<TMoBaBaseProtocol> back = list.Extract(raw);
    EXPECT_EQ(back.get(), raw);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Extract(raw), nullptr);
    list.Delete(0);
    EXPECT_EQ(list.Count(), 0);
    bool changed = false;
    list.Add(std::move(back));
    list.DoChangeQuery(changed);
    EXPECT_TRUE(changed);
    list.DoProfileClear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_FALSE(list.Changed());
}

// Every default row written to a profile and read back into a fresh list is the same protocol.
TEST(MoBaProtocolList, EveryDefaultRowSurvivesASaveAndLoad)
{
    LoadDefaultProtocolSettings();
    MoBaLocoProtocols->Items(3)->Groups().set(1).set(200);
    MoBaSolenoidProtocols->Items(1)->Groups().set(6);
    TMoBaIniFile ini("");
    MoBaLocoProtocols->SaveToIniFile(ini);
    MoBaSolenoidProtocols->SaveToIniFile(ini);
    EXPECT_FALSE(MoBaLocoProtocols->Changed());

    TMoBaIniFile reread("");
    reread.SetText(ini.Text());
    TMoBaLocoProtocolList locos;
    locos.LoadFromIniFile(reread);
    TMoBaSolenoidProtocolList solenoids;
    solenoids.LoadFromIniFile(reread);
    EXPECT_FALSE(locos.Changed());

    ASSERT_EQ(locos.Count(), MoBaLocoProtocols->Count());
    for (int i = 0; i < locos.Count(); ++i) {
        const TMoBaLocoProtocol* a = MoBaLocoProtocols->Items(i);
        const TMoBaLocoProtocol* b = locos.Items(i);
        EXPECT_EQ(b->Name(), a->Name()) << i;
        EXPECT_EQ(b->Description(), a->Description()) << i;
        EXPECT_EQ(b->ProtocolBase(), a->ProtocolBase()) << i;
        EXPECT_EQ(b->ProtocolExtension(), a->ProtocolExtension()) << i;
        EXPECT_EQ(b->MaxAddress(), a->MaxAddress()) << i;
        EXPECT_EQ(b->Groups(), a->Groups()) << i;
        EXPECT_EQ(b->MaxSteps(), a->MaxSteps()) << i;
        EXPECT_EQ(b->MinSteps(), a->MinSteps()) << i;
        EXPECT_EQ(b->MaxFunctions(), a->MaxFunctions()) << i;
    }
    ASSERT_EQ(solenoids.Count(), MoBaSolenoidProtocols->Count());
    for (int i = 0; i < solenoids.Count(); ++i) {
        const TMoBaSolenoidProtocol* a = MoBaSolenoidProtocols->Items(i);
        const TMoBaSolenoidProtocol* b = solenoids.Items(i);
        EXPECT_EQ(b->Name(), a->Name()) << i;
        EXPECT_EQ(b->Description(), a->Description()) << i;
        EXPECT_EQ(b->ProtocolBase(), a->ProtocolBase()) << i;
        EXPECT_EQ(b->MaxAddress(), a->MaxAddress()) << i;
        EXPECT_EQ(b->Groups(), a->Groups()) << i;
        EXPECT_EQ(b->MaxPort(), a->MaxPort()) << i;
        EXPECT_EQ(b->MaxValue(), a->MaxValue()) << i;
    }
    LoadDefaultProtocolSettings();
}

TEST(MoBaProtocolList, WritesTheDocumentedLayout)
{
    TMoBaLocoProtocolList list;
    auto p = std::make_unique<TMoBaLocoProtocol>();
    p->Assign(*MoBaLocoProtocols->Items(0));
    list.Add(std::move(p));
    TMoBaIniFile ini("");
    list.SaveToIniFile(ini);
    EXPECT_EQ(ini.Text(),
              "[LocoProtocols]\r\n"
              "LocoProtocol0=\r\n"
              "[LocoProtocol0]\r\n"
              "Name=Motorola 1\r\n"
              "Desc=Old Motorola format (Only 1 function).\r\n"
              "MaxAddress=80\r\n"
              "Base=M\r\n"
              "Extension=1\r\n"
              "Groups=\r\n"
              "MaxSteps=14\r\n"
              "MinSteps=0\r\n"
              "MaxFunctions=1\r\n");

    TMoBaSolenoidProtocolList sols;
    auto s = std::make_unique<TMoBaSolenoidProtocol>();
    s->Assign(*MoBaSolenoidProtocols->Items(1));
    sols.Add(std::move(s));
    TMoBaIniFile ini2("");
    sols.SaveToIniFile(ini2);
    EXPECT_EQ(ini2.ReadSection("SolenoidProtocols"), std::vector<std::string>{"SolenoidProtocol0"});
    EXPECT_EQ(ini2.ReadSection("SolenoidProtocol0"),
              (std::vector<std::string>{"Name", "Desc", "MaxAddress", "Base", "Extension", "Groups", "MaxPort",
                                        "MaxValue"}));
    EXPECT_EQ(ini2.ReadString("SolenoidProtocol0", "Base", ""), "N");
    EXPECT_EQ(ini2.ReadString("SolenoidProtocol0", "MaxAddress", ""), "4096");
}

TEST(MoBaProtocolList, SavingTwoOverFiveLeavesOnlyTwo)
{
    TMoBaIniFile ini("");
    ini.SetText("[Other]\r\nKeep=1\r\n"
                "[LocoProtocols]\r\nLocoProtocol0=\r\nLocoProtocol1=\r\nLocoProtocol2=\r\nLocoProtocol3=\r\n"
                "LocoProtocol4=\r\n"
                "[LocoProtocol0]\r\nName=a\r\n[LocoProtocol1]\r\nName=b\r\n[LocoProtocol2]\r\nName=c\r\n"
                "[LocoProtocol3]\r\nName=d\r\n[LocoProtocol4]\r\nName=e\r\nMaxSteps=99\r\n"
                "[SolenoidProtocols]\r\nSolenoidProtocol0=\r\n[SolenoidProtocol0]\r\nName=s\r\n");
    TMoBaLocoProtocolList list;
    list.Add(std::make_unique<TMoBaLocoProtocol>());
    list.Add(std::make_unique<TMoBaLocoProtocol>());
    list.Items(1)->SetName("second");
    list.SaveToIniFile(ini);

    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Other", "SolenoidProtocols", "SolenoidProtocol0",
                                                             "LocoProtocols", "LocoProtocol0", "LocoProtocol1"}));
    EXPECT_EQ(ini.ReadSection("LocoProtocols"), (std::vector<std::string>{"LocoProtocol0", "LocoProtocol1"}));
    EXPECT_EQ(ini.ReadString("LocoProtocol0", "Name", "?"), "");
    EXPECT_EQ(ini.ReadString("LocoProtocol1", "Name", "?"), "second");
    EXPECT_EQ(ini.ReadString("Other", "Keep", ""), "1");
    EXPECT_EQ(ini.ReadString("SolenoidProtocol0", "Name", ""), "s");
}

TEST(MoBaProtocolList, LoadFollowsTheListKeysWithDefaultsForMissingValues)
{
    TMoBaIniFile ini("");
    ini.SetText("[LocoProtocols]\r\n"
                "LocoProtocol7=\r\n"
                "Other=\r\n"
                "LocoProtocol2=\r\n"
                "LocoProtocolMissing=\r\n"
                "[LocoProtocol2]\r\n"
                "Name=Two\r\nBase=N\r\nMaxSteps=28\r\nMaxFunctions=5\r\nMaxAddress=99\r\n"
                "[LocoProtocol7]\r\n"
                "Name=Seven\r\nBase=motorola\r\nMaxSteps=many\r\nMinSteps=-3\r\nGroups=1,999,x,4\r\n"
                "Extension=2147483648\r\n"
                "[Other]\r\nName=ignored\r\n");
    TMoBaLocoProtocolList list;
    list.LoadFromIniFile(ini);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Items(0)->Name(), "Seven");
    EXPECT_EQ(list.Items(0)->ProtocolBase(), mpbCustom);
    EXPECT_EQ(list.Items(0)->MaxSteps(), 0);
    EXPECT_EQ(list.Items(0)->MinSteps(), -3);
    EXPECT_EQ(list.Items(0)->Groups(), groupsOf({1, 4}));
    EXPECT_EQ(list.Items(0)->ProtocolExtension(), 0);
    EXPECT_EQ(list.Items(0)->MaxAddress(), 0);
    EXPECT_EQ(list.Items(1)->Name(), "Two");
    EXPECT_EQ(list.Items(1)->ProtocolBase(), mpbNMRA);
    EXPECT_EQ(list.Items(1)->MaxSteps(), 28);
    EXPECT_EQ(list.Items(1)->MaxFunctions(), 5);
    EXPECT_EQ(list.Items(1)->MaxAddress(), 99);
    // A listed protocol without a section reads every key's default, not those of a new protocol.
    const TMoBaLocoProtocol* empty = list.Items(2);
    EXPECT_EQ(empty->Name(), "");
    EXPECT_EQ(empty->ProtocolBase(), mpbCustom);
    EXPECT_EQ(empty->MaxAddress(), 0);
    EXPECT_EQ(empty->MaxSteps(), 0);
    EXPECT_EQ(empty->MaxFunctions(), 0);
    EXPECT_TRUE(empty->Groups().none());
}

}  // namespace
