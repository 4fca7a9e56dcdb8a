// The session against the project's simulator over real TCP when the server goes away without the
// user asking: killed, restarted on another state, refusing connections for 30 s, accepting but
// never greeting, no longer answering, killed in the middle of an accessory pulse.

#include "base/AppState.h"
#include "moba/THighResTimer.h"
#include "session/ServerSession.h"
#include "base/C_language.h"
#include "base/ScriptedDialogs.h"

#include "session/SimProcess.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "common/WaitFor.h"

#include <map>
#include <regex>
#include <thread>

using namespace std::chrono;
using testsupport::waitFor;

namespace {

class ReconnectSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        main.Iphostchar = QStringLiteral("127.0.0.1");
        main.Lang_id = 2;
        main.Autoreconnect = 1;
        timer.setEnabled(true);
        session = std::make_unique<ServerSession>(main, dialogs, lang);
        session->connectSettle = milliseconds(50);
        session->onFeedbackContact = [this](const FeedbackContact& c) { contacts[{c.module, c.port}] = c.value; };
        QObject::connect(session.get(), &ServerSession::statusText,
                         [this](int panel, const QString& t) { status.push_back({panel, t}); });
    }

    // Starts a simulator; port 0 picks free ports, otherwise the given one (a restart).
    void startSim(int port = 0)
    {
        ++sims;
        logFile = (dir.path() + QStringLiteral("/sim%1.log").arg(sims)).toStdString();
        std::vector<std::string> extra = {"--contacts", "32"};
        if (port) {
            extra.push_back("--port");
            extra.push_back(std::to_string(port));
        }
        sim = std::make_unique<SimProcess>(SRCP_SIM_PATH, "0.7.3", logFile, extra);
        main.Ipport = sim->port();
    }

    // Lines the current simulator received on client connections after the last control line `after`.
    std::vector<std::string> receivedAfter(const std::string& after = {}) const
    {
        static const std::regex re(R"(^\d+\.\d+ (\S+) R (.*)$)");
        std::vector<std::string> out;
        bool on = after.empty();
        for (const std::string& l : SimProcess::readLines(logFile)) {
            std::smatch m;
            if (!std::regex_match(l, m, re))
                continue;
            if (m[1] == "ctl") {
                if (m[2] == after) {
                    on = true;
                    out.clear();
                }
                continue;
            }
            if (on)
                out.push_back(m[2].str());
        }
        return out;
    }
    int countInLog(const std::string& text) const
    {
        int n = 0;
        for (const std::string& l : SimProcess::readLines(logFile))
            n += l.find(text) != std::string::npos;
        return n;
    }
    bool statusShown(int panel, const QString& text) const
    {
        for (const auto& s : status)
            if (s.first == panel && s.second == text)
                return true;
        return false;
    }
    QString msg(int id) const { return lang.getmessage(id, 2); }
    int contact(int module, int port) const
    {
        auto it = contacts.find({module, port});
        return it == contacts.end() ? -1 : it->second;
    }
    void connectAndGreet()
    {
        session->connectServer();
        ASSERT_TRUE(waitFor([&] { return !session->opening(); }));
        ASSERT_TRUE(session->commandConnected()) << (dialogs.shown.empty() ? "" : dialogs.shown.back().text.toStdString());
        ASSERT_TRUE(waitFor([&] { return session->Cinfo.contains(QStringLiteral("SRCP 0.7.3")); }));
    }

    QTemporaryDir dir;
    int sims = 0;
    std::string logFile;
    std::unique_ptr<SimProcess> sim;
    AppState main;
    ScriptedDialogs dialogs;
    C_language lang;
    THighResTimer timer;
    std::unique_ptr<ServerSession> session;
    std::vector<std::pair<int, QString>> status;
    std::map<std::pair<int, int>, int> contacts;
};

int count(const std::vector<std::string>& lines, const std::string& line)
{
    return int(std::count(lines.begin(), lines.end(), line));
}

} // namespace

TEST_F(ReconnectSessionTest, ServerRestartedOnAnotherStateGetsPollingBackKeepsPowerOffAndThePanelFollows)
{
    startSim();
    const int port = sim->port();
    sim->command("fb 1 3 1");
    connectAndGreet();
    session->powerOn();
    session->startFeedback();
    ASSERT_TRUE(waitFor([&] { return contact(1, 3) == 1; }));

    sim->kill();
    ASSERT_TRUE(waitFor([&] { return session->reconnecting(); }));
    EXPECT_FALSE(session->commandConnected());
    EXPECT_TRUE(statusShown(1, msg(531).arg(1)));
    // Nothing is queued for later while the server is away.
    EXPECT_FALSE(session->writeCommand("SET GA M 1 0 1 -1\n"));

    // The server comes back with contact 5 occupied and contact 3 free.
    startSim(port);
    sim->command("fb 1 5 1");
    ASSERT_TRUE(waitFor([&] { return session->commandConnected(); }, 15000));
    EXPECT_FALSE(session->reconnecting());
    ASSERT_TRUE(waitFor([&] { return contact(1, 5) == 1 && contact(1, 3) == 0; }));
    EXPECT_TRUE(session->pollRunning());
    EXPECT_TRUE(statusShown(1, msg(533)));
    // The restarted server stays off until a person switches it on (the power restore is written
    // before feedback is opened again, so it would be in the log by now).
    std::this_thread::sleep_for(milliseconds(300));
    EXPECT_EQ(count(receivedAfter(), "SET POWER ON"), 0);
    EXPECT_EQ(count(receivedAfter(), "SET POWER OFF"), 0);
    EXPECT_EQ(count(receivedAfter(), "SET GA M 1 0 1 -1"), 0);
    EXPECT_EQ(countInLog("O listener 1"), 1);  // the feedback connection, opened again
}

TEST_F(ReconnectSessionTest, PowerIsRestoredAsTheUserLastChoseItAndNeverSwitchedOnUnasked)
{
    struct Case {
        const char* name;
        int autopower;
        std::vector<std::string> before;  // "on"/"off" before the loss
        bool offWhileAway;                // "Voltage off" while the server is away
        int expectOn, expectOff;
        int powerAgain = 0;               // the setting "switch power on again after a reconnect"
    };
    const Case cases[] = {
        {"automatic power on", 1, {}, false, 0, 0},
        {"automatic power on, switched on again as the settings ask", 1, {}, false, 1, 0, 1},
        {"switched on by the user", 0, {"on"}, false, 0, 0},
        {"switched off after automatic power on", 1, {"off"}, false, 0, 1},
        {"never switched", 0, {}, false, 0, 0},
        {"on, then off", 0, {"on", "off"}, false, 0, 1},
        {"on, then off while away", 0, {"on"}, true, 0, 1},
    };
    startSim();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        main.Autopower = c.autopower;
        main.Poweronreconnect = c.powerAgain;
        connectAndGreet();
        const int onBefore = countInLog("SET POWER ON"), offBefore = countInLog("SET POWER OFF");
        for (const std::string& a : c.before)
            a == "on" ? session->powerOn() : session->powerOff();
        // The marker goes to the simulator by another way than the session's lines: let those be
        // logged first (with automatic power on, the connect's own line too, unless it is there).
        const int wantOn = onBefore + int(std::count(c.before.begin(), c.before.end(), "on")) + (c.autopower ? 1 : 0);
        const int wantOff = offBefore + int(std::count(c.before.begin(), c.before.end(), "off"));
        waitFor([&] { return countInLog("SET POWER ON") >= wantOn && countInLog("SET POWER OFF") >= wantOff; }, 2000);
        const std::string marker = std::string("refuse ") + (c.offWhileAway ? "1500" : "0");
        sim->command(marker);
        sim->command("drop");
        ASSERT_TRUE(waitFor([&] { return session->reconnecting(); }));
        if (c.offWhileAway) {
            session->powerOff();  // says "not connected", and counts
            EXPECT_EQ(dialogs.shown.back().text, msg(127));
        }
        ASSERT_TRUE(waitFor([&] { return session->commandConnected(); }, 15000));
        // The restore comes after the greeting, later on a loaded machine: wait for what must
        // come, then give a line that must not come the time to show.
        EXPECT_TRUE(waitFor([&] {
            const auto lines = receivedAfter(marker);
            return count(lines, "SET POWER ON") >= c.expectOn && count(lines, "SET POWER OFF") >= c.expectOff;
        }));
        std::this_thread::sleep_for(milliseconds(300));
        const auto after = receivedAfter(marker);
        EXPECT_EQ(count(after, "SET POWER ON"), c.expectOn);
        EXPECT_EQ(count(after, "SET POWER OFF"), c.expectOff);
        session->disconnectServer();
    }
}

TEST_F(ReconnectSessionTest, ServerGoneForThirtySecondsIsTriedWithBackOffAndComesBackByItself)
{
    startSim();
    connectAndGreet();
    session->startFeedback();
    ASSERT_TRUE(waitFor([&] { return session->pollRunning(); }));
    const auto gone = steady_clock::now();
    sim->command("refuse 30000");
    sim->command("drop");
    ASSERT_TRUE(waitFor([&] { return session->reconnecting(); }));
    ASSERT_TRUE(waitFor([&] { return session->commandConnected(); }, 50000));
    const double seconds = duration<double>(steady_clock::now() - gone).count();
    EXPECT_GE(seconds, 30.0);
    EXPECT_LE(seconds, 30.0 + 10.0 + 3.0);  // at most one back-off step of 10 s late
    // Attempts 1, 3, 7, 15 and 25 s after the loss are refused; the sixth, at 35 s, gets through.
    EXPECT_TRUE(statusShown(1, msg(532).arg(6)));
    EXPECT_TRUE(statusShown(1, msg(531).arg(10)));
    EXPECT_FALSE(statusShown(1, msg(531).arg(16)));
    EXPECT_TRUE(waitFor([&] { return session->pollRunning(); }));
}

TEST_F(ReconnectSessionTest, AConnectionThatAcceptsButNeverGreetsIsTriedAgain)
{
    session->linkTimings.greet = milliseconds(800);
    startSim();
    // Connected by the user: the missing greeting is noticed after the greeting time.
    sim->command("greet off");
    session->connectServer();
    ASSERT_TRUE(waitFor([&] { return session->reconnecting(); }, 5000));
    // Every attempt is accepted and never greeted; none of them counts as connected.
    ASSERT_TRUE(waitFor([&] { return countInLog("O listener 0 ungreeted") >= 3; }, 15000));
    EXPECT_FALSE(session->commandConnected());
    // Told apart from a lost server, once; the attempts keep their back-off.
    const QString address = QStringLiteral("127.0.0.1:%1").arg(main.Ipport);
    EXPECT_EQ(dialogs.count("message"), 1);
    EXPECT_EQ(dialogs.last("message")->text, msg(593).arg(address));
    EXPECT_TRUE(statusShown(1, msg(594).arg(address).arg(2)));
    ASSERT_TRUE(waitFor([&] { return statusShown(1, msg(594).arg(address).arg(4)); }, 10000));
    EXPECT_FALSE(statusShown(1, msg(531).arg(2)));
    sim->command("greet on");
    ASSERT_TRUE(waitFor([&] { return session->commandConnected(); }, 15000));
    EXPECT_TRUE(session->Cinfo.contains(QStringLiteral("SRCP 0.7.3")));
    EXPECT_EQ(dialogs.count("message"), 1);
}

TEST_F(ReconnectSessionTest, WithTheSettingOffAServerThatNeverGreetsIsSaidAndTheSessionEnds)
{
    main.Autoreconnect = 0;
    session->linkTimings.greet = milliseconds(800);
    startSim();
    sim->command("greet off");
    session->connectServer();
    const QString address = QStringLiteral("127.0.0.1:%1").arg(main.Ipport);
    ASSERT_TRUE(waitFor([&] { return dialogs.count("message") > 0; }, 5000));
    EXPECT_EQ(dialogs.last("message")->text, msg(593).arg(address));
    EXPECT_FALSE(session->commandConnected());
    EXPECT_FALSE(session->reconnecting());
    EXPECT_EQ(status.back(), std::make_pair(1, msg(593).arg(address)));
    std::this_thread::sleep_for(milliseconds(1500));
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs.count("message"), 1);
    EXPECT_EQ(countInLog("O listener 0"), 1);
}

TEST_F(ReconnectSessionTest, AServerThatStopsAnsweringIsNoticedAndGotBackWhenItAnswersAgain)
{
    session->linkTimings = {milliseconds(800), milliseconds(300), milliseconds(700)};
    startSim();
    connectAndGreet();
    // The harmless question is asked after a silence and answered.
    ASSERT_TRUE(waitFor([&] { return session->Cinfo.startsWith(QStringLiteral("INFO POWER")); }));
    EXPECT_GE(count(receivedAfter(), "GET POWER"), 1);
    sim->command("freeze 3000");
    ASSERT_TRUE(waitFor([&] { return session->reconnecting(); }, 4000));
    ASSERT_TRUE(waitFor([&] { return session->commandConnected(); }, 15000));
    EXPECT_FALSE(session->reconnecting());
}

TEST_F(ReconnectSessionTest, ServerKilledInTheMiddleOfAPulseNeitherFreezesNorThrows)
{
    startSim();
    const int port = sim->port();
    connectAndGreet();
    std::thread killer([&] {
        std::this_thread::sleep_for(milliseconds(100));
        sim->kill();
    });
    const auto start = steady_clock::now();
    EXPECT_NO_THROW(session->writePulse("SET GA M 5 0 1 -1\n", "SET GA M 5 0 0 -1\n",
                                        [] { std::this_thread::sleep_for(milliseconds(300)); }));
    killer.join();
    EXPECT_LT(steady_clock::now() - start, seconds(2));
    ASSERT_TRUE(waitFor([&] { return session->reconnecting(); }));

    // The user disconnects: no more attempts, also when the server is back.
    session->disconnectServer();
    EXPECT_FALSE(session->reconnecting());
    startSim(port);
    std::this_thread::sleep_for(milliseconds(2500));
    QCoreApplication::processEvents();
    EXPECT_EQ(countInLog("O listener 0"), 0);
    EXPECT_FALSE(session->commandConnected());
}

TEST_F(ReconnectSessionTest, WithTheSettingOffALostServerEndsTheSessionAsBefore)
{
    main.Autoreconnect = 0;
    startSim();
    connectAndGreet();
    sim->command("drop");
    ASSERT_TRUE(waitFor([&] { return statusShown(1, msg(120)); }));
    std::this_thread::sleep_for(milliseconds(2500));
    QCoreApplication::processEvents();
    EXPECT_FALSE(session->reconnecting());
    EXPECT_FALSE(session->commandConnected());
    EXPECT_EQ(countInLog("O listener 0"), 1);
    EXPECT_EQ(count(receivedAfter(), "GET POWER"), 0);  // no questions asked either
}
