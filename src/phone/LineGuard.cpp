#include "phone/LineGuard.h"

#include <algorithm>

namespace withrottle {

LineGuard::LineGuard(std::int64_t nowMs, Limits limits)
    : m_limits(limits), m_tokens(limits.burst), m_refilled(nowMs), m_lastHeard(nowMs)
{
}

LineGuard::Verdict LineGuard::feed(std::string_view bytes, std::int64_t nowMs, std::vector<Command>& out)
{
    if (m_verdict != Verdict::Ok)
        return m_verdict;
    m_lastHeard = nowMs;
    m_lost = false;
    const double elapsed = double(std::max<std::int64_t>(0, nowMs - m_refilled)) / 1000.0;
    m_tokens = std::min<double>(m_limits.burst, m_tokens + elapsed * m_limits.perSecond);
    m_refilled = nowMs;
    while (!bytes.empty() && m_verdict == Verdict::Ok) {
        const std::size_t end = bytes.find_first_of("\r\n");
        if (end == std::string_view::npos) {
            m_partial.append(bytes);
            if (m_partial.size() > m_limits.maxLine)
                m_verdict = Verdict::TooLong;
            break;
        }
        m_partial.append(bytes.substr(0, end));
        bytes.remove_prefix(end + 1);
        if (m_partial.size() > m_limits.maxLine) {
            m_verdict = Verdict::TooLong;
            break;
        }
        if (!m_partial.empty())
            line(m_partial, nowMs, out);
        m_partial.clear();
    }
    return m_verdict;
}

void LineGuard::line(std::string_view text, std::int64_t, std::vector<Command>& out)
{
    if (m_tokens < 1) {
        m_verdict = Verdict::Flood;
        return;
    }
    m_tokens -= 1;
    Command c = parse(text);
    if (c.kind == Kind::Invalid) {
        for (unsigned char ch : text) {
            if (ch < 0x20 || ch > 0x7e) {
                m_verdict = Verdict::Garbage;  // not text at all
                return;
            }
        }
        if (++m_invalidRun >= m_limits.invalidInRow)
            m_verdict = Verdict::Garbage;
        return;
    }
    m_invalidRun = 0;
    out.push_back(std::move(c));
}

bool LineGuard::heartbeatLost(std::int64_t nowMs)
{
    if (m_lost || m_verdict != Verdict::Ok || nowMs - m_lastHeard <= m_heartbeatMs)
        return false;
    m_lost = true;
    return true;
}

}  // namespace withrottle
