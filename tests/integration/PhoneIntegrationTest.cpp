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
    a.hello("Phone A");
    b.hello("Phone B");
    for (PhoneClient* c : {&a, &b}) {
        const int roster = c->waitForLine("RL");
        ASSERT_GE(roster, 0);
        EXPECT_NE(c->lines()[static_cast<std::size_t>(roster)].find("]\\[Lok}|{3}|{S"), std::string::npos);
        EXPECT_GE(c->waitForLine("PTL]\\[QT"), 0);
        EXPECT_GE(c->waitForLine("*2"), 0);
    }
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

// The rules of who gets in and what a phone is told, through the window against the simulator: the
// limit's worth of silent connections does not keep a phone out; the greeting has the power the
// server reported and no signals among the turnouts; a reverse the throttle refuses (loco moving)
// is put right on the phone; one phone quitting leaves the loco to the other, whose silence then
// stops it; with operate mode off or no server a phone's command gets an alert in the user's
// language (French here) and is not carried out.
TEST(PhoneIntegration, WhoGetsInAndWhatEachPhoneIsTold)
{
    LocoControlHost* loco = nullptr;
    PhoneThrottleHost* phone = nullptr;
    SimWindow w("0.7.3", {}, [&](TMainForm& f) {
        loco = new LocoControlHost(f);
        phone = new PhoneThrottleHost(f);
    });
    ASSERT_TRUE(loco && phone);
    w.form->Lang_id = 7;
    w.form->applyLanguage();
    w.form->Infoport_an = 1;  // the server reports its power on the info port
    w.form->action(QStringLiteral("Hostverbinden1"))->trigger();
    ASSERT_TRUE(simfixture::sessionSettled(*w.form));
    ASSERT_TRUE(w.form->Session->commandConnected());
    w.form->Betrieb1Click();
    ASSERT_TRUE(waitFor([&] { return w.form->statusText(0) == QStringLiteral("Power off"); }))
        << "the simulator starts with power off and says so: " << w.form->statusText(0).toStdString();

    w.form->PhoneServerOn = 1;
    w.form->PhoneServerPort = 0;
    w.form->PhoneServerAddress = QStringLiteral("127.0.0.1");
    w.form->PhoneServerLimit = 2;
    w.form->PhoneServerPerAddress = 2;
    phone->setAdmissionMs(1500);
    phone->setHeartbeatSeconds(2);
    ASSERT_TRUE(phone->server().running()) << phone->server().errorText().toStdString();
    const quint16 port = phone->server().port();

    // Two connections that never speak: the limit's worth.
    PhoneClient mute1, mute2;
    ASSERT_TRUE(mute1.connectTo(port));
    ASSERT_TRUE(mute2.connectTo(port));
    PhoneClient a, b;
    ASSERT_TRUE(a.connectTo(port));
    ASSERT_TRUE(b.connectTo(port));
    a.hello("A");
    b.hello("B");
    ASSERT_GE(a.waitForLine("RL"), 0) << "a real phone gets in";
    ASSERT_GE(b.waitForLine("RL"), 0);
    EXPECT_TRUE(a.has("PPA0")) << "the power the server reported";
    EXPECT_FALSE(a.has("PPA2"));
    const int list = a.waitForLine("PTL");
    ASSERT_GE(list, 0);
    const std::string turnouts = a.lines()[static_cast<std::size_t>(list)];
    const tPosEntry* signal = findEntry([](tPosEntry& e) {
        return e.Enummer >= 1 && e.Enummer <= 88 && (e.Enummer - 1) % 22 < 8 && (e.Decod1 > 0 || e.Decod2 > 0);
    });
    ASSERT_NE(signal, nullptr) << "the demo layout has a signal";
    EXPECT_EQ(turnouts.find("QT" + std::to_string(signal->Posx) + "," + std::to_string(signal->Posy) + "}"),
              std::string::npos)
        << "a signal is not a turnout: " << turnouts;
    EXPECT_TRUE(waitBeating([&] { return !mute1.connected() && !mute2.connected(); }, {&a, &b}));
    const std::string unnamed = w.msg(863).arg(2).toStdString();
    EXPECT_TRUE(mute1.has(withrottle::alert(unnamed))) << "told why, in French";

    // Both drive loco 3; a reverse while it moves is refused and put right on the phone.
    a.send("MT+S3<;>S3");
    b.send("MT+S3<;>S3");
    ASSERT_GE(a.waitForLine("MTAS3<;>R"), 0);
    ASSERT_GE(b.waitForLine("MTAS3<;>R"), 0);
    const std::string dir = a.lines()[static_cast<std::size_t>(a.waitForLine("MTAS3<;>R"))];
    a.send("MTAS3<;>V63");
    QScrollBar* slider = loco->panel()->scrollBar(0);
    ASSERT_TRUE(waitBeating([&] { return slider->value() == 50; }, {&a, &b}));
    std::size_t before = a.lines().size();
    a.send(dir.back() == '1' ? "MTAS3<;>R0" : "MTAS3<;>R1");
    EXPECT_GE(a.waitForLine(dir, before), 0) << "its direction button shows what the loco does";

    // A quits: B still drives the loco, it runs on; B falls silent: it stops.
    a.send("Q");
    EXPECT_TRUE(a.waitForClose());
    const int stopsBefore = receivedCount(w.logFile, "SET GL M1 3 -1 0 ");
    QElapsedTimer t;
    t.start();
    waitBeating([&] { return t.elapsed() > 800; }, {&b});
    EXPECT_EQ(slider->value(), 50) << "the loco another phone holds runs on";
    EXPECT_EQ(receivedCount(w.logFile, "SET GL M1 3 -1 0 "), stopsBefore);
    EXPECT_TRUE(waitFor([&] { return slider->value() == slider->maximum(); }, 10000)) << "B's silence stops it";
    EXPECT_TRUE(waitFor([&] { return receivedCount(w.logFile, "SET GL M1 3 -1 0 ") > stopsBefore; }));

    // Operate mode off: the phone's speed is not carried out, it is told why and put back.
    b.send("*");
    w.form->Gleisbildentwerfen1Click();
    ASSERT_FALSE(w.form->Betrieb);
    const int linesBefore = receivedCount(w.logFile, "SET GL");
    before = b.lines().size();
    b.send("MTAS3<;>V63");
    EXPECT_GE(b.waitForLine(withrottle::alert(w.msg(866).toStdString()), before), 0);
    EXPECT_GE(b.waitForLine("MTAS3<;>V0", before), 0);
    EXPECT_EQ(slider->value(), slider->maximum()) << "the screen slider does not move either";
    EXPECT_EQ(receivedCount(w.logFile, "SET GL"), linesBefore);

    // No server: power from a phone gets an alert and its switch is put back.
    w.form->action(QStringLiteral("Hosttrennen1"))->trigger();
    EXPECT_TRUE(waitBeating([&] { return !w.form->Session->commandConnected(); }, {&b}));
    before = b.lines().size();
    b.send("PPA1");
    EXPECT_GE(b.waitForLine(withrottle::alert(w.msg(865).toStdString()), before), 0);
    EXPECT_GE(b.waitForLine("PPA2", before), 0) << "not connected: power unknown";
    EXPECT_EQ(receivedCount(w.logFile, "SET POWER ON"), 0);
}
