#pragma once
// A scripted SRCP server on 127.0.0.1 with an ephemeral port: every accepted connection runs the
// test's handler on its own thread. Shows faults a well-behaved simulator never produces (a server
// that closes mid-handshake, an endless line, junk, the quirks of real servers).

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class FakeConn {
public:
    FakeConn(int fd, int index) : m_fd(fd), m_index(index) {}
    ~FakeConn() { close(); }
    int index() const { return m_index; }
    void send(std::string_view s) { (void)!::send(m_fd, s.data(), s.size(), MSG_NOSIGNAL); }
    void sendLine(std::string_view s) { send(std::string(s) + "\n"); }
    // The next line the client sent, without its line end; "" once the client closed or after 5 s.
    std::string readLine(int timeoutMs = 5000)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            auto nl = m_buf.find('\n');
            if (nl != std::string::npos) {
                std::string line = m_buf.substr(0, nl);
                m_buf.erase(0, nl + 1);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                return line;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd p{m_fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                return {};
            char chunk[4096];
            ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                return {};
            m_buf.append(chunk, static_cast<std::size_t>(n));
        }
    }
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
    int m_index;
    std::string m_buf;
};

class FakeSrcpServer {
public:
    using Handler = std::function<void(FakeConn&)>;

    explicit FakeSrcpServer(Handler handler) : m_handler(std::move(handler))
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_listen, 8);
        socklen_t len = sizeof a;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
        m_acceptor = std::thread([this] { acceptLoop(); });
    }
    ~FakeSrcpServer()
    {
        m_stop = true;
        ::shutdown(m_listen, SHUT_RDWR);
        m_acceptor.join();
        for (auto& t : m_workers)
            t.join();
        ::close(m_listen);
    }
    int port() const { return m_port; }

    // Lines the handlers recorded (thread-safe).
    void record(const std::string& line)
    {
        std::lock_guard lock(m_mutex);
        m_lines.push_back(line);
        m_cv.notify_all();
    }
    std::vector<std::string> lines()
    {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }
    bool waitForLines(std::size_t n, int timeoutMs = 5000)
    {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_lines.size() >= n; });
    }

private:
    void acceptLoop()
    {
        int index = 0;
        while (!m_stop) {
            pollfd p{m_listen, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            int fd = ::accept(m_listen, nullptr, nullptr);
            if (fd < 0)
                continue;
            int i = index++;
            m_workers.emplace_back([this, fd, i] {
                FakeConn conn(fd, i);
                m_handler(conn);
            });
        }
    }

    Handler m_handler;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_acceptor;
    std::vector<std::thread> m_workers;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<std::string> m_lines;
};

// Runs the standard handshake as a server; records every client line on `server`. Returns false
// if the client went away.
inline bool serveHandshake(FakeSrcpServer& server, FakeConn& c, std::string_view welcome, int session)
{
    c.sendLine(welcome);
    for (int step = 0; step < 3; ++step) {
        std::string line = c.readLine();
        if (line.empty())
            return false;
        server.record(line);
        if (line.rfind("SET PROTOCOL", 0) == 0)
            c.sendLine("1796859510.301 201 OK PROTOCOL SRCP");
        else if (line.rfind("SET CONNECTIONMODE", 0) == 0)
            c.sendLine("1796859510.302 202 OK CONNECTIONMODE");
        else if (line == "GO")
            c.sendLine("1796859510.303 200 OK GO " + std::to_string(session));
        else
            c.sendLine("1796859510.303 410 ERROR unknown command");
    }
    return true;
}

// A stand-in for the GUI thread's event loop: hand-overs queue here until the test runs them.
class TestLoop {
public:
    std::function<void(std::function<void()>)> executor()
    {
        return [this](std::function<void()> f) {
            std::lock_guard lock(m_mutex);
            m_queue.push_back(std::move(f));
            m_cv.notify_all();
        };
    }
    // Runs queued calls until `done` holds or the time-out passes; returns `done()`.
    bool runUntil(const std::function<bool()>& done, int timeoutMs = 5000)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done()) {
            std::function<void()> f;
            {
                std::unique_lock lock(m_mutex);
                if (!m_cv.wait_until(lock, deadline, [&] { return !m_queue.empty(); }))
                    return done();
                f = std::move(m_queue.front());
                m_queue.pop_front();
            }
            f();
        }
        return true;
    }
    std::size_t pending()
    {
        std::lock_guard lock(m_mutex);
        return m_queue.size();
    }
    void runAll()
    {
        while (pending() > 0)
            runUntil([] { return false; }, 0);
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::function<void()>> m_queue;
};
