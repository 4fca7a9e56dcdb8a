#pragma once
// What the monkey checks after every step: each layout (".pln"), route (layout name + ".dat") and
// parameter file ("Data/parmc.dat") that changed since the last look still reads whole with the
// program's own readers. Backups (".bak") and files the program never wrote are not its business.

#include "base/AppState.h"
#include "base/ParameterFile.h"
#include "base/TLok.h"
#include "layout/LayoutFile.h"
#include "layout/LineValueReader.h"
#include "panel/RouteFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <map>
#include <memory>
#include <utility>

class SavedFiles {
public:
    explicit SavedFiles(QString work) : m_work(std::move(work)) { changed(); }

    // Problems of the files that changed since the last call, one line each ("" when none).
    QString changed()
    {
        QString problems;
        for (const QFileInfo& f : files()) {
            const auto stamp = std::make_pair(f.lastModified().toMSecsSinceEpoch(), f.size());
            auto& seen = m_seen[f.absoluteFilePath()];
            if (seen == stamp)
                continue;
            seen = stamp;
            ++m_checks;
            if (const QString p = problemOf(f); !p.isEmpty())
                problems += f.fileName() + QStringLiteral(": ") + p + QLatin1Char('\n');
        }
        return problems;
    }
    int checked() const { return m_checks; }  // reads of a file that had changed

private:
    QFileInfoList files() const
    {
        QFileInfoList all = QDir(m_work + QStringLiteral("Layouts")).entryInfoList({QStringLiteral("*.pln"), QStringLiteral("*.dat")}, QDir::Files);
        const QFileInfo parameters(m_work + QStringLiteral("Data/parmc.dat"));
        if (parameters.exists())
            all.append(parameters);
        return all;
    }

    static QString problemOf(const QFileInfo& f)
    {
        QFile file(f.absoluteFilePath());
        if (!file.open(QIODevice::ReadOnly))
            return QStringLiteral("cannot be read");
        const QByteArray text = file.readAll();
        try {
            if (f.suffix() == QLatin1String("pln")) {
                const LayoutContent c = parseLayoutText(text);
                if (!c.skipped.empty())
                    return describeSkipped(c.skipped);
                if (!c.replaced.empty())
                    return describeSkipped(c.replaced);
                if (int(c.labels.size()) != c.labelCount)
                    return QStringLiteral("%1 of %2 labels").arg(c.labels.size()).arg(c.labelCount);
            } else if (f.fileName() == QLatin1String("parmc.dat")) {
                AppState state;
                TLok locos;
                const QList<int> replaced = ParameterFile::read(text, state, locos);
                if (!replaced.isEmpty())
                    return QStringLiteral("line %1 replaced").arg(replaced.front());
                if (text.count('\n') < ParameterFile::LineCount)
                    return QStringLiteral("%1 lines").arg(text.count('\n'));
            } else if (f.suffix() == QLatin1String("dat")) {
                const RouteFileContent routes = readRouteText(text);
                if (!routes.replacedLines.isEmpty())
                    return routes.problems.join(QLatin1Char('\n'));
            }
        } catch (const FileReadError& e) {
            return QString::fromStdString(e.what());
        }
        return {};
    }

    QString m_work;
    std::map<QString, std::pair<qint64, qint64>> m_seen;
    int m_checks = 0;
};
