#pragma once
// A timer that blocks the calling thread for a number of microseconds more precisely than a plain
// sleep: it sleeps tick by tick on a periodic tick thread while the end is far away and spins on the
// fine counter only during the last tick.
//
// The fine counter is the monotonic clock in nanoseconds (CountSpeed = 1000 units per microsecond).
// The tick source is a thread that sleeps until the next multiple of the tick period on the same
// clock, publishes the counter value of that tick under a reader-writer lock and signals an
// auto-reset tick event.

#include "moba/ThreadPriority.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <thread>

enum class TThreadClass { tcIdle = 0, tcNormal = 1, tcHigh = 2, tcRealTime = 3 };
enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// The periodic tick thread.
class TMMTimerThread {
public:
    using CounterFunction = std::int64_t (*)();

    TMMTimerThread(CounterFunction counter, std::uint32_t accuracy, std::uint32_t resolution);
    ~TMMTimerThread();  // terminates and joins
    TMMTimerThread(const TMMTimerThread&) = delete;
    TMMTimerThread& operator=(const TMMTimerThread&) = delete;

    void setAccuracy(std::uint32_t ms);
    void setResolution(std::uint32_t ms);
    std::uint32_t Resolution() const { return FResolution.load(); }

    // Counter value at the last tick (0 before the first tick).
    std::int64_t CountValue() const;
    // Waits for the tick event, at most 2 x the tick period. True when a tick came.
    bool WaitNextTick();
    // How often the periodic tick source was (re-)created; 1 after start.
    int TimerCreations() const { return FTimerCreations.load(); }
    // What the tick thread's priority could be raised to (known once the thread runs).
    PriorityRaise Raised() const { return FRaised.load(); }

private:
    void Execute();

    CounterFunction FGetCountValue;
    std::atomic<std::uint32_t> FAccuracy;
    std::atomic<std::uint32_t> FResolution;
    std::atomic<bool> FChanged{true};
    std::atomic<int> FTimerCreations{0};
    std::atomic<PriorityRaise> FRaised{PriorityRaise::None};

    mutable std::shared_mutex FReadWriteSync;
    std::int64_t FCountValue = 0;

    std::mutex FTickMutex;  // guards FTickSignalled and FTerminated
    std::condition_variable FTickEvent;
    bool FTickSignalled = false;
    std::condition_variable FWake;  // wakes the tick thread for termination
    bool FTerminated = false;

    std::thread FThread;
};

class THighResTimer {
public:
    THighResTimer();
    ~THighResTimer();  // stops the tick thread
    THighResTimer(const THighResTimer&) = delete;
    THighResTimer& operator=(const THighResTimer&) = delete;

    // Properties
    std::uint32_t Accuracy() const { return FAccuracy; }
    void setAccuracy(std::uint32_t ms);
    std::uint32_t Resolution() const { return FResolution; }
    void setResolution(std::uint32_t ms);
    bool Enabled() const { return FEnabled; }
    void setEnabled(bool on);
    bool UseTSC() const { return FUseTSC; }
    void setUseTSC(bool on);
    TThreadClass ThreadClass() const { return FThreadClass; }
    void setThreadClass(TThreadClass c) { FThreadClass = c; }
    TThreadPriority ThreadPriority() const { return FThreadPriority; }
    void setThreadPriority(TThreadPriority p) { FThreadPriority = p; }
    bool UseSuspend() const { return FUseSuspend; }
    void setUseSuspend(bool on) { FUseSuspend = on; }

    bool TSC() const { return FTSC; }
    double CountSpeed() const { return FCountSpeed; }
    std::uint32_t MinAccuracy() const { return FMinAccuracy; }
    std::uint32_t MinResolution() const { return FMinResolution; }
    std::int64_t RemainingCount() const;
    double RemainingTime() const;  // microseconds

    // The running tick thread, or null.
    const TMMTimerThread* TimerThread() const { return FMMTimerThread.get(); }

    void Calibrate(int milliseconds);
    std::int64_t GetCounterTicks(std::int64_t microseconds) const;
    std::int64_t StartWait(std::int64_t microseconds);
    void EndWait();
    // Blocks the calling thread for the given microseconds; returns at once when not enabled.
    void Wait(std::int64_t microseconds);

    // The fine counter: monotonic clock in nanoseconds.
    static std::int64_t MonotonicCounter();

private:
    void SetCounter();

    [[maybe_unused]] std::int64_t FStartMeasureTime = 0;  // a time measurement's counter values, kept for it
    [[maybe_unused]] std::int64_t FStopMeasureTime = 0;
    std::int64_t FEndWaitTime = 0;
    std::uint32_t FMinAccuracy = 1;
    std::uint32_t FMinResolution = 1;
    std::uint32_t FAccuracy = 0;
    std::uint32_t FResolution = 1;
    std::int64_t FResolutionTicks = 0;
    TThreadClass FThreadClass = TThreadClass::tcNormal;
    TThreadPriority FThreadPriority = TThreadPriority::tpNormal;
    std::unique_ptr<TMMTimerThread> FMMTimerThread;
    bool FTSC = false;
    bool FUseTSC = false;
    bool FEnabled = false;
    TMMTimerThread::CounterFunction FGetCounterValue = &MonotonicCounter;
    double FCountSpeed = 1000.0;
    bool FUseSuspend = true;
};
