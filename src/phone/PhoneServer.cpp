#include "phone/PhoneServer.h"

#include "phone/PhoneServerWorker.h"

#include <QMetaObject>
#include <QThread>

namespace withrottle {

bool allowed(const QStringList& allow, const QHostAddress& peer)
{
    if (allow.isEmpty())
        return true;
    // An IPv4 peer may come as an IPv4-mapped IPv6 address.
    bool isV4 = false;
    const quint32 v4 = peer.toIPv4Address(&isV4);
    const QHostAddress address = isV4 ? QHostAddress(v4) : peer;
    for (const QString& raw : allow) {
        const QString entry = raw.trimmed();
        if (entry.isEmpty())
            continue;
        if (entry.contains(QLatin1Char('/'))) {
            const auto subnet = QHostAddress::parseSubnet(entry);
            if (subnet.second >= 0 && address.isInSubnet(subnet))
                return true;
        } else if (QHostAddress(entry) == address) {
            return true;
        }
    }
    return false;
}

PhoneServer::PhoneServer(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<withrottle::Command>();
    qRegisterMetaType<withrottle::Departure>();
    qRegisterMetaType<withrottle::ServerSettings>("withrottle::ServerSettings");
}

PhoneServer::~PhoneServer() { stop(); }

bool PhoneServer::start(const ServerSettings& s)
{
    stop();
    m_thread = std::make_unique<QThread>();
    m_thread->setObjectName(QStringLiteral("phone server"));
    m_worker = new PhoneServerWorker;  // deleted on its own thread when the thread finishes
    m_worker->moveToThread(m_thread.get());
    connect(m_thread.get(), &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &PhoneServerWorker::clientJoined, this, &PhoneServer::clientJoined);
    connect(m_worker, &PhoneServerWorker::clientNamed, this, &PhoneServer::clientNamed);
    connect(m_worker, &PhoneServerWorker::commandReceived, this, &PhoneServer::commandReceived);
    connect(m_worker, &PhoneServerWorker::heartbeatLost, this, &PhoneServer::heartbeatLost);
    connect(m_worker, &PhoneServerWorker::clientLeft, this, &PhoneServer::clientLeft);
    m_thread->start();
    QString error;
    quint16 port = 0;
    QMetaObject::invokeMethod(m_worker, "listen", Qt::BlockingQueuedConnection, Q_RETURN_ARG(quint16, port),
                              Q_ARG(withrottle::ServerSettings, s), Q_ARG(QString*, &error));
    m_port = port;
    m_error = error;
    if (port == 0)
        stop();
    return port != 0;
}

void PhoneServer::stop()
{
    if (!m_thread)
        return;
    QMetaObject::invokeMethod(m_worker, "closeAll", Qt::BlockingQueuedConnection);
    {
        std::lock_guard lock(m_pendingLock);
        m_worker = nullptr;  // a flush still queued finds no worker
        m_pending.clear();
        m_flushPosted = false;
    }
    m_thread->quit();
    m_thread->wait();
    m_thread.reset();
    m_port = 0;
}

void PhoneServer::reconfigure(const ServerSettings& s)
{
    if (m_worker)
        QMetaObject::invokeMethod(m_worker, "reconfigure", Qt::QueuedConnection, Q_ARG(withrottle::ServerSettings, s));
}

void PhoneServer::send(int client, const std::string& line)
{
    std::lock_guard lock(m_pendingLock);
    if (!m_worker)
        return;
    QByteArray& bytes = m_pending[client];
    bytes.append(line.data(), static_cast<qsizetype>(line.size()));
    bytes.append('\n');
    if (!m_flushPosted) {
        m_flushPosted = true;
        QMetaObject::invokeMethod(m_worker, [this] { flush(); }, Qt::QueuedConnection);
    }
}

// Runs on the server thread.
void PhoneServer::flush()
{
    std::map<int, QByteArray> lines;
    PhoneServerWorker* worker = nullptr;
    {
        std::lock_guard lock(m_pendingLock);
        lines.swap(m_pending);
        m_flushPosted = false;
        worker = m_worker;
    }
    if (worker)
        for (const auto& [client, bytes] : lines)
            worker->send(client, bytes);
}

void PhoneServer::cutOff(int client)
{
    if (m_worker)
        QMetaObject::invokeMethod(m_worker, "cutOff", Qt::QueuedConnection, Q_ARG(int, client));
}

}  // namespace withrottle
