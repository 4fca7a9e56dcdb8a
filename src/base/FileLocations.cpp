#include "base/FileLocations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#ifndef QUARN_SHARED_FROM_PROGRAM
#define QUARN_SHARED_FROM_PROGRAM "../share/quarn/"
#endif

namespace {

QString withSlash(QString folder)
{
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

bool holdsData(const QString& folder)
{
    return QFileInfo(folder + QStringLiteral("Data/Elemente1.dat")).isFile();
}

}  // namespace

FileLocations FileLocations::inProgramFolder(const QString& programDir)
{
    FileLocations f;
    f.program = withSlash(programDir);
    f.shipped = f.program;
    f.settings = f.program + QStringLiteral("Data/");
    f.layouts = f.program + QStringLiteral("Layouts/");
    return f;
}

FileLocations FileLocations::decide(const QString& programDir, const QString& configHome, const QString& dataHome,
                                    const QString& sharedFromProgram,
                                    const std::function<bool(const QString&)>& writable)
{
    const QString program = withSlash(programDir);
    const QString data = program + QStringLiteral("Data/");
    if (QFileInfo(data).isDir() && writable(program) && writable(data))
        return inProgramFolder(program);

    FileLocations f;
    f.program = program;
    f.perUser = true;
    // An older install kept its data beside the program; a packaged one in the shared folder.
    const QString shared = withSlash(QDir::cleanPath(program + sharedFromProgram));
    f.shipped = !holdsData(program) && holdsData(shared) ? shared : program;
    f.settings = withSlash(configHome) + QStringLiteral("quarn/");
    f.layouts = withSlash(dataHome) + QStringLiteral("quarn/Layouts/");
    return f;
}

FileLocations FileLocations::forCurrentUser(const QString& programDir)
{
    return decide(programDir, QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                  QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
                  QStringLiteral(QUARN_SHARED_FROM_PROGRAM),
                  [](const QString& folder) { return QFileInfo(folder).isWritable(); });
}

UserFolders prepareUserFolders(const FileLocations& where)
{
    UserFolders done;
    if (!where.perUser)
        return done;
    for (const QString& folder : {where.settings, where.layouts}) {
        if (!QDir().mkpath(folder)) {
            done.error = folder;
            return done;
        }
    }
    done.firstStart = !QFileInfo::exists(where.parameterFile());
    if (!done.firstStart)
        return done;
    const QDir shipped(where.shippedLayouts());
    for (const QString& name : shipped.entryList(QDir::Files, QDir::Name)) {
        const QString target = where.layouts + name;
        if (QFileInfo::exists(target))
            continue;
        // The shipped files are read only; the user's copy is the user's to change.
        if (QFile::copy(shipped.filePath(name), target)) {
            QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::WriteOwner | QFileDevice::ReadOwner);
            done.copied << name;
        }
    }
    return done;
}
