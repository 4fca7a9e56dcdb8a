// The panel shows what the railway confirmed, through the real main window against srcp-sim in both
// protocol generations: a server that hangs and loses the command (the picture stays, a mark shows
// the wait, a message names the accessory within the answer time-out), a slow server (the mark,
// then the new picture), elements without decoder, a route switch after another route, and SRCP
// 0.7.3 pulses that no longer hold the window (a route of five turnouts and a three-way turnout).

#include "SimFixture.h"

#include "app/PhoneRailway.h"
#include "app/RouteEditorHost.h"
#include "app/Srcp08Host.h"
#include "base/PositionTable.h"
#include "layout/C_Element.h"
#include "panel/C_fahr.h"
#include "panel/Cbahn.h"
#include "srcp/SRCPClient.h"

#include "common/WaitFor.h"

#include <QInputDevice>
#include <QKeyEvent>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

using namespace simfixture;
using namespace std::chrono;
using testsupport::waitFor;

namespace {

// How long an input event may wait for the window: 100 ms; under the sanitizers every event costs
// several times the processor time, so there the bound is 500 ms (still far below a pulse series).
#if defined(__SANITIZE_ADDRESS__)
constexpr long long InputLimitMs = 500;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr long long InputLimitMs = 500;
#else
constexpr long long InputLimitMs = 100;
#endif
#else
constexpr long long InputLimitMs = 100;
#endif

// Posts a key press to a widget every 10 ms from a thread of its own and notes how long each waited
// until the window's thread handled it: what a user at the keyboard waits for.
class InputProbe : public QObject {
public:
    explicit InputProbe(QWidget* target) : m_target(target)
    {
        target->installEventFilter(this);
        // The keyboard device is made on first use and belongs to the thread that makes it: make it
        // here, on the window's thread, not on the poster's.
        (void)QInputDevice::primaryKeyboard();
        m_poster = std::thread([this] {
            while (!m_stop) {
                auto* e = new QKeyEvent(QEvent::KeyPress, Qt::Key_F35, Qt::NoModifier);
                e->setTimestamp(static_cast<quint64>(
                    duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count()));
                QCoreApplication::postEvent(m_target, e);
                ++m_posted;
                std::this_thread::sleep_for(milliseconds(10));
            }
        });
    }
    ~InputProbe() override
    {
        stop();
        m_target->removeEventFilter(this);
    }
    void stop()
    {
        m_stop = true;
        if (m_poster.joinable())
            m_poster.join();
    }
    long long worstMs() const { return m_worstUs / 1000; }
    int handled() const { return m_handled; }

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(e)->key() != Qt::Key_F35)
            return false;
        const auto now = duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
        m_worstUs = std::max<long long>(m_worstUs, now - static_cast<long long>(static_cast<QKeyEvent*>(e)->timestamp()));
        ++m_handled;
        return true;
    }

private:
    QWidget* m_target;
    std::thread m_poster;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_posted{0};
    long long m_worstUs = 0;
    int m_handled = 0;
};

void settle(int ms) { waitFor([] { return false; }, ms); }

// The window in operate mode with the demo layout and its routes, connected to the simulator.
struct ConfirmWindow : SimWindow {
    explicit ConfirmWindow(const std::string& protocol)
        : SimWindow(protocol, {}, [](TMainForm& f) { new RouteEditorHost(f, *f.findChild<TrackPanelHost*>()); })
    {
        form->Lang_id = 2;  // the words checked below
        if (protocol == "0.8.2") {
            form->SrcpVer = 80;
            form->action(QStringLiteral("Hostverbinden1"))->trigger();
            auto* host = form->findChild<Srcp08Host*>();
            EXPECT_TRUE(waitFor([&] { return host && host->connected() && host->busCount() >= 9; }, 8000));
        } else {
            form->Infoport_an = 1;  // the server reports every accessory change there
            form->action(QStringLiteral("Hostverbinden1"))->trigger();
            EXPECT_TRUE(waitFor([&] { return form->commandConnected(); }, 8000));
            EXPECT_TRUE(waitFor([&] { return !form->statusText(2).isEmpty(); }, 5000));  // the info reader is up
        }
        form->action(QStringLiteral("Betrieb1"))->trigger();
        settle(200);
    }
    int gaLines() const { return static_cast<int>(received(logFile, form->SrcpVer == 73 ? "SET GA" : "SET 5 GA").size() +
                                                  (form->SrcpVer == 73 ? 0 : received(logFile, "SET 6 GA").size())); }
    // The panel as the user sees it shows the waiting mark on element e's cell.
    bool showsMark(const tPosEntry& e) const
    {
        const QImage shot = panelHost->panelView()->grab().toImage();
        const QPoint at(e.Posx - form->Hpos_alt + 1, e.Posy - form->Vpos_alt + 1);
        return shot.pixelColor(at) == QColor(255, 170, 0);
    }
};

tPosEntry* visibleTurnout()
{
    return findEntry(isVisibleTurnout);
}

}  // namespace

// A server that hangs and throws away what it was sent: the click shows the mark, then within the
// answer time-out and half a second the element is as it was, and a message names it.
TEST(ConfirmIntegration, AClickOnAHungServerComesBackWithAMessage)
{
    for (const char* protocol : {"0.8.2", "0.7.3"}) {
        SCOPED_TRACE(protocol);
        ConfirmWindow w(protocol);
        tPosEntry* turnout = visibleTurnout();
        ASSERT_NE(turnout, nullptr);
        ASSERT_TRUE(cellShowsIcon(*w.form, *turnout, 1));
        const bool srcp08 = w.form->SrcpVer != 73;
        // 0.8: the command's answer time-out; 0.7.3: how long the info channel's report is waited for.
        const long long timeout = srcp08 ? TSRCPBaseClient::DefaultAnswerTimeoutMs : AccessoryPending::ReportWithin.count();
        w.sim->command("freeze " + std::to_string(timeout + 600) + " drop");
        settle(100);
        const auto clicked = steady_clock::now();
        w.click(*turnout);
        ASSERT_TRUE(waitFor([&] { return w.showsMark(*turnout); }, 1000)) << "the mark of a slow answer";
        EXPECT_TRUE(cellShowsIcon(*w.form, *turnout, 1)) << "nothing confirmed: the old picture";
        EXPECT_EQ(turnout->Stellung, 1);
        ASSERT_TRUE(waitFor([&] { return w.form->statusText(1).contains(QStringLiteral("Accessory")); },
                            static_cast<int>(timeout) + 2000))
            << w.form->statusText(1).toStdString();
        const long long took = duration_cast<milliseconds>(steady_clock::now() - clicked).count();
        EXPECT_LE(took, timeout + 500) << "the element came back after " << took << " ms";
        std::printf("[ confirm  ] %s: hung server, element back and named after %lld ms\n", protocol, took);
        const Cbahn::AccessoryAddress a = Cbahn::gaAddress(turnout->Decod2, turnout->Daten2);
        EXPECT_TRUE(w.form->statusText(1).contains(QStringLiteral(" %1 ").arg(a.address))) << w.form->statusText(1).toStdString();
        EXPECT_EQ(turnout->Stellung, 1);
        EXPECT_TRUE(cellShowsIcon(*w.form, *turnout, 1));
        EXPECT_FALSE(w.showsMark(*turnout));
        EXPECT_TRUE(Bahn->pending().empty());
        // The simulator really lost it: the command is logged as thrown away, never carried out.
        EXPECT_TRUE(waitFor([&] {
            for (const std::string& l : SimProcess::readLines(w.logFile))
                if (l.find(" D frozen, not read: ") != std::string::npos)
                    return true;
            return false;
        }, 3000));
    }
}

// A slow server: the mark while the answer is on its way, then the new picture; nothing said.
TEST(ConfirmIntegration, ASlowAnswerShowsTheMarkThenTheNewState)
{
    for (const char* protocol : {"0.8.2", "0.7.3"}) {
        SCOPED_TRACE(protocol);
        ConfirmWindow w(protocol);
        tPosEntry* turnout = visibleTurnout();
        ASSERT_NE(turnout, nullptr);
        w.form->setStatusText(1, QString());
        w.sim->command("delay 800");
        settle(100);
        const auto clicked = steady_clock::now();
        w.click(*turnout);
        ASSERT_TRUE(waitFor([&] { return w.showsMark(*turnout); }, 700));
        EXPECT_TRUE(cellShowsIcon(*w.form, *turnout, 1));
        EXPECT_EQ(turnout->Stellung, 1);
        ASSERT_TRUE(waitFor([&] { return cellShowsIcon(*w.form, *turnout, 2); }, 3000));
        const long long took = duration_cast<milliseconds>(steady_clock::now() - clicked).count();
        EXPECT_GE(took, 700) << "shown before the answer came";
        EXPECT_EQ(turnout->Stellung, 2);
        EXPECT_TRUE(waitFor([&] { return !w.showsMark(*turnout); }, 500));
        EXPECT_TRUE(w.form->statusText(1).isEmpty()) << w.form->statusText(1).toStdString();
        w.sim->command("delay 0");
    }
}

// Drawn only: an element without decoder switches its picture on a click, sends nothing and says
// nothing.
TEST(ConfirmIntegration, AnElementWithoutDecoderSwitchesItsPictureOnly)
{
    ConfirmWindow w("0.7.3");
    tPosEntry* turnout = visibleTurnout();
    ASSERT_NE(turnout, nullptr);
    turnout->Decod1 = turnout->Decod2 = 0;
    w.form->setStatusText(1, QString());
    const int before = w.gaLines();
    w.click(*turnout);
    EXPECT_EQ(turnout->Stellung, 2);
    EXPECT_TRUE(cellShowsIcon(*w.form, *turnout, 2));
    w.click(*turnout);
    EXPECT_EQ(turnout->Stellung, 1);
    EXPECT_TRUE(cellShowsIcon(*w.form, *turnout, 1));
    settle(500);
    EXPECT_EQ(w.gaLines(), before);
    EXPECT_TRUE(w.form->statusText(1).isEmpty()) << w.form->statusText(1).toStdString();
}

// Route 1 set, then route 2, then route 1's switch (drawn released) again: it sets route 1. A
// phone's "set route" sets a route that is set already: it stays set.
TEST(ConfirmIntegration, ARouteSwitchAfterAnotherRouteSetsItsRoute)
{
    ConfirmWindow w("0.7.3");
    auto button = [](int route) {
        return findEntry([route](tPosEntry& e) { return (e.Enummer == 66 || e.Enummer == 88) && e.Fahrnr == route; });
    };
    tPosEntry* one = button(1);
    tPosEntry* two = button(2);
    ASSERT_NE(one, nullptr);
    ASSERT_NE(two, nullptr);
    const auto routeSet = [&](int route) { return w.form->Knopf[static_cast<std::size_t>(route)]; };
    w.click(*one);
    ASSERT_TRUE(routeSet(1));
    ASSERT_TRUE(waitFor([] { return Bahn->pending().empty(); }, 5000));
    w.click(*two);
    EXPECT_TRUE(routeSet(2));
    EXPECT_FALSE(routeSet(1)) << "its switch is drawn released";
    EXPECT_TRUE(cellShowsIcon(*w.form, *one, 1));
    EXPECT_TRUE(cellShowsIcon(*w.form, *two, 11));
    ASSERT_TRUE(waitFor([] { return Bahn->pending().empty(); }, 5000));
    const int before = w.gaLines();
    w.click(*one);
    EXPECT_TRUE(routeSet(1)) << "a switch that looks released sets its route";
    EXPECT_FALSE(routeSet(2));
    EXPECT_TRUE(cellShowsIcon(*w.form, *one, 11));
    EXPECT_TRUE(cellShowsIcon(*w.form, *two, 1));
    EXPECT_TRUE(waitFor([&] { return w.gaLines() > before; }, 3000)) << "route 1's commands went out again";
    ASSERT_TRUE(waitFor([] { return Bahn->pending().empty(); }, 5000));

    PhoneRailway phone(*w.form, [] { return nullptr; }, [&] { return w.sessionHost; });
    const std::string name = "QR" + std::to_string(one->Posx) + "," + std::to_string(one->Posy);
    EXPECT_TRUE(phone.setRoute(name));
    EXPECT_TRUE(routeSet(1)) << "\"set route\" sets";
    EXPECT_TRUE(cellShowsIcon(*w.form, *one, 11));
}

// SRCP 0.7.3: a route of five turnouts and three quick clicks on a three-way turnout. The pulses
// go out in order, 300 ms apart, each under the write lock, while the window answers its input.
TEST(ConfirmIntegration, Srcp073PulsesDoNotHoldTheWindow)
{
    ConfirmWindow w("0.7.3");
    // Five visible two-way turnouts make route 3, each thrown to the state it is not in.
    std::vector<tPosEntry*> turnouts;
    for (int i = 0; i < Postable->getNumbofEntries() && turnouts.size() < 5; ++i) {
        tPosEntry* e = Postable->getEntryByNum(i);
        if (Element->get_art(e->Enummer - 1) == 2 && e->Decod1 > 0 && e->Decod2 > 0 && e->Posx < 800 && e->Posy < 400)
            turnouts.push_back(e);
    }
    ASSERT_EQ(turnouts.size(), 5u);
    for (tPosEntry* e : turnouts)
        Fahr->fahreintragen(3, e->Enummer, e->Posx, e->Posy, e->Stellung == 1 ? 12 : 11);
    tPosEntry* button = findEntry([](tPosEntry& e) { return (e.Enummer == 66 || e.Enummer == 88) && e.Fahrnr == 2; });
    ASSERT_NE(button, nullptr);
    button->Fahrnr = 3;
    // A three-way turnout with a decoder for each state.
    tPosEntry* three = findEntry([](tPosEntry& e) {
        return Element->get_art(e.Enummer - 1) == 3 && e.Posx < 800 && e.Posy < 400;
    });
    ASSERT_NE(three, nullptr) << "the demo has a three-way turnout";
    three->Decod1 = three->Decod2 = three->Decod3 = 40;
    three->Daten1 = 1, three->Daten2 = 2, three->Daten3 = 3;
    const int before = static_cast<int>(received(w.logFile, "SET GA").size());

    InputProbe probe(w.panelHost->panelView());
    settle(100);
    const auto start = steady_clock::now();
    w.click(*button);
    w.click(*three);
    w.click(*three);
    w.click(*three);  // 1 -> 2 -> 3 (through 1) -> 1: four pulses
    const long long clicks = duration_cast<milliseconds>(steady_clock::now() - start).count();
    const int pulses = 5 + 4;
    ASSERT_TRUE(waitFor([&] { return static_cast<int>(received(w.logFile, "SET GA").size()) >= before + 2 * pulses; },
                        pulses * 300 + 5000));
    ASSERT_TRUE(waitFor([] { return Bahn->pending().empty(); }, 5000));
    probe.stop();
    settle(50);
    std::printf("[ pulses   ] 0.7.3, %d pulses: clicks took %lld ms, worst input wait %lld ms (%d events)\n", pulses,
                clicks, probe.worstMs(), probe.handled());
    EXPECT_LT(clicks, InputLimitMs);
    EXPECT_LT(probe.worstMs(), InputLimitMs) << "an input event waited " << probe.worstMs() << " ms";
    EXPECT_GT(probe.handled(), 100);

    // On the wire: on, off 300 ms later, nothing between them, in the order given.
    const std::vector<LogLine> lines = received(w.logFile, "SET GA");
    ASSERT_EQ(static_cast<int>(lines.size()), before + 2 * pulses);
    for (int k = before; k + 1 < static_cast<int>(lines.size()); k += 2) {
        const std::string on = lines[k].text, off = lines[k + 1].text;
        ASSERT_EQ(on.substr(0, on.size() - 5), off.substr(0, off.size() - 5)) << on << " / " << off;
        EXPECT_EQ(on.substr(on.size() - 5), " 1 -1");
        EXPECT_EQ(off.substr(off.size() - 5), " 0 -1");
        EXPECT_NEAR(lines[k + 1].ms - lines[k].ms, 300.0, 60.0) << on;
    }
    for (std::size_t k = 0; k < turnouts.size(); ++k) {
        const tPosEntry* e = turnouts[k];
        const int s = Fahr->getstellung(3, e->Posx, e->Posy) - 10;
        const Cbahn::AccessoryAddress a = Cbahn::gaAddress(s == 1 ? e->Decod1 : e->Decod2, s == 1 ? e->Daten1 : e->Daten2);
        EXPECT_EQ(lines[before + 2 * k].text, "SET GA " + e->Protokoll.toStdString() + " " + std::to_string(a.address) +
                                                  " " + std::to_string(a.port) + " 1 -1");
        EXPECT_EQ(e->Stellung, s) << "confirmed by the server's report";
    }
    EXPECT_EQ(three->Stellung, 1);
    EXPECT_TRUE(w.form->Knopf[3]);
}
