#include "panel/AccessoryPending.h"

#include <algorithm>

std::uint64_t AccessoryPending::add(Command c)
{
    c.id = m_next++;
    m_commands.push_back(c);
    return c.id;
}

const AccessoryPending::Command* AccessoryPending::find(std::uint64_t id) const
{
    const auto it = std::find_if(m_commands.begin(), m_commands.end(), [id](const Command& c) { return c.id == id; });
    return it == m_commands.end() ? nullptr : &*it;
}

std::optional<AccessoryPending::Command> AccessoryPending::take(std::uint64_t id)
{
    const auto it = std::find_if(m_commands.begin(), m_commands.end(), [id](const Command& c) { return c.id == id; });
    if (it == m_commands.end())
        return std::nullopt;
    Command c = *it;
    m_commands.erase(it);
    return c;
}

bool AccessoryPending::markWritten(std::uint64_t id, Clock::time_point now)
{
    for (Command& c : m_commands)
        if (c.id == id) {
            c.written = true;
            c.writtenAt = now;
            return true;
        }
    return false;
}

std::optional<int> AccessoryPending::heading(int x, int y) const
{
    for (auto it = m_commands.rbegin(); it != m_commands.rend(); ++it)
        if (it->x == x && it->y == y)
            return it->target;
    return std::nullopt;
}

bool AccessoryPending::pendingAt(int x, int y) const
{
    return std::any_of(m_commands.begin(), m_commands.end(), [&](const Command& c) { return c.x == x && c.y == y; });
}

std::optional<std::uint64_t> AccessoryPending::onPort(bool motorola, int address, int port) const
{
    for (const Command& c : m_commands)
        if (c.motorola == motorola && c.address == address && c.port == port)
            return c.id;
    return std::nullopt;
}

std::vector<std::uint64_t> AccessoryPending::unreported(Clock::time_point now) const
{
    std::vector<std::uint64_t> out;
    for (const Command& c : m_commands)
        if (c.written && now - c.writtenAt >= ReportWithin)
            out.push_back(c.id);
    return out;
}

std::vector<std::pair<int, int>> AccessoryPending::slowCells(Clock::time_point now) const
{
    std::vector<std::pair<int, int>> out;
    for (const Command& c : m_commands)
        if (now - c.since >= MarkAfter && std::find(out.begin(), out.end(), std::make_pair(c.x, c.y)) == out.end())
            out.emplace_back(c.x, c.y);
    return out;
}

std::vector<AccessoryPending::Command> AccessoryPending::clear()
{
    std::vector<Command> out;
    out.swap(m_commands);
    return out;
}
