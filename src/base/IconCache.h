#pragma once
// Decoded icon bitmaps by file name. A cached picture is used only while the file still has the
// size and modification time it had when it was decoded, so every draw shows what the file holds;
// a missing or unreadable file throws IconLoadError. While a Batch lives (one operation such as
// opening a layout), each file is looked at once: the operation draws what the files held when it
// began.

#include <QHash>
#include <QImage>
#include <QString>

#include <cstdint>
#include <stdexcept>

struct IconLoadError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class IconCache {
public:
    const QImage& load(const QString& path);
    void clear() { m_icons.clear(); }

    class Batch {
    public:
        explicit Batch(IconCache& cache);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        IconCache& m_cache;
    };
    bool inBatch() const { return m_batchDepth > 0; }

private:
    struct Entry {
        QImage image;
        std::int64_t size = -1;
        std::int64_t modifiedNs = 0;
        std::uint32_t checkedIn = 0;  // the batch that last looked at the file
    };
    QHash<QString, Entry> m_icons;
    int m_batchDepth = 0;
    std::uint32_t m_batch = 0;  // the current batch while m_batchDepth > 0
};
