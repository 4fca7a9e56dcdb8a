#pragma once
// The accessory commands the program sent itself, kept for a short while so that the server's report
// of each (its INFO GA line) is known as our own echo and does not switch the panel a second time.
// Any thread may record; the reports are matched on the GUI thread.

#include <chrono>
#include <deque>
#include <mutex>

class AccessoryEchoes {
public:
    using Clock = std::chrono::steady_clock;
    // How long the report of a command is waited for.
    static constexpr std::chrono::milliseconds Window{3000};

    void expect(bool motorola, int address, int port, Clock::time_point now = Clock::now());
    // Takes back an expectation whose command did not go out after all.
    void forget(bool motorola, int address, int port);
    // True (and the expectation used up) when a switch-on report is the echo of our own command.
    bool take(bool motorola, int address, int port, Clock::time_point now = Clock::now());
    std::size_t pending() const;

private:
    struct Echo {
        bool motorola;
        int address;
        int port;
        Clock::time_point at;
    };
    void prune(Clock::time_point now);
    bool removeFirst(bool motorola, int address, int port);

    mutable std::mutex m_mutex;
    std::deque<Echo> m_echoes;
};
