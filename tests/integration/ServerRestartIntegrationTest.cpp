// A server that restarts comes back with every bus off, and the window tells the truth about it:
// no track power switched on by the program (unless the settings ask for it), the power panel says
// the state is unknown while the server is away, the status bar says power is off and which key
// switches it on, and the throttles show the locos the new server does not know as stopped without
// sending anything. A server that falls silent while nobody touches anything is noticed; the 0.7.3
// power monitor asks and shows, and never switches or complains on a working connection.

#include "app/LocoControlHost.h"
#include "app/ProgramHost.h"
#include "loco/widgets/TProgramForm.h"
#include "app/Srcp08Host.h"
#include "app/TMainForm.h"
#include "base/C_language.h"
#include "base/TLok.h"
#include "loco/ThrottleModel.h"
#include "loco/widgets/ReglerPanel.h"
#include "session/ServerSession.h"

#include "integration/SimFixture.h"

#include "common/WaitFor.h"

#include <QAction>
#include <QScrollBar>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <regex>

using namespace std::chrono;
using simfixture::received;
using simfixture::receivedCount;
using testsupport::waitFor;

namespace {

// The lines received after the first `skip` of those starting with `prefix`.
std::vector<std::string> receivedAfter(const std::string& log, const std::string& prefix, std::size_t skip)
{
    std::vector<std::string> out;
    const auto all = received(log, prefix);
    for (std::size_t i = skip; i < all.size(); ++i)
        out.push_back(all[i].text);
    return out;
}

struct Window : simfixture::SimWindow {
    Window(const std::string& protocol, const std::vector<std::string>& simArgs)
        : SimWindow(protocol, simArgs, [](TMainForm& f) {
              new LocoControlHost(f);
              new ProgramHost(f);
          })
    {
        locoHost = form->findChild<LocoControlHost*>();
        host = form->findChild<Srcp08Host*>();
        if (protocol != "0.7.3")
            form->SrcpVer = 80;
    }
    bool connect08()
    {
        form->action(QStringLiteral("Hostverbinden1"))->trigger();
        return waitFor([&] { return host->connected() && host->busCount() == 9; });
    }
    // The server restarts: its clients are dropped, it refuses for a moment, then comes back off.
    // True once the window has its session back.
    bool restartAndWait()
    {
        sim->command("restart 500");
        if (!waitFor([&] { return form->Session->reconnecting(); }))
            return false;
        powerPanelWhileAway = form->statusText(0);
        return waitFor([&] { return !form->Session->reconnecting() && form->Session->commandConnected(); }, 15000) ||
               waitFor([&] { return host && host->connected() && !form->Session->reconnecting(); }, 15000);
    }
    LocoControlHost* locoHost = nullptr;
    Srcp08Host* host = nullptr;
    QString powerPanelWhileAway;
};

int powerOnLines(const std::string& log)
{
    int n = 0;
    static const std::regex on(R"(SET (\d+ )?POWER ON)");
    for (const auto& l : received(log))
        n += std::regex_match(l.text, on);
    return n;
}

} // namespace

TEST(ServerRestartIntegration, Srcp08RestartLeavesPowerOffSaysSoAndThrottlesShowTheLocoStopped)
{
    for (const bool powerAgain : {false, true}) {
        SCOPED_TRACE(powerAgain ? "setting on: power switched on again" : "default");
        Window w("0.8.2", {"--srcpd", "--buses", "8"});
        TMainForm& form = *w.form;
        form.Poweronreconnect = powerAgain ? 1 : 0;
        ASSERT_TRUE(w.connect08());
        form.action(QStringLiteral("Spannungan1"))->trigger();
        ASSERT_TRUE(waitFor([&] { return form.statusText(0) == QLatin1String("Power on"); }));

        // Loco 3 runs at 85 of 100; the server reports it.
        ReglerPanel* panel = w.locoHost->panel();
        panel->scrollBar(0)->setValue(15);
        ASSERT_TRUE(waitFor([&] { return receivedCount(w.logFile, "SET 1 GL 3 ") >= 1; }));
        ASSERT_EQ(Lok->get_speed(0), 85);
        waitFor([] { return false; }, 300);
        const int powerBefore = powerOnLines(w.logFile);
        const std::size_t glBefore = received(w.logFile, "SET 1 GL").size();
        // The decoder programming window is open on the same server.
        form.action(QStringLiteral("Decoderprogrammieren1"))->trigger();
        TProgramForm* programming = form.findChild<ProgramHost*>()->window();
        ASSERT_NE(programming, nullptr);
        ASSERT_TRUE(waitFor([&] { return programming->ready(); })) << programming->statusText().toStdString();

        w.sim->command("restart 500");
        ASSERT_TRUE(waitFor([&] { return form.Session->reconnecting(); }));
        EXPECT_EQ(form.statusText(0), w.msg(653)) << "not \"Power on\" while the server is away";
        EXPECT_EQ(programming->statusText(), w.msg(654)) << "the programming window shows the loss";
        EXPECT_FALSE(programming->ready());
        ASSERT_TRUE(waitFor([&] { return w.host->connected() && !form.Session->reconnecting(); }, 15000))
            << form.statusText(1).toStdString();
        EXPECT_TRUE(waitFor([&] { return programming->ready(); })) << "its session is opened again";
        EXPECT_TRUE(waitFor([&] { return form.statusText(1) == (powerAgain ? w.msg(533) : w.msg(652).arg(QStringLiteral("1, 2, 3, 5, 6, 8"))); }))
            << form.statusText(1).toStdString();
        waitFor([] { return false; }, 500);
        if (powerAgain) {
            EXPECT_EQ(powerOnLines(w.logFile), powerBefore + 6) << "today's behaviour, when asked for";
            EXPECT_EQ(form.statusText(0), QLatin1String("Power on"));
        } else {
            EXPECT_EQ(powerOnLines(w.logFile), powerBefore) << "no POWER ON without a person asking";
            EXPECT_EQ(form.statusText(0), QLatin1String("Power off"));
        }

        // The new server does not know loco 3: the throttle shows it stopped and sends nothing.
        EXPECT_TRUE(waitFor([&] { return panel->scrollBar(0)->value() == panel->scrollBar(0)->maximum(); }));
        EXPECT_EQ(Lok->get_speed(0), 0);
        EXPECT_EQ(w.locoHost->throttles()->regulator(0).Position, w.locoHost->throttles()->regulator(0).Max);
        EXPECT_EQ(received(w.logFile, "SET 1 GL").size(), glBefore);
        EXPECT_TRUE(received(w.logFile, "GET 1 GL 3").size() >= 1) << "the server was asked";

        // Touched again: announced, then exactly one SET with the record's direction.
        if (!powerAgain)
            form.action(QStringLiteral("Spannungan1"))->trigger();
        panel->scrollBar(0)->setValue(50);
        ASSERT_TRUE(waitFor([&] { return received(w.logFile, "SET 1 GL").size() > glBefore; }));
        waitFor([] { return false; }, 300);
        const auto after = receivedAfter(w.logFile, "SET 1 GL", glBefore);
        ASSERT_EQ(after.size(), 1u);
        EXPECT_TRUE(std::regex_match(after.front(), std::regex(R"(SET 1 GL 3 0 [1-9]\d* 100 0)")))
            << after.front() << ": backwards, as the record";
        EXPECT_EQ(w.shownCount(592), 0);
        EXPECT_TRUE(w.d.shown.empty()) << w.d.shown.front().text.toStdString();
    }
}

TEST(ServerRestartIntegration, Srcp08FirstTouchSendsOneDirectionLineTheRecords)
{
    Window w("0.8.2", {});
    TMainForm& form = *w.form;
    Lok->set_direction(0, 0);  // backwards
    ASSERT_TRUE(w.connect08());
    w.locoHost->panel()->scrollBar(0)->setValue(60);
    ASSERT_TRUE(waitFor([&] { return receivedCount(w.logFile, "SET 1 GL 3 ") >= 1; }));
    waitFor([] { return false; }, 400);
    const auto lines = received(w.logFile, "SET 1 GL");
    ASSERT_EQ(lines.size(), 1u) << "one line, no announcement in another direction";
    EXPECT_TRUE(std::regex_match(lines.front().text, std::regex(R"(SET 1 GL 3 0 [1-9]\d* 100 0)")))
        << lines.front().text << ": the record's direction (backwards), its speed";
    const auto inits = received(w.logFile, "INIT 1 GL");
    ASSERT_EQ(inits.size(), 1u) << "only the loco touched is announced";
    EXPECT_LT(inits.front().ms, lines.front().ms);
    EXPECT_TRUE(received(w.logFile, "SET 2 GL").empty() && received(w.logFile, "SET 3 GL").empty());
    (void)form;
}

TEST(ServerRestartIntegration, Srcp08SilentServerIsNoticedWithinFiveSecondsWhileIdle)
{
    for (const char* fault : {"mute", "freeze 20000"}) {
        SCOPED_TRACE(fault);
        Window w("0.8.2", {});
        TMainForm& form = *w.form;
        ASSERT_TRUE(w.connect08());
        waitFor([] { return false; }, 1500);
        const auto silent = steady_clock::now();
        w.sim->command(fault);
        ASSERT_TRUE(waitFor([&] { return form.Session->reconnecting(); }, 8000));
        const auto noticed = steady_clock::now() - silent;
        EXPECT_LT(noticed, milliseconds(5000)) << duration_cast<milliseconds>(noticed).count() << " ms";
        std::printf("[ idle     ] %-14s loss noticed after %lld ms\n", fault,
                    static_cast<long long>(duration_cast<milliseconds>(noticed).count()));
        EXPECT_EQ(form.statusText(0), w.msg(653));
        EXPECT_TRUE(form.statusText(1).startsWith(w.msg(608))) << form.statusText(1).toStdString();
        form.action(QStringLiteral("Hosttrennen1"))->trigger();
    }
}

TEST(ServerRestartIntegration, Srcp073RestartLeavesPowerOffAndSaysWhichKeySwitchesItOn)
{
    for (const bool powerAgain : {false, true}) {
        SCOPED_TRACE(powerAgain ? "setting on" : "default");
        Window w("0.7.3", {});
        TMainForm& form = *w.form;
        form.Poweronreconnect = powerAgain ? 1 : 0;
        form.action(QStringLiteral("Hostverbinden1"))->trigger();
        ASSERT_TRUE(simfixture::sessionSettled(form));
        ASSERT_TRUE(form.Session->commandConnected());
        form.action(QStringLiteral("Spannungan1"))->trigger();
        ASSERT_TRUE(waitFor([&] { return form.statusText(0) == QLatin1String("Power on"); }));
        ASSERT_EQ(receivedCount(w.logFile, "SET POWER ON"), 1);

        ASSERT_TRUE(w.restartAndWait()) << form.statusText(1).toStdString();
        EXPECT_EQ(w.powerPanelWhileAway, w.msg(653));
        if (powerAgain) {
            EXPECT_TRUE(waitFor([&] { return receivedCount(w.logFile, "SET POWER ON") == 2; }));
            EXPECT_TRUE(waitFor([&] { return form.statusText(0) == QLatin1String("Power on"); }));
        } else {
            EXPECT_TRUE(waitFor([&] { return form.statusText(1) == w.msg(651); })) << form.statusText(1).toStdString();
            EXPECT_EQ(form.statusText(0), QLatin1String("Power off"));
            waitFor([] { return false; }, 500);
            EXPECT_EQ(receivedCount(w.logFile, "SET POWER ON"), 1) << "only the user's own";
        }
        EXPECT_TRUE(w.d.shown.empty()) << w.d.shown.front().text.toStdString();
    }
}

TEST(ServerRestartIntegration, Srcp073PowerMonitorShowsTheStateAndNeverComplainsOrSwitches)
{
    for (const int info : {0, 1}) {
        SCOPED_TRACE(info ? "with the info channel" : "command connection only");
        Window w("0.7.3", {});
        TMainForm& form = *w.form;
        form.Monitorpower = 1;
        form.Infoport_an = info;
        form.action(QStringLiteral("Hostverbinden1"))->trigger();
        ASSERT_TRUE(simfixture::sessionSettled(form));
        ASSERT_TRUE(form.Session->commandConnected());
        form.setStatusText(0, QString());
        EXPECT_TRUE(waitFor([&] { return form.statusText(0) == QLatin1String("Power off"); }, 5000));
        w.sim->command("power 1 on");  // switched on elsewhere (another panel, the server itself)
        EXPECT_TRUE(waitFor([&] { return form.statusText(0) == QLatin1String("Power on"); }, 5000));
        waitFor([] { return false; }, 3500);  // past the monitor's 3 s after connecting
        EXPECT_TRUE(w.d.shown.empty()) << w.d.shown.front().text.toStdString();

        // And after a reconnect the same: no error box, no power switched.
        ASSERT_TRUE(w.restartAndWait());
        waitFor([] { return false; }, 3500);
        EXPECT_TRUE(w.d.shown.empty()) << w.d.shown.front().text.toStdString();
        EXPECT_EQ(receivedCount(w.logFile, "SET POWER"), 0);
        EXPECT_EQ(form.statusText(0), QLatin1String("Power off"));
        EXPECT_GE(receivedCount(w.logFile, "GET POWER"), 1);
    }
}
