#pragma once
// When to try again after the server was lost without the user asking, independent of the protocol
// generation and of any window: a small state machine with a back-off of 1 s, doubling up to 10 s.
//
//   Disconnected --connected()--> Connected --lost()--> Waiting --startAttempt()--> Trying
//   Trying --attemptFailed()--> Waiting (next delay doubled, at most MaxDelay)
//   Trying --connected()--> Connected (delay back to FirstDelay)
//   any --disconnected()--> Disconnected (the user disconnected or quits: no more attempts)
//
// With `enabled` false, lost() leads straight to Disconnected and nothing is tried.

#include <chrono>
#include <optional>

class ReconnectPolicy {
public:
    using Delay = std::chrono::milliseconds;
    static constexpr Delay FirstDelay{1000};
    static constexpr Delay MaxDelay{10000};

    enum class State { Disconnected, Connected, Waiting, Trying };

    bool enabled = true;

    State state() const { return m_state; }
    // The server is lost and the session tries to get it back (Waiting or Trying).
    bool reconnecting() const { return m_state == State::Waiting || m_state == State::Trying; }
    // Attempts started since the loss (the running one included).
    int attempts() const { return m_attempts; }
    // Delay before the next attempt while Waiting.
    Delay delay() const { return m_delay; }

    // The session is up: connected by the user, or an attempt succeeded.
    void connected();
    // The user disconnected (or quits): stop trying.
    void disconnected();
    // The server was lost without the user asking. While Connected and enabled: Waiting, and the
    // delay before the first attempt is returned. Otherwise nothing is tried (nullopt); a Connected
    // session without reconnecting becomes Disconnected.
    std::optional<Delay> lost();
    // Waiting -> Trying. False (and no change) in any other state.
    bool startAttempt();
    // Trying -> Waiting; returns the delay before the next attempt. nullopt in any other state.
    std::optional<Delay> attemptFailed();

private:
    State m_state = State::Disconnected;
    int m_attempts = 0;
    Delay m_delay = FirstDelay;
};

// What the user had when the server was lost, to be restored once it is back. Only choices the
// user made count: power that was never switched is left alone, and power the user switched off is
// never switched on.
struct SessionChoices {
    enum class Power { Unknown, On, Off };
    Power power = Power::Unknown;
    bool feedbackPolling = false;
};
