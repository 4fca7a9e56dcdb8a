#pragma once
// Measures what the user waits for: how long an input event waits from the moment it is posted
// until the GUI thread handles it.
//
// A thread of its own posts a key release to a probe window every few milliseconds, through the
// window system's event queue, where a real click or key press waits too, and notes when the GUI
// thread handles it. A GUI thread that is busy or blocked holds the probe back, and so does a local
// event loop that excludes user input: it keeps painting and running its timers, which a watch of
// the event loop's gaps takes for a live window, while the user's click waits. (A probe posted with
// QCoreApplication::postEvent would not see that: posted events pass such a loop.)
//
// A probe that waits longer than the limit is a stall: it is noted with the step the test was at,
// and the GUI thread's stack is printed once while it waits (where it waits is the finding). The
// limit is 100 ms, 500 ms when the program runs under the sanitizers; QUARN_INPUT_LIMIT_MS sets it.
//
// What the test itself does on the GUI thread (starting or killing a server, reading files back)
// is not what the program makes the user wait for: hold an InputWatch::Own meanwhile. A probe whose
// wait overlaps such a stretch is not counted.
//
//     InputWatch watch;
//     watch.setStep("connect to a server that never greets");
//     ...
//     EXPECT_TRUE(watch.stalls().empty()) << watch.report();

#include "common/ThreadStack.h"

#include <QEvent>
#include <QInputDevice>
#include <QKeyEvent>
#include <QString>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class InputWatch {
public:
    struct Stall {
        long long waitedMs = 0;
        QString step;
    };

    static int defaultLimitMs()
    {
        if (const char* s = std::getenv("QUARN_INPUT_LIMIT_MS"); s && *s)
            return std::max(1, std::atoi(s));
        return stallwatch::sanitized() ? 500 : 100;
    }

    explicit InputWatch(int limitMs = defaultLimitMs()) : m_limit(limitMs), m_probe(this)
    {
        m_gui = stallwatch::watchThisThread();
        // The window system's keyboard, made here: the probe thread must not be the first to ask.
        (void)QInputDevice::primaryKeyboard();
        // A tool tip window is never blocked by a modal dialog: the probe is taken by whatever loop
        // runs, a modal dialog's included, as long as that loop takes user input.
        m_probe.setFlags(Qt::ToolTip);
        m_thread = std::thread([this] { run(); });
    }
    ~InputWatch()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
        // A probe still queued goes to its window while the window is there.
        if (m_pending)
            QWindowSystemInterface::flushWindowSystemEvents();
    }
    InputWatch(const InputWatch&) = delete;
    InputWatch& operator=(const InputWatch&) = delete;

    int limitMs() const { return m_limit; }
    void setStep(const QString& step)
    {
        std::lock_guard lock(m_mutex);
        m_step = step;
    }
    QString step() const
    {
        std::lock_guard lock(m_mutex);
        return m_step;
    }
    // GUI thread: probes handled, the longest wait and its step, and every wait over the limit.
    long probes() const { return m_handled; }
    long long worstMs() const { return m_worst; }
    QString worstStep() const { return m_worstStep; }
    std::vector<Stall> stalls() const
    {
        std::lock_guard lock(m_mutex);
        return m_stalls;
    }
    std::string report() const
    {
        std::string out;
        for (const Stall& s : stalls())
            out += "input waited " + std::to_string(s.waitedMs) + " ms (limit " + std::to_string(m_limit) +
                   " ms) in " + s.step.toStdString() + "\n";
        return out;
    }

    // The test's own work on the GUI thread; probes overlapping it are not counted.
    class Own {
    public:
        explicit Own(InputWatch& w) : m_w(w) { m_w.ownBegins(); }
        ~Own() { m_w.ownEnds(); }
        Own(const Own&) = delete;
        Own& operator=(const Own&) = delete;

    private:
        InputWatch& m_w;
    };

private:
    using Clock = std::chrono::steady_clock;
    static constexpr int ProbeKey = Qt::Key_F35;
    static constexpr std::chrono::milliseconds Period{10};

    class ProbeWindow : public QWindow {
    public:
        explicit ProbeWindow(InputWatch* w) : m_w(w) {}
        bool event(QEvent* e) override
        {
            if (e->type() == QEvent::KeyRelease && static_cast<QKeyEvent*>(e)->key() == ProbeKey) {
                m_w->handled();
                return true;
            }
            return QWindow::event(e);
        }

    private:
        InputWatch* m_w;
    };

    static long long msSince(Clock::time_point t)
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
    }

    void ownBegins()
    {
        std::lock_guard lock(m_mutex);
        ++m_own;
        ++m_ownEpoch;
    }
    void ownEnds()
    {
        std::lock_guard lock(m_mutex);
        --m_own;
        ++m_ownEpoch;
    }

    // GUI thread: the probe came through.
    void handled()
    {
        std::lock_guard lock(m_mutex);
        if (!m_pending)
            return;
        m_pending = false;
        m_wake.notify_all();
        if (m_own > 0 || m_ownEpoch != m_postedEpoch)
            return;  // the test's own work was in the way
        ++m_handled;
        const long long waited = msSince(m_postedAt);
        if (waited > m_worst) {
            m_worst = waited;
            m_worstStep = m_step;
        }
        if (waited > m_limit)
            m_stalls.push_back({waited, m_step});
    }

    // The probe thread.
    void run()
    {
        std::unique_lock lock(m_mutex);
        while (!m_stop) {
            if (!m_pending && m_own == 0) {
                m_pending = true;
                m_dumped = false;
                m_postedAt = Clock::now();
                m_postedEpoch = m_ownEpoch;
                lock.unlock();
                QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
                    &m_probe, QEvent::KeyRelease, ProbeKey, Qt::NoModifier);
                lock.lock();
                continue;
            }
            m_wake.wait_for(lock, Period);
            if (m_pending && !m_dumped && m_own == 0 && m_ownEpoch == m_postedEpoch && msSince(m_postedAt) > m_limit) {
                m_dumped = true;
                std::fprintf(stderr, "input watch: an input has waited over %d ms in %s; the GUI thread is here:\n",
                             m_limit, m_step.toLocal8Bit().constData());
                stallwatch::printStackOf(m_gui);
            }
            if (!m_pending)
                m_wake.wait_for(lock, Period);  // the next probe a little later
        }
    }

    const int m_limit;
    ProbeWindow m_probe;
    pthread_t m_gui{};
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    bool m_pending = false;
    bool m_dumped = false;
    Clock::time_point m_postedAt{};
    int m_own = 0;
    long m_ownEpoch = 0;
    long m_postedEpoch = 0;
    QString m_step;
    long m_handled = 0;
    long long m_worst = 0;
    QString m_worstStep;
    std::vector<Stall> m_stalls;
    std::thread m_thread;
};
