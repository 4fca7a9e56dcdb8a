#pragma once
// A scripted phone for tests: a TCP client of the phone server on the test's thread that writes
// protocol lines and collects what the server sends, one entry per line. Waiting keeps the Qt event
// loop running.

#include "common/WaitFor.h"

#include <QHostAddress>
#include <QTcpSocket>

#include <string>
#include <vector>

namespace testsupport {

class PhoneClient {
public:
    // `from`: the local address to connect from (127.0.0.2 is another device on loopback).
    bool connectTo(quint16 port, const QString& from = {})
    {
        if (!from.isEmpty())
            m_socket.bind(QHostAddress(from));
        // A server that turns the client away may close before the state is ever seen connected.
        QObject::connect(&m_socket, &QTcpSocket::connected, [this] { m_wasConnected = true; });
        QObject::connect(&m_socket, &QTcpSocket::readyRead, [this] { take(); });
        m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
        return waitFor([this] { return m_wasConnected; }, 10000);
    }
    void send(const std::string& line) { sendRaw(line + "\n"); }
    // What a phone app sends first: its name and the start of its heartbeat; the server admits it.
    void hello(const std::string& name)
    {
        send("N" + name);
        send("*+");
    }
    void sendRaw(const std::string& bytes)
    {
        m_socket.write(bytes.data(), static_cast<qint64>(bytes.size()));
        m_socket.flush();
    }
    // Waits until a line that starts with `prefix` arrived after position `from`; returns its index or -1.
    int waitForLine(const std::string& prefix, std::size_t from = 0, int timeoutMs = 10000)
    {
        int found = -1;
        waitFor(
            [&] {
                for (std::size_t i = from; i < m_lines.size(); ++i)
                    if (m_lines[i].rfind(prefix, 0) == 0) {
                        found = static_cast<int>(i);
                        return true;
                    }
                return false;
            },
            timeoutMs);
        return found;
    }
    bool has(const std::string& line, std::size_t from = 0) const
    {
        for (std::size_t i = from; i < m_lines.size(); ++i)
            if (m_lines[i] == line)
                return true;
        return false;
    }
    bool waitForClose(int timeoutMs = 10000)
    {
        return waitFor([this] { return m_socket.state() == QAbstractSocket::UnconnectedState; }, timeoutMs);
    }
    bool connected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    const std::vector<std::string>& lines() const { return m_lines; }
    QTcpSocket& socket() { return m_socket; }

private:
    void take()
    {
        m_partial += m_socket.readAll().toStdString();
        for (std::size_t end = m_partial.find('\n'); end != std::string::npos; end = m_partial.find('\n')) {
            std::string line = m_partial.substr(0, end);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            m_lines.push_back(line);
            m_partial.erase(0, end + 1);
        }
    }

    QTcpSocket m_socket;
    bool m_wasConnected = false;
    std::string m_partial;
    std::vector<std::string> m_lines;
};

}  // namespace testsupport
