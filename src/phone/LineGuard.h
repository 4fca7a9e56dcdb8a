#pragma once
// The guard in front of one phone client: cuts the bytes it sends into lines, reads them, and says
// when the client must go (a line longer than the protocol allows, a flood, bytes that are no text,
// lines that are no protocol) and when it fell silent past its heartbeat. Times are milliseconds of
// one steady clock, passed in; standard C++ only.

#include "phone/WiThrottleProtocol.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace withrottle {

class LineGuard {
public:
    struct Limits {
        std::size_t maxLine = MaxLineLength;
        int burst = 400;        // lines a client may send at once
        int perSecond = 200;    // and then per second
        int invalidInRow = 5;   // lines that are no protocol, one after the other
    };
    enum class Verdict { Ok, TooLong, Flood, Garbage };

    explicit LineGuard(std::int64_t nowMs, Limits limits);
    explicit LineGuard(std::int64_t nowMs) : LineGuard(nowMs, Limits{}) {}

    // Takes the bytes that arrived; the commands of complete lines are appended to `out`. Once the
    // verdict is not Ok the client is to be closed and further bytes are not read.
    Verdict feed(std::string_view bytes, std::int64_t nowMs, std::vector<Command>& out);
    Verdict verdict() const { return m_verdict; }

    // Heartbeat: watched from the moment the client came, whatever it asks ("*-" does not switch
    // the watch off: a phone that stops beating may be lying in a pocket with a loco running). Any
    // line counts as a sign of life.
    void setHeartbeatSeconds(int seconds) { m_heartbeatMs = std::int64_t(seconds) * 1000; }
    // True once for each silence longer than the heartbeat, false until the client speaks again.
    bool heartbeatLost(std::int64_t nowMs);
    // Silent past its heartbeat (reported by heartbeatLost and not heard since).
    bool silent() const { return m_lost; }
    std::int64_t lastHeard() const { return m_lastHeard; }

private:
    void line(std::string_view text, std::int64_t nowMs, std::vector<Command>& out);

    Limits m_limits;
    std::string m_partial;
    Verdict m_verdict = Verdict::Ok;
    double m_tokens = 0;
    std::int64_t m_refilled = 0;
    int m_invalidRun = 0;
    std::int64_t m_heartbeatMs = std::int64_t(DefaultHeartbeatSeconds) * 1000;
    std::int64_t m_lastHeard = 0;
    bool m_lost = false;
};

}  // namespace withrottle
