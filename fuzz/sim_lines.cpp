// Fuzz target: srcp-sim's command reader, fed one client's byte stream through its own socket loop.
// The first byte chooses the protocol generation (bit 0: 0.8.2, else 0.7.3 on the command port;
// bit 1: 0.7.3 feedback also on the command port) and how many bytes the client writes at a time
// (bits 2..7) in its first 48 writes, so that lines arrive split at every point. After the stream the client closes its
// sending side: the server must then close the connection within a few loop passes. Everything
// the server sends must be lines of printable ASCII.

#include "EventLoop.h"
#include "Srcp073Frontend.h"
#include "Srcp082Frontend.h"
#include "WireLog.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

srcpsim::WireLog& wireLog()
{
    // Logged into a buffer in memory, so that the escaping and formatting of every line runs too,
    // without a system call per line; every input starts writing at the buffer's start again.
    static char buffer[1 << 16];
    static std::FILE* const stream = ::fmemopen(buffer, sizeof buffer, "w");
    static srcpsim::WireLog log;
    static const bool opened = log.open(stream);
    require(opened);
    std::rewind(stream);
    return log;
}

void drain(int fd, std::string& into)
{
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return;
        into.append(buffer, static_cast<std::size_t>(n));
        // Nothing else writes while this runs: a short read has taken everything there was.
        if (static_cast<std::size_t>(n) < sizeof buffer)
            return;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace srcpsim;
    if (size == 0)
        return 0;
    const std::uint8_t flags = data[0];
    const bool v082 = flags & 1;
    const std::size_t chunk = 1 + static_cast<std::size_t>(flags >> 2) * 67;  // 1 .. 4222 bytes
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const std::size_t length = size - 1;

    EventLoop loop(wireLog());
    std::unique_ptr<Frontend> frontend;
    if (v082)
        frontend = std::make_unique<Srcp082Frontend>(loop, 32);
    else
        frontend = std::make_unique<Srcp073Frontend>(loop, 32, (flags & 2) != 0);

    int sv[2];
    require(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, sv) == 0);
    loop.addClient(*frontend, sv[0], v082 ? 0 : Srcp073Frontend::CommandPort);
    // 0.7.3 reports what the commands change on its info port: a second client listens there.
    int info[2] = {-1, -1};
    if (!v082) {
        require(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, info) == 0);
        loop.addClient(*frontend, info[0], Srcp073Frontend::InfoPort);
    }
    std::string reported;
    const auto drainInfo = [&] {
        if (info[1] >= 0)
            drain(info[1], reported);
    };

    std::string sent;
    // The answers are read back when they may have piled up: after every 4 KB written and every
    // 16 passes. Until then they wait in the socket (its buffer holds far more than the answers
    // to 4 KB of lines), so the server sees the same as with a read after every pass, at a fraction
    // of the reads (most of which would find nothing).
    std::size_t unreadSince = 0;
    int passesUnread = 0;
    const auto drainAll = [&] {
        drain(sv[1], sent);
        drainInfo();
        unreadSince = 0;
        passesUnread = 0;
    };
    std::size_t pos = 0;
    for (int pass = 0; pos < length && pass < 100000 && loop.clientCount() > 0; ++pass) {
        // Small pieces for the first passes split lines at every point; the rest of a long stream
        // goes in large ones, so that an input costs a few hundred system calls, not tens of thousands.
        const std::size_t piece = pass < 48 ? chunk : std::max<std::size_t>(chunk, 4096);
        const ssize_t n = ::send(sv[1], bytes + pos, std::min(piece, length - pos), MSG_NOSIGNAL);
        if (n > 0) {
            pos += static_cast<std::size_t>(n);
            unreadSince += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            break;  // the server closed the connection
        }
        loop.runOnce(*frontend, 0);
        ++passesUnread;
        if (unreadSince >= 4096 || passesUnread >= 16 || n <= 0)
            drainAll();
    }
    ::shutdown(sv[1], SHUT_WR);
    const std::size_t others = info[1] >= 0 ? 1 : 0;
    for (int pass = 0; pass < 1000 && loop.clientCount() > others; ++pass) {
        loop.runOnce(*frontend, 0);
        ++passesUnread;
        drainAll();
    }
    require(loop.clientCount() == others);
    if (passesUnread > 0 || sent.empty())
        drainAll();
    ::close(sv[1]);
    if (info[1] >= 0)
        ::close(info[1]);

    // Checked by the C library in one call per text, not by a comparison per byte in this file.
    static const char allowed[] =
        "\n !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~";
    static_assert(sizeof allowed == 1 + 1 + 95);
    for (const std::string* out : {&sent, &reported}) {
        require(std::strspn(out->c_str(), allowed) == out->size());
        require(out->empty() || out->back() == '\n');
    }
    return 0;
}
