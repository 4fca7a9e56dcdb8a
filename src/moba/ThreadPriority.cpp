#include "moba/ThreadPriority.h"

#include <cerrno>
#include <thread>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Well below what the system's own real-time threads use, above every normal thread.
constexpr int RealTimePriority = 20;
// A thread-only nice value: ahead of ordinary processes without starving them.
constexpr int RaisedNice = -10;

int threadId()
{
    return static_cast<int>(::syscall(SYS_gettid));
}

bool tryRealTime()
{
    sched_param p{};
    p.sched_priority = RealTimePriority;
    return ::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &p) == 0;
}

bool tryNice(int current)
{
    if (current <= RaisedNice)
        return false;
    return ::setpriority(PRIO_PROCESS, static_cast<id_t>(threadId()), RaisedNice) == 0;
}

int currentNice()
{
    errno = 0;
    const int n = ::getpriority(PRIO_PROCESS, static_cast<id_t>(threadId()));
    return errno == 0 ? n : 0;
}

} // namespace

PriorityRaise raiseCurrentThread()
{
    if (tryRealTime())
        return PriorityRaise::RealTime;
    if (tryNice(currentNice()))
        return PriorityRaise::Nice;
    return PriorityRaise::None;
}

ScopedThreadPriority::ScopedThreadPriority()
{
    sched_param p{};
    if (::pthread_getschedparam(::pthread_self(), &m_policy, &p) != 0)
        return;
    m_priority = p.sched_priority;
    if (m_policy == SCHED_FIFO || m_policy == SCHED_RR)
        return;  // already real-time: leave it
    if (tryRealTime()) {
        m_raised = PriorityRaise::RealTime;
        return;
    }
    m_nice = currentNice();
    if (tryNice(m_nice))
        m_raised = PriorityRaise::Nice;
}

ScopedThreadPriority::~ScopedThreadPriority()
{
    if (m_raised == PriorityRaise::RealTime) {
        sched_param p{};
        p.sched_priority = m_priority;
        ::pthread_setschedparam(::pthread_self(), m_policy, &p);
    } else if (m_raised == PriorityRaise::Nice) {
        // Lowering the priority again is always allowed.
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(threadId()), m_nice);
    }
}

const char* priorityRaiseName(PriorityRaise r)
{
    switch (r) {
    case PriorityRaise::RealTime:
        return "real-time (SCHED_FIFO)";
    case PriorityRaise::Nice:
        return "nice -10";
    case PriorityRaise::None:
        break;
    }
    return "normal (not allowed to raise)";
}

void waitUntilPrecisely(std::chrono::steady_clock::time_point deadline)
{
    const auto coarse = deadline - std::chrono::milliseconds(2);
    if (std::chrono::steady_clock::now() < coarse)
        std::this_thread::sleep_until(coarse);
    while (std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
}
