#include "base/IconCache.h"

#include "base/BmpDecode.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
struct FileStamp {
    bool isFile = false;
    std::int64_t size = -1;
    std::int64_t modifiedNs = 0;
};

FileStamp stampOf(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    return {true, std::int64_t(st.st_size), std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

// The whole of a small file, or an empty array when it cannot be read.
QByteArray smallFile(const QString& path, std::int64_t size)
{
    if (size <= 0 || size > (1 << 20))
        return {};
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, std::size_t(bytes.size() - got));
        if (n <= 0)
            break;
        got += n;
    }
    ::close(fd);
    if (got != bytes.size())
        return {};
    return bytes;
}

// The file decoded: plain bitmaps directly, anything else by the image reader.
QImage decodeIcon(const QString& path, std::int64_t size)
{
    QImage plain = decodePlainBmp(smallFile(path, size));
    if (!plain.isNull())
        return plain;
    QImage img(path);
    return img.isNull() ? img : img.convertToFormat(QImage::Format_RGB32);
}
}  // namespace

IconCache::Batch::Batch(IconCache& cache) : m_cache(cache)
{
    if (m_cache.m_batchDepth++ == 0 && ++m_cache.m_batch == 0)
        m_cache.m_batch = 1;  // 0 marks an entry no batch has looked at
}

IconCache::Batch::~Batch() { --m_cache.m_batchDepth; }

const QImage& IconCache::load(const QString& path)
{
    auto it = m_icons.find(path);
    if (m_batchDepth > 0 && it != m_icons.end() && it->checkedIn == m_batch)
        return it->image;
    const FileStamp stamp = stampOf(path);
    if (!stamp.isFile)
        throw IconLoadError("Cannot open file \"" + path.toStdString() + "\". No such file or directory");
    const std::uint32_t batch = m_batchDepth > 0 ? m_batch : 0;
    if (it != m_icons.end() && it->size == stamp.size && it->modifiedNs == stamp.modifiedNs) {
        it->checkedIn = batch;
        return it->image;
    }
    QImage img = decodeIcon(path, stamp.size);
    if (img.isNull())
        throw IconLoadError("Bitmap image is not valid: \"" + path.toStdString() + "\"");
    Entry e{std::move(img), stamp.size, stamp.modifiedNs, batch};
    return m_icons.insert(path, std::move(e))->image;
}
