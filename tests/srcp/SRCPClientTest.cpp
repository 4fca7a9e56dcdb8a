#include "FakeSrcpServer.h"

#include "srcp/SRCPClient.h"
#include "srcp/SRCPDeviceGroups.h"

#include <gtest/gtest.h>

#include <future>

using namespace std::chrono_literals;

namespace {

constexpr const char* RealWelcome = "srcpd V2.1.3; SRCP 0.8.4; SRCPOTHER 0.8.3";

// Answers every command after the handshake with the next scripted answer (or 200 OK).
struct ScriptedCommandServer {
    explicit ScriptedCommandServer(std::vector<std::string> answers)
        : answers(std::move(answers)),
          server([this](FakeConn& c) {
              if (!serveHandshake(server, c, RealWelcome, 17))
                  return;
              std::size_t next = 0;
              for (std::string line = c.readLine(); !line.empty(); line = c.readLine()) {
                  server.record(line);
                  if (next < this->answers.size())
                      c.sendLine(this->answers[next++]);
                  else
                      c.sendLine("1796859511.000 200 OK");
              }
          })
    {
    }
    std::vector<std::string> answers;
    FakeSrcpServer server;
};

void connectTo(TSRCPBaseClient& client, int port)
{
    client.SetHost("127.0.0.1");
    client.SetPort(port);
    client.Connect(2000);
}

} // namespace

TEST(SRCPClient, HandshakeWithACurrentServerAsksForZeroEightTwo)
{
    ScriptedCommandServer s({});
    TSRCPCommandClient client;
    std::vector<std::string> log;
    client.SetLogEnabled(true);
    client.SetOnLog([&](TSRCPBaseClient&, const std::string& text) { log.push_back(text); });
    int disconnects = 0;
    client.SetOnDisconnected([&](TSRCPBaseClient&) { ++disconnects; });

    connectTo(client, s.server.port());
    ASSERT_TRUE(client.Connected());
    EXPECT_EQ(client.SessionID(), 17);
    EXPECT_EQ(client.Welcome(), "srcpd V2.1.3");
    EXPECT_TRUE(client.ServerVersions().count(cv082));
    client.Disconnect();
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(client.SessionID(), -1);
    EXPECT_EQ(disconnects, 1);

    ASSERT_TRUE(s.server.waitForLines(4));
    const std::vector<std::string> expected{"SET PROTOCOL SRCP 0.8.2", "SET CONNECTIONMODE SRCP COMMAND", "GO",
                                            "TERM 0 SESSION 17"};
    EXPECT_EQ(s.server.lines(), expected);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.front(), "Rec: srcpd V2.1.3; SRCP 0.8.4; SRCPOTHER 0.8.3");
    EXPECT_EQ(log[1], "Snd: SET PROTOCOL SRCP 0.8.2");
}

TEST(SRCPClient, EveryHandshakeFailureLeavesTheClientDisconnected)
{
    struct Case {
        const char* name;
        std::function<void(FakeConn&)> serve;
        bool connected;
        std::int32_t session;
    };
    auto answerUntil = [](FakeConn& c, int steps, const std::string& goAnswer) {
        c.sendLine(RealWelcome);
        const char* answers[] = {"1.0 201 OK PROTOCOL SRCP", "1.0 202 OK CONNECTIONMODE"};
        for (int i = 0; i < steps; ++i) {
            if (c.readLine().empty())
                return;
            c.sendLine(i < 2 ? answers[i] : goAnswer);
        }
    };
    const Case cases[] = {
        {"closes at once", [](FakeConn& c) { c.close(); }, false, -1},
        {"closes after welcome", [&](FakeConn& c) { answerUntil(c, 0, ""); }, false, -1},
        {"closes after SET PROTOCOL", [&](FakeConn& c) { answerUntil(c, 1, ""); }, false, -1},
        {"closes after CONNECTIONMODE", [&](FakeConn& c) { answerUntil(c, 2, ""); }, false, -1},
        {"closes half-way through a line", [](FakeConn& c) { c.send("srcpd V2.1.3; SRC"); }, false, -1},
        {"only 0.7.3", [](FakeConn& c) { c.sendLine("srcpd V2.0.10; SRCP 0.7.3"); c.readLine(500); }, false, -1},
        {"only 0.8.1", [](FakeConn& c) { c.sendLine("old; SRCP 0.8.1"); c.readLine(500); }, false, -1},
        {"error as welcome", [](FakeConn& c) { c.sendLine("1.0 500 ERROR out of resources"); c.readLine(500); }, false, -1},
        {"empty welcome", [](FakeConn& c) { c.sendLine(""); c.readLine(500); }, false, -1},
        {"binary junk", [](FakeConn& c) { c.send(std::string("\x00\xff\x01;;SRCP\x80\n", 11)); c.readLine(500); }, false, -1},
        {"endless welcome", [](FakeConn& c) { c.send(std::string(200000, 'x')); c.readLine(2000); }, false, -1},
        {"GO refused", [&](FakeConn& c) { answerUntil(c, 3, "1.0 415 ERROR forbidden"); c.readLine(500); }, false, -1},
        {"GO answered with junk", [&](FakeConn& c) { answerUntil(c, 3, "1.0 999 GO AWAY"); c.readLine(500); }, false, -1},
        {"GO without the GO word", [&](FakeConn& c) { answerUntil(c, 3, "105.250 200 OK"); c.readLine(2000); }, true, -1},
        {"GO without a session", [&](FakeConn& c) { answerUntil(c, 3, "105.250 200 OK GO"); c.readLine(2000); }, true, -1},
        {"GO with session", [&](FakeConn& c) { answerUntil(c, 3, "105.250 200 OK GO 4"); c.readLine(2000); }, true, 4},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        FakeSrcpServer server(tc.serve);
        TSRCPCommandClient client;
        int disconnects = 0;
        client.SetOnDisconnected([&](TSRCPBaseClient&) { ++disconnects; });
        try {
            connectTo(client, server.port());
        } catch (const ESRCPClientConnectError&) {
            // a socket error during the handshake is the one exception a handshake may raise
        }
        EXPECT_EQ(client.Connected(), tc.connected);
        EXPECT_EQ(client.SessionID(), tc.session);
        client.Disconnect();
        EXPECT_FALSE(client.Connected());
        EXPECT_EQ(disconnects, 1) << "one notification per opened connection";
    }
}

TEST(SRCPClient, SilentServerAndRefusedPortRaiseTheNamedErrors)
{
    FakeSrcpServer silent([](FakeConn& c) { c.readLine(3000); });
    TSRCPCommandClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(silent.port());
    try {
        client.Connect(300);
        FAIL() << "no exception";
    } catch (const ESRCPClientConnectError& e) {
        EXPECT_STREQ(e.what(), "server not responding");
    }
    EXPECT_FALSE(client.Connected());

    int freePort;
    {
        FakeSrcpServer gone([](FakeConn&) {});
        freePort = gone.port();
    }
    client.SetPort(freePort);
    EXPECT_THROW(client.Connect(500), TcpError);
    EXPECT_FALSE(client.Connected());
}

TEST(SRCPClient, CommandsWhileDisconnectedSendNothing)
{
    TSRCPCommandClient client;
    std::vector<std::string> log;
    client.SetLogEnabled(true);
    client.SetOnLog([&](TSRCPBaseClient&, const std::string& text) { log.push_back(text); });
    TSRCPCmd cmd;
    cmd.SetSRCPVersion(cv082);
    cmd.SetDeviceGroup(dgPower);
    cmd.SetCommandType(ctGet);
    client.SendCommand(cmd);
    EXPECT_FALSE(client.ReceiveAnswer(cmd));
    EXPECT_EQ(cmd.CommandType(), ctETempProhibited);
    const std::vector<std::string> expected{"Err: Not connected", "Err: 0.000 413 ERROR temporarily prohibited"};
    EXPECT_EQ(log, expected);

    TSRCPPower power;
    power.SetCommandClient(&client);
    EXPECT_FALSE(power.GetData());
}

TEST(SRCPClient, ErrorAnswersFailTheCommandAndKeepTheSession)
{
    ScriptedCommandServer s({"1796859510.301 419 ERROR list too short", "1796859510.302 416 ERROR no data"});
    TSRCPCommandClient client;
    int errors = 0;
    client.SetOnError([&](TSRCPBaseClient&) { ++errors; });
    connectTo(client, s.server.port());
    ASSERT_TRUE(client.Connected());

    TSRCPAccessoire ga;
    ga.SetCommandClient(&client);
    ga.SetBus(1);
    ga.SetAddress(5);
    ga.SetPort(0);
    ga.SetValue(1);
    EXPECT_FALSE(ga.SetData());
    EXPECT_EQ(ga.Cmd().CommandType(), ctEListToShort);
    EXPECT_EQ(ga.Cmd().DataString(), "list too short");
    EXPECT_EQ(errors, 1);
    EXPECT_TRUE(client.Connected());

    TSRCPCmd cmd;
    cmd.SetSRCPVersion(cv082);
    cmd.SetDeviceGroup(dgPower);
    cmd.SetCommandType(ctGet);
    cmd.SetBus(1);
    client.SendCommand(cmd);
    EXPECT_FALSE(client.ReceiveAnswer(cmd));
    EXPECT_EQ(cmd.CommandType(), ctENoData);
    EXPECT_EQ(errors, 2);
    EXPECT_TRUE(client.Connected());
}

TEST(SRCPClient, GetRetriesOnceThroughInitAndSetOnceThroughGet)
{
    ScriptedCommandServer s({
        "1.0 416 ERROR no data",     // GET
        "1.1 200 OK",                // INIT
        "1.2 416 ERROR no data",     // GET again: gives up
        "2.0 415 ERROR forbidden",   // SET
        "2.1 100 INFO 1 GL 3 1 7 28 0 0",  // GET while retrying
        "2.2 200 OK",                // SET again
    });
    TSRCPCommandClient client;
    connectTo(client, s.server.port());
    ASSERT_TRUE(client.Connected());
    TSRCPLoco loco;
    loco.SetCommandClient(&client);
    loco.SetBus(1);
    loco.SetAddress(3);
    EXPECT_FALSE(loco.GetData());
    EXPECT_EQ(loco.DeviceState(), sdsInitialized);
    loco.SetSpeed(10);
    bool sawSetGetActiv = false;
    loco.SetOnChange([&](TSRCPBaseDeviceGroup& g) { sawSetGetActiv = static_cast<TSRCPLoco&>(g).SetGetActiv(); });
    EXPECT_TRUE(loco.SetData());
    EXPECT_TRUE(sawSetGetActiv);
    EXPECT_FALSE(loco.SetGetActiv());
    EXPECT_EQ(loco.SpeedStep(), 7);

    ASSERT_TRUE(s.server.waitForLines(3 + 6));
    auto lines = s.server.lines();
    const std::vector<std::string> expected{"GET 1 GL 3", "INIT 1 GL 3 M 14 1", "GET 1 GL 3",
                                            "SET 1 GL 3 1 10 100 0", "GET 1 GL 3", "SET 1 GL 3 1 10 100 0 0"};
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.end()), expected);
}

TEST(SRCPClient, SilentCommandSessionTimesOutAndCloses)
{
    FakeSrcpServer server([&](FakeConn& c) {
        if (serveHandshake(server, c, RealWelcome, 3))
        {
            c.readLine(3000);  // reads the command, never answers
            c.readLine(3000);
        }
    });
    TSRCPCommandClient client;
    client.SetAnswerTimeoutMs(200);
    int disconnects = 0;
    client.SetOnDisconnected([&](TSRCPBaseClient&) { ++disconnects; });
    connectTo(client, server.port());
    ASSERT_TRUE(client.Connected());
    TSRCPPower power;
    power.SetCommandClient(&client);
    power.SetBus(1);
    EXPECT_FALSE(power.SetData());
    EXPECT_EQ(power.Cmd().CommandType(), ctETimeout);
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(disconnects, 1);
}

// ---- info sessions --------------------------------------------------------------------------

namespace {

// Serves the handshake, then pushes `lines` and waits until the client goes away.
FakeSrcpServer::Handler pushLines(FakeSrcpServer*& self, std::vector<std::string> lines)
{
    return [&self, lines](FakeConn& c) {
        if (!serveHandshake(*self, c, RealWelcome, 9))
            return;
        for (const auto& l : lines)
            c.send(l);
        c.readLine(10000);
    };
}

} // namespace

TEST(SRCPInfoClient, DeliversRealServerLinesToTheMatchingGroups)
{
    FakeSrcpServer* self = nullptr;
    FakeSrcpServer server(pushLines(self, {
        "1796859510.100 100 INFO 0 DESCRIPTION SESSION SERVER TIME GM\n",
        "1796859510.101 100 INFO 1 DESCRIPTION GA GL FB SM POWER LOCK DESCRIPTION\n",
        "1796859510.200 100 INFO 1 POWER ON AUTO POWER ON\n",
        std::string("\x01\xfe junk \x00 line\n", 15),
        "1796859510.300 100 INFO 7 FB 3 1\n",        // another bus
        "0.000 100 INFO 1 FB 12 1\n",
        "1796859510.400 100 INFO 1 GA 5 0 1\n",      // nobody registered for GA
        "1796859510.500 100 INFO 1 LOCK GL 3 60 17\n",
        "1796859510.600 100 INFO 1 XY 3\n",
        "1796859510.700 419 ERROR list too short\n",
        "1796859510.800 100 INFO 1 POWER OFF\n",
    }));
    self = &server;
    TestLoop loop;
    TSRCPInfoClient info(loop.executor());
    TSRCPDescription description;
    description.SetEventMode(semAll);
    TSRCPPower power;
    power.SetBus(1);
    TSRCPFeedback fb;
    fb.SetBus(1);
    fb.SetEventMode(semBus);
    TSRCPLoco loco;
    loco.SetBus(1);
    loco.SetAddress(3);
    for (TSRCPBaseDeviceGroup* g : std::initializer_list<TSRCPBaseDeviceGroup*>{&description, &power, &fb, &loco})
        g->SetInfoClient(&info);

    bool powerOff = false;
    std::vector<std::vector<TSRCPDeviceGroup>> descriptions;
    std::vector<int> describedBuses;
    std::vector<bool> powerStates;
    int locks = 0;
    description.SetOnChange([&](TSRCPBaseDeviceGroup& g) {
        auto& d = static_cast<TSRCPDescription&>(g);
        std::vector<TSRCPDeviceGroup> groups;
        for (int i = 0; i < d.DeviceGroupsCount(); ++i)
            groups.push_back(d.DeviceGroups(i));
        descriptions.push_back(groups);
        describedBuses.push_back(d.Bus());
    });
    power.SetOnChange([&](TSRCPBaseDeviceGroup&) {
        powerStates.push_back(power.PowerOn());
        if (!power.PowerOn())
            powerOff = true;
    });
    loco.SetOnLock([&](TSRCPBaseDeviceGroup&) { ++locks; });

    connectTo(info, server.port());
    ASSERT_TRUE(info.Connected());
    ASSERT_TRUE(loop.runUntil([&] { return powerOff; }));
    info.Disconnect();

    ASSERT_EQ(descriptions.size(), 2u);
    EXPECT_EQ(descriptions[0], (std::vector<TSRCPDeviceGroup>{dgSession, dgServer, dgTime}));
    EXPECT_EQ(descriptions[1].size(), 7u);
    EXPECT_EQ(describedBuses, (std::vector<int>{0, 1}));
    EXPECT_EQ(powerStates, (std::vector<bool>{true, false}));
    EXPECT_EQ(fb.ContactCount(), 12);
    EXPECT_EQ(fb.Contacts(11), 1);
    EXPECT_EQ(fb.Contacts(2), 0);  // the contact of bus 7 did not reach this bus
    EXPECT_EQ(locks, 1);
    EXPECT_EQ(loco.LockClient(), 17);
}

TEST(SRCPInfoClient, EndlessLineClosesTheSessionCleanly)
{
    FakeSrcpServer* self = nullptr;
    FakeSrcpServer server(pushLines(self, {"1.0 100 INFO 1 POWER ON\n", std::string(300000, '7')}));
    self = &server;
    TestLoop loop;
    TSRCPInfoClient info(loop.executor());
    TSRCPPower power;
    power.SetBus(1);
    power.SetInfoClient(&info);
    int disconnects = 0;
    info.SetOnDisconnected([&](TSRCPBaseClient&) { ++disconnects; });
    connectTo(info, server.port());
    ASSERT_TRUE(info.Connected());
    EXPECT_TRUE(loop.runUntil([&] { return disconnects == 1; }));
    EXPECT_TRUE(power.PowerOn());
    EXPECT_FALSE(info.Connected());
    EXPECT_NE(info.LastReadError().find("longer"), std::string::npos) << info.LastReadError();
    info.Disconnect();
    EXPECT_EQ(disconnects, 1);
}

TEST(SRCPInfoClient, ServerClosingTheInfoSessionIsReportedOnce)
{
    FakeSrcpServer server([&](FakeConn& c) {
        if (serveHandshake(server, c, RealWelcome, 9))
            c.sendLine("1.0 100 INFO 1 POWER ON");
    });
    TestLoop loop;
    TSRCPInfoClient info(loop.executor());
    int disconnects = 0;
    info.SetOnDisconnected([&](TSRCPBaseClient&) { ++disconnects; });
    connectTo(info, server.port());
    EXPECT_TRUE(loop.runUntil([&] { return disconnects == 1; }));
    EXPECT_FALSE(info.Connected());
    loop.runAll();
    EXPECT_EQ(disconnects, 1);
}

TEST(SRCPInfoClient, DisconnectDoesNotWaitForAPendingHandOver)
{
    FakeSrcpServer* self = nullptr;
    FakeSrcpServer server(pushLines(self, {"1.0 100 INFO 1 POWER ON\n"}));
    self = &server;
    TestLoop loop;  // never run while the reader waits: the GUI thread is busy disconnecting
    auto info = std::make_unique<TSRCPInfoClient>(loop.executor());
    TSRCPPower power;
    power.SetBus(1);
    power.SetInfoClient(info.get());
    connectTo(*info, server.port());
    ASSERT_TRUE(info->Connected());
    for (int i = 0; i < 500 && loop.pending() == 0; ++i)
        std::this_thread::sleep_for(10ms);
    ASSERT_EQ(loop.pending(), 1u) << "the reader hands over one line and waits";

    auto done = std::async(std::launch::async, [&] { info->Disconnect(); });
    ASSERT_EQ(done.wait_for(5s), std::future_status::ready) << "disconnect waited for the hand-over";
    EXPECT_FALSE(info->Connected());
    info.reset();
    loop.runAll();  // the stale hand-over finds its session gone and does nothing
    EXPECT_FALSE(power.PowerOn());
    EXPECT_EQ(power.InfoClient(), nullptr);
}

TEST(SRCPInfoClient, AHandlerMayDisconnectFromInsideTheHandOver)
{
    FakeSrcpServer* self = nullptr;
    FakeSrcpServer server(pushLines(self, {"1.0 100 INFO 1 POWER ON\n", "1.1 100 INFO 1 POWER OFF\n"}));
    self = &server;
    TestLoop loop;
    TSRCPInfoClient info(loop.executor());
    TSRCPPower power;
    power.SetBus(1);
    power.SetInfoClient(&info);
    int changes = 0;
    power.SetOnChange([&](TSRCPBaseDeviceGroup&) {
        ++changes;
        info.Disconnect();
    });
    connectTo(info, server.port());
    ASSERT_TRUE(info.Connected());
    EXPECT_TRUE(loop.runUntil([&] { return changes > 0; }));
    loop.runAll();
    EXPECT_FALSE(info.Connected());
    EXPECT_EQ(changes, 1) << "no line after the disconnect";
}

TEST(SRCPInfoClient, AnInfoSessionWithoutAnExecutorIsRefused)
{
    TSRCPExecutor none;
    EXPECT_THROW({ TSRCPInfoClient info(none); }, std::invalid_argument);
}

TEST(SRCPInfoClient, DisconnectWhileTheReaderWaitsForALine)
{
    FakeSrcpServer* self = nullptr;
    FakeSrcpServer server(pushLines(self, {}));
    self = &server;
    TestLoop loop;
    TSRCPInfoClient info(loop.executor());
    connectTo(info, server.port());
    ASSERT_TRUE(info.Connected());
    std::this_thread::sleep_for(50ms);
    auto done = std::async(std::launch::async, [&] { info.Disconnect(); });
    ASSERT_EQ(done.wait_for(5s), std::future_status::ready);
    EXPECT_FALSE(info.Connected());
    EXPECT_EQ(info.LastReadError(), "");
    // and it connects again
    connectTo(info, server.port());
    EXPECT_TRUE(info.Connected());
}

TEST(SRCPClient, GroupsForgetClientsThatAreDestroyed)
{
    TSRCPLoco loco;
    TestLoop loop;
    {
        TSRCPInfoClient info(loop.executor());
        TSRCPCommandClient cmd;
        loco.SetInfoClient(&info);
        loco.SetCommandClient(&cmd);
        EXPECT_EQ(info.DeviceGroups().size(), 1u);
    }
    EXPECT_EQ(loco.InfoClient(), nullptr);
    EXPECT_EQ(loco.CommandClient(), nullptr);
    EXPECT_FALSE(loco.SetData());

    TSRCPInfoClient info(loop.executor());
    {
        TSRCPPower power;
        power.SetInfoClient(&info);
    }
    EXPECT_TRUE(info.DeviceGroups().empty());
}

TEST(SRCPClient, EndlessAnswerClosesTheCommandSessionCleanly)
{
    ScriptedCommandServer s({std::string(300000, 'x')});
    TSRCPCommandClient client;
    int disconnects = 0;
    client.SetOnDisconnected([&](TSRCPBaseClient&) { ++disconnects; });
    connectTo(client, s.server.port());
    ASSERT_TRUE(client.Connected());
    TSRCPPower power;
    power.SetCommandClient(&client);
    power.SetBus(1);
    EXPECT_FALSE(power.GetData());
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(disconnects, 1);
    EXPECT_FALSE(power.SetData()) << "later commands fail at once";
    EXPECT_EQ(power.Cmd().CommandType(), ctETempProhibited);
    client.Disconnect();
    EXPECT_EQ(disconnects, 1);
}
