#pragma once
// Opens connections of the raw SRCP 0.7.3 channel on threads of their own, so the window's thread
// never waits on a server: a connect may take up to its time-out, a greeting up to its own.
//
// Each opening runs on a new thread, connects its ports one after the other (each on a client of
// its own) and, when asked, reads the greeting of the first. It ends with one call of its `done` on
// the receiver's thread, through `post` (a queued call), unless it was cancelled before; the
// receiver then takes the connections over (TcpLineClient::takeOver).
//
// Cancelling never waits: it shuts down what the opening has connected so far (a wait for the
// greeting ends at once) and drops its result. The thread ends by itself, owning everything it
// touches; a connect under way ends at its time-out at the latest. When the opener goes it
// cancels every opening and closes its way to the receiver, so nothing arrives afterwards.
//
//     m_opening = m_opener.open({host, {port}, timeout}, [this](ConnectionOpener::Result& r) {
//         m_opening = 0;
//         if (r.connections[0].socket)
//             Command_Socket.takeOver(*r.connections[0].socket);
//     });

#include "srcp/TcpLineClient.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class ConnectionOpener {
public:
    using Id = std::uint64_t;  // 0 is no opening
    using Post = std::function<void(std::function<void()>)>;

    struct Request {
        std::string host;
        std::vector<int> ports;  // connected in this order
        std::chrono::milliseconds timeout{3000};  // for each connect
        // Above 0: one line is read from the first connection within this time (the greeting).
        // Without it the first connection counts as failed and no further port is tried.
        std::chrono::milliseconds greet{0};
    };
    struct Connection {
        std::shared_ptr<TcpLineClient> socket;  // connected; null when it could not be
        std::string error;                      // why not
    };
    struct Result {
        std::vector<Connection> connections;  // one per port of the request, in its order
        std::string greeting;                 // the first connection's greeting, when asked for
        bool silent = false;  // the first connection was accepted but did not greet in time
    };

    explicit ConnectionOpener(Post post);
    ~ConnectionOpener();  // cancels every opening; never waits
    ConnectionOpener(const ConnectionOpener&) = delete;
    ConnectionOpener& operator=(const ConnectionOpener&) = delete;

    // Starts an opening (receiver's thread). `done` runs on the receiver's thread unless the
    // opening is cancelled first.
    Id open(Request request, std::function<void(Result&)> done);
    // Ends the opening `id` as far as the receiver is concerned (receiver's thread; 0 and openings
    // that have ended are ignored).
    void cancel(Id id);
    void cancelAll();
    // The opening has neither ended nor been cancelled.
    bool running(Id id) const { return m_open.count(id) != 0; }

private:
    struct Opening;
    struct Channel;
    static Result run(Opening& opening, const Request& request);
    void finished(Id id, Result& result);

    std::shared_ptr<Channel> m_channel;
    std::map<Id, std::pair<std::shared_ptr<Opening>, std::function<void(Result&)>>> m_open;
    Id m_next = 0;
};
