#pragma once
// The SRCP 0.7.3 command connection as the rest of the program writes to it: the track panel's
// accessory pulses and the throttles' loco lines. The server session implements it; the
// application state holds the one in use (none before the session exists).

#include <functional>
#include <string>
#include <string_view>

class CommandChannel {
public:
    virtual ~CommandChannel() = default;

    // The command connection is open and usable (false while a lost server is being tried again).
    virtual bool commandConnected() const = 0;
    // The server was lost without the user asking and the session tries again by itself.
    virtual bool reconnecting() const = 0;
    // Says in the status bar that a command was not sent because the server is being tried again.
    // Any thread.
    virtual void refuseWhileReconnecting() = 0;
    // Writes `text` as it is (the caller adds the line end) under the write lock. Returns false and
    // writes nothing when the connection is not open. Throws TcpError when the write fails.
    virtual bool writeCommand(std::string_view text) = 0;
    // Writes `on`, calls `between` (the pulse wait), writes `off`, all under one hold of the write
    // lock, so no other line comes between the two. Same results as writeCommand; true once the
    // switch-on line went out.
    virtual bool writePulse(std::string_view on, std::string_view off, const std::function<void()>& between) = 0;
    // The same pulse written by a thread of the channel's own, so the caller never waits on it:
    // pulses go out one after the other in the order they were posted. `done` is called on that
    // thread once the pulse is over, with what writePulse returned (false: nothing went out).
    virtual void postPulse(std::string on, std::string off, std::function<void()> between,
                           std::function<void(bool written)> done) = 0;
    // The server's reports of accessory changes reach the program (SRCP 0.7.3: the info channel
    // is open), so a switched accessory can be seen confirmed.
    virtual bool reportsAccessories() const = 0;
};
