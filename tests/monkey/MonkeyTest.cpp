// The monkey: the whole main window, wired as the program wires it, against srcp-sim for a bounded
// time. It triggers random menu items, clicks and drags on the track panel, presses keys, pokes the
// buttons, sliders, boxes and fields of every window, answers every dialog at random and closes real
// modal dialogs from a timer, while the server drops, mutes, freezes, refuses, stops greeting, and is
// killed and restarted. It fails on a crash or sanitizer report (the process ends), on an event loop
// that stalls for more than a second, on an input that waits longer than the input watch allows
// (100 ms, 500 ms under the sanitizers: a local event loop that paints but holds the user's click
// back is a stall too), and on a layout, route or parameter file that no longer reads whole after a
// save.
//
// QUARN_MONKEY_SEED=<n> repeats a run; QUARN_MONKEY_SECONDS=<s> sets each run's length.

#include "app/ProgramWindows.h"
#include "app/TMainForm.h"
#include "app/TrackPanelHost.h"
#include "panel/widgets/PanelView.h"

#include "common/InputWatch.h"
#include "common/ProgramFolder.h"
#include "monkey/MonkeyDialogs.h"
#include "monkey/MonkeySim.h"
#include "monkey/SavedFiles.h"
#include "monkey/StallWatch.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <random>

namespace {

using Clock = std::chrono::steady_clock;

std::uint64_t seedFromEnvironment()
{
    if (const char* s = std::getenv("QUARN_MONKEY_SEED"); s && *s)
        return std::strtoull(s, nullptr, 10);
    return std::random_device{}();
}

int secondsFromEnvironment()
{
    if (const char* s = std::getenv("QUARN_MONKEY_SECONDS"); s && *s)
        return std::atoi(s);
#if defined(__SANITIZE_ADDRESS__)
    return 70;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return 70;
#else
    return 20;
#endif
#else
    return 20;
#endif
}

// The window and everything main() gives it, with the monkey's dialogs.
struct Program {
    Program(MonkeyDialogs& dialogs, const QString& work, int srcpVersion, int port)
    {
        form = std::make_unique<TMainForm>(dialogs, work);
        windows = std::make_unique<ProgramWindows>(*form, dialogs);
        panel = windows->trackPanel().panelView();
        form->openDocument = [](const QString&, std::function<void()> failed) { failed(); };
        form->resize(1000, 720);
        form->show();
        form->SrcpVer = srcpVersion;
        host = port;
        keepServer();
    }
    ~Program()
    {
        windows.reset();  // the other windows before the main window
        form.reset();
    }
    // The settings may be changed at random, but the server stays ours on 127.0.0.1.
    void keepServer()
    {
        if (form->Iphostchar == QLatin1String("127.0.0.1") && form->Ipport == host)
            return;
        form->Iphostchar = QStringLiteral("127.0.0.1");
        form->Ipport = host;
        if (form->applyServerAddress)
            form->applyServerAddress();
    }

    int host = 0;
    std::unique_ptr<TMainForm> form;
    PanelView* panel = nullptr;
    std::unique_ptr<ProgramWindows> windows;
};

class Monkey {
public:
    Monkey(std::uint64_t seed, const std::string& protocol)
        : m_seed(seed), m_rng(seed), m_dialogs(m_rng), m_protocol(protocol)
    {
    }

    void run(int seconds)
    {
        QTemporaryDir dir;
        const QString work = dir.path() + QLatin1Char('/');
        ASSERT_TRUE(testsupport::makeProgramFolder(work));
        MonkeySim sim(m_protocol, (work + QStringLiteral("sim.log")).toStdString());
        Program program(m_dialogs, work, m_protocol == "0.8.2" ? 80 : 73, sim.port());
        SavedFiles files(work);
        StallWatch stall;
        InputWatch input;
        m_input = &input;
        QTimer closer;
        closer.setInterval(40);
        QObject::connect(&closer, &QTimer::timeout, [this] { handleModal(); });
        closer.start();

        std::printf("monkey: seed %llu, SRCP %s, %d s (QUARN_MONKEY_SEED / QUARN_MONKEY_SECONDS)\n",
                    static_cast<unsigned long long>(m_seed), m_protocol.c_str(), seconds);
        std::fflush(stdout);
        const auto end = Clock::now() + std::chrono::seconds(seconds);
        long step = 0;
        while (Clock::now() < end) {
            ++step;
            stall.setStep(QStringLiteral("step %1").arg(step));
            input.setStep(QStringLiteral("step %1").arg(step));
            const QString did = QStringLiteral("step %1: %2").arg(step).arg(oneStep(program, sim, step));
            stall.setStep(did);
            input.setStep(did + QStringLiteral(" (and after it)"));
            QTest::qWait(pick(0, 40));
            program.keepServer();
            if (!program.form->isVisible())  // "Exit": the monkey starts it again
                program.form->show();
            QString problems;
            {
                InputWatch::Own own(input);  // reading the files back is the monkey's own work
                problems = files.changed();
            }
            ASSERT_TRUE(problems.isEmpty()) << "seed " << m_seed << ", " << stall.step().toStdString() << ":\n"
                                            << problems.toStdString();
            ASSERT_LE(stall.worstMs(), 1000) << "seed " << m_seed << ": the event loop stalled "
                                             << stall.worstMs() << " ms in " << stall.worstStep().toStdString();
            ASSERT_TRUE(input.stalls().empty()) << "seed " << m_seed << ":\n" << input.report();
        }
        {
            InputWatch::Own own(input);
            sim.heal();
        }
        closer.stop();
        while (QWidget* modal = QApplication::activeModalWidget())
            if (auto* d = qobject_cast<QDialog*>(modal))
                d->reject();
            else
                modal->close();

        std::printf("monkey: seed %llu, %ld steps, worst event-loop gap %lld ms, worst input wait %lld ms of %ld "
                    "(limit %d ms), %d saved files read back\n",
                    static_cast<unsigned long long>(m_seed), step, static_cast<long long>(stall.worstMs()),
                    input.worstMs(), input.probes(), input.limitMs(), files.checked());
        m_input = nullptr;
        for (const auto& [kind, n] : m_done)
            std::printf("  input %-14s %d\n", kind.c_str(), n);
        for (const auto& [kind, n] : m_dialogs.asked)
            std::printf("  dialog %-13s %d\n", kind.toStdString().c_str(), n);
        for (const auto& [kind, n] : sim.injected)
            std::printf("  fault %-14s %d\n", kind.c_str(), n);
        std::fflush(stdout);
    }

private:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
    template <class T> T* any(const QList<T*>& list) { return list.isEmpty() ? nullptr : list[pick(0, int(list.size()) - 1)]; }

    // One random input; returns what it did.
    QString oneStep(Program& p, MonkeySim& sim, long step)
    {
        const int kind = pick(0, 99);
        if (kind < 22)
            return menuItem(*p.form);
        if (kind < 47)
            return panelInput(p);
        if (kind < 55)
            return key(p.form.get());
        if (kind < 80)
            return poke(nullptr);
        if (kind < 90 || !sim.running()) {
            InputWatch::Own own(*m_input);  // starting and killing the server is the monkey's own work
            sim.injectRandom(m_rng, step);
            ++m_done["server fault"];
            return QStringLiteral("server fault");
        }
        QTest::qWait(pick(0, 400));
        return QStringLiteral("wait");
    }

    QString menuItem(TMainForm& form)
    {
        QList<QAction*> items;
        for (QAction* a : form.findChildren<QAction*>())
            if (!a->objectName().isEmpty() && !a->menu() && a->isEnabled() &&
                (a->objectName() != QLatin1String("Ende1") || pick(0, 20) == 0))
                items.append(a);
        QAction* a = any(items);
        if (!a)
            return QStringLiteral("no menu item");
        ++m_done["menu item"];
        const QString name = a->objectName();
        a->trigger();
        return QStringLiteral("menu item ") + name;
    }

    QString panelInput(Program& p)
    {
        QWidget* view = p.panel;
        if (!view || !view->isVisible())
            return QStringLiteral("no panel");
        const QPoint at(pick(0, std::max(0, view->width() - 1)), pick(0, std::max(0, view->height() - 1)));
        const Qt::MouseButton button = pick(0, 4) == 0 ? Qt::RightButton : Qt::LeftButton;
        const Qt::KeyboardModifiers mods = pick(0, 6) == 0 ? Qt::ShiftModifier : Qt::NoModifier;
        ++m_done["panel"];
        switch (pick(0, 5)) {
        case 0:
            QTest::mouseDClick(view, button, mods, at);
            return QStringLiteral("panel double click");
        case 1: {
            const QPoint to(pick(0, view->width()), pick(0, view->height()));
            QTest::mousePress(view, button, mods, at);
            QTest::mouseMove(view, (at + to) / 2);
            QTest::mouseMove(view, to);
            QTest::mouseRelease(view, button, mods, to);
            return QStringLiteral("panel drag");
        }
        default:
            QTest::mouseClick(view, button, mods, at);
            return QStringLiteral("panel click %1,%2").arg(at.x()).arg(at.y());
        }
    }

    QString key(QWidget* fallback)
    {
        static const Qt::Key keys[] = {Qt::Key_Space, Qt::Key_Return, Qt::Key_Escape, Qt::Key_Up, Qt::Key_Down,
                                       Qt::Key_Left, Qt::Key_Right, Qt::Key_Plus, Qt::Key_Minus, Qt::Key_0,
                                       Qt::Key_1, Qt::Key_5, Qt::Key_9, Qt::Key_A, Qt::Key_F, Qt::Key_S,
                                       Qt::Key_F1, Qt::Key_F2, Qt::Key_F5, Qt::Key_Delete, Qt::Key_Tab,
                                       Qt::Key_PageUp, Qt::Key_Home};
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : fallback;
        const Qt::Key k = keys[pick(0, int(std::size(keys)) - 1)];
        const Qt::KeyboardModifiers mods = pick(0, 5) == 0 ? Qt::ControlModifier : Qt::NoModifier;
        ++m_done["key"];
        QTest::keyClick(target, k, mods);
        return QStringLiteral("key %1 to %2").arg(int(k)).arg(target->objectName());
    }

    // A random button, slider, box, field or tab of `inside`, or of any visible window.
    QString poke(QWidget* inside)
    {
        QList<QWidget*> widgets;
        const QWidgetList tops = inside ? QWidgetList{inside} : QApplication::topLevelWidgets();
        for (QWidget* top : tops)
            if (top->isVisible())
                for (QWidget* w : top->findChildren<QWidget*>())
                    if (w->isVisible() && w->isEnabled() && w->objectName() != QLatin1String("Edithost") &&
                        w->objectName() != QLatin1String("Editport") &&
                        (qobject_cast<QAbstractButton*>(w) || qobject_cast<QAbstractSlider*>(w) ||
                         qobject_cast<QComboBox*>(w) || qobject_cast<QSpinBox*>(w) ||
                         qobject_cast<QLineEdit*>(w) || qobject_cast<QTabWidget*>(w)))
                        widgets.append(w);
        QWidget* w = any(widgets);
        if (!w)
            return QStringLiteral("nothing to poke");
        ++m_done["widget"];
        const QString what = QStringLiteral("%1 %2").arg(QString::fromLatin1(w->metaObject()->className()), w->objectName());
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            b->click();
        else if (auto* s = qobject_cast<QAbstractSlider*>(w))
            s->setValue(pick(s->minimum(), s->maximum()));
        else if (auto* c = qobject_cast<QComboBox*>(w))
            c->setCurrentIndex(c->count() ? pick(0, c->count() - 1) : -1);
        else if (auto* sp = qobject_cast<QSpinBox*>(w))
            sp->setValue(pick(sp->minimum() - 1, sp->maximum() + 1));
        else if (auto* t = qobject_cast<QTabWidget*>(w))
            t->setCurrentIndex(t->count() ? pick(0, t->count() - 1) : -1);
        else if (auto* e = qobject_cast<QLineEdit*>(w)) {
            static const char* texts[] = {"", "0", "1", "42", "255", "1023", "99999", "-3", "12:34", "x", "3 4"};
            e->setText(QString::fromLatin1(texts[pick(0, int(std::size(texts)) - 1)]));
            QTest::keyClick(e, Qt::Key_Return);
        }
        return QStringLiteral("poke ") + what;
    }

    // A real modal dialog: a few random inputs inside it, then closed (accepted or rejected). What
    // could open another dialog runs from the event loop, not from inside this timer.
    void handleModal()
    {
        // A popup (a button's menu, a box's list) runs a loop of its own: an item of it, or none.
        if (QWidget* popup = QApplication::activePopupWidget()) {
            ++m_done["popup"];
            QAction* item = nullptr;
            if (auto* menu = qobject_cast<QMenu*>(popup); menu && pick(0, 1) == 0) {
                QList<QAction*> items;
                for (QAction* a : menu->actions())
                    if (a->isEnabled() && !a->isSeparator() && !a->menu())
                        items.append(a);
                item = any(items);
            }
            QTimer::singleShot(0, popup, [popup, item] {
                popup->close();
                if (item)
                    item->trigger();
            });
            return;
        }
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            m_modalInputs = -1;
            return;
        }
        if (modal != m_modal || m_modalInputs < 0) {
            m_modal = modal;
            m_modalInputs = pick(0, 6);
            ++m_done["modal dialog"];
        }
        if (m_modalInputs-- > 0) {
            QTimer::singleShot(0, modal, [this, modal] { poke(modal); });
            return;
        }
        const bool accept = pick(0, 1) == 0;
        QTimer::singleShot(0, modal, [modal, accept] {
            if (auto* d = qobject_cast<QDialog*>(modal))
                accept ? d->accept() : d->reject();
            else
                modal->close();
        });
    }

    std::uint64_t m_seed;
    std::mt19937_64 m_rng;
    MonkeyDialogs m_dialogs;
    std::string m_protocol;
    std::map<std::string, int> m_done;
    QWidget* m_modal = nullptr;
    int m_modalInputs = -1;
    InputWatch* m_input = nullptr;
};

}  // namespace

TEST(Monkey, Srcp073)
{
    QApplication::setQuitOnLastWindowClosed(false);
    Monkey(seedFromEnvironment(), "0.7.3").run(secondsFromEnvironment());
}

TEST(Monkey, Srcp082)
{
    QApplication::setQuitOnLastWindowClosed(false);
    Monkey(seedFromEnvironment(), "0.8.2").run(secondsFromEnvironment());
}
