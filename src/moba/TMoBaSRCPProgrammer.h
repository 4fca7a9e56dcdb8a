#pragma once
// Decoder programming over SRCP 0.8: the service mode (SM) device group of one bus, on a command
// session of its own that lives on a worker thread. Requests are queued and carried out in order;
// each result is handed to `onResult` on the worker thread (a window posts it to its own thread).
// Nothing here ever blocks the caller: connecting, every line and its answer, TERM and disconnect
// happen on the worker, each answer wait bounded by a time-out.
//
//   TMoBaSRCPProgrammer p(onResult);
//   p.start({"127.0.0.1", 12345, 1, 0});   // bus 1, programming track
//   p.submit({SmOp::Read, smtCV, 29});      // -> result: value of CV 29, or why not
//   p.cancel();                             // drops what is queued; the running request finishes
//   p.finish();                             // drops everything, stops waiting, TERM, disconnect

#include "srcp/SRCPTypes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

enum class SmOp : std::uint8_t { Read, Write, Verify };

struct SmRequest {
    SmOp op = SmOp::Read;
    TSRCPServiceModeType type = smtCV;
    int number = 1;  // CV 1-1024, or register 1-8
    int bit = -1;    // CVBIT: 0-7
    int value = -1;  // Write, Verify: the value (a bit: 0 or 1)
    int tag = 0;     // the caller's, handed back with the result
};

// Why a request failed, as the window explains it.
enum class SmFailure : std::uint8_t {
    None,
    NotConnected,     // no session to the server (see `detail`)
    NoLoco,           // nothing on the programming track answered (417 timeout)
    NoAcknowledge,    // the decoder did not acknowledge (416 no data)
    WrongValue,       // a verify did not match (`value`: what the decoder holds, -1 when it could
                      // not be read back), or the server refused the value (412)
    NotSupported,     // the server or the bus cannot do it (420-423, 425)
    Refused,          // any other error answer (its code in `code`)
    NoAnswer,         // the server did not answer in time; the session is closed
    Cancelled,        // dropped from the queue by cancel(), or given up by finish()
};

struct SmResult {
    SmRequest request;
    bool ok = false;
    int value = -1;  // Read: the value read; Verify: the value confirmed, or the one read back
    SmFailure failure = SmFailure::None;
    int code = 0;        // the server's answer code
    std::string detail;  // the answer line, or why connecting failed (for a log, not for the user)
};

// SRCP error code -> failure kind.
SmFailure SmFailureOfCode(int code);

class TMoBaSRCPProgrammer {
public:
    struct Target {
        std::string host = "localhost";
        int port = 12345;
        int bus = 1;
        int decoderAddress = 0;  // 0: the programming track; a loco address: programming on the main track
        int answerTimeoutMs = 10000;  // reading a CV bit by bit takes a while on a real track
        int connectTimeoutMs = 3000;
    };
    using ResultEvent = std::function<void(const SmResult&)>;
    // The session is open (`ok`) or could not be opened: `failure` says why (NotConnected: the
    // server cannot be reached; NoAnswer: it did not answer; otherwise the refusal of INIT with its
    // `code`). Worker thread.
    using ConnectEvent = std::function<void(const SmResult& report)>;
    // How long the goodbye (TERM of service mode and of the session) waits for each answer.
    static constexpr int GoodbyeTimeoutMs = 1500;

    explicit TMoBaSRCPProgrammer(ResultEvent onResult, ConnectEvent onConnected = {});
    // finish(), without reports: the worker says its goodbye on its own and the caller never waits
    // for the server.
    ~TMoBaSRCPProgrammer();
    TMoBaSRCPProgrammer(const TMoBaSRCPProgrammer&) = delete;
    TMoBaSRCPProgrammer& operator=(const TMoBaSRCPProgrammer&) = delete;

    // Connects (on the worker) and enters service mode with `INIT <bus> SM NMRA`. Restarting with
    // another target ends the previous session first.
    void start(const Target& target);
    void submit(const SmRequest& request);
    // Drops every queued request (each reported as Cancelled); the running one finishes.
    void cancel();
    // Leaves service mode (TERM) and closes the session, after what is running.
    void stop();
    // Ends the job at once: drops the queue (each reported as Cancelled), stops waiting for the
    // running request's answer (reported as Cancelled: the value is unknown), then leaves service
    // mode (TERM) and closes the session, each answer waited for at most GoodbyeTimeoutMs. Returns
    // at once.
    void finish();
    // Requests queued or running.
    std::size_t pending() const;

private:
    // Everything the worker uses. The worker owns it together with this object, so a worker that is
    // still stuck in a connect when the owner goes is left to end on its own, reporting nothing.
    struct State;
    std::shared_ptr<State> m_state;
};
