#include "session/LineHandOver.h"

LineHandOver::LineHandOver(std::function<void()> post, std::size_t capacity)
    : m_post(std::move(post)), m_capacity(capacity == 0 ? 1 : capacity)
{
}

bool LineHandOver::push(HandOverItem item, const std::atomic<bool>& stop)
{
    bool wasEmpty;
    {
        std::unique_lock lock(m_mutex);
        m_room.wait(lock, [&] { return stop.load() || m_items.size() < m_capacity; });
        if (stop.load())
            return false;
        wasEmpty = m_items.empty();
        m_items.push_back(std::move(item));
    }
    if (wasEmpty)
        m_post();
    return true;
}

void LineHandOver::wakeAll()
{
    { std::lock_guard lock(m_mutex); }
    m_room.notify_all();
}

std::deque<HandOverItem> LineHandOver::take()
{
    std::deque<HandOverItem> out;
    {
        std::lock_guard lock(m_mutex);
        out.swap(m_items);
    }
    m_room.notify_all();
    return out;
}

std::size_t LineHandOver::size() const
{
    std::lock_guard lock(m_mutex);
    return m_items.size();
}
