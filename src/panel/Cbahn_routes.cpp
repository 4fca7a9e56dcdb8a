#include "base/AppState.h"
#include "base/FileReplace.h"
#include "panel/Cbahn.h"
#include "layout/LineValueReader.h"
#include "panel/C_fahr.h"
#include "panel/RouteFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace {
bool samePath(const QString& a, const QString& b)
{
    const QFileInfo fa(a), fb(b);
    if (fa.exists() && fb.exists())
        return fa.canonicalFilePath() == fb.canonicalFilePath();
    return QDir::cleanPath(fa.absoluteFilePath()) == QDir::cleanPath(fb.absoluteFilePath());
}

QString lineList(const QList<int>& lines)
{
    QStringList out;
    for (int l : lines)
        out << QString::number(l);
    return out.join(QStringLiteral(", "));
}
}  // namespace

QString Cbahn::routeFilePath() const
{
    const QString folder = m_main.Gleisbildpfad.isEmpty() ? getLayoutPath() : m_main.Gleisbildpfad;
    return folder + m_main.DateinameohneEndung + QStringLiteral(".dat");
}

QString Cbahn::sharedRouteFilePath() const
{
    return getLayoutPath() + m_main.DateinameohneEndung + QStringLiteral(".dat");
}

void Cbahn::fahrspeichern()
{
    if (!Fahr || m_main.DateinameohneEndung.isEmpty())
        return;
    const QString path = routeFilePath();
    if (!samePath(path, m_routeFile) && QFileInfo::exists(path))
        keepBackupCopy(path);  // another layout's routes, once of this name: never lost
    writeRouteFile(path, *Fahr);
    m_routeFile = path;
}

QString Cbahn::fahrladen()
{
    if (!Fahr)
        return {};
    m_main.Knopf.fill(false);
    const QString path = routeFilePath();
    m_routeFile = path;
    QString source = path;
    if (!QFileInfo::exists(path)) {
        const QString shared = sharedRouteFilePath();
        if (!samePath(shared, path) && QFileInfo::exists(shared))
            source = shared;
    }
    const bool shared = source != path;
    RouteFileContent content;
    try {
        readRouteFile(source, *Fahr, &content);
    } catch (const FileReadError& e) {
        applyRouteContent(*Fahr, {});
        if (shared)
            throw FileReadError(std::string(e.what()) + ". The layout has no routes now.");
        // The next route "Save" rewrites the file: keep what was there.
        const QString backup = keepBackupCopy(path);
        const bool kept = !backup.isEmpty();
        throw FileReadError(std::string(e.what()) + ". The layout has no routes now."
                            + (kept ? " The route file was kept as \"" + backup.toStdString() + "\"." : std::string()));
    }
    QStringList notes;
    if (shared) {
        if (!routesFitLayout(content, m_postable)) {
            applyRouteContent(*Fahr, {});
            notes << QStringLiteral("The route file %1 has routes on cells where this layout has other elements: they "
                                    "belong to another layout of this name and were not taken. The file stays as it is.")
                         .arg(QDir::toNativeSeparators(source));
            return notes.join(QLatin1Char('\n'));
        }
        writeRouteFile(path, *Fahr);
        notes << QStringLiteral("The routes of this layout were read from %1 and are now kept beside the layout, in %2.")
                     .arg(QDir::toNativeSeparators(source), QDir::toNativeSeparators(path));
    }
    if (!content.replacedLines.isEmpty()) {
        notes << QStringLiteral("Some lines of the route file %1 could not be used (lines %2):")
                     .arg(QDir::toNativeSeparators(source), lineList(content.replacedLines));
        notes += content.problems;
        if (!shared) {
            const QString backup = keepBackupCopy(path);
            if (backup.isEmpty()) {
                notes << QStringLiteral("No copy of the file could be made, so it was left as it is.");
            } else {
                writeRouteFile(path, *Fahr);
                notes << QStringLiteral("The file was written anew; the file as it was is kept as %1.")
                             .arg(QDir::toNativeSeparators(backup));
            }
        }
    }
    return notes.join(QLatin1Char('\n'));
}
