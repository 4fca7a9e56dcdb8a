// The program installed for everyone: its binary in a folder of its own (usr/bin), what ships with
// it in usr/share/quarn, both read only, and a scratch home per user. A newcomer is welcomed and
// finds the demo in their own layout folder; settings, a saved layout and its routes land in the
// user's home, nothing is written beside the program, and a second user gets settings of their own.

#include "app/RouteEditorHost.h"
#include "app/TMainForm.h"
#include "app/TrackPanelHost.h"
#include "base/C_language.h"
#include "base/FileLocations.h"
#include "base/ScriptedDialogs.h"
#include "panel/widgets/PanelView.h"

#include <QAction>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "common/ProgramFolder.h"

namespace {

// Every file and folder under `root` with its size and time of change.
QMap<QString, QString> snapshot(const QString& root)
{
    QMap<QString, QString> files;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        files.insert(info.filePath(), QString::number(info.size()) + QLatin1Char(' ')
                                          + info.lastModified().toString(Qt::ISODateWithMs));
    }
    return files;
}

// What was added, removed or changed under `root` since `before` (empty: nothing).
std::string changesSince(const QMap<QString, QString>& before, const QString& root)
{
    const QMap<QString, QString> now = snapshot(root);
    QStringList changed;
    for (auto it = now.begin(); it != now.end(); ++it)
        if (before.value(it.key()) != it.value())
            changed << it.key();
    for (auto it = before.begin(); it != before.end(); ++it)
        if (!now.contains(it.key()))
            changed << it.key() + QStringLiteral(" (removed)");
    return changed.join(QStringLiteral(", ")).toStdString();
}

void makeReadOnly(const QString& root)
{
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    QStringList all{root};
    while (it.hasNext())
        all << it.next();
    for (const QString& path : all) {
        const bool dir = QFileInfo(path).isDir();
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther
                                        | (dir ? QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther
                                               : QFileDevice::Permissions()));
    }
}

// The user running the program: their home and its standard folders.
struct User {
    explicit User(const QString& home)
    {
        qputenv("HOME", home.toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/.config")).toLocal8Bit());
        qputenv("XDG_DATA_HOME", (home + QStringLiteral("/.local/share")).toLocal8Bit());
    }
};

struct Program {
    ScriptedDialogs dialogs;
    std::unique_ptr<TMainForm> form;
    TrackPanelHost* panel = nullptr;

    explicit Program(const QString& bin)
    {
        form = std::make_unique<TMainForm>(dialogs, FileLocations::forCurrentUser(bin));
        panel = new TrackPanelHost(*form);
        new RouteEditorHost(*form, *panel);
        form->resize(1000, 720);
        form->show();
    }
    void clickCell(int x, int y)
    {
        QTest::mouseClick(panel->panelView(), Qt::LeftButton, {}, QPoint(x - form->Hpos_alt + 4, y - form->Vpos_alt + 4));
    }
    void press(const char* name)
    {
        auto* b = form->findChild<QPushButton*>(QString::fromLatin1(name));
        ASSERT_NE(b, nullptr) << name;
        b->click();
    }
    int count(int messageId) const
    {
        int n = 0;
        for (const auto& s : dialogs.shown)
            n += s.kind == QStringLiteral("message") && s.caption == Lang->getmessage(messageId, form->Lang_id);
        return n;
    }
};

class InstalledProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir().mkpath(bin));
        ASSERT_TRUE(testsupport::makeProgramFolder(share));
        ASSERT_TRUE(testsupport::copyFolder(QStringLiteral(QUARN_PROGRAM_DIR "Hilfe"), share + "Hilfe"));
        makeReadOnly(usr);
        before = snapshot(usr);
        ASSERT_GT(before.size(), 100);
    }
    void TearDown() override
    {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
            if (saved.contains(name))
                qputenv(name, saved.value(name));
            else
                qunsetenv(name);
        }
        // Writable again, so that the scratch folder can go.
        QDirIterator it(usr, QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        QFile::setPermissions(usr, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        while (it.hasNext())
            QFile::setPermissions(it.next(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    QTemporaryDir dir;
    QString usr = dir.path() + QStringLiteral("/usr");
    QString bin = usr + QStringLiteral("/bin/");
    QString share = usr + QStringLiteral("/share/quarn/");
    QMap<QString, QString> before;
    QMap<const char*, QByteArray> saved = [] {
        QMap<const char*, QByteArray> env;
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            if (qEnvironmentVariableIsSet(name))
                env.insert(name, qgetenv(name));
        return env;
    }();
};

}  // namespace

TEST_F(InstalledProgram, UsersFilesLandInTheirHomeAndNothingBesideTheProgram)
{
    const QString alice = dir.path() + QStringLiteral("/alice");
    const QString settings = alice + QStringLiteral("/.config/quarn/parmc.dat");
    const QString layouts = alice + QStringLiteral("/.local/share/quarn/Layouts/");
    {
        User user(alice);
        Program run(bin);
        const FileLocations where = run.form->locations();
        EXPECT_TRUE(where.perUser);
        EXPECT_EQ(where.dataFolder(), share + "Data/");
        EXPECT_EQ(where.parameterFile(), settings);
        EXPECT_EQ(where.layouts, layouts);

        // Welcomed, not warned: one information box that says where the files are.
        ASSERT_EQ(run.dialogs.count(QStringLiteral("message")), 1);
        const auto* welcome = run.dialogs.last(QStringLiteral("message"));
        EXPECT_EQ(welcome->caption, Lang->getmessage(580, run.form->Lang_id));
        EXPECT_EQ(welcome->icon, UserDialogs::Icon::Information);
        EXPECT_TRUE(welcome->text.contains(settings)) << welcome->text.toStdString();
        EXPECT_TRUE(welcome->text.contains(layouts));
        EXPECT_TRUE(welcome->text.contains(QStringLiteral("srcp-sim --demo")));
        EXPECT_FALSE(welcome->text.contains(QStringLiteral("\"\""))) << "a menu without its caption";
        EXPECT_EQ(run.count(102), 0);
        EXPECT_TRUE(QFileInfo(settings).isFile());
        EXPECT_TRUE(QFileInfo(layouts + "Demo.pln").isFile());
        EXPECT_TRUE(QFileInfo(layouts + "Demo.dat").isFile());

        // The user's own layout: opened from their folder, a route recorded and saved, the
        // layout saved under a new name, a setting changed.
        ASSERT_TRUE(QFile::copy(QStringLiteral(QUARN_SOURCE_DIR "tests/integration/Station.pln"), layouts + "Station.pln"));
        run.dialogs.textAnswers.push_back(layouts + "Station.pln");
        run.form->action(QStringLiteral("Oeffnen1"))->trigger();
        EXPECT_EQ(run.dialogs.last(QStringLiteral("open"))->caption, layouts);
        ASSERT_TRUE(run.form->Betrieb);
        EXPECT_EQ(run.dialogs.count(QStringLiteral("error")), 0) << "the catalogue and icons come from the shared folder";
        run.form->action(QStringLiteral("Fahrstrassen1"))->trigger();
        run.clickCell(162, 162);
        run.clickCell(162, 162);
        run.clickCell(297, 108);
        run.press("Buttonverbinden");
        run.clickCell(81, 27);
        run.press("ButtonFahrerst_speichern");
        EXPECT_TRUE(QFileInfo(layouts + "Station.dat").isFile());
        run.dialogs.textAnswers.push_back(layouts + "Mine.pln");
        run.form->action(QStringLiteral("Speichernals1"))->trigger();
        EXPECT_TRUE(QFileInfo(layouts + "Mine.pln").isFile());
        run.form->Ipport = 4303;
        ASSERT_TRUE(run.form->saveParameters());
        EXPECT_EQ(run.dialogs.count(QStringLiteral("error")), 0);
    }
    EXPECT_EQ(changesSince(before, usr), "") << "written beside the program";

    {
        User user(alice);
        Program again(bin);
        EXPECT_TRUE(again.dialogs.shown.empty()) << "a second start is silent";
        EXPECT_EQ(again.form->Ipport, 4303);
    }
    {
        const QString bob = dir.path() + QStringLiteral("/bob");
        User user(bob);
        Program other(bin);
        EXPECT_EQ(other.count(580), 1);
        EXPECT_EQ(other.form->Ipport, 12345);
        EXPECT_TRUE(QFileInfo(bob + "/.config/quarn/parmc.dat").isFile());
        EXPECT_FALSE(QFileInfo(bob + "/.local/share/quarn/Layouts/Mine.pln").exists());
    }
    EXPECT_EQ(changesSince(before, usr), "");
}

TEST_F(InstalledProgram, ADamagedSettingsFileStillGetsTheRepairMessage)
{
    const QString carol = dir.path() + QStringLiteral("/carol");
    User user(carol);
    ASSERT_TRUE(QDir().mkpath(carol + "/.config/quarn"));
    {
        QFile f(carol + "/.config/quarn/parmc.dat");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("4303\r\nzentrale\r\n0\r\nabc\r\n");  // line 4 is no number
    }
    Program run(bin);
    EXPECT_EQ(run.count(580), 0);
    EXPECT_EQ(run.count(102), 1);
    EXPECT_EQ(run.form->Ipport, 4303);
    EXPECT_EQ(changesSince(before, usr), "");
}
