#include "moba/TMoBaSRCPWorker.h"

#include <condition_variable>
#include <deque>
#include <mutex>

struct TMoBaSRCPWorker::State {
    struct Item {
        Task task;
        bool own = false;  // the component's own (info lines, clean-up): never dropped
    };
    std::mutex mutex;
    std::condition_variable wake;     // a task came, or the end was asked for
    std::condition_variable progress; // a task finished, or the thread ended
    std::deque<Item> queue;
    std::uint64_t posted = 0, done = 0;
    bool stopping = false;
    bool finished = false;
    TMoBaSRCPClient* client = nullptr;  // while the thread runs; guarded by `mutex`
    std::thread::id thread;
};

TMoBaSRCPWorker::TMoBaSRCPWorker(Task setup) : m_state(std::make_shared<State>())
{
    m_thread = std::thread([state = m_state, setup = std::move(setup)] { run(state, setup); });
}

void TMoBaSRCPWorker::run(const std::shared_ptr<State>& state, const Task& setup)
{
    {
        std::lock_guard lock(state->mutex);
        state->thread = std::this_thread::get_id();
    }
    // Calls of the component's own (info lines, the clean-up after a lost session) are queued
    // here like tasks, behind whatever is running; once the thread has ended they are dropped.
    std::weak_ptr<State> weak = state;
    auto client = std::make_unique<TMoBaSRCPClient>([weak](std::function<void()> call) {
        auto s = weak.lock();
        if (!s)
            return;
        std::lock_guard lock(s->mutex);
        if (s->finished)
            return;
        s->queue.push_back({[call = std::move(call)](TMoBaSRCPClient&) { call(); }, true});
        ++s->posted;
        s->wake.notify_all();
    });
    {
        std::lock_guard lock(state->mutex);
        state->client = client.get();
    }
    if (setup) {
        try {
            setup(*client);
        } catch (...) {
        }
    }
    for (;;) {
        State::Item item;
        {
            std::unique_lock lock(state->mutex);
            state->wake.wait(lock, [&] { return !state->queue.empty() || state->stopping; });
            if (state->queue.empty())
                break;
            item = std::move(state->queue.front());
            state->queue.pop_front();
        }
        try {
            item.task(*client);
        } catch (...) {
            // a task reports its own failures; the thread goes on with the next one
        }
        item = {};  // what the task holds is released here, on this thread
        std::lock_guard lock(state->mutex);
        ++state->done;
        state->progress.notify_all();
    }
    {
        std::lock_guard lock(state->mutex);
        state->client = nullptr;
    }
    client.reset();
    std::lock_guard lock(state->mutex);
    state->finished = true;
    state->queue.clear();
    state->progress.notify_all();
}

TMoBaSRCPWorker::~TMoBaSRCPWorker()
{
    {
        std::lock_guard lock(m_state->mutex);
        std::erase_if(m_state->queue, [](const State::Item& i) { return !i.own; });
        // The last task: nobody listens any more; the session ends with TERM.
        m_state->queue.push_back({[](TMoBaSRCPClient& c) {
                                      c.ClearEvents();
                                      c.Disconnect();
                                  },
                                  false});
        m_state->stopping = true;
        m_state->wake.notify_all();
    }
    auto ended = [this](std::chrono::milliseconds wait) {
        std::unique_lock lock(m_state->mutex);
        return m_state->progress.wait_for(lock, wait, [&] { return m_state->finished; });
    };
    if (!ended(EndGrace)) {
        abortWaits();  // a server that does not answer the session end is not waited for
        ended(EndGrace);
    }
    if (m_thread.get_id() == std::this_thread::get_id())
        m_thread.detach();
    else if (ended(std::chrono::milliseconds(0)))
        m_thread.join();
    else
        m_thread.detach();  // it owns its state and ends by itself once its wait is over
}

void TMoBaSRCPWorker::post(Task task)
{
    std::lock_guard lock(m_state->mutex);
    if (m_state->stopping)
        return;
    m_state->queue.push_back({std::move(task), false});
    ++m_state->posted;
    m_state->wake.notify_all();
}

void TMoBaSRCPWorker::dropPending()
{
    std::lock_guard lock(m_state->mutex);
    const auto before = m_state->queue.size();
    std::erase_if(m_state->queue, [](const State::Item& i) { return !i.own; });
    m_state->done += before - m_state->queue.size();
    m_state->progress.notify_all();
}

void TMoBaSRCPWorker::abortWaits()
{
    std::lock_guard lock(m_state->mutex);
    if (!m_state->client)
        return;
    m_state->client->CmdClnt().Abort();
    m_state->client->InfoClnt().Abort();
}

bool TMoBaSRCPWorker::waitIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_state->mutex);
    const std::uint64_t target = m_state->posted;
    return m_state->progress.wait_for(lock, timeout,
                                      [&] { return m_state->done >= target || m_state->finished; });
}

bool TMoBaSRCPWorker::onWorkerThread() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->thread == std::this_thread::get_id();
}
