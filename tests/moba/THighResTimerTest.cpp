#include "moba/THighResTimer.h"

#include <gtest/gtest.h>

#include <chrono>

#include <time.h>

using namespace std::chrono;

namespace {

double elapsedMs(steady_clock::time_point since)
{
    return duration<double, std::milli>(steady_clock::now() - since).count();
}

// Processor time this thread has used, in ms.
double threadCpuMs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// WaitNextTick gives up after two periods, also before the tick thread has run at all: wait until
// a tick really came.
bool waitRealTick(TMMTimerThread* thread)
{
    for (int i = 0; i < 1000; ++i)
        if (thread->WaitNextTick())
            return true;
    return false;
}

} // namespace

TEST(THighResTimer, DisabledWaitReturnsAtOnce)
{
    THighResTimer t;
    ASSERT_FALSE(t.Enabled());
    auto start = steady_clock::now();
    t.Wait(300000);
    EXPECT_LT(elapsedMs(start), 50.0);
}

TEST(THighResTimer, WaitNeverEndsEarlyAndSpinsOnlyTheLastTick)
{
    THighResTimer t;
    t.setEnabled(true);
    for (int us : {0, 700, 2500, 20000, 300000}) {
        const double cpuBefore = threadCpuMs();
        auto start = steady_clock::now();
        t.Wait(us);
        const double ms = elapsedMs(start);
        const double cpu = threadCpuMs() - cpuBefore;
        EXPECT_GE(ms, us / 1000.0) << us;
        EXPECT_LT(ms, us / 1000.0 + 100.0) << us;  // generous: shared, noisy machines
        // Sleeping tick by tick and spinning through the last one uses a small part of the wait;
        // a wait that spun all along would use about all of it, or all the processor it was given.
        if (us >= 20000) {
            EXPECT_LT(cpu, us / 1000.0 / 10.0) << us << " us waited with " << cpu << " ms of processor time";
        }
    }
    EXPECT_EQ(t.RemainingCount(), 0);
    EXPECT_EQ(t.RemainingTime(), 0.0);

    // The measure tells spinning apart: without sleeping between ticks the same wait spins all along.
    t.setUseSuspend(false);
    const double cpuBefore = threadCpuMs();
    t.Wait(100000);
    EXPECT_GT(threadCpuMs() - cpuBefore, 10.0);
}

TEST(THighResTimer, RemainingCountCountsDownToZero)
{
    THighResTimer t;
    t.setEnabled(true);
    t.StartWait(200000);
    EXPECT_GT(t.RemainingCount(), t.GetCounterTicks(100000));
    EXPECT_GT(t.RemainingTime(), 100000.0);
    t.EndWait();
    EXPECT_EQ(t.RemainingCount(), 0);
}

TEST(THighResTimer, ChangingResolutionRecreatesTheTickSourceOnce)
{
    THighResTimer t;
    t.setEnabled(true);
    ASSERT_NE(t.TimerThread(), nullptr);
    auto* thread = const_cast<TMMTimerThread*>(t.TimerThread());
    ASSERT_TRUE(waitRealTick(thread));
    EXPECT_EQ(thread->TimerCreations(), 1);

    t.setResolution(5);
    // The change takes effect at the next tick; a tick signalled just before the change may still
    // be pending, so three real ticks are surely past the new tick source.
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(waitRealTick(thread));
    EXPECT_EQ(thread->TimerCreations(), 2);
    EXPECT_EQ(thread->Resolution(), 5u);

    // Ticks now come every 5 ms: consecutive tick counter values lie about 5 ms apart.
    ASSERT_TRUE(waitRealTick(thread));
    std::int64_t first = thread->CountValue();
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(waitRealTick(thread));
    double perTickMs = double(thread->CountValue() - first) / 10 / 1e6;
    EXPECT_GT(perTickMs, 4.0);
    EXPECT_LT(perTickMs, 50.0);  // generous: a loaded machine delays ticks, it never speeds them up
    EXPECT_EQ(thread->TimerCreations(), 2);
}

TEST(THighResTimer, WithoutTimeStampCounterUseTSCStaysFalse)
{
    THighResTimer t;
    ASSERT_FALSE(t.TSC());
    t.setUseTSC(true);
    EXPECT_FALSE(t.UseTSC());
    EXPECT_DOUBLE_EQ(t.CountSpeed(), 1000.0);
}

TEST(THighResTimer, DisablingStopsTheTickThread)
{
    THighResTimer t;
    t.setEnabled(true);
    EXPECT_NE(t.TimerThread(), nullptr);
    t.setEnabled(false);
    EXPECT_EQ(t.TimerThread(), nullptr);
    auto start = steady_clock::now();
    t.Wait(100000);
    EXPECT_LT(elapsedMs(start), 50.0);
}
