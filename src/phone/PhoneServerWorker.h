#pragma once
// The phone server's half on its own thread: the listening socket, the connections with their
// guards, the admission of candidates (name and heartbeat in time, within the limits), the heartbeat
// watch, and the closing of connections with a reason. Only PhoneServer creates it.

#include "phone/PhoneServer.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <map>
#include <memory>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace withrottle {

class PhoneServerWorker : public QObject {
    Q_OBJECT
public:
    // A client whose unsent lines pile up beyond this is too slow to read them and is cut off.
    static constexpr qint64 MaxUnsent = 256 * 1024;
    // Candidates kept at once, from one address and in all; the oldest makes room for a newer one.
    static constexpr int MaxCandidatesPerAddress = 16;
    static constexpr int MaxCandidates = 256;
    // Commands a candidate may send before it is admitted (kept and passed on at admission).
    static constexpr std::size_t MaxEarlyCommands = 32;

    PhoneServerWorker();
    ~PhoneServerWorker() override;

public slots:
    // Returns the port listened on, 0 on failure (with the reason in `error`).
    quint16 listen(const withrottle::ServerSettings& s, QString* error);
    void reconfigure(const withrottle::ServerSettings& s);
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
        QString address;
        std::int64_t since = 0;  // when it connected
        bool admitted = false;
        bool named = false, beating = false;
        QString name;
        std::vector<Command> early;  // a candidate's commands, passed on at admission
    };
    void accept();
    void read(int id);
    void admit(int id);
    // Closes `id` after telling it `text` (nothing told when empty); an admitted client is reported
    // as gone with `why`.
    void drop(int id, Departure why, const QString& text = {});
    void makeRoomForCandidate(const QString& address);
    // An admitted client that fell silent, from `address` (any when empty), the longest silent; 0: none.
    int silentClient(const QString& address) const;
    int admittedCount(const QString& address) const;  // empty: all
    void refuseSocket(QTcpSocket* socket, const QString& text);
    void watch();
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
