#pragma once
// Notices a server that no longer answers although its connection stays open (a hung server, a
// connection that was accepted but is never greeted). Pure logic over a clock the caller passes in.
//
// - A connection on which no line at all arrived within `greet` after it opened is lost.
// - After `probeAfter` without any line the caller sends a harmless question (SendProbe); when no
//   line arrives within `answer` after it, the server is lost. A server that never answered a probe
//   since reset() is not held to it: probing then stops, so a server that does not answer the
//   question is never taken for a lost one.

#include <chrono>
#include <optional>

class LinkWatch {
public:
    using Clock = std::chrono::steady_clock;
    using Ms = std::chrono::milliseconds;

    struct Timings {
        Ms greet{5000};
        Ms probeAfter{10000};
        Ms answer{5000};
    };
    enum class Action { None, SendProbe, Lost };

    Timings timings;

    // A new server (the user connected): forget whether it answers probes.
    void reset();
    // A connection was opened at `now`; `greeted` when its first line has already been read.
    void opened(Clock::time_point now, bool greeted);
    void lineReceived(Clock::time_point now);
    void probeSent(Clock::time_point now);
    // What to do now.
    Action tick(Clock::time_point now);

    bool answersProbes() const { return m_answersProbes; }
    bool greeted() const { return m_greeted; }
    bool probing() const { return m_probing; }

private:
    Clock::time_point m_opened{};
    Clock::time_point m_lastLine{};
    std::optional<Clock::time_point> m_probeSent;
    bool m_greeted = false;
    bool m_probing = true;
    bool m_answersProbes = false;
};
