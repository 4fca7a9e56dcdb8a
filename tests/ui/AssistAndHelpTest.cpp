// The assistant, the info window, the DirectX probe, the help and debug menu items, and opening a
// layout named on the command line.

#include "app/StartLayout.h"
#include "app/TMainForm.h"
#include "common/ProgramFolder.h"
#include "app/TrackPanelHost.h"
#include "base/C_language.h"
#include "ui/DirectXProbe.h"
#include "base/ScriptedDialogs.h"
#include "ui/widgets/TAssistForm.h"
#include "ui/widgets/TDebugForm.h"
#include "ui/widgets/TInfoForm.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>
#include <QStyle>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct MainWindowFixture : ::testing::Test {
    QTemporaryDir dir;
    QString work;
    ScriptedDialogs dialogs;
    std::unique_ptr<TMainForm> form;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        work = dir.path() + "/";
        ASSERT_TRUE(testsupport::makeProgramFolder(work));
        form = std::make_unique<TMainForm>(dialogs, work);
        dialogs.shown.clear();
    }

    std::unique_ptr<TAssistForm> assistant()
    {
        TMainForm* f = form.get();
        return std::make_unique<TAssistForm>([f](int id) { return Lang->getmessage(id, f->Lang_id); },
                                             [f](const QString& name) { return f->action(name); }, dialogs);
    }
};

}  // namespace

TEST_F(MainWindowFixture, AssistantListsTheTasksInTheCurrentLanguageAndExplainsTheChoice)
{
    form->Lang_id = 7;
    auto a = assistant();
    a->show();
    ASSERT_EQ(a->ComboBoxAssist->count(), 26);
    for (int i = 0; i < 26; ++i)
        EXPECT_EQ(a->ComboBoxAssist->itemText(i), Lang->getmessage(200 + i, 7)) << i;
    EXPECT_EQ(a->Auswahl, 0);
    form->Lang_id = 2;
    a->ComboBoxAssistChange(3);
    EXPECT_EQ(a->Auswahl, 3);
    EXPECT_EQ(a->MemoA->toPlainText(), Lang->getmessage(253, 2));
    EXPECT_TRUE(a->MemoA->toPlainText().contains("12345"));
}

TEST_F(MainWindowFixture, AssistantRunsTheRealMenuCommandOnlyWhenItsItemIsEnabled)
{
    auto a = assistant();
    a->show();
    // "Operate trains" while no layout is open: the item is disabled, message 137, no mode.
    a->ComboBoxAssistChange(9);
    a->Select_buttonClick();
    ASSERT_EQ(dialogs.count("message"), 1);
    EXPECT_EQ(dialogs.last("message")->text, Lang->getmessage(137, form->Lang_id));
    EXPECT_EQ(dialogs.last("message")->caption, "Info");
    EXPECT_FALSE(form->Betrieb);

    // Once enabled, the menu item's own handler runs.
    form->action("Betrieb1")->setEnabled(true);
    a->Select_buttonClick();
    EXPECT_TRUE(form->Betrieb);
    EXPECT_TRUE(form->action("Betrieb1")->isChecked());
    EXPECT_TRUE(a->isVisible()) << "the assistant stays open";

    // "Display the installed DirectX version" runs "DirectX" of the help menu.
    a->ComboBoxAssistChange(25);
    a->Select_buttonClick();
    EXPECT_EQ(dialogs.last("message")->text, "DirectX not installed");

    // "Add Text" while disabled says nothing; "Change screen resolution" does nothing.
    const int before = dialogs.count("message");
    form->action("Text1")->setEnabled(false);
    a->ComboBoxAssistChange(8);
    a->Select_buttonClick();
    a->ComboBoxAssistChange(24);
    a->Select_buttonClick();
    EXPECT_EQ(dialogs.count("message"), before);
    EXPECT_FALSE(form->Text);
}

TEST_F(MainWindowFixture, AssistantIsShownAtStartWhenWantedAndFromTheHelpMenu)
{
    int shown = 0;
    form->showAssistant = [&] { ++shown; };
    form->Showassist = 0;
    form->show();
    EXPECT_EQ(shown, 0);
    form->hide();
    form->Showassist = 1;
    form->show();
    EXPECT_EQ(shown, 1);
    form->action("Assistent1")->trigger();
    EXPECT_EQ(shown, 2);
}

TEST(DirectXProbeTest, VersionValueAndTextFromTheSources)
{
    auto source = [](int major, int minor, char letter, HRESULT r) -> DirectXSource {
        return [=](int& ma, int& mi, char& le) {
            ma = major;
            mi = minor;
            le = letter;
            return r;
        };
    };
    std::uint32_t value = 1;
    QString text = "x";
    DirectXProbe probe{source(9, 0, 'C', S_OK), source(7, 0, 'a', S_OK)};
    EXPECT_EQ(GetDXVersion(value, text, probe), S_OK);
    EXPECT_EQ(value, 589827u);
    EXPECT_EQ(text, "9.0c");
    EXPECT_EQ(directXMessage(probe), "DirectX 9.0c installed");

    probe.viaDxDiag = source(0, 0, ' ', E_FAIL);  // falls back to the file versions
    EXPECT_EQ(GetDXVersion(value, text, probe), S_OK);
    EXPECT_EQ(value, 458753u);
    EXPECT_EQ(text, "7.0a");
    probe.viaFileVersions = source(8, 0, ' ', S_OK);
    QString dx;
    EXPECT_EQ(testdx(dx, probe), 524288u);
    EXPECT_EQ(dx, "8.0");

    probe.viaFileVersions = source(0, 0, ' ', E_FAIL);
    EXPECT_EQ(GetDXVersion(value, text, probe), E_FAIL);
    EXPECT_EQ(directXMessage(probe), "Unknown version of DirectX installed");

    EXPECT_EQ(GetDXVersion(value, text), S_OK) << "this platform: a version determined, none found";
    EXPECT_EQ(value, 0u);
    EXPECT_TRUE(text.isEmpty());
    EXPECT_EQ(directXMessage(), "DirectX not installed");
}

TEST_F(MainWindowFixture, InfoWindowShowsTheVersionCentredOnTheScreen)
{
    TInfoForm info(form.get());
    info.setVersionText(form->Version);
    info.show();
    EXPECT_EQ(info.Version->text(), " V 0.70");
    EXPECT_EQ(info.ProductName->text(), "Quarn");
    EXPECT_FALSE(info.Maker->text().isEmpty());
    EXPECT_FALSE(info.Contact->text().isEmpty());
    const QSize screen = info.screen()->size();
    EXPECT_EQ(info.x(), screen.width() / 2 - info.width() / 2);
    EXPECT_EQ(info.y(), screen.height() / 2 - info.height() / 2);
    info.hide();
}

TEST_F(MainWindowFixture, HelpOpensTheGermanPageOrSaysWhereItIs)
{
    QFile::remove(work + "Hilfe/QUARN.html");
    std::vector<QString> opened;
    bool browser = true;
    form->openDocument = [&](const QString& path, std::function<void()> failed) {
        opened.push_back(path);
        if (!browser)
            failed();
    };
    form->QuarnHilfe1Click();
    EXPECT_TRUE(opened.empty());
    ASSERT_EQ(dialogs.count("message"), 1);
    EXPECT_EQ(dialogs.last("message")->text, Lang->getmessage(572, 1).arg(work + "Hilfe/QUARN.html"));

    ASSERT_TRUE(QDir(work).mkpath("Hilfe"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(QUARN_PROGRAM_DIR "Hilfe/QUARN.html"), work + "Hilfe/QUARN.html"));
    form->QuarnHilfe1Click();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], work + "Hilfe/QUARN.html");
    EXPECT_EQ(dialogs.count("message"), 1);

    browser = false;
    form->QuarnHilfe1Click();
    ASSERT_EQ(dialogs.count("message"), 2);
    EXPECT_EQ(dialogs.last("message")->text, Lang->getmessage(571, 1).arg(work + "Hilfe/QUARN.html"));
}

TEST_F(MainWindowFixture, HelpOpensThePageOfTheUsersLanguageWhereOneShips)
{
    std::vector<QString> opened;
    form->openDocument = [&](const QString& path, std::function<void()>) { opened.push_back(path); };
    ASSERT_TRUE(QDir(work).mkpath("Hilfe"));
    for (const char* page : {"QUARN.html", "QUARN-en.html"}) {
        QFile::remove(work + "Hilfe/" + page);
        ASSERT_TRUE(QFile::copy(QStringLiteral(QUARN_PROGRAM_DIR "Hilfe/") + page, work + "Hilfe/" + page));
    }
    // German has its page, English its own, Swedish (none ships) reads the English one.
    const std::pair<int, const char*> cases[] = {{1, "QUARN.html"}, {2, "QUARN-en.html"}, {3, "QUARN-en.html"}};
    for (const auto& [lang, page] : cases) {
        form->Lang_id = lang;
        opened.clear();
        form->QuarnHilfe1Click();
        ASSERT_EQ(opened.size(), 1u) << lang;
        EXPECT_EQ(opened[0], work + "Hilfe/" + page) << lang;
    }
    // Without the English page every other language falls back to the German one.
    QFile::remove(work + "Hilfe/QUARN-en.html");
    form->Lang_id = 2;
    opened.clear();
    form->QuarnHilfe1Click();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], work + "Hilfe/QUARN.html");
    EXPECT_EQ(dialogs.count("message"), 0);
    form->Lang_id = 1;
}

TEST_F(MainWindowFixture, DebugMenuAndHintTimesFollowStartUp)
{
    EXPECT_FALSE(form->menu("Debug1")->menuAction()->isVisible());
    form->setDebug(true);
    EXPECT_TRUE(form->Debug);
    EXPECT_TRUE(form->menu("Debug1")->menuAction()->isVisible());
    EXPECT_EQ(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 500);
    EXPECT_EQ(QApplication::style()->styleHint(QStyle::SH_ToolTip_FallAsleepDelay), 400);
}

TEST(StartOptionsTest, FirstFileNamedIsTheLayoutAndDebugIsAnOption)
{
    const StartOptions none = parseStartOptions({"quarn"});
    EXPECT_TRUE(none.layout.isEmpty());
    EXPECT_FALSE(none.debug);
    const StartOptions o = parseStartOptions({"quarn", "--debug", "/tmp/a b/Demo.pln", "/tmp/other.pln"});
    EXPECT_TRUE(o.debug);
    EXPECT_EQ(o.layout, "/tmp/a b/Demo.pln");
    EXPECT_TRUE(QFileInfo(parseStartOptions({"quarn", "Layouts/Demo.pln"}).layout).isAbsolute());
}

// "quarn Demo.pln": the layout opens through "&Open" as if chosen in its dialog.
TEST_F(MainWindowFixture, LayoutNamedOnTheCommandLineOpensInOperateMode)
{
    StartLayoutDialogs start(dialogs);
    form.reset();
    form = std::make_unique<TMainForm>(start, work);
    new TrackPanelHost(*form);
    start.answerNextOpen(work + "Layouts/Demo.pln");
    form->action("Oeffnen1")->trigger();
    EXPECT_EQ(form->Gleisbildname, "Demo.pln");
    EXPECT_EQ(form->Gleisbildpfad, work + "Layouts/");
    EXPECT_TRUE(form->Betrieb);
    EXPECT_EQ(dialogs.count("open"), 0) << "no dialog was asked";
    EXPECT_EQ(dialogs.count("error"), 0);

    dialogs.textAnswers.push_back(std::nullopt);
    form->action("Oeffnen1")->trigger();
    EXPECT_EQ(dialogs.count("open"), 1) << "the next Open asks again";
}

TEST_F(MainWindowFixture, ClosingTheMainWindowEndsTheProgramWhileTheAssistantAndDebugWindowAreOpen)
{
    auto a = assistant();
    TDebugForm debug;
    form->show();
    a->show();
    debug.show();
    // The program's own loop: it must end by itself once the main window is closed.
    bool gaveUp = false;
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [&] {
        gaveUp = true;
        QCoreApplication::quit();
    });
    giveUp.start(5000);
    QTimer::singleShot(0, form.get(), [this] { form->close(); });
    QCoreApplication::exec();
    EXPECT_FALSE(gaveUp);
    EXPECT_FALSE(form->isVisible());
}
