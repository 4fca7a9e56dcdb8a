#pragma once
// A scripted SRCP 0.7.3 server for session tests: three listening sockets on 127.0.0.1 with
// consecutive ports (command P, feedback P+1, info P+2). The test accepts, sends and reads.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

class FakeSrcpServer {
public:
    FakeSrcpServer()
    {
        std::mt19937 rng(std::random_device{}());
        for (int attempt = 0; attempt < 200; ++attempt) {
            int base = 20000 + int(rng() % 30000);
            if (tryListen(base)) {
                m_port = base;
                return;
            }
        }
        throw std::runtime_error("no three consecutive free ports");
    }
    ~FakeSrcpServer()
    {
        for (int i = 0; i < 3; ++i) {
            closeClient(i);
            closeListen(i);
        }
    }

    int port() const { return m_port; }
    // Stops listening on connection i (0 command, 1 feedback, 2 info): connecting there is refused.
    void closeListen(int i)
    {
        if (m_listen[i] >= 0)
            ::close(m_listen[i]);
        m_listen[i] = -1;
    }
    bool accept(int i, int timeoutMs = 3000)
    {
        pollfd p{m_listen[i], POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            return false;
        closeClient(i);
        m_client[i] = ::accept(m_listen[i], nullptr, nullptr);
        m_received[i].clear();
        return m_client[i] >= 0;
    }
    bool send(int i, std::string_view s)
    {
        while (!s.empty()) {
            ssize_t n = ::send(m_client[i], s.data(), s.size(), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            s.remove_prefix(std::size_t(n));
        }
        return true;
    }
    // Reads until the received text contains `needle` or the time-out passes; returns all received.
    std::string receiveUntil(int i, std::string_view needle, int timeoutMs = 3000)
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (m_received[i].find(needle) == std::string::npos) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd p{m_client[i], POLLIN, 0};
            if (::poll(&p, 1, int(left.count())) <= 0)
                break;
            char buf[4096];
            ssize_t n = ::recv(m_client[i], buf, sizeof buf, 0);
            if (n <= 0)
                break;
            m_received[i].append(buf, std::size_t(n));
        }
        return m_received[i];
    }
    // True when the peer has closed connection i (reads end of stream within the time-out).
    bool peerClosed(int i, int timeoutMs = 3000)
    {
        pollfd p{m_client[i], POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            return false;
        char buf[4096];
        ssize_t n;
        while ((n = ::recv(m_client[i], buf, sizeof buf, MSG_DONTWAIT)) > 0)
            m_received[i].append(buf, std::size_t(n));
        return n == 0;
    }
    // Breaks connection i off at once (a reset, no orderly close): the client's next write fails.
    void resetClient(int i)
    {
        if (m_client[i] < 0)
            return;
        linger hard{1, 0};
        ::setsockopt(m_client[i], SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        closeClient(i);
    }
    void closeClient(int i)
    {
        if (m_client[i] >= 0)
            ::close(m_client[i]);
        m_client[i] = -1;
    }

private:
    bool tryListen(int base)
    {
        for (int i = 0; i < 3; ++i) {
            int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            a.sin_port = htons(std::uint16_t(base + i));
            if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 8) != 0) {
                ::close(fd);
                for (int j = 0; j < i; ++j)
                    closeListen(j);
                return false;
            }
            m_listen[i] = fd;
        }
        return true;
    }

    int m_port = 0;
    std::array<int, 3> m_listen{-1, -1, -1};
    std::array<int, 3> m_client{-1, -1, -1};
    std::array<std::string, 3> m_received;
};
