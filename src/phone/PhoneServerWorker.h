#pragma once
// The phone server's half on its own thread: the listening socket, the clients' sockets and their
// guards, the heartbeat watch. Only PhoneServer creates it.

#include "phone/PhoneServer.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <map>
#include <memory>

class QTcpServer;
class QTcpSocket;

namespace withrottle {

class PhoneServerWorker : public QObject {
    Q_OBJECT
public:
    // A client whose unsent lines pile up beyond this is too slow to read them and is cut off.
    static constexpr qint64 MaxUnsent = 256 * 1024;

    PhoneServerWorker();
    ~PhoneServerWorker() override;

public slots:
    // Returns the port listened on, 0 on failure (with the reason in `error`).
    quint16 listen(const withrottle::ServerSettings& s, QString* error);
    void closeAll();
    void send(int client, const QByteArray& line);
    void cutOff(int client);

signals:
    void clientJoined(int client, const QString& address);
    void clientNamed(int client, const QString& name);
    void commandReceived(int client, const withrottle::Command& command);
    void heartbeatLost(int client);
    void clientLeft(int client, withrottle::Departure why);

private:
    struct Client {
        QTcpSocket* socket = nullptr;  // owned by the worker (child)
        std::unique_ptr<LineGuard> guard;
    };
    void accept();
    void read(int id);
    void drop(int id, Departure why);
    void watchHeartbeats();
    std::int64_t now() const { return m_clock.elapsed(); }

    ServerSettings m_settings;
    QTcpServer* m_server = nullptr;
    QTimer m_heartbeat;
    QElapsedTimer m_clock;
    std::map<int, Client> m_clients;
    int m_nextId = 1;
    std::int64_t m_lastWatch = 0;
};

}  // namespace withrottle
