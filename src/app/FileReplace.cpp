#include "app/FileReplace.h"

#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Opens a new, unused file "<target>.<pid>.<n>.tmp" for writing; -1 with errno set on failure.
int createTemporary(const QByteArray& target, QByteArray& name)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target + '.' + QByteArray::number(::getpid()) + '.' + QByteArray::number(counter++) + ".tmp";
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

bool writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

QString replaceFileContents(const QString& path, const QByteArray& bytes)
{
    if (path.isEmpty())
        return QStringLiteral("no file name");
    // Writing through a link replaces the file it points to, not the link.
    const QFileInfo info(path);
    const QString targetPath = info.isSymLink() ? info.symLinkTarget() : path;
    const QByteArray target = QFile::encodeName(targetPath);

    QByteArray temporary;
    const int fd = createTemporary(target, temporary);
    if (fd < 0)
        return errnoText(errno);

    struct stat old {};
    if (::stat(target.constData(), &old) == 0)
        (void)::fchmod(fd, old.st_mode & 07777);

    bool ok = writeAll(fd, bytes.constData(), static_cast<std::size_t>(bytes.size())) && ::fsync(fd) == 0;
    int error = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temporary.constData(), target.constData()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temporary.constData());
        return errnoText(error);
    }
    return {};
}

QString keepBackupCopy(const QString& path)
{
    QFile original(path);
    if (!original.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = original.readAll();
    if (original.error() != QFileDevice::NoError)
        return {};
    original.close();
    for (int n = 1; n <= 999; ++n) {
        const QString candidate = path + QStringLiteral(".bak") + (n > 1 ? QString::number(n) : QString());
        QFile existing(candidate);
        if (existing.exists()) {
            if (existing.open(QIODevice::ReadOnly) && existing.readAll() == bytes)
                return candidate;
            continue;
        }
        return replaceFileContents(candidate, bytes).isEmpty() ? candidate : QString();
    }
    return {};
}
