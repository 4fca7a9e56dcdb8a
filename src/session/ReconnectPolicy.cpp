#include "session/ReconnectPolicy.h"

#include <algorithm>

void ReconnectPolicy::connected()
{
    m_state = State::Connected;
    m_attempts = 0;
    m_delay = FirstDelay;
}

void ReconnectPolicy::disconnected()
{
    m_state = State::Disconnected;
    m_attempts = 0;
    m_delay = FirstDelay;
}

std::optional<ReconnectPolicy::Delay> ReconnectPolicy::lost()
{
    if (m_state != State::Connected)
        return std::nullopt;
    if (!enabled) {
        disconnected();
        return std::nullopt;
    }
    m_state = State::Waiting;
    m_attempts = 0;
    m_delay = FirstDelay;
    return m_delay;
}

bool ReconnectPolicy::startAttempt()
{
    if (m_state != State::Waiting)
        return false;
    m_state = State::Trying;
    ++m_attempts;
    return true;
}

std::optional<ReconnectPolicy::Delay> ReconnectPolicy::attemptFailed()
{
    if (m_state != State::Trying)
        return std::nullopt;
    m_state = State::Waiting;
    m_delay = std::min(MaxDelay, m_delay * 2);
    return m_delay;
}
