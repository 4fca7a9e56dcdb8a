#pragma once
// The phone server: listens for WiThrottle clients on a thread of its own, so that a flood or a slow
// client never stalls the window. Each client's bytes pass its LineGuard; its commands, its name,
// its arrival and departure and a lost heartbeat are reported as signals, which reach an owner on
// another thread as queued calls, in order. Lines to clients are handed over with send(), from any
// thread.

#include "phone/LineGuard.h"
#include "phone/WiThrottleProtocol.h"

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <mutex>

class QThread;

namespace withrottle {

struct ServerSettings {
    int port = DefaultPort;
    QString listenAddress;  // empty: every address
    QStringList allow;      // addresses or subnets ("192.168.1.0/24"); empty: everyone
    int clientLimit = 8;
    int heartbeatSeconds = DefaultHeartbeatSeconds;
    QString tooManyText;    // the alert a client gets that is one too many
    LineGuard::Limits limits;
};

// Why a client went.
enum class Departure { Quit, Closed, TooLong, Flood, Garbage, SlowReader, CutOff, Refused, Stopped };

// The address a settings text names may connect: an empty list allows everyone.
bool allowed(const QStringList& allow, const QHostAddress& peer);

class PhoneServerWorker;

class PhoneServer : public QObject {
    Q_OBJECT
public:
    explicit PhoneServer(QObject* parent = nullptr);
    ~PhoneServer() override;

    // Starts listening with `s` (a running server is stopped first); false and errorText when the
    // port cannot be had. Blocks only until the server thread has tried to listen.
    bool start(const ServerSettings& s);
    void stop();
    bool running() const { return m_port != 0; }
    quint16 port() const { return m_port; }  // the port listened on (0: not running)
    QString errorText() const { return m_error; }

    // Thread-safe: one line to one client (its end is added), or a client cut off.
    void send(int client, const std::string& line);
    void cutOff(int client);

signals:
    void clientJoined(int client, const QString& address);
    void clientNamed(int client, const QString& name);
    void commandReceived(int client, const withrottle::Command& command);
    void heartbeatLost(int client);
    void clientLeft(int client, withrottle::Departure why);

private:
    std::unique_ptr<QThread> m_thread;
    PhoneServerWorker* m_worker = nullptr;  // lives on m_thread, deleted when it finishes
    quint16 m_port = 0;
    QString m_error;
    // Lines handed over and not yet taken by the server thread, by client; one flush is posted for
    // all lines that pile up meanwhile.
    std::mutex m_pendingLock;
    std::map<int, QByteArray> m_pending;
    bool m_flushPosted = false;
    void flush();
};

}  // namespace withrottle

Q_DECLARE_METATYPE(withrottle::Command)
Q_DECLARE_METATYPE(withrottle::Departure)
