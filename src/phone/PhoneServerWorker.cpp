#include "phone/PhoneServerWorker.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace withrottle {

PhoneServerWorker::PhoneServerWorker() : m_heartbeat(this)
{
    m_clock.start();
    m_heartbeat.setInterval(100);
    connect(&m_heartbeat, &QTimer::timeout, this, &PhoneServerWorker::watchHeartbeats);
}

PhoneServerWorker::~PhoneServerWorker() { closeAll(); }

quint16 PhoneServerWorker::listen(const ServerSettings& s, QString* error)
{
    m_settings = s;
    m_server = new QTcpServer(this);
    m_server->setMaxPendingConnections(16);
    const QHostAddress address = s.listenAddress.trimmed().isEmpty() ? QHostAddress(QHostAddress::Any)
                                                                     : QHostAddress(s.listenAddress.trimmed());
    if (address.isNull() || !m_server->listen(address, static_cast<quint16>(s.port))) {
        if (error)
            *error = address.isNull() ? s.listenAddress : m_server->errorString();
        delete m_server;
        m_server = nullptr;
        return 0;
    }
    connect(m_server, &QTcpServer::newConnection, this, &PhoneServerWorker::accept);
    m_lastWatch = now();
    m_heartbeat.start();
    return m_server->serverPort();
}

void PhoneServerWorker::closeAll()
{
    m_heartbeat.stop();
    while (!m_clients.empty())
        drop(m_clients.begin()->first, Departure::Stopped);
    delete m_server;
    m_server = nullptr;
}

void PhoneServerWorker::accept()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        const QHostAddress peer = socket->peerAddress();
        if (!allowed(m_settings.allow, peer)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        if (static_cast<int>(m_clients.size()) >= m_settings.clientLimit) {
            socket->write(QByteArray::fromStdString(alert(m_settings.tooManyText.toStdString()) + "\n"));
            socket->disconnectFromHost();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        const int id = m_nextId++;
        Client c;
        c.socket = socket;
        c.guard = std::make_unique<LineGuard>(now(), m_settings.limits);
        c.guard->setHeartbeatSeconds(m_settings.heartbeatSeconds);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_clients.emplace(id, std::move(c));
        connect(socket, &QTcpSocket::readyRead, this, [this, id] { read(id); });
        connect(socket, &QTcpSocket::disconnected, this, [this, id] { drop(id, Departure::Closed); });
        bool isV4 = false;
        const quint32 v4 = peer.toIPv4Address(&isV4);
        emit clientJoined(id, isV4 ? QHostAddress(v4).toString() : peer.toString());
    }
}

void PhoneServerWorker::read(int id)
{
    auto it = m_clients.find(id);
    if (it == m_clients.end())
        return;
    QTcpSocket* socket = it->second.socket;
    LineGuard& guard = *it->second.guard;
    std::vector<Command> commands;
    char buffer[4096];
    LineGuard::Verdict v = LineGuard::Verdict::Ok;
    while (v == LineGuard::Verdict::Ok && socket->bytesAvailable() > 0) {
        const qint64 n = socket->read(buffer, sizeof buffer);
        if (n <= 0)
            break;
        v = guard.feed(std::string_view(buffer, static_cast<std::size_t>(n)), now(), commands);
    }
    bool quit = false;
    for (const Command& c : commands) {
        if (c.kind == Kind::Quit) {
            quit = true;
            break;
        }
        if (c.kind == Kind::Name)
            emit clientNamed(id, QString::fromStdString(c.text).left(64));
        emit commandReceived(id, c);
    }
    if (quit)
        drop(id, Departure::Quit);
    else if (v == LineGuard::Verdict::TooLong)
        drop(id, Departure::TooLong);
    else if (v == LineGuard::Verdict::Flood)
        drop(id, Departure::Flood);
    else if (v == LineGuard::Verdict::Garbage)
        drop(id, Departure::Garbage);
}

void PhoneServerWorker::send(int id, const QByteArray& line)
{
    auto it = m_clients.find(id);
    if (it == m_clients.end())
        return;
    QTcpSocket* socket = it->second.socket;
    if (socket->bytesToWrite() + line.size() > MaxUnsent) {
        drop(id, Departure::SlowReader);
        return;
    }
    socket->write(line);
}

void PhoneServerWorker::cutOff(int id) { drop(id, Departure::CutOff); }

void PhoneServerWorker::drop(int id, Departure why)
{
    auto it = m_clients.find(id);
    if (it == m_clients.end())
        return;
    QTcpSocket* socket = it->second.socket;
    m_clients.erase(it);
    socket->disconnect(this);
    if (why == Departure::Quit || why == Departure::CutOff || why == Departure::Stopped) {
        socket->disconnectFromHost();  // what was sent still goes out
        if (socket->state() == QAbstractSocket::UnconnectedState)
            socket->deleteLater();
        else
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (why == Departure::Stopped)
            socket->abort();
    } else {
        socket->abort();
        socket->deleteLater();
    }
    emit clientLeft(id, why);
}

void PhoneServerWorker::watchHeartbeats()
{
    const std::int64_t t = now();
    // A watch that comes a second late found this thread stalled, not the clients silent: what they
    // sent may still wait unread. The next round judges.
    const bool stalled = t - m_lastWatch > 1000;
    m_lastWatch = t;
    if (stalled)
        return;
    for (auto& [id, c] : m_clients)
        if (c.guard->heartbeatLost(t))
            emit heartbeatLost(id);
}

}  // namespace withrottle
