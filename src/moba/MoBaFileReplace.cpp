#include "moba/MoBaFileReplace.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Opens a new, unused file "<target>.<pid>.<n>.tmp" for writing; -1 with errno set on failure.
int createTemporary(const std::string& target, std::string& name)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target + '.' + std::to_string(::getpid()) + '.' + std::to_string(counter++) + ".tmp";
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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

// Writing through a link replaces the file it points to, not the link.
std::string resolveLink(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return path;
    std::string result(real);
    std::free(real);
    return result;
}

}  // namespace

std::string MoBaReplaceFileContents(const std::string& path, std::string_view bytes)
{
    if (path.empty())
        return "no file name";
    const std::string target = resolveLink(path);

    std::string temporary;
    const int fd = createTemporary(target, temporary);
    if (fd < 0)
        return std::strerror(errno);

    struct stat old {};
    if (::stat(target.c_str(), &old) == 0)
        (void)::fchmod(fd, old.st_mode & 07777);

    bool ok = writeAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    int error = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        return std::strerror(error);
    }
    return {};
}
