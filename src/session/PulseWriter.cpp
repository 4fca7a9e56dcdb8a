#include "session/PulseWriter.h"

PulseWriter::PulseWriter() : m_thread([this] { run(); }) {}

PulseWriter::~PulseWriter()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
        m_wake.notify_all();
    }
    m_thread.join();
}

void PulseWriter::post(std::function<void()> task)
{
    std::lock_guard lock(m_mutex);
    if (m_stopping)
        return;
    m_queue.push_back(std::move(task));
    m_wake.notify_all();
}

std::size_t PulseWriter::pending() const
{
    std::lock_guard lock(m_mutex);
    return m_queue.size() + m_running;
}

void PulseWriter::run()
{
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            task = std::move(m_queue.front());
            m_queue.pop_front();
            m_running = 1;
        }
        try {
            task();
        } catch (...) {
            // the task reports its own failures
        }
        task = nullptr;
        std::lock_guard lock(m_mutex);
        m_running = 0;
    }
}
