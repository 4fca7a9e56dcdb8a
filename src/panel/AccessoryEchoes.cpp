#include "panel/AccessoryEchoes.h"

#include <algorithm>

void AccessoryEchoes::prune(Clock::time_point now)
{
    while (!m_echoes.empty() && now - m_echoes.front().at > Window)
        m_echoes.pop_front();
}

bool AccessoryEchoes::removeFirst(bool motorola, int address, int port)
{
    const auto it = std::find_if(m_echoes.begin(), m_echoes.end(), [&](const Echo& e) {
        return e.motorola == motorola && e.address == address && e.port == port;
    });
    if (it == m_echoes.end())
        return false;
    m_echoes.erase(it);
    return true;
}

void AccessoryEchoes::expect(bool motorola, int address, int port, Clock::time_point now)
{
    std::lock_guard lock(m_mutex);
    prune(now);
    m_echoes.push_back({motorola, address, port, now});
}

void AccessoryEchoes::forget(bool motorola, int address, int port)
{
    std::lock_guard lock(m_mutex);
    // the latest one: that is the command that did not go out
    const auto it = std::find_if(m_echoes.rbegin(), m_echoes.rend(), [&](const Echo& e) {
        return e.motorola == motorola && e.address == address && e.port == port;
    });
    if (it != m_echoes.rend())
        m_echoes.erase(std::next(it).base());
}

bool AccessoryEchoes::take(bool motorola, int address, int port, Clock::time_point now)
{
    std::lock_guard lock(m_mutex);
    prune(now);
    return removeFirst(motorola, address, port);
}

std::size_t AccessoryEchoes::pending() const
{
    std::lock_guard lock(m_mutex);
    return m_echoes.size();
}
