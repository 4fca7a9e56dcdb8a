#pragma once
// Decoded icon bitmaps by file name. A cached picture is used only while the file still has the
// size and modification time it had when it was decoded, so every draw shows what the file holds;
// a missing or unreadable file throws IconLoadError.

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QString>

#include <stdexcept>

struct IconLoadError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class IconCache {
public:
    const QImage& load(const QString& path);
    void clear() { m_icons.clear(); }

private:
    struct Entry {
        QImage image;
        qint64 size = -1;
        QDateTime modified;
    };
    QHash<QString, Entry> m_icons;
};
