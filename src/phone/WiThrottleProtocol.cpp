#include "phone/WiThrottleProtocol.h"

#include <charconv>

namespace withrottle {

namespace {

constexpr std::string_view Sep = "<;>";
constexpr std::string_view ItemSep = "]\\[";
constexpr std::string_view FieldSep = "}|{";

bool printable(std::string_view s)
{
    for (unsigned char c : s)
        if (c < 0x20 || c > 0x7e)
            return false;
    return true;
}

// A whole number made of digits only (an optional leading '-' when `negative` is allowed).
bool number(std::string_view s, int& out, bool negative = false)
{
    if (s.empty() || s.size() > 9)
        return false;
    if (s[0] == '-' && !negative)
        return false;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool parseKey(std::string_view s, LocoKey& key)
{
    if (s == "*") {
        key = LocoKey{true, false, 0};
        return true;
    }
    if (s.size() < 2 || (s[0] != 'S' && s[0] != 'L'))
        return false;
    int a = 0;
    if (!number(s.substr(1), a) || a < 0 || a > 10239)
        return false;
    key = LocoKey{false, s[0] == 'L', a};
    return true;
}

Command invalid() { return Command{}; }

Command parseThrottle(std::string_view line)
{
    // M<t><op><key><;><body>
    if (line.size() < 4)
        return invalid();
    Command c;
    c.throttle = line[1];
    const char op = line[2];
    const std::size_t sep = line.find(Sep, 3);
    if (sep == std::string_view::npos)
        return invalid();
    if (!parseKey(line.substr(3, sep - 3), c.loco))
        return invalid();
    const std::string_view body = line.substr(sep + Sep.size());
    switch (op) {
    case '+': {
        if (c.loco.all)
            return invalid();
        c.kind = Kind::Acquire;
        if (!body.empty() && body[0] == 'E') {
            c.action = 'E';
            c.text = std::string(body.substr(1));
            return c.text.empty() ? invalid() : c;
        }
        LocoKey again;
        if (!parseKey(body, again) || again.all)
            return invalid();
        c.action = again.longAddress ? 'L' : 'S';
        return c;
    }
    case '-':
        c.kind = Kind::Release;
        c.action = body.empty() ? 'r' : body[0];
        return (c.action == 'r' || c.action == 'd') && body.size() <= 1 ? c : invalid();
    case 'A':
        break;
    case 'S':  // steal: this server has no other owners to steal from; read as an acquire
        c.kind = Kind::Acquire;
        c.action = c.loco.longAddress ? 'L' : 'S';
        return c.loco.all ? invalid() : c;
    default:
        return invalid();
    }
    if (body.empty())
        return invalid();
    c.kind = Kind::Action;
    c.action = body[0];
    const std::string_view arg = body.substr(1);
    switch (c.action) {
    case 'V':
        if (!number(arg, c.value, true) || c.value < -1 || c.value > MaxSpeed)
            return invalid();
        return c;
    case 'R':
        if (arg != "0" && arg != "1")
            return invalid();
        c.value = arg[0] - '0';
        return c;
    case 'F':
    case 'f':
    case 'm':
        if (arg.size() < 2 || (arg[0] != '0' && arg[0] != '1') || !number(arg.substr(1), c.function) ||
            c.function > 68)
            return invalid();
        c.value = arg[0] - '0';
        return c;
    case 'X':
    case 'I':
    case 'Q':
        if (!arg.empty())
            return invalid();
        if (c.action == 'Q')
            c.action = 'X';  // some clients send "Q" inside a throttle for a quick stop
        return c;
    case 'q':
        if (arg != "V" && arg != "R")
            return invalid();
        c.value = arg[0];
        return c;
    case 's':
        if (!number(arg, c.value) || c.value > 16)
            return invalid();
        return c;
    default:
        c.kind = Kind::Ignored;  // momentary labels, consist and other additions of later versions
        return c;
    }
}

}  // namespace

std::string LocoKey::text() const
{
    if (all)
        return "*";
    return (longAddress ? "L" : "S") + std::to_string(address);
}

LocoKey keyFor(int address) { return LocoKey{false, address > 127, address}; }

Command parse(std::string_view line)
{
    if (!printable(line))
        return invalid();
    Command c;
    if (line.empty()) {
        c.kind = Kind::Empty;
        return c;
    }
    switch (line[0]) {
    case 'N':
        c.kind = Kind::Name;
        c.text = std::string(line.substr(1));
        return c;
    case '*':
        if (line == "*")
            c.kind = Kind::Heartbeat;
        else if (line == "*+")
            c.kind = Kind::HeartbeatOn;
        else if (line == "*-")
            c.kind = Kind::HeartbeatOff;
        else
            return invalid();
        return c;
    case 'Q':
        if (line != "Q")
            return invalid();
        c.kind = Kind::Quit;
        return c;
    case 'H':
        if (line.size() >= 2 && line[1] == 'U') {
            c.kind = Kind::HardwareId;
            c.text = std::string(line.substr(2));
            return c;
        }
        c.kind = Kind::Ignored;
        return c;
    case 'M':
        return parseThrottle(line);
    case 'P':
        if (line.rfind("PPA", 0) == 0) {
            if (line.size() != 4 || (line[3] != '0' && line[3] != '1'))
                return invalid();
            c.kind = Kind::Power;
            c.value = line[3] - '0';
            return c;
        }
        if (line.rfind("PTA", 0) == 0) {
            if (line.size() < 5 || (line[3] != 'C' && line[3] != 'T' && line[3] != '2'))
                return invalid();
            c.kind = Kind::Turnout;
            c.action = line[3];
            c.text = std::string(line.substr(4));
            return c;
        }
        if (line.rfind("PRA", 0) == 0) {
            if (line.size() < 5 || line[3] != '2')
                return invalid();
            c.kind = Kind::Route;
            c.action = '2';
            c.text = std::string(line.substr(4));
            return c;
        }
        c.kind = Kind::Ignored;  // web, fast clock and other panel words
        return c;
    case 'R':  // roster requests of older clients, consists
    case 'T':  // the single throttles of protocol 1.x: this server serves the multi-throttle
    case 'S':
    case 'D':
    case 'C':
        c.kind = Kind::Ignored;
        return c;
    default:
        return invalid();
    }
}

std::string clean(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (unsigned char ch : text)
        out.push_back(ch < 0x20 || ch == 0x7f ? ' ' : static_cast<char>(ch));
    for (std::string_view sep : {ItemSep, FieldSep, Sep}) {
        for (std::size_t p = out.find(sep); p != std::string::npos; p = out.find(sep, p))
            out.replace(p, sep.size(), " ");
    }
    return out;
}

std::string rosterLine(const std::vector<RosterEntry>& roster)
{
    std::string out = "RL" + std::to_string(roster.size());
    for (const RosterEntry& r : roster) {
        out += ItemSep;
        out += clean(r.name);
        out += FieldSep;
        out += std::to_string(r.address);
        out += FieldSep;
        out += keyFor(r.address).longAddress ? "L" : "S";
    }
    return out;
}

namespace {
std::string itemList(std::string_view word, const std::vector<NamedItem>& items)
{
    std::string out(word);
    for (const NamedItem& t : items) {
        out += ItemSep;
        out += clean(t.systemName);
        out += FieldSep;
        out += clean(t.userName);
        out += FieldSep;
        out += std::to_string(t.state);
    }
    return out;
}
}  // namespace

std::string turnoutListLine(const std::vector<NamedItem>& items) { return itemList("PTL", items); }
std::string routeListLine(const std::vector<NamedItem>& items) { return itemList("PRL", items); }
std::string turnoutState(const NamedItem& item) { return "PTA" + std::to_string(item.state) + clean(item.systemName); }
std::string powerLine(int power) { return "PPA" + std::to_string(power); }
std::string heartbeatLine(int seconds) { return "*" + std::to_string(seconds); }

std::vector<std::string> greeting(const Greeting& g)
{
    std::vector<std::string> out;
    out.push_back("VN2.0");
    out.push_back("HT" + clean(g.serverName));
    out.push_back("Ht" + clean(g.serverName));
    out.push_back(rosterLine(g.roster));
    out.push_back(powerLine(g.power));
    out.push_back("PTT]\\[Turnouts}|{Turnout]\\[Closed}|{2]\\[Thrown}|{4");
    out.push_back(turnoutListLine(g.turnouts));
    out.push_back("PRT]\\[Routes}|{Route]\\[Active}|{2]\\[Inactive}|{4");
    out.push_back(routeListLine(g.routes));
    out.push_back(heartbeatLine(g.heartbeatSeconds));
    return out;
}

std::string throttleLine(char throttle, char op, const LocoKey& key, std::string_view body)
{
    std::string out = "M";
    out += throttle;
    out += op;
    out += key.text();
    out += Sep;
    out += body;
    return out;
}

std::string functionLabels(char throttle, const LocoKey& key, const std::vector<std::string>& labels)
{
    std::string body;
    for (const std::string& l : labels) {
        body += ItemSep;
        body += clean(l);
    }
    return throttleLine(throttle, 'L', key, body);
}

std::string alert(std::string_view text) { return "Hm" + clean(text); }
std::string message(std::string_view text) { return "HM" + clean(text); }

}  // namespace withrottle
