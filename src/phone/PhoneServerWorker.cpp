#include "phone/PhoneServerWorker.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

namespace withrottle {

namespace {

QString addressText(const QHostAddress& peer)
{
    bool isV4 = false;
    const quint32 v4 = peer.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : peer.toString();
}

}  // namespace

PhoneServerWorker::PhoneServerWorker() : m_heartbeat(this)
{
    m_clock.start();
    m_heartbeat.setInterval(100);
    connect(&m_heartbeat, &QTimer::timeout, this, &PhoneServerWorker::watch);
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

void PhoneServerWorker::reconfigure(const ServerSettings& s)
{
    const ServerSettings old = m_settings;
    m_settings = s;
    m_settings.port = old.port;
    m_settings.listenAddress = old.listenAddress;
    std::vector<int> refused;
    for (auto& [id, c] : m_clients) {
        c.guard->setHeartbeatSeconds(s.heartbeatSeconds);
        if (!allowed(s.allow, QHostAddress(c.address)))
            refused.push_back(id);
    }
    for (int id : refused)
        drop(id, Departure::Refused, m_settings.texts.notAllowed);
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
        const QString address = addressText(socket->peerAddress());
        if (!allowed(m_settings.allow, QHostAddress(address))) {
            refuseSocket(socket, m_settings.texts.notAllowed);
            continue;
        }
        makeRoomForCandidate(address);
        const int id = m_nextId++;
        Client c;
        c.socket = socket;
        c.address = address;
        c.since = now();
        c.guard = std::make_unique<LineGuard>(c.since, m_settings.limits);
        c.guard->setHeartbeatSeconds(m_settings.heartbeatSeconds);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_clients.emplace(id, std::move(c));
        connect(socket, &QTcpSocket::readyRead, this, [this, id] { read(id); });
        connect(socket, &QTcpSocket::disconnected, this, [this, id] { drop(id, Departure::Closed); });
    }
}

void PhoneServerWorker::makeRoomForCandidate(const QString& address)
{
    // Candidates hold no place, but each is a socket: the oldest goes when too many wait.
    const auto oldest = [this](const QString& from, int cap) {
        int count = 0, first = 0;
        for (const auto& [id, c] : m_clients) {
            if (c.admitted || (!from.isEmpty() && c.address != from))
                continue;
            if (count++ == 0)
                first = id;  // ids grow: the first is the oldest
        }
        return count >= cap ? first : 0;
    };
    if (const int id = oldest(address, std::max(MaxCandidatesPerAddress, m_settings.perAddressLimit)))
        drop(id, Departure::Refused, m_settings.texts.unnamed);
    if (const int id = oldest(QString(), std::max(MaxCandidates, m_settings.clientLimit)))
        drop(id, Departure::Refused, m_settings.texts.unnamed);
}

int PhoneServerWorker::admittedCount(const QString& address) const
{
    return static_cast<int>(std::count_if(m_clients.begin(), m_clients.end(), [&](const auto& e) {
        return e.second.admitted && (address.isEmpty() || e.second.address == address);
    }));
}

int PhoneServerWorker::silentClient(const QString& address) const
{
    int found = 0;
    std::int64_t since = 0;
    for (const auto& [id, c] : m_clients) {
        if (!c.admitted || !c.guard->silent() || (!address.isEmpty() && c.address != address))
            continue;
        if (found == 0 || c.guard->lastHeard() < since) {
            found = id;
            since = c.guard->lastHeard();
        }
    }
    return found;
}

void PhoneServerWorker::read(int id)
{
    auto it = m_clients.find(id);
    if (it == m_clients.end())
        return;
    QTcpSocket* socket = it->second.socket;
    LineGuard& guard = *it->second.guard;
    bool wasSilent = guard.silent();
    std::vector<Command> commands;
    char buffer[4096];
    LineGuard::Verdict v = LineGuard::Verdict::Ok;
    while (v == LineGuard::Verdict::Ok && socket->bytesAvailable() > 0) {
        const qint64 n = socket->read(buffer, sizeof buffer);
        if (n <= 0)
            break;
        v = guard.feed(std::string_view(buffer, static_cast<std::size_t>(n)), now(), commands);
    }
    for (const Command& c : commands) {
        if (c.kind == Kind::Quit) {
            drop(id, Departure::Quit);
            return;
        }
        it = m_clients.find(id);
        if (it == m_clients.end())
            return;
        Client& cl = it->second;
        if (!cl.admitted) {
            switch (c.kind) {
            case Kind::Name:
                cl.named = true;
                cl.name = QString::fromStdString(c.text).left(64);
                // It is asked for its heartbeat at once; the greeting follows its admission.
                socket->write(QByteArray::fromStdString(heartbeatLine(m_settings.heartbeatSeconds) + "\n"));
                break;
            case Kind::Heartbeat:
            case Kind::HeartbeatOn:
                cl.beating = true;
                break;
            case Kind::HeartbeatOff:
            case Kind::Empty:
            case Kind::Ignored:
                break;
            default:
                if (cl.early.size() >= MaxEarlyCommands) {
                    drop(id, Departure::Garbage, m_settings.texts.unnamed);
                    return;
                }
                cl.early.push_back(c);
                break;
            }
            if (cl.named && cl.beating)
                admit(id);
            continue;
        }
        const bool heartbeat = c.kind == Kind::Heartbeat || c.kind == Kind::HeartbeatOn || c.kind == Kind::HeartbeatOff;
        if (heartbeat && !wasSilent)
            continue;  // watched here; the owner hears only of a silence and its end
        wasSilent = false;
        if (c.kind == Kind::Name)
            emit clientNamed(id, QString::fromStdString(c.text).left(64));
        emit commandReceived(id, c);
    }
    if (v == LineGuard::Verdict::TooLong)
        drop(id, Departure::TooLong, m_settings.texts.badInput);
    else if (v == LineGuard::Verdict::Flood)
        drop(id, Departure::Flood, m_settings.texts.badInput);
    else if (v == LineGuard::Verdict::Garbage)
        drop(id, Departure::Garbage, m_settings.texts.badInput);
}

void PhoneServerWorker::admit(int id)
{
    const QString address = m_clients.at(id).address;
    // A client that fell silent holds no place: it makes room for one that speaks.
    if (admittedCount(address) >= m_settings.perAddressLimit) {
        const int silent = silentClient(address);
        if (silent == 0) {
            drop(id, Departure::Refused, m_settings.texts.tooManyHere);
            return;
        }
        drop(silent, Departure::Silent, m_settings.texts.silent);
    }
    if (admittedCount(QString()) >= m_settings.clientLimit) {
        const int silent = silentClient(QString());
        if (silent == 0) {
            drop(id, Departure::Refused, m_settings.texts.tooMany);
            return;
        }
        drop(silent, Departure::Silent, m_settings.texts.silent);
    }
    Client& c = m_clients.at(id);
    c.admitted = true;
    emit clientJoined(id, address);
    if (!c.name.isEmpty())
        emit clientNamed(id, c.name);
    std::vector<Command> early;
    early.swap(c.early);
    for (const Command& e : early)
        emit commandReceived(id, e);
}

void PhoneServerWorker::send(int id, const QByteArray& line)
{
    auto it = m_clients.find(id);
    if (it == m_clients.end() || !it->second.admitted)
        return;
    QTcpSocket* socket = it->second.socket;
    if (socket->bytesToWrite() + line.size() > MaxUnsent) {
        drop(id, Departure::SlowReader);
        return;
    }
    socket->write(line);
}

void PhoneServerWorker::cutOff(int id) { drop(id, Departure::CutOff); }

void PhoneServerWorker::refuseSocket(QTcpSocket* socket, const QString& text)
{
    socket->disconnect(this);
    socket->write(QByteArray::fromStdString(alert(text.toStdString()) + "\n"));
    socket->flush();
    // What it still sends is read and thrown away, so that the close is a clean end of the
    // connection: a reset might take the reason with it before the phone has read it.
    connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    socket->readAll();
#ifdef Q_OS_UNIX
    if (socket->bytesToWrite() == 0 && socket->state() == QAbstractSocket::ConnectedState) {
        ::shutdown(static_cast<int>(socket->socketDescriptor()), SHUT_WR);  // the phone sees the end and closes
    } else
#endif
    {
        socket->disconnectFromHost();
    }
    if (socket->state() == QAbstractSocket::UnconnectedState) {
        socket->deleteLater();
        return;
    }
    // One that never closes its end is closed a little later.
    QTimer::singleShot(3000, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
}

void PhoneServerWorker::drop(int id, Departure why, const QString& text)
{
    auto it = m_clients.find(id);
    if (it == m_clients.end())
        return;
    QTcpSocket* socket = it->second.socket;
    const bool admitted = it->second.admitted;
    m_clients.erase(it);
    socket->disconnect(this);
    if (!text.isEmpty() && why != Departure::Stopped && why != Departure::Closed) {
        refuseSocket(socket, text);
    } else if (why == Departure::Quit || why == Departure::CutOff || why == Departure::Stopped) {
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
    if (admitted)
        emit clientLeft(id, why);
}

void PhoneServerWorker::watch()
{
    const std::int64_t t = now();
    // A watch that comes a second late found this thread stalled, not the clients silent: what they
    // sent may still wait unread. The next round judges.
    const bool stalled = t - m_lastWatch > 1000;
    m_lastWatch = t;
    if (stalled)
        return;
    std::vector<int> late;
    for (auto& [id, c] : m_clients) {
        if (!c.admitted) {
            if (t - c.since > m_settings.admissionMs)
                late.push_back(id);
        } else if (c.guard->heartbeatLost(t)) {
            emit heartbeatLost(id);
        }
    }
    for (int id : late)
        drop(id, Departure::Refused, m_settings.texts.unnamed);
}

}  // namespace withrottle
