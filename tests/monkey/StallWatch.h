#pragma once
// Measures how long the GUI thread's event loop goes without turning (modal loops count: they turn
// too): a 20 ms timer notes each turn and the longest gap with the step that was running. A second
// thread ends the process with the step's name when the loop has not turned for a minute, so a
// deadlock is named instead of running into the test's time-out; so is a step that has not returned
// for three minutes while the loop turns (a nested loop that nothing ends). When the loop stands still
// for 0.9 s, the GUI thread's stack is printed once per stall: where it waits is the finding.

#include "common/ThreadStack.h"

#include <QString>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

class StallWatch {
public:
    StallWatch()
    {
        m_last = now();
        m_gui = stallwatch::watchThisThread();
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const long long t = now();
            const long long gap = t - m_last.exchange(t);
            if (gap > m_worst) {
                m_worst = gap;
                std::lock_guard lock(m_mutex);
                m_worstStep = m_step;
            }
        });
        m_timer.start();
        m_watch = std::thread([this] {
            std::unique_lock lock(m_mutex);
            while (!m_stop) {
                m_wake.wait_for(lock, std::chrono::milliseconds(200));
                if (!m_stop && now() - m_stepStart > 180000) {
                    std::fprintf(stderr, "monkey: %s has not returned for three minutes (a loop nobody ends)\n",
                                 m_step.toLocal8Bit().constData());
                    std::abort();
                }
                const long long last = m_last;
                // Just under the limit the test allows, so that every stall that fails it names its place.
                if (!m_stop && now() - last > 900 && last != m_dumpedFor) {
                    m_dumpedFor = last;
                    std::fprintf(stderr, "monkey: the event loop stands still in %s; the GUI thread is here:\n",
                                 m_step.toLocal8Bit().constData());
                    stallwatch::printStackOf(m_gui);
                }
                if (!m_stop && now() - m_last > 60000) {
                    std::fprintf(stderr, "monkey: the event loop has not turned for a minute in %s\n",
                                 m_step.toLocal8Bit().constData());
                    std::abort();
                }
            }
        });
    }
    ~StallWatch()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_watch.join();
    }
    void setStep(const QString& step)
    {
        std::lock_guard lock(m_mutex);
        if (!step.startsWith(m_step))
            m_stepStart = now();
        m_step = step;
    }
    QString step() const
    {
        std::lock_guard lock(m_mutex);
        return m_step;
    }
    long long worstMs() const { return m_worst; }
    QString worstStep() const
    {
        std::lock_guard lock(m_mutex);
        return m_worstStep;
    }

private:
    static long long now()
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }

    QTimer m_timer;
    std::atomic<long long> m_last{0};
    long long m_worst = 0;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    QString m_step;
    QString m_worstStep;
    bool m_stop = false;
    long long m_stepStart = now();
    pthread_t m_gui{};
    long long m_dumpedFor = 0;
    std::thread m_watch;
};
