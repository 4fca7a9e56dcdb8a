#pragma once
// Raising a thread's scheduling priority where the system allows it, falling back quietly.
//
// First choice is the real-time first-in-first-out class (SCHED_FIFO), which only a
// privileged process may use; then a lower nice value for the thread alone; otherwise the thread
// stays as it was. Nothing here ever fails loudly: precise timing is a wish, not a condition.

#include <chrono>

enum class PriorityRaise { None, Nice, RealTime };

// Raises the calling thread for good; says what held.
PriorityRaise raiseCurrentThread();

// Raises the calling thread for its lifetime and puts it back afterwards.
class ScopedThreadPriority {
public:
    ScopedThreadPriority();
    ~ScopedThreadPriority();
    ScopedThreadPriority(const ScopedThreadPriority&) = delete;
    ScopedThreadPriority& operator=(const ScopedThreadPriority&) = delete;

    PriorityRaise raised() const { return m_raised; }

private:
    PriorityRaise m_raised = PriorityRaise::None;
    int m_policy = 0;
    int m_priority = 0;
    int m_nice = 0;
};

const char* priorityRaiseName(PriorityRaise r);

// Returns at the deadline, as close after it as the system lets this thread run: sleeps most of
// the way, then watches the clock (a gap between two lines on the wire is what a decoder sees).
void waitUntilPrecisely(std::chrono::steady_clock::time_point deadline);
