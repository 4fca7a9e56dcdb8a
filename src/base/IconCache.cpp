#include "base/IconCache.h"

#include <QFileInfo>

const QImage& IconCache::load(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        throw IconLoadError("Cannot open file \"" + path.toStdString() + "\". No such file or directory");
    auto it = m_icons.find(path);
    if (it != m_icons.end() && it->size == info.size() && it->modified == info.lastModified())
        return it->image;
    QImage img(path);
    if (img.isNull())
        throw IconLoadError("Bitmap image is not valid: \"" + path.toStdString() + "\"");
    Entry e{img.convertToFormat(QImage::Format_RGB32), info.size(), info.lastModified()};
    return m_icons.insert(path, std::move(e))->image;
}
