#pragma once
// Posts calls to the GUI thread until it is closed (any thread). Whoever made it closes it before
// what the calls reach goes away, so a task still running on another thread can no longer reach it.

#include <functional>
#include <mutex>
#include <utility>

class GuiChannel {
public:
    explicit GuiChannel(std::function<void(std::function<void()>)> post) : m_post(std::move(post)) {}
    void post(std::function<void()> call)
    {
        std::lock_guard lock(m_mutex);
        if (m_post)
            m_post(std::move(call));
    }
    void close()
    {
        std::lock_guard lock(m_mutex);
        m_post = nullptr;
    }

private:
    std::mutex m_mutex;
    std::function<void(std::function<void()>)> m_post;
};
