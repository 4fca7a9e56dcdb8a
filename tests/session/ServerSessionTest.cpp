#include "session/ServerSession.h"

#include "FakeSrcpServer.h"

#include "base/AppState.h"
#include "moba/THighResTimer.h"
#include "base/C_language.h"
#include "base/ScriptedDialogs.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include "common/WaitFor.h"

#include <chrono>
#include <functional>
#include <thread>

using namespace std::chrono;
using testsupport::waitFor;

namespace {

class ServerSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        main.Iphostchar = QStringLiteral("127.0.0.1");
        main.Ipport = server.port();
        main.Lang_id = 2;
        main.Autoreconnect = 0;  // getting a lost server back has tests of its own
        timer.setEnabled(true);
        session = std::make_unique<ServerSession>(main, dialogs, lang);
        session->connectSettle = milliseconds(50);
        session->onFeedbackContact = [this](const FeedbackContact& c) { contacts.push_back(c); };
        QObject::connect(session.get(), &ServerSession::statusText,
                         [this](int panel, const QString& t) { status.push_back({panel, t}); });
        QObject::connect(session.get(), &ServerSession::connectedChanged,
                         [this](bool on) { connectedSignals.push_back(on); });
        QObject::connect(session.get(), &ServerSession::feedbackPollingChanged,
                         [this](bool on) { pollingSignals.push_back(on); });
    }

    QString msg(int id) const { return lang.getmessage(id, 2); }
    bool statusShown(int panel, const QString& text) const
    {
        for (const auto& s : status)
            if (s.first == panel && s.second == text)
                return true;
        return false;
    }
    // Connecting and starting feedback return at once; their connections are opened on threads of
    // their own and the session goes on with queued calls.
    bool settled() { return waitFor([&] { return !session->opening(); }); }
    void connectAndAccept()
    {
        session->connectServer();
        ASSERT_TRUE(settled());
        ASSERT_TRUE(session->commandConnected());
        ASSERT_TRUE(server.accept(0));
    }

    FakeSrcpServer server;
    AppState main;
    ScriptedDialogs dialogs;
    C_language lang;
    THighResTimer timer;
    std::unique_ptr<ServerSession> session;
    std::vector<std::pair<int, QString>> status;
    std::vector<FeedbackContact> contacts;
    std::vector<bool> connectedSignals, pollingSignals;
};

} // namespace

TEST_F(ServerSessionTest, RefusedConnectionShowsMessage110AndStaysDisconnected)
{
    server.closeListen(0);
    session->connectServer();
    ASSERT_TRUE(settled());
    EXPECT_FALSE(session->commandConnected());
    ASSERT_EQ(dialogs.count("message"), 1);
    EXPECT_EQ(dialogs.last("message")->text, msg(110));
    EXPECT_EQ(dialogs.last("message")->caption, msg(102));
    EXPECT_EQ(dialogs.last("message")->icon, UserDialogs::Icon::Error);
    EXPECT_TRUE(connectedSignals.empty());
    EXPECT_FALSE(main.Connecting);
}

TEST_F(ServerSessionTest, ConnectWithAutopowerWritesPowerOnAndShowsLinesInOrder)
{
    main.Autopower = 1;
    connectAndAccept();
    EXPECT_EQ(connectedSignals, std::vector<bool>{true});
    EXPECT_TRUE(main.Connecting);
    // Without an info channel the power panel shows the server's answer to a question.
    EXPECT_EQ(server.receiveUntil(0, "GET POWER\n"), "SET POWER ON\nGET POWER\n");

    // LF and CR LF line ends, a blank before the line end, feedback on the command channel; the
    // answer to the power question goes to the power panel only.
    server.send(0, "INFO POWER OFF \nINFO FB S88 17 1\r\nINFO FB S88 * 01\nINFO POWER ON\nsomething else\n");
    ASSERT_TRUE(waitFor([&] { return session->Cinfo == "something else"; }));
    std::vector<QString> panel0, panel1;
    for (const auto& s : status)
        if (s.first <= 1)
            (s.first == 0 ? panel0 : panel1).push_back(s.second);
    EXPECT_EQ(panel1, (std::vector<QString>{"INFO FB S88 17 1", "INFO FB S88 * 01", "INFO POWER ON",
                                            "something else"}));
    EXPECT_EQ(panel0, (std::vector<QString>{"Power off", "Power on"}));
    EXPECT_EQ(contacts, (std::vector<FeedbackContact>{{2, 1, 1}, {1, 1, 0}, {1, 2, 1}}));
    EXPECT_EQ(dialogs.count("message"), 0);
}

// Switched on, then off at once: the answer to the first power question ("on", true when it was
// asked) comes after the switch off. It must not become the user's choice (a lost server would then be
// switched on again unasked), nor show on the power panel; the answer to the last question does.
TEST_F(ServerSessionTest, AnOutdatedPowerAnswerDoesNotUndoTheUsersLastSwitch)
{
    connectAndAccept();
    session->powerOn();
    session->powerOff();
    EXPECT_EQ(server.receiveUntil(0, "OFF\nGET POWER\n"), "SET POWER ON\nGET POWER\nSET POWER OFF\nGET POWER\n");
    status.clear();
    server.send(0, "INFO POWER ON\n");
    server.send(0, "INFO POWER OFF\n");
    ASSERT_TRUE(waitFor([&] { return statusShown(0, "Power off"); }));
    EXPECT_FALSE(statusShown(0, "Power on"));
    EXPECT_EQ(session->choices().power, SessionChoices::Power::Off);
}

TEST_F(ServerSessionTest, CommandsWriteTheirLinesAndNeedAConnection)
{
    session->powerOn();
    session->powerOff();
    session->resetServer();
    session->freeCommand();
    ASSERT_EQ(dialogs.count("message"), 4);
    for (const auto& s : dialogs.shown)
        EXPECT_EQ(s.text, msg(127));
    EXPECT_EQ(dialogs.count("input"), 0);

    connectAndAccept();
    dialogs.shown.clear();
    session->powerOn();
    session->powerOff();
    dialogs.textAnswers.push_back(QStringLiteral("SET GL M 1 1 5 14 1 0 0 0 0"));
    session->freeCommand();
    dialogs.textAnswers.push_back(std::nullopt);  // cancelled: nothing written
    session->freeCommand();
    dialogs.textAnswers.push_back(QString());     // empty: only the line end
    session->freeCommand();
    session->resetServer();
    EXPECT_EQ(server.receiveUntil(0, "RESET\nGET POWER\n"),
              "SET POWER ON\nGET POWER\nSET POWER OFF\nGET POWER\nSET GL M 1 1 5 14 1 0 0 0 0\n\nRESET\nGET POWER\n");
    ASSERT_EQ(dialogs.count("input"), 3);
    EXPECT_EQ(dialogs.last("input")->caption, msg(125));
    EXPECT_EQ(dialogs.last("input")->text, "e.g.: SET GA M 16 1 1 500");
    ASSERT_EQ(dialogs.count("message"), 1);
    EXPECT_EQ(dialogs.last("message")->text, msg(129));
    EXPECT_EQ(dialogs.last("message")->caption, msg(128));

    session->decoderProgramming();
    EXPECT_EQ(dialogs.last("message")->text, msg(124));
    main.SrcpVer = 80;
    session->resetServer();
    EXPECT_EQ(dialogs.last("message")->text, msg(124));
}

// A power command whose write fails is shown once and counts as nothing: the session does not note
// a power the server never heard of (a lost server would otherwise get it back unasked). The write
// fails for real: the reader waits for the window's thread (the hand-over is full), so the broken
// connection is found by the write itself. (Planted: writeGuarded saying "written" after the
// failure, as it did: "session->choices().power Which is: 4-byte object <01-00 00-00>" after voltage
// on and <02-00 00-00> after voltage off, power On and Off noted though neither went out.)
TEST_F(ServerSessionTest, APowerCommandWhoseWriteFailsIsShownAndNotNoted)
{
    for (const bool on : {true, false}) {
        SCOPED_TRACE(on ? "voltage on" : "voltage off");
        connectAndAccept();
        ASSERT_EQ(session->choices().power, SessionChoices::Power::Unknown);
        std::string full;
        for (std::size_t i = 0; i < LineHandOver::DefaultCapacity + 10; ++i)
            full += "INFO GA 1 1 1\n";
        ASSERT_TRUE(server.send(0, full));
        const auto until = steady_clock::now() + seconds(5);  // no event loop: the hand-over stays full
        while (session->pendingHandOvers() < LineHandOver::DefaultCapacity && steady_clock::now() < until)
            std::this_thread::sleep_for(milliseconds(5));
        ASSERT_EQ(session->pendingHandOvers(), LineHandOver::DefaultCapacity);
        server.resetClient(0);
        std::this_thread::sleep_for(milliseconds(50));  // the reset has arrived
        dialogs.shown.clear();
        on ? session->powerOn() : session->powerOff();
        EXPECT_EQ(session->choices().power, SessionChoices::Power::Unknown);
        EXPECT_EQ(dialogs.count("error"), 1) << "the failed write is shown";
        EXPECT_EQ(dialogs.count("message"), 0) << "and said only once";
        session->disconnectServer();
    }
}

TEST_F(ServerSessionTest, PulseHoldsTheLockAgainstOtherWriters)
{
    connectAndAccept();
    std::thread other;
    session->writePulse("SET GA M 15 1 1 -1\n", "SET GA M 15 1 0 -1\n", [&] {
        other = std::thread([&] { session->writeCommand("SET GL M 1 1 0 14 1 0 0 0 0\r\n"); });
        std::this_thread::sleep_for(milliseconds(100));
    });
    other.join();
    EXPECT_EQ(server.receiveUntil(0, "\r\n"),
              "SET GA M 15 1 1 -1\nSET GA M 15 1 0 -1\nSET GL M 1 1 0 14 1 0 0 0 0\r\n");
}

TEST_F(ServerSessionTest, DisconnectAndReconnect)
{
    connectAndAccept();
    session->disconnectServer();
    EXPECT_FALSE(session->commandConnected());
    EXPECT_TRUE(server.peerClosed(0));
    EXPECT_EQ(connectedSignals, (std::vector<bool>{true, false}));
    EXPECT_TRUE(statusShown(1, msg(120)));
    EXPECT_TRUE(statusShown(0, "Power off"));
    EXPECT_FALSE(session->writeCommand("SET POWER ON\n"));

    connectAndAccept();
    session->powerOn();
    EXPECT_EQ(server.receiveUntil(0, "GET POWER\n"), "SET POWER ON\nGET POWER\n");
}

TEST_F(ServerSessionTest, BadInputEndsTheCommandReaderButNotTheSession)
{
    struct Case {
        const char* name;
        std::function<void(FakeSrcpServer&)> misbehave;
    };
    const Case cases[] = {
        {"malformed feedback line", [](FakeSrcpServer& s) { s.send(0, "INFO FB S88 12\n"); }},
        {"letters in feedback", [](FakeSrcpServer& s) { s.send(0, "INFO FB S88 ab 1\n"); }},
        {"endless line", [](FakeSrcpServer& s) { s.send(0, std::string(200 * 1024, 'x')); }},
        {"server vanishes", [](FakeSrcpServer& s) { s.closeClient(0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        connectedSignals.clear();
        connectAndAccept();
        c.misbehave(server);
        server.send(0, "INFO FB S88 1 1\n");  // after the bad input: no longer read
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(milliseconds(100));
        QCoreApplication::processEvents();
        EXPECT_TRUE(contacts.empty());

        auto start = steady_clock::now();
        session->disconnectServer();
        EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - start).count(), 1000);
        EXPECT_EQ(connectedSignals, (std::vector<bool>{true, false}));
    }
    EXPECT_EQ(dialogs.count("message"), 0);

    // The user can connect again and the new reader works.
    connectAndAccept();
    server.send(0, "INFO FB S88 2 1\n");
    ASSERT_TRUE(waitFor([&] { return !contacts.empty(); }));
    EXPECT_EQ(contacts.front(), (FeedbackContact{1, 2, 1}));
}

TEST_F(ServerSessionTest, ServerGoingAwayIsShownAndAllowsReconnect)
{
    connectAndAccept();
    server.closeClient(0);
    ASSERT_TRUE(waitFor([&] { return !session->commandConnected(); }));
    ASSERT_TRUE(waitFor([&] { return statusShown(1, msg(120)); }));
    session->connectServer();  // reconnecting straight away also works
    ASSERT_TRUE(settled());
    EXPECT_TRUE(session->commandConnected());
}

TEST_F(ServerSessionTest, DisconnectWhileTheReaderWaitsForTheHandOverDoesNotHang)
{
    connectAndAccept();
    // Far more lines than the hand-over holds, while the GUI thread does not run its event loop.
    std::string many;
    for (int i = 0; i < 80000; ++i)
        many += "INFO GA 1 1 1\n";
    std::thread writer([&] { server.send(0, many); });
    auto until = steady_clock::now() + seconds(5);
    while (session->pendingHandOvers() < LineHandOver::DefaultCapacity && steady_clock::now() < until)
        std::this_thread::sleep_for(milliseconds(5));
    EXPECT_EQ(session->pendingHandOvers(), LineHandOver::DefaultCapacity);  // the reader now waits
    auto start = steady_clock::now();
    session->disconnectServer();
    EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - start).count(), 1000);
    server.closeClient(0);
    writer.join();
    EXPECT_EQ(session->pendingHandOvers(), 0u);
}

TEST_F(ServerSessionTest, InfoChannelIsOpenedOnlyWhenWanted)
{
    connectAndAccept();
    EXPECT_FALSE(server.accept(2, 100));
    session->disconnectServer();

    main.Infoport_an = 1;
    connectAndAccept();
    ASSERT_TRUE(server.accept(2));
    server.send(2, "INFO 0 TIME 1 2 3\n");
    ASSERT_TRUE(waitFor([&] { return statusShown(2, "INFO 0 TIME 1 2 3"); }));
    session->disconnectServer();
    EXPECT_TRUE(server.peerClosed(2));

    server.closeListen(2);
    dialogs.shown.clear();
    connectAndAccept();
    ASSERT_TRUE(settled());
    ASSERT_EQ(dialogs.count("message"), 1);
    EXPECT_EQ(dialogs.last("message")->text, msg(111));
    EXPECT_TRUE(session->commandConnected());
}

TEST_F(ServerSessionTest, FeedbackPollingReadsContactsAndSkipsBadLines)
{
    session->startFeedback();
    EXPECT_EQ(pollingSignals, std::vector<bool>{true});  // "&Start" is disabled at once
    ASSERT_TRUE(server.accept(1));
    ASSERT_TRUE(settled());
    EXPECT_TRUE(session->pollRunning());
    server.send(1, "INFO FB S88 12\nINFO FB S88 x y\nINFO GA 1 1\n" + std::string(100000, 'z') +
                       "\nINFO FB S88 16 1\nINFO FB S88 * 1\n");
    ASSERT_TRUE(waitFor([&] { return contacts.size() == 2; }));
    EXPECT_EQ(contacts, (std::vector<FeedbackContact>{{1, 16, 1}, {1, 1, 1}}));
    EXPECT_TRUE(status.empty());  // nothing of the feedback channel goes to the status bar

    session->stopFeedback();
    EXPECT_FALSE(session->pollRunning());
    EXPECT_TRUE(server.peerClosed(1));
    EXPECT_EQ(pollingSignals, (std::vector<bool>{true, false}));

    server.closeListen(1);
    session->startFeedback();
    ASSERT_TRUE(settled());
    EXPECT_EQ(dialogs.last("message")->text, msg(123));
    EXPECT_EQ(pollingSignals, (std::vector<bool>{true, false, true, false}));
    EXPECT_FALSE(session->pollRunning());
}

TEST_F(ServerSessionTest, DisconnectingLeavesFeedbackPollingRunning)
{
    connectAndAccept();
    session->startFeedback();
    ASSERT_TRUE(server.accept(1));
    ASSERT_TRUE(settled());
    session->disconnectServer();
    EXPECT_TRUE(session->pollRunning());
    server.send(1, "INFO FB S88 3 1\n");
    ASSERT_TRUE(waitFor([&] { return contacts.size() == 1; }));
}

// SRCP 0.7.3 with "monitor power state": the monitor asks the server for its power on the command
// connection and shows the answer; it never switches power and never reports an error while the
// connection works. Without the info channel (which reports changes by itself) it asks again.
TEST_F(ServerSessionTest, PowerMonitorAsksThePowerStateAndShowsItWithoutSwitching)
{
    int adapterCalls = 0;
    session->onPowerMonitor = [&] { ++adapterCalls; };  // the SRCP 0.8 hook is not the 0.7.3 monitor
    connectAndAccept();
    EXPECT_FALSE(session->PowerTimer.isActive());
    session->disconnectServer();

    main.Monitorpower = 1;
    connectAndAccept();
    ASSERT_TRUE(session->PowerTimer.isActive());
    EXPECT_EQ(session->PowerTimer.interval(), 3000);
    session->PowerTimer.setInterval(20);
    auto asked = [&](int times) {
        return waitFor([&] {
            const std::string all = server.receiveUntil(0, "(never sent)", 5);
            std::size_t n = 0;
            for (std::size_t at = all.find("GET POWER\n"); at != std::string::npos; at = all.find("GET POWER\n", at + 1))
                ++n;
            return n == static_cast<std::size_t>(times);
        });
    };
    ASSERT_TRUE(asked(1));
    server.send(0, "INFO POWER OFF \n");
    EXPECT_TRUE(waitFor([&] { return statusShown(0, QStringLiteral("Power off")); }));
    ASSERT_TRUE(asked(2)) << "asked again once answered";
    server.send(0, "INFO POWER ON \n");
    EXPECT_TRUE(waitFor([&] { return statusShown(0, QStringLiteral("Power on")); }));
    EXPECT_FALSE(statusShown(1, QStringLiteral("INFO POWER ON "))) << "the monitor's answers go to the power panel";
    EXPECT_EQ(adapterCalls, 0);
    EXPECT_EQ(dialogs.count("message"), 0);

    session->disconnectServer();
    EXPECT_FALSE(session->PowerTimer.isActive());
    const std::string rest = server.receiveUntil(0, "SET POWER", 200);
    EXPECT_EQ(rest.find("SET POWER"), std::string::npos) << rest;
}
