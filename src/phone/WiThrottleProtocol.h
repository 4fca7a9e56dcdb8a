#pragma once
// The WiThrottle protocol's words: one client line read into a Command, and the server's lines
// written from plain values. Lines travel without their end (LF or CR LF). Standard C++ only, so the
// reader runs under the fuzzer without Qt.

#include <string>
#include <string_view>
#include <vector>

namespace withrottle {

// The longest line a client may send; anything longer closes that client.
constexpr std::size_t MaxLineLength = 512;
// Seconds between a client's heartbeats that the server asks for ("*10").
constexpr int DefaultHeartbeatSeconds = 10;
// Seconds a new connection has to name itself and start its heartbeat.
constexpr int AdmissionSeconds = 5;
constexpr int DefaultPort = 12090;
// Speeds on the wire run 0..126; -1 is an emergency stop.
constexpr int MaxSpeed = 126;

// A loco as a throttle names it: "S3" (short address), "L341" (long address) or "*" (every loco
// of that throttle).
struct LocoKey {
    bool all = false;
    bool longAddress = false;
    int address = 0;
    std::string text() const;  // "*", "S3", "L341"
    bool operator==(const LocoKey&) const = default;
};
// The key a server gives address `address`: long above 127.
LocoKey keyFor(int address);

enum class Kind {
    Empty,         // a blank line: ignored
    Name,          // N<name>
    HardwareId,    // HU<id>
    Heartbeat,     // *
    HeartbeatOn,   // *+
    HeartbeatOff,  // *-
    Quit,          // Q
    Power,         // PPA0 / PPA1
    Turnout,       // PTA<C|T|2><system name>
    Route,         // PRA2<system name>
    Acquire,       // M<t>+<key><;><key> or <;>E<roster name>
    Release,       // M<t>-<key><;>r (release) or d (dispatch)
    Action,        // M<t>A<key><;><action><value>
    Ignored,       // a well-formed word this server does not serve (web port, consists, ...)
    Invalid        // not a line of the protocol
};

struct Command {
    Kind kind = Kind::Invalid;
    std::string text;  // name, hardware id, system name, roster entry
    char throttle = 0; // multi-throttle id
    LocoKey loco;
    // Acquire: 'E' by roster entry, 'L'/'S' by address. Release: 'r' or 'd'. Turnout: 'C', 'T', '2'.
    // Action: 'V' speed, 'R' direction, 'F' key press/release, 'f' function forced, 'm' momentary
    // flag, 'X' emergency stop, 'I' idle, 'q' query, 's' speed step mode.
    char action = 0;
    int value = 0;     // speed, direction, power, on/off (F, f, m), speed step mode; 'q': 'V' or 'R'
    int function = 0;  // F, f, m: the function number 0..28
};

// Reads one line (its end already removed). Control characters or bytes above 126 make a line
// Invalid, as does a known word with a malformed body.
Command parse(std::string_view line);

// --- What the server writes ---
struct RosterEntry {
    std::string name;
    int address = 0;
};
struct NamedItem {          // a turnout or a route
    std::string systemName; // what the client sends back
    std::string userName;   // what it shows
    int state = 1;          // turnouts: 1 unknown, 2 closed, 4 thrown; routes: 0 unknown, 2 active, 4 inactive
};
struct Greeting {
    std::string serverName;
    std::vector<RosterEntry> roster;
    std::vector<NamedItem> turnouts;
    std::vector<NamedItem> routes;
    int power = 2;  // 0 off, 1 on, 2 unknown
    int heartbeatSeconds = DefaultHeartbeatSeconds;
};

// Names and texts lose the protocol's separators and line ends before they go out.
std::string clean(std::string_view text);

std::vector<std::string> greeting(const Greeting& g);
std::string rosterLine(const std::vector<RosterEntry>& roster);    // RL<n>]\[name}|{addr}|{S/L...
std::string turnoutListLine(const std::vector<NamedItem>& items);  // PTL]\[sys}|{user}|{state...
std::string routeListLine(const std::vector<NamedItem>& items);    // PRL]\[sys}|{user}|{state...
std::string turnoutState(const NamedItem& item);                   // PTA<state><sys>
std::string powerLine(int power);                                  // PPA<0|1|2>
std::string heartbeatLine(int seconds);                            // *<seconds>
// A multi-throttle line: M<t><op><key><;><body>, e.g. "MTAS3<;>V50".
std::string throttleLine(char throttle, char op, const LocoKey& key, std::string_view body);
// The function labels after an acquire: MTLS3<;>]\[F0]\[F1...
std::string functionLabels(char throttle, const LocoKey& key, const std::vector<std::string>& labels);
std::string alert(std::string_view text);    // Hm<text>: shown as an alert
std::string message(std::string_view text);  // HM<text>: shown as information

}  // namespace withrottle
