#include "moba/THighResTimer.h"

#include <chrono>
#include <cmath>

using Clock = std::chrono::steady_clock;

// ---------------------------------------------------------------------------------------------
// Tick thread

TMMTimerThread::TMMTimerThread(CounterFunction counter, std::uint32_t accuracy, std::uint32_t resolution)
    : FGetCountValue(counter), FAccuracy(accuracy), FResolution(resolution == 0 ? 1 : resolution)
{
    FThread = std::thread([this] { Execute(); });
}

TMMTimerThread::~TMMTimerThread()
{
    {
        std::lock_guard lock(FTickMutex);
        FTerminated = true;
    }
    FWake.notify_all();
    FThread.join();
}

void TMMTimerThread::setAccuracy(std::uint32_t ms)
{
    FAccuracy = ms;
    FChanged = true;
}

void TMMTimerThread::setResolution(std::uint32_t ms)
{
    FResolution = ms == 0 ? 1 : ms;
    FChanged = true;
}

std::int64_t TMMTimerThread::CountValue() const
{
    std::shared_lock lock(FReadWriteSync);
    return FCountValue;
}

bool TMMTimerThread::WaitNextTick()
{
    std::unique_lock lock(FTickMutex);
    auto limit = std::chrono::milliseconds(2 * FResolution.load());
    bool ticked = FTickEvent.wait_for(lock, limit, [this] { return FTickSignalled; });
    FTickSignalled = false;  // auto-reset
    return ticked;
}

void TMMTimerThread::Execute()
{
    // A tick that comes late makes every wait late: ahead of ordinary threads where allowed.
    FRaised = raiseCurrentThread();
    std::unique_lock lock(FTickMutex);
    Clock::duration period{};
    Clock::time_point next{};
    while (!FTerminated) {
        if (FChanged.exchange(false)) {
            // (Re-)create the periodic tick source with the current period.
            period = std::chrono::milliseconds(FResolution.load());
            next = Clock::now() + period;
            ++FTimerCreations;
        }
        if (FWake.wait_until(lock, next, [this] { return FTerminated; }))
            break;
        {
            std::unique_lock write(FReadWriteSync);
            FCountValue = FGetCountValue();
        }
        FTickSignalled = true;
        FTickEvent.notify_all();
        next += period;
        auto now = Clock::now();
        if (next <= now)  // ticks missed while the machine was busy are dropped, not caught up
            next = now + period;
    }
}

// ---------------------------------------------------------------------------------------------
// Timer component

std::int64_t THighResTimer::MonotonicCounter()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

THighResTimer::THighResTimer()
{
    FMinAccuracy = 1;
    FMinResolution = 1;
    FResolution = FMinAccuracy;
    // No processor time-stamp counter is used: the monotonic clock is fine enough.
    FTSC = false;
    FUseTSC = FTSC;
    SetCounter();
    Calibrate(100);
}

THighResTimer::~THighResTimer()
{
    setEnabled(false);
}

void THighResTimer::SetCounter()
{
    FGetCounterValue = &MonotonicCounter;
}

void THighResTimer::Calibrate(int)
{
    // Counter units per microsecond of the monotonic clock (nanoseconds).
    FCountSpeed = 1e9 / 1e6;
    FResolutionTicks = GetCounterTicks(std::int64_t(FResolution) * 1000);
}

void THighResTimer::setAccuracy(std::uint32_t ms)
{
    FAccuracy = ms;
    if (FMMTimerThread)
        FMMTimerThread->setAccuracy(ms);
}

void THighResTimer::setResolution(std::uint32_t ms)
{
    FResolution = ms == 0 ? 1 : ms;
    FResolutionTicks = GetCounterTicks(std::int64_t(FResolution) * 1000);
    if (FMMTimerThread)
        FMMTimerThread->setResolution(FResolution);
}

void THighResTimer::setEnabled(bool on)
{
    if (on == FEnabled)
        return;
    if (on)
        FMMTimerThread = std::make_unique<TMMTimerThread>(FGetCounterValue, FAccuracy, FResolution);
    else
        FMMTimerThread.reset();  // terminates and joins
    FEnabled = on;
}

void THighResTimer::setUseTSC(bool on)
{
    if (on == FUseTSC)
        return;
    if (!FTSC)
        on = false;
    if (!FMMTimerThread) {
        FUseTSC = on;
        SetCounter();
    }
    Calibrate(100);
}

std::int64_t THighResTimer::GetCounterTicks(std::int64_t microseconds) const
{
    return static_cast<std::int64_t>(std::nearbyint(double(microseconds) * FCountSpeed));
}

std::int64_t THighResTimer::RemainingCount() const
{
    std::int64_t left = FEndWaitTime - FGetCounterValue();
    return left > 0 ? left : 0;
}

double THighResTimer::RemainingTime() const
{
    return double(RemainingCount()) / FCountSpeed;
}

std::int64_t THighResTimer::StartWait(std::int64_t microseconds)
{
    FEndWaitTime = FGetCounterValue() + GetCounterTicks(microseconds);
    return FEndWaitTime;
}

void THighResTimer::EndWait()
{
    if (!FEnabled || !FMMTimerThread)
        return;
    bool sleeping = true;
    while (FGetCounterValue() < FEndWaitTime) {
        if (sleeping) {
            if (FEndWaitTime - FResolutionTicks < FMMTimerThread->CountValue())
                sleeping = false;  // the end lies within one tick of the last tick: spin from here
            else if (FUseSuspend)
                FMMTimerThread->WaitNextTick();
        }
    }
}

void THighResTimer::Wait(std::int64_t microseconds)
{
    StartWait(microseconds);
    EndWait();
}
