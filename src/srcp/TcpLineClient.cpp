#include "TcpLineClient.h"

#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <fcntl.h>

namespace {

std::string errnoText(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

// Waits until fd is ready for `events`; false on time-out. A negative timeout waits for ever.
bool waitFor(int fd, short events, int timeoutMs)
{
    pollfd p{fd, events, 0};
    for (;;) {
        int r = ::poll(&p, 1, timeoutMs);
        if (r > 0)
            return true;
        if (r == 0)
            return false;
        if (errno != EINTR)
            throw TcpError(errnoText("poll"));
    }
}

int connectOne(const addrinfo* ai, std::chrono::steady_clock::time_point deadline)
{
    int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol);
    if (fd < 0)
        return -1;
    int flags = ::fcntl(fd, F_GETFL, 0);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    int r = ::connect(fd, ai->ai_addr, ai->ai_addrlen);
    if (r != 0 && errno != EINPROGRESS) {
        ::close(fd);
        return -1;
    }
    if (r != 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !waitFor(fd, POLLOUT, static_cast<int>(left.count()))) {
            ::close(fd);
            errno = ETIMEDOUT;
            return -2;
        }
        int err = 0;
        socklen_t len = sizeof err;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
        if (err != 0) {
            ::close(fd);
            errno = err;
            return -1;
        }
    }
    ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

} // namespace

TcpLineClient::~TcpLineClient()
{
    disconnect();
    close();
}

void TcpLineClient::connect(const std::string& host, int port, std::chrono::milliseconds timeout)
{
    close();
    m_buffer.clear();
    if (port <= 0 || port > 65535)
        throw TcpError("invalid port " + std::to_string(port));

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    int rc = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list);
    if (rc != 0)
        throw TcpError("cannot resolve " + host + ": " + ::gai_strerror(rc));

    auto deadline = std::chrono::steady_clock::now() + timeout;
    int fd = -1;
    bool timedOut = false;
    std::string lastError = "no address";
    for (const addrinfo* ai = list; ai && fd < 0; ai = ai->ai_next) {
        fd = connectOne(ai, deadline);
        if (fd == -2) {
            timedOut = true;
            fd = -1;
            break;
        }
        if (fd < 0)
            lastError = std::strerror(errno);
    }
    ::freeaddrinfo(list);
    if (timedOut)
        throw TcpTimeout("connecting to " + host + ":" + std::to_string(port) + " timed out");
    if (fd < 0)
        throw TcpError("cannot connect to " + host + ":" + std::to_string(port) + ": " + lastError);

    applySendTimeout(fd);
    std::lock_guard lock(m_stateMutex);
    m_fd = fd;
    m_connected = true;
}

void TcpLineClient::applySendTimeout(int fd) const
{
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(m_sendTimeout).count();
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(us / 1000000);
    tv.tv_usec = static_cast<suseconds_t>(us % 1000000);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

void TcpLineClient::setSendTimeout(std::chrono::milliseconds timeout)
{
    std::lock_guard lock(m_stateMutex);
    m_sendTimeout = timeout;
    if (m_fd >= 0)
        applySendTimeout(m_fd);
}

void TcpLineClient::writeText(std::string_view text)
{
    int fd;
    {
        std::lock_guard lock(m_stateMutex);
        fd = m_fd;
    }
    if (!m_connected || fd < 0)
        throw TcpError("not connected");
    while (!text.empty()) {
        ssize_t n = ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                disconnect();
                throw TcpTimeout("the server took no data for " + std::to_string(m_sendTimeout.count()) + " ms");
            }
            m_connected = false;
            throw TcpError(errnoText("send"));
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

void TcpLineClient::writeLine(std::string_view line, std::string_view lineEnd)
{
    std::string all;
    all.reserve(line.size() + lineEnd.size());
    all.append(line).append(lineEnd);
    writeText(all);
}

std::string TcpLineClient::readLine(std::size_t maxLength, std::chrono::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    std::size_t scanned = 0;
    for (;;) {
        auto nl = m_buffer.find('\n', scanned);
        if (nl != std::string::npos) {
            std::size_t end = nl;
            if (end > 0 && m_buffer[end - 1] == '\r')
                --end;
            if (end > maxLength) {
                m_buffer.erase(0, nl + 1);
                throw TcpLineTooLong("line longer than " + std::to_string(maxLength) + " bytes");
            }
            std::string line = m_buffer.substr(0, end);
            m_buffer.erase(0, nl + 1);
            return line;
        }
        scanned = m_buffer.size();
        if (m_buffer.size() > maxLength + 1) {
            m_buffer.clear();
            throw TcpLineTooLong("line longer than " + std::to_string(maxLength) + " bytes");
        }
        int fd;
        {
            std::lock_guard lock(m_stateMutex);
            fd = m_fd;
        }
        if (!m_connected || fd < 0)
            throw TcpClosed("not connected");
        if (timeout.count() > 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !waitFor(fd, POLLIN, static_cast<int>(left.count())))
                throw TcpTimeout("no line within " + std::to_string(timeout.count()) + " ms");
        }
        char chunk[4096];
        ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_connected = false;
            throw TcpClosed(n == 0 ? "connection closed" : errnoText("recv"));
        }
        m_buffer.append(chunk, static_cast<std::size_t>(n));
    }
}

void TcpLineClient::disconnect()
{
    std::lock_guard lock(m_stateMutex);
    m_connected = false;
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_RDWR);
}

void TcpLineClient::close()
{
    std::lock_guard lock(m_stateMutex);
    m_connected = false;
    if (m_fd >= 0) {
        ::shutdown(m_fd, SHUT_RDWR);
        ::close(m_fd);
        m_fd = -1;
    }
}

void TcpLineClient::takeOver(TcpLineClient& from)
{
    if (&from == this)
        return;
    close();
    int fd;
    bool connected;
    {
        std::lock_guard lock(from.m_stateMutex);
        fd = from.m_fd;
        connected = from.m_connected.load();
        from.m_fd = -1;
        from.m_connected = false;
    }
    m_buffer = std::move(from.m_buffer);
    from.m_buffer.clear();
    std::lock_guard lock(m_stateMutex);
    m_fd = fd;
    m_connected = connected && fd >= 0;
    if (fd >= 0)
        applySendTimeout(fd);
}
