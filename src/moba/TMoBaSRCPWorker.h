#pragma once
// The thread the SRCP 0.8 client component lives on. Connecting, every command and its answer, the
// info lines and the session end all run here, one task after the other in the order they were
// posted, so commands keep their order and the thread that posts them never waits on the network.
//
// The component is created on this thread when it starts and destroyed on it when it ends. Tasks
// get the component; whatever a task wants the caller to see goes back through the caller's own
// queue (the window queues calls to the GUI thread).
//
// Ending (destructor): the tasks not yet started are dropped, the session is ended (TERM) by a last
// task, and the destructor waits a short while for it. A server that does not answer in that time
// has its connections shut down, which wakes any wait on it; should the thread still be busy after
// that, it is left to finish on its own (it owns everything it touches), so ending never hangs.

#include "moba/TMoBaSRCPClient.h"

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

class TMoBaSRCPWorker {
public:
    using Task = std::function<void(TMoBaSRCPClient&)>;

    // `setup` runs first on the new thread, with the fresh component (settings, event handlers).
    explicit TMoBaSRCPWorker(Task setup = {});
    ~TMoBaSRCPWorker();
    TMoBaSRCPWorker(const TMoBaSRCPWorker&) = delete;
    TMoBaSRCPWorker& operator=(const TMoBaSRCPWorker&) = delete;

    // Queues a task (any thread). Exceptions escaping a task are dropped.
    void post(Task task);
    // Drops every task not yet started (any thread); the one running goes on.
    void dropPending();
    // Shuts both sessions' connections down (any thread): a command or handshake waiting on the
    // server ends at once, as if the server had closed the connection.
    void abortWaits();
    // True once every task posted before the call has run (for tests and benchmarks).
    bool waitIdle(std::chrono::milliseconds timeout);
    bool onWorkerThread() const;
    // How long the destructor waits for the session end before shutting the connections down, and
    // after that for the thread.
    static constexpr std::chrono::milliseconds EndGrace{150};

private:
    struct State;
    static void run(const std::shared_ptr<State>& state, const Task& setup);
    std::shared_ptr<State> m_state;
    std::thread m_thread;
};
