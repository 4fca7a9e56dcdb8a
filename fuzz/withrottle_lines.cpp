// Fuzz target: what a phone sends, as the server takes it. The bytes go in chunks through the
// client's guard (line cutting, length, flood and garbage limits) and every command it lets pass
// goes to the phone throttles, which drive a railway of three locos and one turnout. Whatever
// arrives: no line longer than the limit is read, a client that was told to go reads nothing more,
// the railway is only asked about locos it has, with speeds 0..126 and functions 0..4, and every
// line the server writes is one line of printable text.

#include "phone/LineGuard.h"
#include "phone/PhoneThrottles.h"

#include <cstddef>
#include <cstdint>
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
    static void check(int lnr) { require(lnr >= 0 && lnr < 3); }

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
        require(f >= 0 && f < PhoneFunctions);
        state[static_cast<std::size_t>(lnr)].on[static_cast<std::size_t>(f)] = on;
    }
    void emergencyStop(int lnr) override { setSpeed(lnr, 0); }
    bool setTurnout(const std::string& name, char how) override
    {
        require(how == 'C' || how == 'T' || how == '2');
        if (name != "QT1,1")
            return false;
        turnout = how == 'T' ? 4 : 2;
        return true;
    }
    bool setRoute(const std::string& name) override { return name == "QR0,0"; }
    void setPower(bool) override {}
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
    phones.clientJoined(1);
    phones.clientJoined(2);
    LineGuard guard(0, {64, 50, 10, 5});
    std::int64_t now = 0;
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
        for (const Command& c : commands) {
            require(c.kind != Kind::Invalid);
            phones.command(1, c);
        }
        if (guard.heartbeatLost(now))
            phones.heartbeatLost(1);
        now += 7;
    }
    phones.poll();
    phones.clientLeft(1);
    return 0;
}
