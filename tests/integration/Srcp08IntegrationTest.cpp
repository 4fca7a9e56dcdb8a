// The main window in SRCP 0.8 mode against the project's simulator: connect, switch a turnout from
// the panel, drive a loco, power both ways, feedback on the panel, disconnect; and a server that
// goes away or stops answering.

#include "panel/Cbahn.h"
#include "app/TMainForm.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "base/PositionTable.h"
#include "app/LocoControlHost.h"
#include "loco/widgets/ReglerPanel.h"
#include "moba/TMoBaSRCPClient.h"
#include "panel/widgets/PanelView.h"
#include "app/TrackPanelHost.h"
#include "app/ClockHost.h"
#include "session/ServerSession.h"
#include "session/widgets/TTimeForm.h"
#include "session/widgets/TUhrForm.h"
#include "app/SessionHost.h"
#include "app/Srcp08Host.h"
#include "base/C_language.h"
#include "base/ScriptedDialogs.h"

#include "integration/SimFixture.h"

#include <QAction>
#include <QFile>
#include <QRadioButton>
#include <QSpinBox>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "common/ProgramFolder.h"
#include "common/WaitFor.h"

#include <chrono>
#include <regex>

using namespace std::chrono;
using testsupport::waitFor;

namespace {

using simfixture::LogLine;
using simfixture::cellShowsIcon;
using simfixture::received;

// The window with the demo layout open, in SRCP 0.8 mode, pointed at the simulator.
struct Window08 : simfixture::SimWindow {
    explicit Window08(const std::vector<std::string>& simArgs = {})
        : SimWindow("0.8.2", simArgs, [](TMainForm& f) { new LocoControlHost(f); })
    {
        locoHost = form->findChild<LocoControlHost*>();
        host = form->findChild<Srcp08Host*>();
        form->SrcpVer = 80;
    }
    bool connect()
    {
        form->action(QStringLiteral("Hostverbinden1"))->trigger();
        return host && host->client().Connected() && waitFor([&] { return host->client().BusCount() >= 2; });
    }
    tPosEntry* find(const std::function<bool(tPosEntry&)>& pred) { return simfixture::findEntry(pred); }
    tPosEntry* turnout() { return find([](tPosEntry& e) { return simfixture::isVisibleTurnout(e); }); }

    LocoControlHost* locoHost = nullptr;
    Srcp08Host* host = nullptr;
};

} // namespace

TEST(Srcp08Integration, MainWindowDrivesTheSimulatorInSrcp08Mode)
{
    Window08 w;
    ASSERT_NE(w.host, nullptr);
    TMainForm& form = *w.form;
    ASSERT_TRUE(form.Betrieb);
    ASSERT_TRUE(w.connect()) << (w.d.shown.empty() ? "" : w.d.shown.back().text.toStdString());
    EXPECT_FALSE(form.action(QStringLiteral("Hostverbinden1"))->isEnabled());
    EXPECT_TRUE(form.action(QStringLiteral("Spannungan1"))->isEnabled());
    EXPECT_FALSE(form.action(QStringLiteral("Softregler1"))->isEnabled());
    ASSERT_TRUE(waitFor([&] { return w.host->client().BusCount() == 9; }));

    // A turnout: SET GA on the accessory bus of its protocol, 1 and 300 ms later 0.
    tPosEntry* turnout = w.turnout();
    ASSERT_NE(turnout, nullptr);
    w.click(*turnout);
    EXPECT_EQ(turnout->Stellung, 2);
    const auto a = Cbahn::gaAddress(turnout->Decod2, turnout->Daten2);
    const int bus = turnout->Protokoll == QLatin1String("M") ? form.BusGaMM : form.BusGaNMRA;
    const std::string target = "SET " + std::to_string(bus) + " GA " + std::to_string(a.address) + " " +
                               std::to_string(a.port);
    std::vector<LogLine> pulse;
    ASSERT_TRUE(waitFor([&] { return (pulse = received(w.logFile, "SET " + std::to_string(bus) + " GA")).size() >= 2; }));
    ASSERT_GE(pulse.size(), 2u);
    EXPECT_EQ(pulse.front().text, target + " 1 200");
    EXPECT_EQ(pulse.back().text, target + " 0 200");
    EXPECT_NEAR(pulse.back().ms - pulse.front().ms, 300.0, 60.0);
    EXPECT_EQ(received(w.logFile, "INIT " + std::to_string(bus) + " GA").size(), 1u);

    // A loco from regulator 1: the default record (Motorola, version 1, address 3, bus 1).
    ReglerPanel* panel = w.locoHost->panel();
    ASSERT_NE(panel, nullptr);
    panel->scrollBar(0)->setValue(40);
    std::vector<LogLine> gl;
    ASSERT_TRUE(waitFor([&] { return (gl = received(w.logFile, "SET 1 GL 3 ")).size() >= 2; }));
    EXPECT_EQ(received(w.logFile, "INIT 1 GL 3 ").front().text, "INIT 1 GL 3 M 1 14 1");
    EXPECT_EQ(gl.front().text, "SET 1 GL 3 1 0 100 0") << "the announcement";
    // speed 60 of 100 on 14 steps is step 8, sent as 57; direction -1 of the record is backwards
    EXPECT_EQ(gl.back().text, "SET 1 GL 3 0 57 100 0");
    EXPECT_TRUE(form.LocoData_sent);

    // Power both ways; the status bar follows the server's answer.
    form.action(QStringLiteral("Spannungan1"))->trigger();
    EXPECT_TRUE(waitFor([&] { return form.statusText(0) == QLatin1String("Power on"); }));
    form.action(QStringLiteral("Spannungaus1"))->trigger();
    EXPECT_TRUE(waitFor([&] { return form.statusText(0) == QLatin1String("Power off"); }));

    // Feedback: start, then a contact of the S88 bus occupies its detector on the panel.
    tPosEntry* detector = w.find([](tPosEntry& e) {
        return (e.Enummer == 65 || e.Enummer == 87) && e.Decod1 > 0 && e.Daten1 > 0;
    });
    ASSERT_NE(detector, nullptr);
    form.action(QStringLiteral("Abfragestarten1"))->trigger();
    EXPECT_FALSE(form.action(QStringLiteral("Abfragestarten1"))->isEnabled());
    EXPECT_EQ(received(w.logFile, "INIT 8 FB").back().text, "INIT 8 FB S88 LPT1 4");
    const int contact = (detector->Decod1 - 1) * 16 + detector->Daten1;
    w.sim->command("fb 8 " + std::to_string(contact) + " 1");
    EXPECT_TRUE(waitFor([&] { return cellShowsIcon(form, *detector, 2); }));
    w.sim->command("fb 8 " + std::to_string(contact) + " 0");
    EXPECT_TRUE(waitFor([&] { return cellShowsIcon(form, *detector, 1); }));
    form.action(QStringLiteral("Abfragebeenden1"))->trigger();
    EXPECT_FALSE(received(w.logFile, "TERM 8 FB").empty());

    // Disconnect: the session ends on the server, the window is back to disconnected, no message.
    form.action(QStringLiteral("Hosttrennen1"))->trigger();
    EXPECT_FALSE(w.host->client().Connected());
    EXPECT_TRUE(form.action(QStringLiteral("Hostverbinden1"))->isEnabled());
    EXPECT_FALSE(form.action(QStringLiteral("Spannungan1"))->isEnabled());
    EXPECT_FALSE(received(w.logFile, "TERM 0 SESSION").empty());
    EXPECT_TRUE(w.d.shown.empty()) << w.d.shown.front().text.toStdString();
}

TEST(Srcp08Integration, ServerClosingMidSessionIsToldOnceAndTheWindowStaysUsable)
{
    Window08 w;
    w.form->Autoreconnect = 0;  // the session ends; with reconnecting on it comes back instead
    ASSERT_TRUE(w.connect());
    w.sim->command("quit");
    ASSERT_TRUE(waitFor([&] { return w.form->action(QStringLiteral("Hostverbinden1"))->isEnabled(); }));
    waitFor([] { return false; }, 300);
    EXPECT_EQ(w.shownCount(592), 1);
    EXPECT_FALSE(w.host->client().Connected());
    EXPECT_EQ(w.host->client().BusCount(), 0);
    EXPECT_FALSE(w.form->action(QStringLiteral("Spannungan1"))->isEnabled());
    // nothing is sent: the panel does not switch, and says why
    tPosEntry* turnout = w.turnout();
    ASSERT_NE(turnout, nullptr);
    w.click(*turnout);
    EXPECT_EQ(turnout->Stellung, 1);
    EXPECT_TRUE(w.form->statusText(1).contains(QStringLiteral("nothing was sent")));
    EXPECT_EQ(w.shownCount(592), 1);
}

TEST(Srcp08Integration, ServerThatStopsAnsweringIsGivenUpWithinTheTimeOut)
{
    Window08 w;
    w.form->Autoreconnect = 0;
    ASSERT_TRUE(w.connect());
    waitFor([] { return false; }, 300);
    w.sim->command("mute");
    std::this_thread::sleep_for(milliseconds(100));
    const auto start = steady_clock::now();
    w.form->action(QStringLiteral("Spannungan1"))->trigger();  // blocks until the time-out
    const auto blocked = steady_clock::now() - start;
    EXPECT_LT(blocked, milliseconds(TSRCPBaseClient::DefaultAnswerTimeoutMs + 1500));
    EXPECT_FALSE(w.host->client().Connected());
    ASSERT_TRUE(waitFor([&] { return w.form->action(QStringLiteral("Hostverbinden1"))->isEnabled(); }));
    waitFor([] { return false; }, 300);
    EXPECT_EQ(w.shownCount(592), 1);
    EXPECT_EQ(w.form->statusText(1), w.msg(592));
}

TEST(Srcp08Integration, MissingBusesAreNamedInTheStatusBar)
{
    Window08 w({"--srcpd"});
    ASSERT_TRUE(w.connect());
    // srcpd offers bus 1 only: the default accessory bus 5 is not there
    tPosEntry* turnout = w.turnout();
    ASSERT_NE(turnout, nullptr);
    w.click(*turnout);
    const int bus = turnout->Protokoll == QLatin1String("M") ? w.form->BusGaMM : w.form->BusGaNMRA;
    EXPECT_EQ(w.form->statusText(1), w.msg(590) + QStringLiteral(" %1").arg(bus));
    EXPECT_TRUE(received(w.logFile, "SET " + std::to_string(bus)).empty());
    // with the accessory buses set to 1 the same click goes out
    w.form->BusGaMM = 1;
    w.form->BusGaNMRA = 1;
    w.click(*turnout);
    EXPECT_TRUE(waitFor([&] { return received(w.logFile, "SET 1 GA ").size() >= 2; }));
}

TEST(Srcp08Integration, KilledServerComesBackByItselfWithPowerAndFeedback)
{
    Window08 w;
    TMainForm& form = *w.form;
    ASSERT_TRUE(w.connect());
    form.action(QStringLiteral("Spannungan1"))->trigger();
    ASSERT_TRUE(waitFor([&] { return form.statusText(0) == QLatin1String("Power on"); }));
    tPosEntry* detector = w.find([](tPosEntry& e) {
        return (e.Enummer == 65 || e.Enummer == 87) && e.Decod1 > 0 && e.Daten1 > 0;
    });
    ASSERT_NE(detector, nullptr);
    const int contact = (detector->Decod1 - 1) * 16 + detector->Daten1;
    form.action(QStringLiteral("Abfragestarten1"))->trigger();
    ASSERT_FALSE(received(w.logFile, "INIT 8 FB").empty());

    const int port = w.sim->port();
    w.sim->kill();
    ASSERT_TRUE(waitFor([&] { return form.Session->reconnecting(); }));
    EXPECT_TRUE(waitFor([&] { return form.statusText(1).contains(QStringLiteral("(")) ||
                                     form.statusText(1) == w.msg(531).arg(1); }))
        << form.statusText(1).toStdString();
    EXPECT_TRUE(form.action(QStringLiteral("Hosttrennen1"))->isEnabled());

    // A click while the server is away says so.
    tPosEntry* turnout = w.turnout();
    ASSERT_NE(turnout, nullptr);
    w.click(*turnout);
    EXPECT_EQ(form.statusText(1), w.msg(534));

    // Restarted on the same port with the detector occupied: the session comes back by itself.
    const std::string log2 = (w.work + QStringLiteral("sim2.log")).toStdString();
    w.sim = std::make_unique<SimProcess>(SRCP_SIM_PATH, "0.8.2", log2, std::vector<std::string>{"--port", std::to_string(port)});
    w.sim->command("fb 8 " + std::to_string(contact) + " 1");
    ASSERT_TRUE(waitFor([&] { return w.host->client().Connected() && !form.Session->reconnecting(); }, 15000))
        << form.statusText(1).toStdString();
    EXPECT_TRUE(waitFor([&] { return !received(log2, "SET 1 POWER ON").empty(); }));
    EXPECT_TRUE(waitFor([&] { return form.statusText(0) == QLatin1String("Power on"); }));
    EXPECT_FALSE(received(log2, "INIT 8 FB").empty());
    EXPECT_TRUE(waitFor([&] { return cellShowsIcon(form, *detector, 2); }));
    EXPECT_TRUE(received(log2, "SET 5 GA").empty() && received(log2, "SET 1 GA").empty());
    EXPECT_EQ(form.statusText(1), w.msg(533));
    EXPECT_EQ(w.shownCount(592), 0);
    EXPECT_FALSE(form.action(QStringLiteral("Hostverbinden1"))->isEnabled());

    form.action(QStringLiteral("Hosttrennen1"))->trigger();
    EXPECT_FALSE(w.host->client().Connected());
    EXPECT_FALSE(form.Session->reconnecting());
}

// The time dialog is modal: the server can be lost while it is open, and its buses with it.
TEST(Srcp08Integration, ServerLostWhileTheTimeDialogIsOpenThenSetNeitherCrashesNorSetsATimeOnNothing)
{
    for (const int reconnect : {1, 0}) {
        SCOPED_TRACE(reconnect);
        Window08 w;
        w.form->Autoreconnect = reconnect;
        auto* clock = new ClockHost(*w.form);  // owned by the window
        ASSERT_TRUE(w.connect());
        ASSERT_TRUE(clock->serverTime && clock->serverTime());  // bus 0 has a time device
        clock->execTimeForm = [&] {
            TTimeForm& f = clock->timeForm();
            f.show();
            f.kavoServer->setChecked(true);
            f.edSpeed->setValue(2);
            w.sim->kill();
            EXPECT_TRUE(waitFor([&] { return !w.host->client().Connected(); }));
            f.hide();
            return true;  // "&Set"
        };
        QAction* zeit = w.form->action(QStringLiteral("Zeit1"));
        zeit->trigger();
        if (reconnect) {
            // Still a session, trying to get its server back: the clock shows the time set.
            EXPECT_TRUE(zeit->isChecked());
            EXPECT_TRUE(clock->uhrForm().isVisible());
            EXPECT_EQ(w.shownCount(570), 1);
        } else {
            // The session ended while the dialog was open: no clock is left behind.
            EXPECT_FALSE(zeit->isChecked());
            EXPECT_FALSE(clock->uhrForm().isVisible());
        }
        EXPECT_TRUE(received(w.logFile, "INIT 0 TIME").empty());
    }
}
