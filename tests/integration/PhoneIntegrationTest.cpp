// Phone throttles in the main window against the project's SRCP simulator: two scripted phones
// read the roster and the turnouts, one drives loco 3 (its screen throttle follows and the loco
// lines reach the simulator), the other throws a turnout (the panel changes, the first phone is
// told); a phone that falls silent has its loco stopped, and a garbage client is dropped while the
// others carry on.

#include "SimFixture.h"

#include "app/LocoControlHost.h"
#include "app/PhoneThrottleHost.h"
#include "base/CommandChannel.h"
#include "base/TLok.h"
#include "loco/widgets/ReglerPanel.h"

#include "common/PhoneClient.h"
#include "common/WaitFor.h"

#include <QElapsedTimer>
#include <QScrollBar>

using namespace simfixture;
using testsupport::PhoneClient;
using testsupport::waitFor;

namespace {

// Waits for `done` while the phones in `alive` keep their heartbeat (every 300 ms).
bool waitBeating(const std::function<bool()>& done, std::initializer_list<PhoneClient*> alive, int timeoutMs = 10000)
{
    QElapsedTimer beat;
    beat.start();
    return waitFor(
        [&] {
            if (beat.elapsed() > 300) {
                for (PhoneClient* c : alive)
                    c->send("*");
                beat.restart();
            }
            return done();
        },
        timeoutMs);
}

bool simReceived(const std::string& logFile, const std::string& line)
{
    for (const LogLine& l : received(logFile))
        if (l.text == line)
            return true;
    return false;
}

}  // namespace

TEST(PhoneIntegration, TwoPhonesDriveALocoAndThrowATurnoutThroughTheWindow)
{
    LocoControlHost* loco = nullptr;
    PhoneThrottleHost* phone = nullptr;
    SimWindow w("0.7.3", {}, [&](TMainForm& f) {
        loco = new LocoControlHost(f);
        phone = new PhoneThrottleHost(f);
    });
    ASSERT_TRUE(loco && phone);
    EXPECT_FALSE(phone->server().running()) << "off unless switched on";
    w.form->action(QStringLiteral("Hostverbinden1"))->trigger();
    ASSERT_TRUE(simfixture::sessionSettled(*w.form));
    ASSERT_TRUE(w.form->Session->commandConnected());
    w.form->Betrieb1Click();

    w.form->PhoneServerOn = 1;
    w.form->PhoneServerPort = 0;  // a free port
    w.form->PhoneServerAddress = QStringLiteral("127.0.0.1");
    phone->setHeartbeatSeconds(2);
    ASSERT_TRUE(phone->server().running()) << phone->server().errorText().toStdString();
    const quint16 port = phone->server().port();

    PhoneClient a, b;
    ASSERT_TRUE(a.connectTo(port));
    ASSERT_TRUE(b.connectTo(port));
    for (PhoneClient* c : {&a, &b}) {
        const int roster = c->waitForLine("RL");
        ASSERT_GE(roster, 0);
        EXPECT_NE(c->lines()[static_cast<std::size_t>(roster)].find("]\\[Lok}|{3}|{S"), std::string::npos);
        EXPECT_GE(c->waitForLine("PTL]\\[QT"), 0);
        EXPECT_GE(c->waitForLine("*2"), 0);
    }
    a.send("NPhone A");
    b.send("NPhone B");
    ASSERT_TRUE(waitBeating(
        [&] {
            const auto& cl = phone->clients();
            return cl.size() == 2 && !cl.begin()->second.name.isEmpty() && !cl.rbegin()->second.name.isEmpty();
        },
        {&a, &b}));

    // Phone A drives loco 3: the screen throttle moves and the simulator gets the loco line.
    a.send("MT+S3<;>S3");
    ASSERT_GE(a.waitForLine("MT+S3<;>"), 0);
    a.send("MTAS3<;>V63");
    QScrollBar* slider = loco->panel()->scrollBar(0);
    EXPECT_TRUE(waitBeating([&] { return slider->value() == 50; }, {&a, &b})) << slider->value();
    EXPECT_TRUE(waitBeating([&] { return simReceived(w.logFile, "SET GL M1 3 -1 50 100 0 0 "); }, {&a, &b}));
    a.send("MTAS3<;>F10");  // light on: latching key, the press switches
    EXPECT_TRUE(waitBeating([&] { return functionOn(Lok->get_F(0)[0]); }, {&a, &b}));
    EXPECT_GE(a.waitForLine("MTAS3<;>F10"), 0) << "the phone is told the light is on";
    EXPECT_EQ(phone->clients().begin()->second.locos, "3") << "the clients window shows the loco";

    // Phone B throws a turnout: the panel changes and phone A is told.
    tPosEntry* t = findEntry(isVisibleTurnout);
    ASSERT_NE(t, nullptr);
    const std::string name = "QT" + std::to_string(t->Posx) + "," + std::to_string(t->Posy);
    const std::size_t aBefore = a.lines().size();
    const int gaBefore = receivedCount(w.logFile, "SET GA");
    b.send("PTAT" + name);
    EXPECT_TRUE(waitBeating([&] { return t->Stellung == 2; }, {&a, &b}));
    EXPECT_TRUE(cellShowsIcon(*w.form, *t, 2));
    EXPECT_GE(a.waitForLine("PTA4" + name, aBefore), 0);
    EXPECT_TRUE(waitBeating([&] { return receivedCount(w.logFile, "SET GA") > gaBefore; }, {&a, &b}));

    // A garbage client is dropped; the others carry on.
    PhoneClient g;
    ASSERT_TRUE(g.connectTo(port));
    g.sendRaw(std::string("\x16\x03\x01\x00\xa5\x01\x00\x00\xa1\n", 10));
    EXPECT_TRUE(g.waitForClose());
    const std::size_t bBefore = b.lines().size();
    b.send("PTAC" + name);
    EXPECT_GE(b.waitForLine("PTA2" + name, bBefore), 0);
    EXPECT_TRUE(waitBeating([&] { return t->Stellung == 1; }, {&a, &b}));
    EXPECT_EQ(phone->clients().size(), 2u);

    // Phone A falls silent: its loco stops, the screen throttle with it; B is not affected.
    const auto silentFrom = std::chrono::steady_clock::now();
    EXPECT_TRUE(waitBeating([&] { return slider->value() == slider->maximum(); }, {&b}, 15000));
    EXPECT_GE(std::chrono::steady_clock::now() - silentFrom, std::chrono::milliseconds(1500))
        << "not before the heartbeat ran out";
    EXPECT_TRUE(waitBeating([&] { return simReceived(w.logFile, "SET GL M1 3 -1 0 100 1 0 "); }, {&b}));
    EXPECT_TRUE(b.connected());

    if (const QByteArray shots = qgetenv("QUARN_SCREENSHOT_DIR"); !shots.isEmpty()) {
        phone->clientsAction()->trigger();
        phone->clientsWindow()->grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/withrottle-clients.png"));
    }
    EXPECT_EQ(w.d.count(QStringLiteral("message")) + w.d.count(QStringLiteral("error")), 0)
        << (w.d.shown.empty() ? "" : w.d.shown.front().text.toStdString());
}
