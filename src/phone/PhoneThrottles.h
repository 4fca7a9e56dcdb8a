#pragma once
// What the phones may do with the railway, and what they are told: the multi-throttles each client
// holds, its commands carried out through the program's own operations (Railway), and every change of
// the railway (a loco driven from the screen, a turnout thrown on the panel, power) reported to the
// clients it concerns. Runs on the window's thread; the network server hands it client commands in
// order. Standard C++ only: the program's side is the Railway interface.

#include "phone/WiThrottleProtocol.h"

#include <array>
#include <cstdint>
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

// Why the program does not carry out a phone's command just now.
enum class Refusal { None, NotConnected, NotOperating };

// The program's side. Loco numbers are indexes into roster(); an entry with address 0 is no loco.
class Railway {
public:
    virtual ~Railway() = default;
    // Whether a command of `kind` (Power, Turnout, Route, Action) would be carried out now.
    virtual Refusal refusal(Kind kind) const = 0;
    // Bit f set: loco `lnr` has function f (0..PhoneFunctions-1).
    virtual unsigned functions(int lnr) const = 0;
    // Two phone speeds drive loco `lnr` at the same speed (its own scale is coarser than 0..126).
    virtual bool sameSpeed(int lnr, int a, int b) const { (void)lnr; return a == b; }
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
    enum Text { UnknownLoco, UnknownTurnout, UnknownRoute, NotConnected, NotOperating, NoSuchFunction };
    // `send(client, line)`: one line to one client.
    using Send = std::function<void(int client, const std::string& line)>;

    PhoneThrottles(Railway& railway, Send send, std::function<std::string(Text)> text);

    void setHeartbeatSeconds(int seconds) { m_heartbeat = seconds; }
    // Milliseconds of a steady clock: the same alert is not repeated to a client within AlertRepeatMs.
    std::function<std::int64_t()> clock;
    static constexpr std::int64_t AlertRepeatMs = 2000;
    // A phone that switched power is not contradicted for this long while the server answers.
    static constexpr std::int64_t PowerAnswerMs = 1500;

    void clientJoined(int client);      // the greeting
    // A loco stops when the last client that holds it and still speaks goes or falls silent; one
    // that another phone still drives runs on.
    void clientLeft(int client);        // it is forgotten
    void heartbeatLost(int client);     // it keeps its locos; any line from it is a sign of life
    // Every command that is not carried out gets an alert, and a throttle whose speed or direction
    // was refused or changed is told what the loco does.
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
        bool silent = false;
        std::map<Text, std::int64_t> alerted;  // when each alert was last sent
        int power = -1;                        // as it was last told (-1: to be told)
        // It switched power and the railway has not answered yet: its switch shows what it asked
        // for and is not contradicted until the answer or PowerAnswerMs.
        bool powerPending = false;
        int powerWanted = 0;
        std::int64_t powerAsked = 0;
    };

    int findLoco(const Command& c) const;
    void acquire(int client, const Command& c);
    void action(int client, const Command& c);
    // Stops the locos of `client` that no other speaking client holds.
    void stopAbandoned(int client);
    bool refused(int client, Kind kind);  // alerts the client when the railway refuses
    void alertOnce(int client, Text text, const std::string& detail = {});
    void tellLoco(int client, Held& h, const LocoState& now, bool all);
    void pollTurnouts();
    void broadcast(const std::string& line);

    Railway& m_railway;
    Send m_send;
    std::function<std::string(Text)> m_text;
    int m_heartbeat = DefaultHeartbeatSeconds;
    std::map<int, Client> m_clients;
    std::vector<NamedItem> m_turnouts;  // as last told
};

}  // namespace withrottle
