#pragma once
// The phone server: listens for WiThrottle clients on a thread of its own, so that a flood or a slow
// client never stalls the window. Each client's bytes pass its LineGuard. A connection is only a
// candidate until it has named itself ("N...") and started its heartbeat (any "*" line); one that
// does not within admissionMs is closed, and candidates never take a place of the client limits.
// Once admitted, its arrival, its commands, a lost heartbeat and its departure are reported as
// signals, which reach an owner on another thread as queued calls, in order: one call per command,
// heartbeats stay on the server thread (only the first sign of life after a lost heartbeat is
// passed on). Every connection the server turns away or closes is told why first. Lines to clients
// are handed over with send(), from any thread.

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

// The alerts a connection gets before the server closes it, in the user's language.
struct RefusalTexts {
    QString notAllowed;     // its address is not on the allow list
    QString tooMany;        // the client limit is reached
    QString tooManyHere;    // the limit per address is reached
    QString badInput;       // it sent what is no protocol (too long, a flood, garbage)
    QString unnamed;        // it did not name itself and start its heartbeat in time
    QString silent;         // it fell silent and its place went to another phone
    bool operator==(const RefusalTexts&) const = default;
};

struct ServerSettings {
    int port = DefaultPort;
    QString listenAddress;  // empty: every address
    QStringList allow;      // addresses or subnets ("192.168.1.0/24"); empty: everyone
    int clientLimit = 8;
    int perAddressLimit = 4;  // admitted clients from one address
    int heartbeatSeconds = DefaultHeartbeatSeconds;
    int admissionMs = AdmissionSeconds * 1000;
    RefusalTexts texts;
    LineGuard::Limits limits;
};

// Why a client went.
enum class Departure { Quit, Closed, TooLong, Flood, Garbage, SlowReader, CutOff, Refused, Stopped, Silent };

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

    // Takes new settings without a restart (all but port and listen address): clients the allow
    // list now refuses are told so and closed, the others stay; limits count from now on.
    void reconfigure(const ServerSettings& s);

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
