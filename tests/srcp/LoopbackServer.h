#pragma once
// A one-connection TCP server on 127.0.0.1 with an ephemeral port, for socket tests.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <string_view>

class LoopbackServer {
public:
    LoopbackServer()
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_listen, 4);
        socklen_t len = sizeof a;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
    }
    ~LoopbackServer()
    {
        closeClient();
        ::close(m_listen);
    }
    int port() const { return m_port; }
    void accept() { m_client = ::accept(m_listen, nullptr, nullptr); }
    void send(std::string_view s) { (void)!::send(m_client, s.data(), s.size(), MSG_NOSIGNAL); }
    std::string receive()
    {
        char buf[4096];
        ssize_t n = ::recv(m_client, buf, sizeof buf, 0);
        return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
    }
    void closeClient()
    {
        if (m_client >= 0)
            ::close(m_client);
        m_client = -1;
    }

private:
    int m_listen = -1;
    int m_client = -1;
    int m_port = 0;
};
