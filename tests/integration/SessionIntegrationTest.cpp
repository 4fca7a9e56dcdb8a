// The main window against the project's SRCP simulator in 0.7.3 mode: open the demo layout, connect,
// switch a turnout from the panel, see a feedback contact light its detector, disconnect, reconnect.

#include "panel/Cbahn.h"
#include "app/TMainForm.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "base/PositionTable.h"
#include "panel/widgets/PanelView.h"
#include "app/TrackPanelHost.h"
#include "session/ServerSession.h"
#include "app/SessionHost.h"
#include "base/ScriptedDialogs.h"

#include "integration/SimFixture.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "common/InputWatch.h"
#include "common/ProgramFolder.h"
#include "common/WaitFor.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <regex>
#include <thread>

using namespace std::chrono;
using testsupport::waitFor;

namespace {

using simfixture::LogLine;
using simfixture::cellShowsIcon;
using simfixture::received;

} // namespace

TEST(SessionIntegration, MainWindowSwitchesATurnoutAndShowsFeedbackOnTheSimulator)
{
    // The demo layout open (operate mode) while not connected: nothing is sent.
    simfixture::SimWindow w("0.7.3", {"--contacts", "128"});
    TMainForm& form = *w.form;
    ScriptedDialogs& d = w.d;
    auto* panelHost = w.panelHost;
    auto* sessionHost = w.sessionHost;
    const std::string& logFile = w.logFile;
    SimProcess& sim = *w.sim;
    ASSERT_NE(form.Session, nullptr);
    ASSERT_TRUE(form.Betrieb);
    EXPECT_TRUE(form.action(QStringLiteral("Hostverbinden1"))->isEnabled());
    EXPECT_FALSE(form.action(QStringLiteral("Spannungan1"))->isEnabled());

    // A two-state turnout with a decoder in view, and a detector with module and port.
    tPosEntry* turnout = nullptr;
    tPosEntry* detector = nullptr;
    for (int i = 0; i < Postable->getNumbofEntries(); ++i) {
        tPosEntry* e = Postable->getEntryByNum(i);
        if (!turnout && simfixture::isVisibleTurnout(*e))
            turnout = e;
        if (!detector && (e->Enummer == 65 || e->Enummer == 87) && e->Decod1 > 0 && e->Daten1 > 0)
            detector = e;
    }
    ASSERT_NE(turnout, nullptr);
    ASSERT_NE(detector, nullptr);

    // Connect (0.7.3, the simulator's ports) and start feedback polling.
    form.Iphostchar = QStringLiteral("127.0.0.1");
    form.Ipport = sim.port();
    form.action(QStringLiteral("Hostverbinden1"))->trigger();
    ASSERT_TRUE(simfixture::sessionSettled(form));
    ASSERT_TRUE(form.Session->commandConnected()) << (d.shown.empty() ? "" : d.shown.back().text.toStdString());
    EXPECT_FALSE(form.action(QStringLiteral("Hostverbinden1"))->isEnabled());
    EXPECT_TRUE(form.action(QStringLiteral("Spannungan1"))->isEnabled());
    ASSERT_TRUE(waitFor([&] { return form.statusText(1).contains(QStringLiteral("SRCP 0.7.3")); }));
    form.action(QStringLiteral("Abfragestarten1"))->trigger();
    ASSERT_TRUE(simfixture::sessionSettled(form));
    EXPECT_FALSE(form.action(QStringLiteral("Abfragestarten1"))->isEnabled());
    ASSERT_TRUE(form.serverSession()->pollRunning());

    // Click the turnout on the panel.
    PanelView* view = panelHost->panelView();
    QTest::mouseClick(view, Qt::LeftButton, {},
                      QPoint(turnout->Posx - form.Hpos_alt + 5, turnout->Posy - form.Vpos_alt + 5));
    EXPECT_TRUE(waitFor([&] { return turnout->Stellung == 2; }));  // once the line is out
    EXPECT_TRUE(cellShowsIcon(form, *turnout, 2));
    const auto a = Cbahn::gaAddress(turnout->Decod2, turnout->Daten2);
    const std::string target = "SET GA " + turnout->Protokoll.toStdString() + " " + std::to_string(a.address) +
                               " " + std::to_string(a.port);
    std::vector<LogLine> pulse;
    ASSERT_TRUE(waitFor([&] { return (pulse = received(logFile, "SET GA ")).size() >= 2; }));
    ASSERT_EQ(pulse.size(), 2u);
    EXPECT_EQ(pulse[0].text, target + " 1 -1");
    EXPECT_EQ(pulse[1].text, target + " 0 -1");
    EXPECT_NEAR(pulse[1].ms - pulse[0].ms, 300.0, 25.0);

    // A contact set on the simulator turns the detector to its occupied icon, and back.
    const int contact = (detector->Decod1 - 1) * 16 + detector->Daten1;
    sim.command("fb 1 " + std::to_string(contact) + " 1");
    EXPECT_TRUE(waitFor([&] { return cellShowsIcon(form, *detector, 2); }));
    sim.command("fb 1 " + std::to_string(contact) + " 0");
    EXPECT_TRUE(waitFor([&] { return cellShowsIcon(form, *detector, 1); }));

    // Disconnect and reconnect; the panel keeps working.
    form.action(QStringLiteral("Hosttrennen1"))->trigger();
    EXPECT_FALSE(form.Session->commandConnected());
    EXPECT_TRUE(form.action(QStringLiteral("Hostverbinden1"))->isEnabled());
    EXPECT_FALSE(form.action(QStringLiteral("Spannungan1"))->isEnabled());
    QTest::mouseClick(view, Qt::LeftButton, {},
                      QPoint(turnout->Posx - form.Hpos_alt + 5, turnout->Posy - form.Vpos_alt + 5));
    EXPECT_EQ(turnout->Stellung, 2);  // nothing sent: nothing changes on the panel
    EXPECT_TRUE(cellShowsIcon(form, *turnout, 2));
    form.action(QStringLiteral("Hostverbinden1"))->trigger();
    ASSERT_TRUE(simfixture::sessionSettled(form));
    ASSERT_TRUE(form.Session->commandConnected());
    form.action(QStringLiteral("Spannungan1"))->trigger();
    EXPECT_TRUE(waitFor([&] { return !received(logFile, "SET POWER ON").empty(); }));
    EXPECT_EQ(received(logFile, "SET GA ").size(), 2u);

    // Closing is refused while connected; "&End" disconnects first.
    EXPECT_FALSE(form.close());
    form.action(QStringLiteral("Abfragebeenden1"))->trigger();
    EXPECT_TRUE(form.action(QStringLiteral("Abfragestarten1"))->isEnabled());
    form.action(QStringLiteral("Hosttrennen1"))->trigger();
    EXPECT_TRUE(form.close());
    EXPECT_EQ(d.count(QStringLiteral("error")), 0);
    (void)sessionHost;
}

TEST(SessionIntegration, TheWindowTakesInputWhileItConnectsAndTheWireKeepsItsTiming)
{
    // The connection is opened on a thread of its own and the server's second to greet is a timer:
    // a click or a key is taken at once all the while. What the server sees stays as it was: the
    // power line a second after the command connection opened, then the power question, then the
    // info connection.
    simfixture::SimWindow w("0.7.3");
    TMainForm& form = *w.form;
    form.Infoport_an = 1;
    form.Autopower = 1;
    InputWatch watch;
    watch.setStep(QStringLiteral("connect and start feedback"));
    QElapsedTimer took;
    took.start();
    qint64 connectedAfter = -1;
    QObject::connect(form.serverSession(), &ServerSession::connectedChanged, [&](bool on) {
        if (on)
            connectedAfter = took.elapsed();
    });
    form.action(QStringLiteral("Hostverbinden1"))->trigger();
    form.action(QStringLiteral("Abfragestarten1"))->trigger();
    EXPECT_LT(took.elapsed(), watch.limitMs());
    EXPECT_FALSE(form.Session->commandConnected());  // not before the server had its second
    ASSERT_TRUE(simfixture::sessionSettled(form));
    ASSERT_TRUE(form.Session->commandConnected());
    EXPECT_TRUE(form.serverSession()->pollRunning());
    EXPECT_GE(connectedAfter, 1000);
    ASSERT_TRUE(waitFor([&] { return !form.statusText(2).isEmpty(); }));  // the info reader is up
    ASSERT_TRUE(waitFor([&] { return !received(w.logFile, "GET POWER").empty(); }));

    // The simulator's log: connections opened ("<ms> <conn> O listener <n>") and lines received.
    std::map<std::string, double> opened;  // listener number -> when
    std::vector<std::pair<double, std::string>> lines;
    static const std::regex event(R"(^(\d+\.\d+) (\S+) (O|R) (.*)$)");
    for (const std::string& l : SimProcess::readLines(w.logFile)) {
        std::smatch m;
        if (!std::regex_match(l, m, event) || m[2] == "ctl" || m[2] == "srv")
            continue;
        if (m[3] == "O")
            opened.emplace(m[4].str(), std::stod(m[1].str()));
        else
            lines.emplace_back(std::stod(m[1].str()), m[4].str());
    }
    ASSERT_EQ(opened.count("listener 0"), 1u);
    ASSERT_EQ(opened.count("listener 2"), 1u);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0].second, "SET POWER ON");
    EXPECT_EQ(lines[1].second, "GET POWER");
    EXPECT_GE(lines[0].first - opened["listener 0"], 990.0);  // the log's clock is the kernel's
    EXPECT_GT(opened["listener 2"], lines[1].first);
    EXPECT_GT(watch.probes(), 20);
    EXPECT_TRUE(watch.stalls().empty()) << watch.report();
}
