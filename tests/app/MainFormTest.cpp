#include "base/ParameterFile.h"
#include "app/TMainForm.h"
#include "app/TSetupForm.h"
#include "base/TLok.h"
#include "base/C_language.h"
#include "base/ScriptedDialogs.h"
#include "ui/widgets/TDebugForm.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        workDir = dir.path() + "/";
        ASSERT_TRUE(QDir(dir.path()).mkdir("Data"));
    }

    std::unique_ptr<TMainForm> start()
    {
        dialogs.shown.clear();
        return std::make_unique<TMainForm>(dialogs, workDir);
    }

    QByteArray parameterFile() const
    {
        QFile f(workDir + "Data/parmc.dat");
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    QString workDir;
    ScriptedDialogs dialogs;
};

const char* const kModeItems[] = {"Gleisbildentwerfen1", "DecoderAdressen1", "S88modules1", "Text1",
                                  "Betrieb1", "Fahrstrassen1", "Softregler1"};

}  // namespace

TEST_F(MainFormTest, FreshStartWritesDefaultsOnceAndTheNextStartIsSilent)
{
    {
        auto form = start();
        ASSERT_EQ(dialogs.count("message"), 1);
        ASSERT_NE(Lang, nullptr);
        EXPECT_EQ(dialogs.last("message")->text, Lang->getmessage(101, 1));
        EXPECT_EQ(dialogs.last("message")->caption, Lang->getmessage(102, 1));
        EXPECT_EQ(dialogs.last("message")->icon, UserDialogs::Icon::Error);
        EXPECT_EQ(form->WorkDir, workDir);
        EXPECT_EQ(form->statusText(1), "WorkDir: " + workDir);
    }
    AppState defaults;
    TLok lok;
    EXPECT_EQ(parameterFile(), ParameterFile::write(defaults, lok));

    auto again = start();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(again->Ipport, 12345);
}

TEST_F(MainFormTest, DamagedFileKeepsEveryGoodValueAndTheDamagedCopyAndSaysWhichLinesWereReplaced)
{
    AppState saved;
    saved.Ipport = 4303;
    saved.Iphostchar = "zentrale";
    TLok savedLocos;
    savedLocos.set_name(4, "Köf");
    savedLocos.set_addr(4, 44);
    QList<QByteArray> lines = ParameterFile::write(saved, savedLocos).split('\n');
    lines[11] = "x\r";  // line 12
    const QByteArray damaged = lines.join('\n');
    const QString path = workDir + "Data/parmc.dat";
    const auto put = [&path](const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    put(damaged);
    {
        auto form = start();
        ASSERT_EQ(dialogs.count("message"), 1);
        EXPECT_EQ(dialogs.last("message")->text, Lang->getmessage(573, 1).arg(path, "12", path + ".bak"));
        EXPECT_EQ(form->Ipport, 4303);
        EXPECT_EQ(form->Iphostchar, "zentrale");
        EXPECT_EQ(form->BusGlNMRA_L, 3);
        EXPECT_EQ(Lok->get_name(4), QString::fromUtf8("Köf"));
        EXPECT_EQ(Lok->get_addr(4), 44);
    }
    // The repaired file holds every saved value again; the damaged one is kept beside it.
    EXPECT_EQ(parameterFile(), ParameterFile::write(saved, savedLocos));
    QFile bak(path + ".bak");
    ASSERT_TRUE(bak.open(QIODevice::ReadOnly));
    EXPECT_EQ(bak.readAll(), damaged);
    bak.close();

    // Damaged again later: the first copy stays, the second gets a name of its own.
    lines = ParameterFile::write(saved, savedLocos).split('\n');
    lines[16 + 4 * 50 + 5 - 1] = "44a\r";  // loco 4's address
    put(lines.join('\n'));
    {
        auto form = start();
        ASSERT_EQ(dialogs.count("message"), 1);
        EXPECT_TRUE(dialogs.last("message")->text.contains(path + ".bak2"));
        EXPECT_EQ(Lok->get_name(4), QString::fromUtf8("Köf"));
        EXPECT_EQ(Lok->get_addr(4), 3);  // the loco table's own value
    }
    ASSERT_TRUE(bak.open(QIODevice::ReadOnly));
    EXPECT_EQ(bak.readAll(), damaged);
    EXPECT_TRUE(QFile::exists(path + ".bak2"));
}

TEST_F(MainFormTest, BadFunctionCodesAreReplacedAloneAtStartAndNoLocoIsReset)
{
    // Loco 0's F1 = 35 and F2 = -1 once made the first throttle reset all ten locos.
    AppState saved;
    TLok savedLocos;
    savedLocos.set_name(0, "V100");
    savedLocos.set_addr(0, 12);
    savedLocos.set_nrof(0, 4);
    Dekod_Funcs f{};
    f[3] = 2;
    savedLocos.set_F(0, f);
    savedLocos.set_addr(5, 44);
    QList<QByteArray> lines = ParameterFile::write(saved, savedLocos).split('\n');
    lines[16 + 12 - 1] = "35\r";  // loco 0, F1
    lines[16 + 13 - 1] = "-1\r";  // loco 0, F2
    const QByteArray damaged = lines.join('\n');
    const QString path = workDir + "Data/parmc.dat";
    {
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(damaged);
    }
    auto form = start();
    ASSERT_EQ(dialogs.count("message"), 1);
    EXPECT_EQ(dialogs.last("message")->text, Lang->getmessage(573, 1).arg(path, "28, 29", path + ".bak"));
    EXPECT_EQ(Lok->get_name(0), "V100");
    EXPECT_EQ(Lok->get_addr(0), 12);
    EXPECT_EQ(Lok->get_F(0), f);
    EXPECT_EQ(Lok->get_addr(5), 44);
    EXPECT_EQ(parameterFile(), ParameterFile::write(saved, savedLocos));
    QFile bak(path + ".bak");
    ASSERT_TRUE(bak.open(QIODevice::ReadOnly));
    EXPECT_EQ(bak.readAll(), damaged);
}

TEST_F(MainFormTest, UnwritableDataFolderGivesAClearErrorNotACrash)
{
    ASSERT_TRUE(QDir(dir.path()).rmdir("Data"));
    auto form = start();
    EXPECT_EQ(dialogs.count("message"), 1);
    ASSERT_EQ(dialogs.count("error"), 1);
    EXPECT_TRUE(dialogs.last("error")->text.contains("parmc.dat"));
}

TEST_F(MainFormTest, StartStateMenusAndNoMode)
{
    auto form = start();
    EXPECT_FALSE(form->Quarnerstellen || form->Decoder || form->S88config || form->Text || form->Betrieb
                 || form->Fahrstrasseerstellen || form->Lokregler);
    for (const char* name : {"Speichernals1", "Gleisbildentwerfen1", "DecoderAdressen1", "S88modules1", "Text1",
                             "Betrieb1", "Fahrstrassen1", "Softregler1", "Abfragestarten1", "Abfragebeenden1",
                             "Joystickcalibrieren1", "Synchronize1", "Spannungan1", "Spannungaus1",
                             "Initialisierung1", "Zeit1", "Decoderprogrammieren1", "FreieBefehle1"}) {
        ASSERT_NE(form->action(name), nullptr) << name;
        EXPECT_FALSE(form->action(name)->isEnabled()) << name;
    }
    for (const char* name : {"Hostverbinden1", "Joystickeinrichten1", "Speichern1", "Neu1", "Oeffnen1"})
        EXPECT_TRUE(form->action(name)->isEnabled()) << name;
    EXPECT_TRUE(form->menu("Bildschirm1")->isEnabled());
    EXPECT_TRUE(form->action("automatisch1")->isChecked());
    EXPECT_FALSE(form->menu("Debug1")->menuAction()->isVisible());
    EXPECT_FALSE(form->Design_Panel->isVisibleTo(form.get()));
    EXPECT_EQ(form->trackPanel()->objectName(), "Quarn");
    EXPECT_EQ(form->Knopf.size(), 2049u);
    EXPECT_EQ(form->Quarn_bitmap.size(), QSize(980, 680));
    EXPECT_EQ(form->Quarn_bitmap.pixelColor(500, 300), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_FALSE(form->Dxpresent);
    EXPECT_EQ(form->windowTitle(), Lang->getmessage(100, 1));
}

TEST_F(MainFormTest, ScreenPresetSizesTheWindowAndChecksOnlyItsItem)
{
    auto form = start();
    form->action("N800mal600")->trigger();
    EXPECT_EQ(form->Screen_x, 800);
    EXPECT_EQ(form->Screen_y, 600);
    EXPECT_EQ(form->frameGeometry().size(), QSize(795, 565));
    EXPECT_EQ(form->pos(), QPoint(2, 1));
    for (const char* name : {"automatisch1", "N640mal480", "N800mal600", "N1024mal768"})
        EXPECT_EQ(form->action(name)->isChecked(), QByteArray(name) == "N800mal600") << name;
}

TEST_F(MainFormTest, ModeHandlersSetOneFlagCheckTheirItemAndShowTheirPanels)
{
    struct Case {
        const char* item;
        bool AppState::*flag;
        std::vector<const char*> shown;
    };
    const std::vector<Case> cases{
        {"Gleisbildentwerfen1", &AppState::Quarnerstellen, {"Design_Panel"}},
        {"DecoderAdressen1", &AppState::Decoder, {"Decod_panel"}},
        {"S88modules1", &AppState::S88config, {"Decod_panel"}},
        {"Text1", &AppState::Text, {}},
        {"Betrieb1", &AppState::Betrieb, {"Regler_panel"}},
        {"Softregler1", &AppState::Lokregler, {"Regler_panel"}},
        {"Fahrstrassen1", &AppState::Fahrstrasseerstellen, {"PageControl1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item);
        auto form = start();
        form->show();
        form->action("Joystickeinrichten1")->setChecked(true);
        form->Symbol = true;
        form->action(c.item)->setEnabled(true);
        form->action(c.item)->trigger();
        EXPECT_TRUE(form.get()->*c.flag);
        int flags = form->Quarnerstellen + form->Decoder + form->S88config + form->Text + form->Betrieb
                    + form->Fahrstrasseerstellen + form->Lokregler;
        EXPECT_EQ(flags, 1);
        for (const char* item : kModeItems)
            EXPECT_EQ(form->action(item)->isChecked(), QByteArray(item) == c.item) << item;
        EXPECT_EQ(form->action("Joystickeinrichten1")->isChecked(), QByteArray(c.item) == "Fahrstrassen1");
        for (const char* panel : {"Design_Panel", "Decod_panel", "Regler_panel"}) {
            const bool want = std::find_if(c.shown.begin(), c.shown.end(),
                                           [&](const char* s) { return QByteArray(s) == panel; })
                              != c.shown.end();
            EXPECT_EQ(form->findChild<QWidget*>(panel)->isVisible(), want) << panel;
        }
        if (QByteArray(c.item) == "Softregler1") {
            EXPECT_EQ(form->statusText(1), Lang->getmessage(141, 1));
        } else {
            EXPECT_FALSE(form->Symbol);
            EXPECT_TRUE(form->statusText(1).isEmpty());
        }
        if (QByteArray(c.item) == "Fahrstrassen1") {
            EXPECT_TRUE(form->PageControl1->isVisible());
            EXPECT_EQ(form->PageControl1->currentIndex(), 0);
            for (const char* off : {"Gleisbildentwerfen1", "DecoderAdressen1", "Betrieb1"})
                EXPECT_FALSE(form->action(off)->isEnabled()) << off;
        }
        if (QByteArray(c.item) == "Betrieb1") {
            EXPECT_TRUE(form->action("Joystickcalibrieren1")->isEnabled());
        }
    }
}

TEST_F(MainFormTest, CloseIsRefusedWhileConnectedAndEndDisconnectsFirst)
{
    auto form = start();
    form->show();
    bool connected = true;
    form->commandConnected = [&] { return connected; };
    form->disconnectFromServer = [&] { connected = false; };
    dialogs.shown.clear();

    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(dialogs.count("message"), 1);
    EXPECT_EQ(dialogs.last("message")->text, Lang->getmessage(126, 1));
    EXPECT_EQ(dialogs.last("message")->caption, Lang->getmessage(102, 1));

    form->action("Ende1")->trigger();
    EXPECT_FALSE(connected);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(dialogs.count("message"), 1);
}

TEST_F(MainFormTest, SettingsDialogSavesAppliesLanguageAndKeepsHostOnBadPort)
{
    auto form = start();
    form->show();
    TSetupForm setup(form.get());
    SetupForm = &setup;
    EXPECT_EQ(form->action("Ende1")->text(), Lang->getmessage(7, 1));

    // Without the controller service the first save puts the one-controller module in place of
    // the default; a save without changes after that rewrites the same file.
    setup.fill(*form);
    setup.FormShow(Lang, form->Lang_id, form->Showassist);
    EXPECT_FALSE(setup.RGDirectX->isEnabled());
    EXPECT_EQ(form->Joy_Mode, 0);
    form->applySetupForm();
    EXPECT_EQ(form->Joy_Mode, 1);
    const QByteArray before = parameterFile();
    setup.fill(*form);
    setup.FormShow(Lang, form->Lang_id, form->Showassist);
    form->applySetupForm();
    EXPECT_EQ(parameterFile(), before);

    // A port that is not a number: error, host taken, nothing after it, no file write.
    dialogs.shown.clear();
    setup.Edithost->setText("zentrale");
    setup.Editport->setText("12a");
    setup.CBLang->setCurrentIndex(1);
    setup.busUpDowns[5]->setValue(9);
    form->applySetupForm();
    ASSERT_EQ(dialogs.count("error"), 1);
    EXPECT_TRUE(dialogs.last("error")->text.contains("12a"));
    EXPECT_EQ(form->Iphostchar, "zentrale");
    EXPECT_EQ(form->Ipport, 12345);
    EXPECT_EQ(form->Lang_id, 1);
    EXPECT_EQ(form->BusS88, 8);
    EXPECT_EQ(parameterFile(), before);

    // Empty port keeps the port; English switches every caption at once; DirectX choice forced to 1.
    setup.Editport->clear();
    setup.RGDirectX->setItemIndex(0);
    form->applySetupForm();
    EXPECT_EQ(form->Ipport, 12345);
    EXPECT_EQ(form->Lang_id, 2);
    EXPECT_EQ(form->Joy_Mode, 1);
    EXPECT_EQ(form->BusS88, 9);
    for (const auto& c : Lang->setup(2)) {
        if (QAction* a = form->action(c.control)) {
            EXPECT_EQ(a->text(), c.text) << c.control.toStdString();
        }
        if (QMenu* m = form->menu(c.control)) {
            EXPECT_EQ(m->title(), c.text) << c.control.toStdString();
        }
    }
    EXPECT_EQ(form->menu("FileMenu")->title(), "&File");
    EXPECT_EQ(setup.Ok_button->text(), Lang->getmessage(55, 2));
    AppState back;
    TLok lok;
    ParameterFile::load(workDir + "Data/parmc.dat", back, lok);
    EXPECT_EQ(back.Lang_id, 2);
    EXPECT_EQ(back.Iphostchar, "zentrale");
    SetupForm = nullptr;
}

TEST_F(MainFormTest, DebugWindowStaysOnTopCollectsLinesAndStaysHiddenWithoutDebug)
{
    auto form = start();
    TDebugForm debug;
    DebugForm = &debug;
    EXPECT_TRUE(debug.windowFlags() & Qt::WindowStaysOnTopHint);
    debug.append("SET GL M2 3 1 5 14 0");
    debug.append("second");
    EXPECT_EQ(debug.text(), "SET GL M2 3 1 5 14 0\nsecond");
    EXPECT_FALSE(form->Debug);
    EXPECT_FALSE(debug.isVisible());
    form->openDebugWindow1Click();
    EXPECT_TRUE(debug.isVisible());
    DebugForm = nullptr;
}

TEST(SetupChecks, EachFieldTakesOnlyWhatItsMeaningAllows)
{
    struct Case {
        SetupField field;
        const char* text;
        int problem;
    };
    const Case cases[] = {
        {SetupField::Port, "12345", 0},          {SetupField::Port, "1", 0},
        {SetupField::Port, "65535", 0},          {SetupField::Port, "", 0},  // empty: the port stays
        {SetupField::Port, "0", MsgSetupPort},   {SetupField::Port, "-1", MsgSetupPort},
        {SetupField::Port, "70000", MsgSetupPort}, {SetupField::Port, "12a", MsgSetupPort},
        {SetupField::Host, "localhost", 0},      {SetupField::Host, "192.168.1.2", 0},
        {SetupField::Host, "[::1]", 0},          {SetupField::Host, "zentrale-2.local", 0},
        {SetupField::Host, "", 0},               {SetupField::Host, "my host", MsgSetupHost},
        {SetupField::Host, "a;b", MsgSetupHost},
        {SetupField::Bus, "1", 0},               {SetupField::Bus, "100", 0},
        {SetupField::Bus, "0", MsgSetupBus},     {SetupField::Bus, "101", MsgSetupBus},
        {SetupField::Bus, "", MsgSetupBus},
        {SetupField::PhonePort, "12090", 0},     {SetupField::PhonePort, "0", MsgSetupPhonePort},
        {SetupField::PhoneAddress, "", 0},       {SetupField::PhoneAddress, "10.0.0.7", 0},
        {SetupField::PhoneAddress, "::1", 0},    {SetupField::PhoneAddress, "10.0.0.999", MsgSetupPhoneAddress},
        {SetupField::PhoneAllow, "", 0},         {SetupField::PhoneAllow, "192.168.1.0/24, 10.0.0.7", 0},
        {SetupField::PhoneAllow, "192.168.1.0/33", MsgSetupPhoneAllow},
        {SetupField::PhoneAllow, "10.0.0.7, kitchen", MsgSetupPhoneAllow},
        {SetupField::PhoneLimit, "1", 0},        {SetupField::PhoneLimit, "64", 0},
        {SetupField::PhoneLimit, "65", MsgSetupPhoneLimit},
    };
    for (const Case& c : cases)
        EXPECT_EQ(setupFieldProblem(c.field, QString::fromUtf8(c.text)), c.problem) << c.text;

    // Taking the values over refuses a port outside its range as it refuses one that is no number.
    AppState main;
    SetupValues v = fillSetup(main, {});
    v.port = QStringLiteral("0");
    EXPECT_THROW(applySetup(v, main), SetupConversionError);
    EXPECT_EQ(main.Ipport, 12345);
    v.port = QStringLiteral("4303");
    v.buses[5] = 0;  // bus 0 is the server's own: the S88 bus stays
    applySetup(v, main);
    EXPECT_EQ(main.Ipport, 4303);
    EXPECT_EQ(main.BusS88, 8);
}

TEST_F(MainFormTest, TheSettingsDialogSaysBesideAFieldWhyItsTextCannotBeSavedAndRefusesIt)
{
    auto form = start();
    TSetupForm setup(form.get());
    setup.fill(*form);
    for (int lang : {1, 7}) {
        SCOPED_TRACE(lang);
        setup.setResult(QDialog::Rejected);
        setup.FormShow(Lang, lang, 1);
        setup.show();
        EXPECT_TRUE(setup.Ok_button->isEnabled());
        EXPECT_TRUE(setup.noteFor(setup.Editport).isEmpty());

        setup.Editport->setText("0");  // as the user types it
        EXPECT_EQ(setup.noteFor(setup.Editport), Lang->getmessage(MsgSetupPort, lang));
        auto* note = setup.findChild<QLabel*>("Editport_note");
        ASSERT_NE(note, nullptr);
        EXPECT_TRUE(note->isVisible());
        EXPECT_FALSE(setup.Ok_button->isEnabled());
        setup.Editport->setText("70000");
        EXPECT_FALSE(setup.Ok_button->isEnabled());

        // "Save" by the keyboard is refused too: the dialog stays open.
        setup.accept();
        EXPECT_EQ(setup.result(), QDialog::Rejected);
        EXPECT_TRUE(setup.isVisible());

        // A bus of 0 on the second page: its page is shown when "Save" is tried.
        setup.Editport->setText("4303");
        EXPECT_TRUE(setup.Ok_button->isEnabled());
        setup.busUpDowns[5]->findChild<QLineEdit*>()->setText("0");
        EXPECT_EQ(setup.noteFor(setup.busUpDowns[5]), Lang->getmessage(MsgSetupBus, lang));
        EXPECT_FALSE(setup.Ok_button->isEnabled());
        setup.accept();
        EXPECT_EQ(setup.PageControl->currentIndex(), 1);
        // The spin box puts its own value back when it loses the focus: the note follows it.
        auto* busText = setup.busUpDowns[5]->findChild<QLineEdit*>();
        busText->setText("0");
        setup.Editport->setFocus();
        if (setup.busUpDowns[5]->findChild<QLineEdit*>()->text() != "0") {
            EXPECT_TRUE(setup.noteFor(setup.busUpDowns[5]).isEmpty());
        }
        busText->setText("9");
        EXPECT_EQ(setup.busUpDowns[5]->cleanText(), "9");
        EXPECT_TRUE(setup.Ok_button->isEnabled()) << setup.noteFor(setup.busUpDowns[5]).toStdString();
        EXPECT_TRUE(setup.noteFor(setup.busUpDowns[5]).isEmpty());
        setup.Edithost->setText("my host");
        EXPECT_EQ(setup.noteFor(setup.Edithost), Lang->getmessage(MsgSetupHost, lang));
        setup.Edithost->setText("zentrale");
        setup.accept();
        EXPECT_EQ(setup.result(), QDialog::Accepted);
        EXPECT_FALSE(setup.isVisible());
    }
    // The texts exist in every language.
    for (int id = MsgSetupHost; id <= MsgSetupPhoneLimit; ++id)
        for (int lang = 1; lang <= 7; ++lang)
            EXPECT_FALSE(Lang->getmessage(id, lang).isEmpty()) << id << " " << lang;
}
