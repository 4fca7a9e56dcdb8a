#pragma once
// The thread that writes the SRCP 0.7.3 accessory pulses: each pulse (switch-on line, 300 ms,
// switch-off line, under the channel's write lock) runs here, one after the other in the order
// they were posted, so the window never waits on a pulse.
//
// Ending (destructor): pulses not yet started are dropped (their `done` is not called); the one
// being written is finished, so the railway never keeps an output switched on.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class PulseWriter {
public:
    PulseWriter();
    ~PulseWriter();
    PulseWriter(const PulseWriter&) = delete;
    PulseWriter& operator=(const PulseWriter&) = delete;

    // Queues a task (any thread). Exceptions escaping it are dropped.
    void post(std::function<void()> task);
    // Tasks posted and not yet finished (for tests).
    std::size_t pending() const;

private:
    void run();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_queue;
    std::size_t m_running = 0;
    bool m_stopping = false;
    std::thread m_thread;
};
