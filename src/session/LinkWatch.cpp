#include "session/LinkWatch.h"

void LinkWatch::reset()
{
    m_answersProbes = false;
    m_probing = true;
    m_probeSent.reset();
    m_greeted = false;
}

void LinkWatch::opened(Clock::time_point now, bool greeted)
{
    m_opened = now;
    m_lastLine = now;
    m_greeted = greeted;
    m_probeSent.reset();
    m_probing = true;
}

void LinkWatch::lineReceived(Clock::time_point now)
{
    m_greeted = true;
    m_lastLine = now;
    if (m_probeSent) {
        m_answersProbes = true;
        m_probeSent.reset();
    }
}

void LinkWatch::probeSent(Clock::time_point now)
{
    m_probeSent = now;
}

LinkWatch::Action LinkWatch::tick(Clock::time_point now)
{
    if (!m_greeted)
        return now - m_opened >= timings.greet ? Action::Lost : Action::None;
    if (m_probeSent) {
        if (now - *m_probeSent < timings.answer)
            return Action::None;
        m_probeSent.reset();
        if (m_answersProbes)
            return Action::Lost;
        m_probing = false;  // this server does not answer the question; do not hold it to it
        return Action::None;
    }
    if (m_probing && now - m_lastLine >= timings.probeAfter)
        return Action::SendProbe;
    return Action::None;
}
