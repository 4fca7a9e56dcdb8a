#include "base/FileLocations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

bool put(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A scratch file system: a program folder, an installed shared folder beside it, and a home.
struct Tree {
    QTemporaryDir dir;
    QString root = dir.path() + QStringLiteral("/");
    QString bin = root + QStringLiteral("usr/bin/");
    QString share = root + QStringLiteral("usr/share/quarn/");
    QString config = root + QStringLiteral("home/.config");
    QString data = root + QStringLiteral("home/.local/share");
    QSet<QString> readOnly;  // what the user may not write, as the permissions would say

    FileLocations decide() const
    {
        return FileLocations::decide(bin, config, data, QStringLiteral("../share/quarn/"),
                                     [this](const QString& f) { return !readOnly.contains(QDir::cleanPath(f)); });
    }
};

}  // namespace

TEST(FileLocations, WhereTheProgramFolderSendsEachKindOfFile)
{
    struct Case {
        const char* what;
        bool dataBesideProgram;
        bool programReadOnly;
        bool dataReadOnly;
        bool sharedInstalled;
        bool perUser;
        bool shippedFromShare;
    };
    const Case cases[] = {
        {"development tree or portable copy", true, false, false, true, false, false},
        {"package: nothing beside the binary", false, false, false, true, true, true},
        {"package installed read-only", false, true, false, true, true, true},
        {"older install for everyone: data beside a read-only program", true, true, true, true, true, false},
        {"program folder writable, its Data/ not", true, false, true, false, true, false},
        {"nothing shipped anywhere: reads beside the program and reports", false, true, false, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Tree t;
        ASSERT_TRUE(QDir().mkpath(t.bin));
        if (c.dataBesideProgram)
            ASSERT_TRUE(put(t.bin + "Data/Elemente1.dat", "1\r\n"));
        if (c.sharedInstalled)
            ASSERT_TRUE(put(t.share + "Data/Elemente1.dat", "1\r\n"));
        if (c.programReadOnly)
            t.readOnly << QDir::cleanPath(t.bin);
        if (c.dataReadOnly)
            t.readOnly << QDir::cleanPath(t.bin + "Data");

        const FileLocations f = t.decide();
        EXPECT_TRUE(f.decided());
        EXPECT_EQ(f.program, t.bin);
        EXPECT_EQ(f.perUser, c.perUser);
        if (!c.perUser) {
            EXPECT_EQ(f.parameterFile(), t.bin + "Data/parmc.dat");
            EXPECT_EQ(f.layouts, t.bin + "Layouts/");
            EXPECT_EQ(f.dataFolder(), t.bin + "Data/");
            EXPECT_EQ(f.helpFolder(), t.bin + "Hilfe/");
            continue;
        }
        EXPECT_EQ(f.parameterFile(), t.config + "/quarn/parmc.dat");
        EXPECT_EQ(f.layouts, t.data + "/quarn/Layouts/");
        const QString shipped = c.shippedFromShare ? t.share : t.bin;
        EXPECT_EQ(f.dataFolder(), shipped + "Data/");
        EXPECT_EQ(f.helpFolder(), shipped + "Hilfe/");
        EXPECT_EQ(f.shippedLayouts(), shipped + "Layouts/");
    }
}

TEST(FileLocations, UntilDecidedEverythingIsInTheProgramFolder)
{
    const FileLocations f = FileLocations::inProgramFolder(QStringLiteral("/opt/quarn"));  // no trailing "/"
    EXPECT_FALSE(f.perUser);
    EXPECT_EQ(f.parameterFile(), "/opt/quarn/Data/parmc.dat");
    EXPECT_EQ(f.dataFolder(), "/opt/quarn/Data/");
    EXPECT_EQ(f.layouts, "/opt/quarn/Layouts/");
    EXPECT_FALSE(FileLocations().decided());
}

TEST(FileLocations, FirstStartCopiesTheDemoOnceAndNeverOverAUsersFile)
{
    Tree t;
    ASSERT_TRUE(put(t.share + "Data/Elemente1.dat", "1\r\n"));
    ASSERT_TRUE(put(t.share + "Layouts/Demo.pln", "demo layout"));
    ASSERT_TRUE(put(t.share + "Layouts/Demo.dat", "demo routes"));
    QFile::setPermissions(t.share + "Layouts/Demo.pln", QFileDevice::ReadOwner | QFileDevice::ReadOther);
    ASSERT_TRUE(QDir().mkpath(t.bin));
    const FileLocations f = t.decide();
    ASSERT_TRUE(f.perUser);
    // The user already has routes of their own under the demo's name.
    ASSERT_TRUE(put(f.layouts + "Demo.dat", "my routes"));

    const UserFolders first = prepareUserFolders(f);
    EXPECT_TRUE(first.firstStart);
    EXPECT_TRUE(first.error.isEmpty());
    EXPECT_EQ(first.copied, QStringList{"Demo.pln"});
    EXPECT_TRUE(QFileInfo(f.settings).isDir());
    EXPECT_EQ(contents(f.layouts + "Demo.pln"), "demo layout");
    EXPECT_EQ(contents(f.layouts + "Demo.dat"), "my routes");
    EXPECT_TRUE(QFile::permissions(f.layouts + "Demo.pln") & QFileDevice::WriteOwner);

    // Once the settings exist it is no longer a first start, and a demo the user changed stays.
    ASSERT_TRUE(put(f.parameterFile(), "12345\r\n"));
    ASSERT_TRUE(put(f.layouts + "Demo.pln", "my changed demo"));
    const UserFolders again = prepareUserFolders(f);
    EXPECT_FALSE(again.firstStart);
    EXPECT_TRUE(again.copied.isEmpty());
    EXPECT_EQ(contents(f.layouts + "Demo.pln"), "my changed demo");
}

TEST(FileLocations, AProgramFolderProgramPreparesNothing)
{
    QTemporaryDir dir;
    const FileLocations f = FileLocations::inProgramFolder(dir.path());
    const UserFolders done = prepareUserFolders(f);
    EXPECT_FALSE(done.firstStart);
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/Data"));
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/Layouts"));
}

TEST(FileLocations, AHomeThatCannotTakeTheFoldersIsReported)
{
    Tree t;
    ASSERT_TRUE(QDir().mkpath(t.bin));
    ASSERT_TRUE(put(t.root + "home/.config", "a file where the folder belongs"));
    const UserFolders done = prepareUserFolders(t.decide());
    EXPECT_FALSE(done.firstStart);
    EXPECT_EQ(done.error, t.config + "/quarn/");
}
