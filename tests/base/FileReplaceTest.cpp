#include "base/FileReplace.h"

#include "common/FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

}  // namespace

TEST(FileReplace, ReplacesWholeFilesAndKeepsTheOldOneWhenTheTextDoesNotFit)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Demo.pln"));

    const QByteArray first("2\r\n1\r\n21\r\n0\r\n0\r\n");
    EXPECT_TRUE(replaceFileContents(path, first).isEmpty());
    EXPECT_EQ(contents(path), first);

    // The file keeps the permissions its owner gave it.
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup));
    const auto permissions = QFileInfo(path).permissions();
    ASSERT_FALSE(permissions & QFileDevice::ReadOther);
    const QByteArray second(4000, 'x');
    EXPECT_TRUE(replaceFileContents(path, second).isEmpty());
    EXPECT_EQ(contents(path), second);
    EXPECT_EQ(QFileInfo(path).permissions(), permissions);

    // Cut short halfway (a full disk): an error, the old contents, no stray temporary file.
    {
        testsupport::FileSizeLimit full(1000);
        EXPECT_FALSE(replaceFileContents(path, QByteArray(8000, 'y')).isEmpty());
    }
    EXPECT_EQ(contents(path), second);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Demo.pln")});

    // Saving through a link updates the file it points to and leaves the link in place.
    const QString link = dir.filePath(QStringLiteral("link.pln"));
    ASSERT_TRUE(QFile::link(path, link));
    EXPECT_TRUE(replaceFileContents(link, first).isEmpty());
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(contents(path), first);

    EXPECT_FALSE(replaceFileContents(dir.filePath(QStringLiteral("no/such/folder.pln")), first).isEmpty());
    EXPECT_FALSE(replaceFileContents(QString(), first).isEmpty());
}

TEST(FileReplace, BackupCopiesNeverOverwriteAnEarlierCopyWithOtherContents)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.path() + "/parmc.dat";
    const auto write = [](const QString& p, const QByteArray& bytes) {
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    const auto contents = [](const QString& p) {
        QFile f(p);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    };
    EXPECT_EQ(keepBackupCopy(path), QString());  // nothing to copy

    write(path, "first damage");
    EXPECT_EQ(keepBackupCopy(path), path + ".bak");
    EXPECT_EQ(keepBackupCopy(path), path + ".bak");  // the same contents: the same copy
    write(path, "second damage");
    EXPECT_EQ(keepBackupCopy(path), path + ".bak2");
    write(path, "third damage");
    EXPECT_EQ(keepBackupCopy(path), path + ".bak3");
    EXPECT_EQ(contents(path + ".bak"), "first damage");
    EXPECT_EQ(contents(path + ".bak2"), "second damage");
    EXPECT_EQ(contents(path + ".bak3"), "third damage");
    EXPECT_EQ(contents(path), "third damage");
}
