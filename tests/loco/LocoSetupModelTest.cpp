#include "base/AppState.h"
#include "base/ParameterFile.h"
#include "loco/LocoSetupModel.h"
#include "base/TLok.h"
#include "base/ScriptedDialogs.h"

#include "loco/Flookup.h"

#include <gtest/gtest.h>

namespace {

struct DialogFixture {
    DialogFixture()
    {
        model.saveParameters = [this] { ++saves; };
        model.prepareRegulators = [this] { ++prepares; };
    }
    TLok lok;
    ScriptedDialogs dialogs;
    LocoSetupModel model{lok, dialogs};
    int saves = 0, prepares = 0;
};

}  // namespace

TEST(LocoSetup, EveryProtocolRowRoundTripsThroughTheParameterFile)
{
    struct Row {
        bool mm;
        int item;
        const char* protocol;
        int prottype, bus, version, steps, functions;
    };
    const Row rows[] = {
        {true, 0, "M1", 4, 1, 1, 14, 0},  {true, 1, "M2", 4, 1, 2, 14, 4},  {true, 2, "M3", 4, 1, 3, 28, 4},
        {true, 3, "M4", 4, 1, 4, 14, 4},  {true, 4, "M5", 4, 1, 5, 27, 4},  {false, 0, "NB", 5, 2, 1, 14, 0},
        {false, 1, "N1", 5, 2, 3, 28, 4}, {false, 2, "N2", 5, 2, 4, 128, 4}, {false, 3, "N3", 5, 3, 5, 28, 4},
        {false, 4, "N4", 5, 3, 6, 128, 4}, {false, 5, "N5", 5, 2, 2, 14, 4},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.protocol);
        DialogFixture t;
        const int nr = 7;
        t.model.setuplok(nr);
        if (r.mm) {
            t.model.RadioButton3Click();
            t.model.RadioGroup2Click(r.item);
        } else {
            t.model.RadioButton4Click();
            t.model.RadioGroup1Click(r.item);
        }
        EXPECT_EQ(t.model.functionsVisible, r.functions > 0);
        t.model.Func_imageClick(5);
        t.model.FuncMouseDown(1, true);  // F1 head lights
        t.model.Adresse_edit = "42";
        t.model.Vmax_edit = "80";
        ASSERT_TRUE(t.model.Fertig_buttonClick());
        EXPECT_EQ(t.lok.get_protocol(nr), r.protocol);
        EXPECT_EQ(t.lok.get_protocolbase(nr), r.prottype);
        EXPECT_EQ(t.lok.get_busnr(nr), r.bus);
        EXPECT_EQ(t.lok.get_protvers(nr), r.version);
        EXPECT_EQ(t.lok.get_nrof(nr), r.functions);

        AppState main;
        const QByteArray file = ParameterFile::write(main, t.lok);
        TLok loaded;
        ParameterFile::read(file, main, loaded);
        EXPECT_EQ(loaded.get_protocol(nr), r.protocol);
        EXPECT_EQ(loaded.get_protocolbase(nr), r.prottype);
        EXPECT_EQ(loaded.get_busnr(nr), r.bus);
        EXPECT_EQ(loaded.get_protvers(nr), r.version);
        EXPECT_EQ(loaded.get_nrof(nr), r.functions);
        EXPECT_EQ(loaded.get_addr(nr), 42);
        EXPECT_EQ(loaded.get_speedmax(nr), 80);
        EXPECT_EQ(loaded.get_F(nr), t.lok.get_F(nr)) << "functions are saved switched off";

        // Opening the dialog again shows what was saved.
        LocoSetupModel again(loaded, t.dialogs);
        again.setuplok(nr);
        EXPECT_EQ(again.Mm, r.mm);
        EXPECT_EQ(r.mm ? again.RadioGroup2 : again.RadioGroup1, r.item);
        if (r.functions > 0) {
            EXPECT_EQ(loaded.get_F(nr)[0], 1);
            EXPECT_EQ(loaded.get_F(nr)[1], 5);
            EXPECT_EQ(again.slotCode[0], 15);
        }
    }
}

TEST(LocoSetup, SavingM3WithABlankInTheName)
{
    DialogFixture t;
    t.model.setuplok(0);
    t.model.RadioGroup2Click(2);
    t.model.Adresse_edit = "24";
    t.model.Beschreibung_edit = "BR 01";
    t.model.Vmax_edit = "";
    t.lok.set_speed(0, 55);
    ASSERT_TRUE(t.model.Fertig_buttonClick());
    EXPECT_EQ(t.lok.get_protocol(0), "M3");
    EXPECT_EQ(t.lok.get_protvers(0), 3);
    EXPECT_EQ(t.lok.get_nrof(0), 4);
    EXPECT_EQ(t.lok.get_busnr(0), 1);
    EXPECT_EQ(t.lok.get_name(0), "BR01");
    EXPECT_EQ(t.lok.get_addr(0), 24);
    EXPECT_EQ(t.lok.get_speedmax(0), 100);
    EXPECT_EQ(t.lok.get_speed(0), 0);
    EXPECT_EQ(t.lok.get_direction(0), 1);
    EXPECT_EQ(t.lok.get_F(0)[0], 1);
    EXPECT_EQ(t.saves, 1);
    EXPECT_EQ(t.prepares, 1);
}

TEST(LocoSetup, EmptyAddressChangesNothingButStillSaves)
{
    DialogFixture t;
    t.model.setuplok(3);
    t.model.RadioButton4Click();
    t.model.RadioGroup1Click(4);
    t.model.Adresse_edit = "";
    t.model.Beschreibung_edit = "Other";
    ASSERT_TRUE(t.model.Fertig_buttonClick());
    EXPECT_EQ(t.lok.get_protocol(3), "M1");
    EXPECT_EQ(t.lok.get_name(3), "Lok");
    EXPECT_EQ(t.saves, 1);
    EXPECT_EQ(t.prepares, 1);
}

TEST(LocoSetup, NonNumericEntriesKeepTheDialogOpen)
{
    DialogFixture t;
    t.model.setuplok(2);
    t.model.Adresse_edit = "x12";
    t.model.Beschreibung_edit = "Neu";
    EXPECT_FALSE(t.model.Fertig_buttonClick());
    EXPECT_EQ(t.lok.get_addr(2), 3);
    EXPECT_EQ(t.lok.get_name(2), "Lok");
    ASSERT_EQ(t.dialogs.count("message"), 1);
    EXPECT_EQ(t.dialogs.last("message")->text, "'x12' is not a valid integer value");
    EXPECT_EQ(t.dialogs.last("message")->caption, "Error");

    t.model.Adresse_edit = "12";
    t.model.Vmax_edit = "fast";
    EXPECT_FALSE(t.model.Fertig_buttonClick());
    EXPECT_EQ(t.lok.get_addr(2), 12) << "fields before the bad one keep their new values";
    EXPECT_EQ(t.lok.get_name(2), "Neu");
    EXPECT_EQ(t.lok.get_speedmax(2), 100);
    EXPECT_EQ(t.saves, 0);

    t.model.Vmax_edit = "-5";
    EXPECT_FALSE(t.model.Fertig_buttonClick());
    EXPECT_EQ(t.lok.get_speedmax(2), 100);

    t.model.Vmax_edit = "60";
    EXPECT_TRUE(t.model.Fertig_buttonClick());
    EXPECT_EQ(t.lok.get_speedmax(2), 60);
    EXPECT_EQ(t.saves, 1);
}

TEST(LocoSetup, ChoicesStartFromTheLocoBeingEdited)
{
    DialogFixture t;
    t.lok.set_protocol(0, "M2");
    t.lok.set_nrof(0, 4);
    Dekod_Funcs horn{};
    horn[1] = 2;
    t.lok.set_F(0, horn);
    t.lok.set_protocol(1, "M2");
    t.lok.set_nrof(1, 4);

    t.model.setuplok(0);
    EXPECT_EQ(t.model.Storefunc1, 12);
    EXPECT_EQ(t.model.slotCode[0], 12);
    t.model.setuplok(1);
    EXPECT_EQ(t.model.slotCode[0], 0);
    ASSERT_TRUE(t.model.Fertig_buttonClick());
    EXPECT_EQ(t.lok.get_F(1)[1], 0);
    EXPECT_EQ(t.lok.get_F(0)[1], 2);
}

TEST(LocoSetup, RightClickClearsTheFunctionAtOnceEvenOnCancel)
{
    DialogFixture t;
    t.lok.set_protocol(4, "N2");
    t.lok.set_nrof(4, 4);
    Dekod_Funcs f{};
    f[2] = 3;
    t.lok.set_F(4, f);
    t.model.setuplok(4);
    EXPECT_FALSE(t.model.Mm);
    EXPECT_EQ(t.model.RadioGroup1, 2);
    t.model.FuncMouseDown(2, false);
    EXPECT_EQ(t.model.slotCode[1], 0);
    EXPECT_EQ(t.lok.get_F(4)[2], 0);  // no save: the dialog is cancelled
    EXPECT_EQ(t.saves, 0);
}

TEST(LocoSetup, PaletteSlotsAndJoystickButtons)
{
    DialogFixture t;
    t.lok.set_protocol(0, "M4");
    t.lok.set_nrof(0, 4);
    t.lok.set_jb3(0, 0);
    t.model.setuplok(0);
    EXPECT_EQ(t.model.joyCode, (std::array<int, 4>{7, 1, 0, 2}));  // default B4: code 2, "F3"
    EXPECT_EQ(t.model.K4Text, "F3");
    EXPECT_EQ(t.model.K3Text, "--------");

    t.model.FuncMouseDown(3, true);  // nothing picked: nothing happens
    EXPECT_EQ(t.model.slotCode[2], 0);
    t.model.Func_imageClick(2);
    t.model.FuncMouseDown(3, true);
    EXPECT_EQ(t.model.slotCode[2], 12);
    EXPECT_EQ(t.model.Storefunc3, 2);
    EXPECT_EQ(t.model.Zwischenfunc, 0);
    t.model.Func_imageClick(6);
    t.model.FuncMouseDown(4, true);

    t.model.K3CBChange(2);  // F3 -> horn
    EXPECT_EQ(t.model.joyCode[2], 12);
    EXPECT_EQ(t.model.Storejb3, 2);
    t.model.K4CBChange(4);  // keine
    EXPECT_EQ(t.model.joyCode[3], 0);
    EXPECT_EQ(t.model.Storejb4, 0);

    ASSERT_TRUE(t.model.Fertig_buttonClick());
    EXPECT_EQ(t.lok.get_F(0)[3], 2);
    EXPECT_EQ(t.lok.get_F(0)[4], 6);
    EXPECT_EQ((std::array{t.lok.get_jb1(0), t.lok.get_jb2(0), t.lok.get_jb3(0), t.lok.get_jb4(0)}),
              (std::array{7, 1, 2, 0}));
    EXPECT_EQ(t.lok.get_jb3func(0), "F3");
    EXPECT_EQ(t.lok.get_jb4func(0), "keine");
    EXPECT_EQ(t.model.Zeigen_buttonClick(), "F1:0 F2:0 F3:2 F4:6");
}

TEST(LocoSetup, ChoiceOfButtons3And4SurvivesReopeningAndSavingAgain)
{
    DialogFixture t;
    t.lok.set_protocol(2, "M3");
    t.lok.set_nrof(2, 4);
    t.model.setuplok(2);
    t.model.K3CBChange(4);  // keine
    ASSERT_TRUE(t.model.Fertig_buttonClick());
    ASSERT_EQ(t.lok.get_jb3(2), 0);
    ASSERT_EQ(t.lok.get_jb3func(2), "keine");
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        t.model.setuplok(2);
        EXPECT_EQ(t.model.K3Text, "keine");
        EXPECT_EQ(t.model.joyCode[2], 0);
        ASSERT_TRUE(t.model.Fertig_buttonClick());
        EXPECT_EQ(t.lok.get_jb3func(2), "keine") << "not F1";
        EXPECT_EQ(t.lok.get_jb4func(2), "F3");
    }
    // A function chosen while its slot was empty (button code 0) keeps its name as well.
    t.lok.set_jb4(2, 0);
    t.lok.set_jb4func(2, "F4");
    t.model.setuplok(2);
    EXPECT_EQ(t.model.K4Text, "----");
    ASSERT_TRUE(t.model.Fertig_buttonClick());
    EXPECT_EQ(t.lok.get_jb4func(2), "F4");
}

TEST(LocoSetup, DamagedCodeIsRepairedOnceForThatLocoWhenTheDialogIsFilled)
{
    DialogFixture t;
    int repairs = 0;
    t.model.onDamagedCode = [&](int nr) {
        ++repairs;
        EXPECT_EQ(nr, 4);
        repairFunctionCodes(t.lok, nr);
    };
    const struct {
        int f1, jb3;
    } cases[] = {{99, 3}, {2, 21}, {2, -1}};
    t.lok.set_addr(7, 70);
    for (const auto& c : cases) {
        repairs = 0;
        t.lok.set_protocol(4, "M2");
        t.lok.set_nrof(4, 4);
        Dekod_Funcs f{};
        f[1] = static_cast<std::uint8_t>(c.f1);
        t.lok.set_F(4, f);
        t.lok.set_jb3(4, c.jb3);
        t.model.setuplok(4);
        EXPECT_EQ(repairs, 1) << c.f1 << " " << c.jb3;
        EXPECT_EQ(t.lok.get_protocol(4), "M2") << "the loco keeps its other values";
        EXPECT_EQ(t.lok.get_F(4)[1], c.f1 == 99 ? 0 : c.f1);
        EXPECT_EQ(t.lok.get_jb3(4), c.jb3 == 3 ? 3 : 0);
        EXPECT_EQ(t.lok.get_addr(7), 70);
        t.model.setuplok(4);
        EXPECT_EQ(repairs, 1);
    }
    // Without a reset the damaged code is left out of the dialog.
    t.model.onDamagedCode = nullptr;
    t.lok.set_protocol(4, "M2");
    t.lok.set_nrof(4, 4);
    Dekod_Funcs f{};
    f[1] = 99;
    f[2] = 3;
    t.lok.set_F(4, f);
    t.model.setuplok(4);
    EXPECT_EQ(t.model.slotCode, (std::array<int, 4>{0, 13, 0, 0}));
}

TEST(LocoSetup, AnAddressOutsideTheProtocolsRangeIsRefusedAndNothingIsStored)
{
    struct Row {
        bool mm;
        int item;
        int address;
        bool accepted;
    };
    const Row rows[] = {
        {true, 1, 80, true},     {true, 1, 81, false},     {true, 2, 255, true},  {true, 2, 256, false},
        {true, 0, 0, true},      {false, 0, 99, true},     {false, 0, 100, false}, {false, 4, 10239, true},
        {false, 4, 10240, false}, {false, 3, -1, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << (r.mm ? "M item " : "N item ") << r.item << " address " << r.address);
        DialogFixture t;
        t.model.message = [](int id) {
            return id == 601 ? QStringLiteral("Address %1 out of range 1 to %2") : QString();
        };
        t.model.setuplok(2);
        if (r.mm) {
            t.model.RadioButton3Click();
            t.model.RadioGroup2Click(r.item);
        } else {
            t.model.RadioButton4Click();
            t.model.RadioGroup1Click(r.item);
        }
        t.model.Adresse_edit = QString::number(r.address);
        t.model.Beschreibung_edit = "Neu";
        EXPECT_EQ(t.model.Fertig_buttonClick(), r.accepted);
        if (r.accepted) {
            EXPECT_EQ(t.lok.get_addr(2), r.address);
            continue;
        }
        EXPECT_EQ(t.lok.get_addr(2), 3) << "the record keeps its old address";
        EXPECT_EQ(t.lok.get_name(2), "Lok");
        EXPECT_EQ(t.saves, 0);
        ASSERT_EQ(t.dialogs.count("message"), 1);
        EXPECT_TRUE(t.dialogs.last("message")->text.startsWith(QStringLiteral("Address %1 out of range 1 to ")
                                                                    .arg(r.address)))
            << t.dialogs.last("message")->text.toStdString();
    }
}
