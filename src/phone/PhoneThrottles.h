#pragma once
// What the phones may do with the railway, and what they are told: the multi-throttles each client
// holds, its commands carried out through the program's own operations (Railway), and every change of
// the railway (a loco driven from the screen, a turnout thrown on the panel, power) reported to the
// clients it concerns. Runs on the window's thread; the network server hands it client commands in
// order. Standard C++ only: the program's side is the Railway interface.

#include "phone/WiThrottleProtocol.h"

#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace withrottle {

// Functions a phone sees of one loco.
constexpr int PhoneFunctions = 5;  // F0..F4

struct LocoState {
    int speed = 0;        // 0..126
    bool forward = true;
    std::array<bool, PhoneFunctions> on{};
    bool operator==(const LocoState&) const = default;
};

// The program's side. Loco numbers are indexes into roster(); an entry with address 0 is no loco.
class Railway {
public:
    virtual ~Railway() = default;
    virtual std::string serverName() const = 0;
    virtual std::vector<RosterEntry> roster() const = 0;
    virtual std::vector<NamedItem> turnouts() const = 0;
    virtual std::vector<NamedItem> routes() const = 0;
    virtual int power() const = 0;  // 0 off, 1 on, 2 unknown
    virtual LocoState loco(int lnr) const = 0;
    virtual void setSpeed(int lnr, int speed) = 0;  // 0..126
    virtual void setDirection(int lnr, bool forward) = 0;
    virtual void setFunction(int lnr, int function, bool on) = 0;
    virtual void emergencyStop(int lnr) = 0;
    // 'C' close, 'T' throw, '2' toggle; false: no such turnout.
    virtual bool setTurnout(const std::string& systemName, char how) = 0;
    virtual bool setRoute(const std::string& systemName) = 0;
    virtual void setPower(bool on) = 0;
};

class PhoneThrottles {
public:
    // Message texts the phones are shown (alerts), by the program's message ids.
    enum Text { UnknownLoco, UnknownTurnout, UnknownRoute };
    // `send(client, line)`: one line to one client.
    using Send = std::function<void(int client, const std::string& line)>;

    PhoneThrottles(Railway& railway, Send send, std::function<std::string(Text)> text);

    void setHeartbeatSeconds(int seconds) { m_heartbeat = seconds; }

    void clientJoined(int client);      // the greeting
    void clientLeft(int client);        // its locos stop; it is forgotten
    void heartbeatLost(int client);     // its locos stop; it keeps them
    void command(int client, const Command& c);
    // Compares the railway with what each client was told and tells the changes.
    void poll();

    // Loco numbers client holds (for the clients window and tests).
    std::vector<int> heldBy(int client) const;

private:
    struct Held {
        char throttle = 0;
        LocoKey key;
        int lnr = 0;
        LocoState told;
    };
    struct Client {
        std::vector<Held> held;
        std::array<bool, PhoneFunctions> momentary{};
    };

    int findLoco(const Command& c) const;
    void acquire(int client, const Command& c);
    void action(int client, const Command& c);
    void stopAll(int client);
    void tellLoco(int client, Held& h, const LocoState& now, bool all);
    void pollTurnouts();
    void broadcast(const std::string& line);

    Railway& m_railway;
    Send m_send;
    std::function<std::string(Text)> m_text;
    int m_heartbeat = DefaultHeartbeatSeconds;
    std::map<int, Client> m_clients;
    std::vector<NamedItem> m_turnouts;  // as last told
    int m_power = -1;
};

}  // namespace withrottle
