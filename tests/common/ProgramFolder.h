#pragma once
// A program folder of its own for a test, so that start-up may write its parameter file and a test
// may save layouts without touching the build tree.

#include <QDir>
#include <QFile>
#include <QString>

namespace testsupport {

// Copies the files (not sub-folders) of `from` into `to`, creating `to`.
inline bool copyFolder(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    for (const QString& name : QDir(from).entryList(QDir::Files))
        if (!QFile::copy(from + QLatin1Char('/') + name, to + QLatin1Char('/') + name))
            return false;
    return true;
}

// Fills `work` (ending in '/') with copies of the shipped "Data" and "Layouts" folders.
inline bool makeProgramFolder(const QString& work)
{
    return copyFolder(QStringLiteral(QUARN_PROGRAM_DIR "Data"), work + QStringLiteral("Data"))
        && copyFolder(QStringLiteral(QUARN_PROGRAM_DIR "Layouts"), work + QStringLiteral("Layouts"));
}

}  // namespace testsupport
