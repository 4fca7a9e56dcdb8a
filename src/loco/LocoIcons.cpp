#include "loco/LocoIcons.h"

#include <QDir>
#include <QFileInfo>

QString LocoIcons::resolve(const QString& name) const
{
    if (name.isEmpty())
        return {};
    const QString folder = m_dataPath();
    const QString exact = folder + name;
    if (QFileInfo(exact).isFile())
        return exact;
    const QStringList entries = QDir(folder).entryList(QDir::Files);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return folder + entry;
    }
    return {};
}

const QImage& LocoIcons::load(const QString& name)
{
    const QString path = resolve(name);
    if (path.isEmpty())
        throw IconLoadError("Cannot open file \"" + (m_dataPath() + name).toStdString() +
                            "\". No such file or directory");
    return m_cache.load(path);
}
