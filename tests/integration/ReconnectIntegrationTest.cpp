// The main window keeps its session when the server dies: the simulator is killed in the middle of
// an accessory pulse, restarted on the same ports with other feedback, and the window gets the
// session back by itself, with track power and feedback polling as the user had them.

#include "panel/Cbahn.h"
#include "app/TMainForm.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "base/PositionTable.h"
#include "panel/widgets/PanelView.h"
#include "app/TrackPanelHost.h"
#include "session/ServerSession.h"
#include "app/SessionHost.h"
#include "base/C_language.h"
#include "base/ScriptedDialogs.h"

#include "integration/SimFixture.h"

#include <QAction>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "common/ProgramFolder.h"
#include "common/WaitFor.h"

#include <regex>
#include <thread>

using namespace std::chrono;
using testsupport::waitFor;

namespace {

using simfixture::cellShowsIcon;
using simfixture::receivedCount;

int contactOf(const tPosEntry& e)
{
    return (e.Decod1 - 1) * 16 + e.Daten1;
}

} // namespace

TEST(ReconnectIntegration, KilledAndRestartedServerComesBackWithPowerAndFeedbackAndThePanelFollows)
{
    QTemporaryDir dir;
    const QString work = dir.path() + QLatin1Char('/');
    ASSERT_TRUE(testsupport::makeProgramFolder(work));
    const std::string log1 = (work + QStringLiteral("sim1.log")).toStdString();
    const std::string log2 = (work + QStringLiteral("sim2.log")).toStdString();
    auto sim = std::make_unique<SimProcess>(SRCP_SIM_PATH, "0.7.3", log1, std::vector<std::string>{"--contacts", "128"});
    const int port = sim->port();

    ScriptedDialogs d;
    TMainForm form(d, work);
    auto* panelHost = new TrackPanelHost(form);
    new SessionHost(form);
    form.resize(1000, 720);
    form.show();
    ASSERT_NE(form.Session, nullptr);
    EXPECT_EQ(form.Autoreconnect, 1);  // on unless the user switched it off

    d.textAnswers.push_back(work + QStringLiteral("Layouts/Demo.pln"));
    form.action(QStringLiteral("Oeffnen1"))->trigger();
    ASSERT_TRUE(form.Betrieb);
    const int entries = Postable->getNumbofEntries();

    tPosEntry* turnout = nullptr;
    std::vector<tPosEntry*> detectors;
    for (int i = 0; i < entries; ++i) {
        tPosEntry* e = Postable->getEntryByNum(i);
        if (!turnout && simfixture::isVisibleTurnout(*e))
            turnout = e;
        if ((e->Enummer == 65 || e->Enummer == 87) && e->Decod1 > 0 && e->Daten1 > 0 &&
            (detectors.empty() || contactOf(*detectors.front()) != contactOf(*e)))
            detectors.push_back(e);
    }
    ASSERT_NE(turnout, nullptr);
    ASSERT_GE(detectors.size(), 2u);
    tPosEntry& before = *detectors[0];  // occupied on the first server
    tPosEntry& after = *detectors[1];   // occupied on the restarted one

    form.Iphostchar = QStringLiteral("127.0.0.1");
    form.Ipport = port;
    form.Poweronreconnect = 1;  // power switched on again after a reconnect, as the settings allow
    form.action(QStringLiteral("Hostverbinden1"))->trigger();
    ASSERT_TRUE(simfixture::sessionSettled(form));
    ASSERT_TRUE(form.Session->commandConnected());
    form.action(QStringLiteral("Spannungan1"))->trigger();
    form.action(QStringLiteral("Abfragestarten1"))->trigger();
    ASSERT_TRUE(simfixture::sessionSettled(form));
    ASSERT_TRUE(form.serverSession()->pollRunning());
    sim->command("fb 1 " + std::to_string(contactOf(before)) + " 1");
    ASSERT_TRUE(waitFor([&] { return cellShowsIcon(form, before, 2); }));
    ASSERT_TRUE(waitFor([&] { return receivedCount(log1, "SET POWER ON") == 1; }));

    // The server dies in the middle of an accessory pulse: the click returns, the layout stays.
    PanelView* view = panelHost->panelView();
    const QPoint turnoutAt(turnout->Posx - form.Hpos_alt + 5, turnout->Posy - form.Vpos_alt + 5);
    std::thread killer([&] {
        std::this_thread::sleep_for(milliseconds(100));
        sim->kill();
    });
    const auto clicked = steady_clock::now();
    QTest::mouseClick(view, Qt::LeftButton, {}, turnoutAt);
    killer.join();
    EXPECT_LT(steady_clock::now() - clicked, seconds(2));
    // The switch-on line went out before the server died (no info channel: that is all there is
    // to know), so the turnout shows it.
    EXPECT_TRUE(waitFor([&] { return turnout->Stellung == 2; }));
    ASSERT_TRUE(waitFor([&] { return form.Session->reconnecting(); }));
    EXPECT_EQ(Postable->getNumbofEntries(), entries);
    const QString lost = Lang->getmessage(531, form.Lang_id).arg(1);
    EXPECT_TRUE(waitFor([&] { return form.statusText(1) == lost || form.statusText(1).contains(QStringLiteral("(")); }))
        << form.statusText(1).toStdString();

    // A click while the server is away says so and changes nothing; nothing is kept to be sent later.
    QTest::mouseClick(view, Qt::LeftButton, {}, turnoutAt);
    EXPECT_TRUE(waitFor([&] { return form.statusText(1) == Lang->getmessage(534, form.Lang_id); }));
    EXPECT_EQ(turnout->Stellung, 2);
    EXPECT_TRUE(cellShowsIcon(form, *turnout, 2));
    EXPECT_TRUE(form.action(QStringLiteral("Hosttrennen1"))->isEnabled());
    EXPECT_FALSE(form.action(QStringLiteral("Abfragestarten1"))->isEnabled());

    // Restarted on the same ports, with other feedback: the other detector is occupied now.
    sim = std::make_unique<SimProcess>(SRCP_SIM_PATH, "0.7.3", log2,
                                       std::vector<std::string>{"--contacts", "128", "--port", std::to_string(port)});
    sim->command("fb 1 " + std::to_string(contactOf(after)) + " 1");
    ASSERT_TRUE(waitFor([&] { return form.Session->commandConnected(); }, 15000)) << form.statusText(1).toStdString();
    EXPECT_TRUE(waitFor([&] { return cellShowsIcon(form, after, 2) && cellShowsIcon(form, before, 1); }));
    EXPECT_TRUE(form.serverSession()->pollRunning());
    EXPECT_TRUE(waitFor([&] { return receivedCount(log2, "SET POWER ON") == 1; }));
    EXPECT_EQ(receivedCount(log2, "SET GA "), 0);  // accessory states are not re-sent unasked
    EXPECT_FALSE(form.action(QStringLiteral("Hostverbinden1"))->isEnabled());
    EXPECT_TRUE(form.action(QStringLiteral("Spannungan1"))->isEnabled());
    EXPECT_EQ(form.statusText(1), Lang->getmessage(533, form.Lang_id));

    // And it works as before: a click switches the turnout on the new server.
    QTest::mouseClick(view, Qt::LeftButton, {}, turnoutAt);
    EXPECT_TRUE(waitFor([&] { return receivedCount(log2, "SET GA ") == 2; }));

    form.action(QStringLiteral("Abfragebeenden1"))->trigger();
    form.action(QStringLiteral("Hosttrennen1"))->trigger();
    EXPECT_TRUE(form.close());
    EXPECT_EQ(d.count(QStringLiteral("error")), 0);
}

TEST(ReconnectIntegration, PowerTheServerSwitchedOffIsNotSwitchedOnAgainByTheReconnect)
{
    simfixture::SimWindow w("0.7.3");
    TMainForm& form = *w.form;
    form.Infoport_an = 1;  // the server's word on its power comes on the info channel
    form.action(QStringLiteral("Hostverbinden1"))->trigger();
    ASSERT_TRUE(simfixture::sessionSettled(form));
    ASSERT_TRUE(form.Session->commandConnected());
    form.action(QStringLiteral("Spannungan1"))->trigger();
    ASSERT_TRUE(waitFor([&] { return receivedCount(w.logFile, "SET POWER ON") == 1; }));
    waitFor([] { return false; }, 200);

    // A short circuit: the server switches off by itself, then restarts its connections.
    w.sim->command("power 1 off");
    EXPECT_TRUE(waitFor([&] { return form.statusText(2).startsWith(QStringLiteral("INFO POWER OFF")); }));
    w.sim->command("drop");
    ASSERT_TRUE(waitFor([&] { return form.Session->reconnecting(); }));
    ASSERT_TRUE(waitFor([&] { return form.Session->commandConnected() && !form.Session->reconnecting(); }, 15000));
    waitFor([] { return false; }, 500);
    EXPECT_EQ(receivedCount(w.logFile, "SET POWER ON"), 1) << "only the user's own";
}
