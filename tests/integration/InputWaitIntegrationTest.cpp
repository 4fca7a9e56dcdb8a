// What the user waits for while the server misbehaves, in both protocol generations: the main
// window takes a click or a key within the input watch's limit (100 ms; 500 ms under the
// sanitizers) while it connects to, loses and tries to get back a server that drops every
// connection, never greets, freezes or is killed. A server that never greets is named once, and the
// user's disconnect or exit during an attempt ends it at once.

#include "app/Srcp08Host.h"
#include "app/TMainForm.h"
#include "session/ServerSession.h"

#include "integration/SimFixture.h"

#include "common/InputWatch.h"
#include "common/WaitFor.h"

#include <QAction>
#include <QTimer>

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

using namespace std::chrono;
using testsupport::waitFor;

namespace {

struct Fault {
    const char* name;
    bool connectFirst;     // connected to a server that behaves, then the fault
    const char* commands;  // control commands, ';' between them
    bool dropAgain;        // and every connection is dropped again, every 400 ms
    bool kill;             // the server is killed, and started again on its ports 3 s later
};

const Fault Faults[] = {
    {"never greets", false, "greet off", false, false},
    {"drops every connection and never greets", true, "greet off;drop", true, false},
    {"freezes", true, "freeze 4000", false, false},
    {"is killed", true, "", false, true},
};

struct Case {
    const char* protocol;
    Fault fault;
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.protocol << ", the server " << c.fault.name;
}

std::string caseName(const ::testing::TestParamInfo<Case>& info)
{
    std::string name = std::string(info.param.protocol) + "_" + info.param.fault.name;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

class InputWait : public ::testing::TestWithParam<Case> {};

}  // namespace

TEST_P(InputWait, TheWindowTakesInputWhileTheServerMisbehaves)
{
    const Case& c = GetParam();
    const bool v073 = std::string(c.protocol) == "0.7.3";
    simfixture::SimWindow w(c.protocol);
    TMainForm& form = *w.form;
    form.SrcpVer = v073 ? 73 : 80;
    ServerSession& session = *form.serverSession();
    // Shorter than a real server gets, so that several attempts fall into the test.
    session.linkTimings = {milliseconds(800), milliseconds(1000), milliseconds(700)};
    auto* host08 = form.findChild<Srcp08Host*>();
    auto connected = [&] { return v073 ? session.commandConnected() : host08 && host08->connected(); };

    InputWatch watch;
    auto run = [&](const QString& step, int ms) {
        watch.setStep(step);
        waitFor([] { return false; }, ms);
    };
    if (c.fault.connectFirst) {
        watch.setStep(QStringLiteral("connect to a server that behaves"));
        form.action(QStringLiteral("Hostverbinden1"))->trigger();
        ASSERT_TRUE(waitFor([&] { return connected() && !session.opening(); }, 10000));
        run(QStringLiteral("connected"), 1500);  // 0.7.3: the server answers the power question
    }

    QTimer dropper;
    QObject::connect(&dropper, &QTimer::timeout, [&] {
        InputWatch::Own own(watch);
        w.sim->command("drop");
    });
    std::unique_ptr<SimProcess> restarted;
    {
        InputWatch::Own own(watch);
        std::string commands = c.fault.commands;
        for (std::size_t at = 0; !commands.empty(); commands.erase(0, at == std::string::npos ? at : at + 1)) {
            at = commands.find(';');
            w.sim->command(commands.substr(0, at));
        }
        if (c.fault.kill)
            w.sim->kill();
    }
    if (c.fault.dropAgain)
        dropper.start(400);
    if (c.fault.connectFirst)
        form.action(QStringLiteral("Spannungan1"))->trigger();  // 0.8: a command waits for its answer
    if (!c.fault.connectFirst)
        form.action(QStringLiteral("Hostverbinden1"))->trigger();
    run(QStringLiteral("the server ") + QLatin1String(c.fault.name), c.fault.kill ? 3000 : 5000);
    if (c.fault.kill) {
        InputWatch::Own own(watch);
        restarted = std::make_unique<SimProcess>(SRCP_SIM_PATH, c.protocol, w.logFile + ".2",
                                                 std::vector<std::string>{"--port", std::to_string(w.sim->port())});
    }
    if (c.fault.kill) {
        watch.setStep(QStringLiteral("the killed server is back"));
        EXPECT_TRUE(waitFor([&] { return connected() && !session.reconnecting() && !session.opening(); }, 15000))
            << form.statusText(1).toStdString();
    }

    // (A server that drops every connection before the greeting's time is up is one that is gone.)
    const bool silent = std::string(c.fault.commands) == "greet off";
    if (silent) {
        const QString address = form.Iphostchar + QLatin1Char(':') + QString::number(form.Ipport);
        if (v073) {
            // Told apart from a server that is gone, and said once, however often it is tried.
            int named = 0;
            for (const auto& s : w.d.shown)
                named += s.text == w.msg(593).arg(address);
            EXPECT_EQ(named, 1);
            EXPECT_TRUE(session.reconnecting());
            EXPECT_GE(session.reconnectPolicy().attempts(), 1);
        } else if (!c.fault.connectFirst) {
            // The handshake's own time-out ends the connect; the box says why, once.
            auto named = [&] {
                int n = 0;
                for (const auto& s : w.d.shown)
                    n += s.text == w.msg(602).arg(form.Iphostchar).arg(form.Ipport).arg(w.msg(604));
                return n;
            };
            watch.setStep(QStringLiteral("the failed connect is named"));
            EXPECT_TRUE(waitFor([&] { return named() > 0; }, 8000));
            EXPECT_EQ(named(), 1);
        }
    }

    // The user gives up while the session is still trying: it ends at once.
    if (!c.fault.kill) {
        watch.setStep(QStringLiteral("disconnect while trying"));
        const auto start = steady_clock::now();
        form.action(QStringLiteral("Hosttrennen1"))->trigger();
        EXPECT_LT(steady_clock::now() - start, milliseconds(watch.limitMs()));
        EXPECT_FALSE(session.reconnecting());
        EXPECT_FALSE(session.opening());
        run(QStringLiteral("disconnected"), 300);
    }
    dropper.stop();

    std::printf("[ input    ] %-8s %-42s worst wait %lld ms of %ld inputs (limit %d ms)\n", c.protocol,
                c.fault.name, watch.worstMs(), watch.probes(), watch.limitMs());
    EXPECT_GT(watch.probes(), 100) << "the watch saw no input taken";
    EXPECT_TRUE(watch.stalls().empty()) << watch.report();
}

INSTANTIATE_TEST_SUITE_P(BothGenerations, InputWait,
                         ::testing::Values(Case{"0.7.3", Faults[0]}, Case{"0.7.3", Faults[1]}, Case{"0.7.3", Faults[2]},
                                           Case{"0.7.3", Faults[3]}, Case{"0.8.2", Faults[0]}, Case{"0.8.2", Faults[1]},
                                           Case{"0.8.2", Faults[2]}, Case{"0.8.2", Faults[3]}),
                         caseName);

// Leaving the program while an attempt waits for a greeting that never comes: the window closes at
// once, and no attempt goes on behind it.
TEST(InputWaitExit, ExitWhileAnAttemptWaitsForTheGreetingEndsAtOnce)
{
    auto w = std::make_unique<simfixture::SimWindow>("0.7.3");
    TMainForm& form = *w->form;
    ServerSession& session = *form.serverSession();
    session.linkTimings.greet = milliseconds(5000);
    form.action(QStringLiteral("Hostverbinden1"))->trigger();
    ASSERT_TRUE(simfixture::sessionSettled(form));
    ASSERT_TRUE(session.commandConnected());
    w->sim->command("greet off");
    w->sim->command("drop");
    ASSERT_TRUE(waitFor([&] { return session.reconnecting() && session.opening(); }, 10000));
    const auto start = steady_clock::now();
    form.action(QStringLiteral("Ende1"))->trigger();
    w->form.reset();
    EXPECT_LT(steady_clock::now() - start, milliseconds(InputWatch::defaultLimitMs() * 2));
    auto attempts = [&] {
        int n = 0;
        for (const std::string& l : SimProcess::readLines(w->logFile))
            n += l.find(" O listener 0") != std::string::npos;
        return n;
    };
    const int opened = attempts();
    waitFor([] { return false; }, 2500);
    EXPECT_EQ(attempts(), opened);
}
