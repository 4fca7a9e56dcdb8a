#include "base/AppState.h"
#include "base/FileReplace.h"
#include "panel/Cbahn.h"
#include "layout/LineValueReader.h"
#include "panel/C_fahr.h"
#include "panel/RouteFile.h"

#include <QFile>

QString Cbahn::routeFilePath() const
{
    return getLayoutPath() + m_main.DateinameohneEndung + QStringLiteral(".dat");
}

void Cbahn::fahrspeichern()
{
    if (Fahr)
        writeRouteFile(routeFilePath(), *Fahr);
}

void Cbahn::fahrladen()
{
    if (!Fahr)
        return;
    m_main.Knopf.fill(false);
    const QString path = routeFilePath();
    try {
        readRouteFile(path, *Fahr);
    } catch (const FileReadError& e) {
        applyRouteContent(*Fahr, {});
        // The next route "Save" rewrites the file: keep what was there.
        const QString backup = keepBackupCopy(path);
        const bool kept = !backup.isEmpty();
        throw FileReadError(std::string(e.what()) + ". The layout has no routes now."
                            + (kept ? " The route file was kept as \"" + backup.toStdString() + "\"." : std::string()));
    }
}
