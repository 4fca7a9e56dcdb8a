#pragma once
// A blocking TCP client that reads and writes text lines, over POSIX sockets.
//
// One thread may block in readLine() while another writes or calls disconnect(): disconnect() shuts
// the connection down, which wakes the blocked reader (it sees TcpClosed). The descriptor itself is
// released by close(), connect() or the destructor, which the owner calls once no reader uses the
// client any more (join the reader first).

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>

class TcpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// The peer closed the connection, or disconnect() was called.
class TcpClosed : public TcpError {
public:
    using TcpError::TcpError;
};
// connect(), readLine() or a write did not complete within its time-out.
class TcpTimeout : public TcpError {
public:
    using TcpError::TcpError;
};
// A line grew beyond the length cap without a line end. The rest of the stream is unusable.
class TcpLineTooLong : public TcpError {
public:
    using TcpError::TcpError;
};

class TcpLineClient {
public:
    static constexpr std::size_t DefaultMaxLine = 64 * 1024;
    // A server that stops taking data must not block a writer (often the GUI thread) for ever.
    static constexpr std::chrono::milliseconds DefaultSendTimeout{3000};

    TcpLineClient() = default;
    ~TcpLineClient();
    TcpLineClient(const TcpLineClient&) = delete;
    TcpLineClient& operator=(const TcpLineClient&) = delete;

    // Connects to host:port, giving up after `timeout`. Throws TcpError (TcpTimeout on time-out).
    void connect(const std::string& host, int port, std::chrono::milliseconds timeout);
    bool connected() const { return m_connected.load(); }

    // Writes the bytes as they are. Throws TcpError when not connected or the write fails, and
    // TcpTimeout when the peer takes nothing for the send time-out; the connection is then shut
    // down, since part of the text may already be on the wire.
    void writeText(std::string_view text);
    // How long one write may wait for the peer to take data; applies now and to later connections.
    void setSendTimeout(std::chrono::milliseconds timeout);
    // Writes the line followed by `lineEnd`.
    void writeLine(std::string_view line, std::string_view lineEnd = "\r\n");

    // Reads the next line without its line end (LF or CR LF). Blocks until a line is complete, the
    // connection closes (TcpClosed), the line exceeds maxLength (TcpLineTooLong) or, when timeout is
    // positive, the time-out passes (TcpTimeout; the partial line stays buffered).
    std::string readLine(std::size_t maxLength = DefaultMaxLine,
                         std::chrono::milliseconds timeout = std::chrono::milliseconds(0));

    // Shuts the connection down; wakes a reader blocked in readLine(). Safe from any thread.
    void disconnect();
    // Releases the descriptor. Call only when no other thread uses the client.
    void close();
    // Takes the connection of `from` (its descriptor and the bytes read but not yet returned) and
    // leaves `from` closed; this client's own connection is closed first. Lets one thread connect
    // (and read a greeting) while the client others use stays untouched until the connection is
    // there. Call only when no other thread uses either client.
    void takeOver(TcpLineClient& from);

private:
    void applySendTimeout(int fd) const;

    int m_fd = -1;
    std::chrono::milliseconds m_sendTimeout = DefaultSendTimeout;
    std::atomic<bool> m_connected{false};
    std::mutex m_stateMutex;  // guards m_fd against disconnect() racing connect()/close()
    std::string m_buffer;     // bytes read but not yet returned (reader thread only)
};
