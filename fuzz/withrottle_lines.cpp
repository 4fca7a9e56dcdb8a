// Fuzz target: what a phone sends, as the server takes it. The bytes go in chunks through the
// client's guard (line cutting, length, flood and garbage limits) and every command it lets pass
// goes to the phone throttles, which drive a railway of three locos and one turnout; the railway
// refuses commands for a while (not connected, operate mode off) as the input says. A second phone
// holds loco "A" all along and keeps speaking. Whatever arrives: no line longer than the limit is
// read, a client that was told to go reads nothing more, the heartbeat is watched whatever the
// client asks, the railway is only asked about locos it has, with speeds 0..126 and functions the
// loco has, nothing is asked of it while it refuses, the fuzzed phone's silence or departure never
// stops the loco the other phone still drives, and every line the server writes is one line of
// printable text.

#include "phone/LineGuard.h"
#include "phone/PhoneThrottles.h"

#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <string_view>

using namespace withrottle;

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

struct Rail : Railway {
    std::vector<LocoState> state = std::vector<LocoState>(3);
    int turnout = 2;
    Refusal refuse = Refusal::None;
    bool departing = false;  // the fuzzed phone is going or fell silent
    void check(int lnr) const
    {
        require(lnr >= 0 && lnr < 3);
        require(refuse == Refusal::None || departing);
    }

    Refusal refusal(Kind kind) const override
    {
        require(kind == Kind::Power || kind == Kind::Turnout || kind == Kind::Route || kind == Kind::Action);
        return refuse;
    }
    unsigned functions(int lnr) const override
    {
        require(lnr >= 0 && lnr < 3);
        return lnr == 1 ? 0b101u : lnr == 2 ? 0u : 0b11111u;  // "B": F0 and F2; "C]\[": none
    }
    bool sameSpeed(int, int a, int b) const override { return a / 9 == b / 9; }
    std::string serverName() const override { return "fuzz"; }
    std::vector<RosterEntry> roster() const override { return {{"A", 3}, {"B", 4014}, {"C]\\[", 127}}; }
    std::vector<NamedItem> turnouts() const override { return {{"QT1,1", "T}|{1", turnout}}; }
    std::vector<NamedItem> routes() const override { return {{"QR0,0", "R", 0}}; }
    int power() const override { return 2; }
    LocoState loco(int lnr) const override
    {
        require(lnr >= 0 && lnr < 3);
        return state[static_cast<std::size_t>(lnr)];
    }
    void setSpeed(int lnr, int speed) override
    {
        check(lnr);
        require(speed >= 0 && speed <= MaxSpeed);
        require(!(departing && lnr == 0));  // the other phone still drives "A"
        state[static_cast<std::size_t>(lnr)].speed = speed;
    }
    void setDirection(int lnr, bool forward) override
    {
        check(lnr);
        state[static_cast<std::size_t>(lnr)].forward = forward;
    }
    void setFunction(int lnr, int f, bool on) override
    {
        check(lnr);
        require(f >= 0 && f < PhoneFunctions && (functions(lnr) & (1u << f)));
        state[static_cast<std::size_t>(lnr)].on[static_cast<std::size_t>(f)] = on;
    }
    void emergencyStop(int lnr) override { setSpeed(lnr, 0); }
    bool setTurnout(const std::string& name, char how) override
    {
        require(refuse == Refusal::None);
        require(how == 'C' || how == 'T' || how == '2');
        if (name != "QT1,1")
            return false;
        turnout = how == 'T' ? 4 : 2;
        return true;
    }
    bool setRoute(const std::string& name) override
    {
        require(refuse == Refusal::None);
        return name == "QR0,0";
    }
    void setPower(bool) override { require(refuse == Refusal::None); }
};

void checkLine(const std::string& line)
{
    for (unsigned char c : line)
        require(c >= 0x20 && c != 0x7f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    Rail rail;
    PhoneThrottles phones(rail, [](int, const std::string& line) { checkLine(line); },
                          [](PhoneThrottles::Text) { return std::string("text"); });
    std::int64_t now = 0;
    phones.clock = [&now] { return now; };
    phones.clientJoined(1);
    phones.clientJoined(2);
    phones.command(2, parse("MT+S3<;>S3"));
    LineGuard guard(0, {64, 50, 10, 5});
    guard.setHeartbeatSeconds(1);
    // Chunks of 1..16 bytes, their length taken from the input's first byte.
    const std::size_t chunk = input.empty() ? 1 : static_cast<std::size_t>(input[0] & 15) + 1;
    while (!input.empty()) {
        const std::string_view part = input.substr(0, chunk);
        input.remove_prefix(part.size());
        std::vector<Command> commands;
        const LineGuard::Verdict before = guard.verdict();
        const LineGuard::Verdict v = guard.feed(part, now, commands);
        if (before != LineGuard::Verdict::Ok)
            require(commands.empty() && v == before);
        // The railway refuses while the chunk's first byte says so (its two low bits).
        rail.refuse = static_cast<Refusal>(std::min(2, static_cast<unsigned char>(part[0]) & 3));
        for (const Command& c : commands) {
            require(c.kind != Kind::Invalid);
            phones.command(1, c);
        }
        rail.refuse = Refusal::None;
        rail.departing = true;
        const bool lost = guard.heartbeatLost(now);
        require(!lost || now - guard.lastHeard() > 1000);
        if (lost)
            phones.heartbeatLost(1);
        rail.departing = false;
        now += 97;  // a silence now and then, whatever "*-" asked
    }
    phones.poll();
    rail.departing = true;
    phones.clientLeft(1);
    return 0;
}
