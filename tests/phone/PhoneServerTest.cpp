// The phone server on its own thread, with real TCP clients on loopback: a connection is admitted
// once it has named itself and started its heartbeat, its commands arrive in order on the owner's
// thread, a garbage, flooding or too-long client is told why and dropped while the others carry on,
// a silent client is reported whatever it asked, connections that never name themselves or fall
// silent hold no place, the allow list (also when changed), the client limit and the limit per
// address hold and say why, a client is cut off on request; and the clients window lists and cuts
// them.

#include "phone/PhoneServer.h"
#include "phone/widgets/PhoneClientsWindow.h"

#include "common/PhoneClient.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTableWidget>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>

using namespace withrottle;
using testsupport::PhoneClient;
using testsupport::waitFor;

namespace {

struct Recorder {
    std::map<int, QString> joined;
    std::map<int, Departure> left;
    std::vector<std::pair<int, std::string>> commands;  // client, line kind and text
    std::vector<int> silent;

    explicit Recorder(PhoneServer& s)
    {
        QObject::connect(&s, &PhoneServer::clientJoined, [this](int c, const QString& a) { joined[c] = a; });
        QObject::connect(&s, &PhoneServer::clientLeft, [this](int c, Departure d) { left[c] = d; });
        QObject::connect(&s, &PhoneServer::heartbeatLost, [this](int c) { silent.push_back(c); });
        QObject::connect(&s, &PhoneServer::commandReceived, [this](int c, const Command& cmd) {
            commands.emplace_back(c, cmd.kind == Kind::Action ? std::string(1, cmd.action) + std::to_string(cmd.value)
                                                              : cmd.text);
        });
    }
    int last() const { return joined.empty() ? 0 : joined.rbegin()->first; }
};

ServerSettings local()
{
    ServerSettings s;
    s.port = 0;  // a free port
    s.listenAddress = QStringLiteral("127.0.0.1");
    s.heartbeatSeconds = 60;
    s.texts = {"Not allowed", "Too many", "Too many here", "Bad input", "Name yourself", "Silent"};
    return s;
}

// Keeps the clients in `alive` beating (every 200 ms) while waiting for `done`.
bool waitBeating(const std::function<bool()>& done, std::initializer_list<PhoneClient*> alive, int timeoutMs = 10000)
{
    QElapsedTimer beat;
    beat.start();
    return waitFor(
        [&] {
            if (beat.elapsed() > 200) {
                for (PhoneClient* c : alive)
                    c->send("*");
                beat.restart();
            }
            return done();
        },
        timeoutMs);
}

}  // namespace

TEST(PhoneServer, CommandsInOrderAndBadClientsDroppedWhileOthersCarryOn)
{
    PhoneServer server;
    Recorder r(server);
    ASSERT_TRUE(server.start(local())) << server.errorText().toStdString();
    ASSERT_GT(server.port(), 0);

    PhoneClient good;
    ASSERT_TRUE(good.connectTo(server.port()));
    good.send("MT+S3<;>S3");  // before it is admitted: kept and passed on
    good.hello("Good");
    EXPECT_GE(good.waitForLine("*60"), 0) << "asked for its heartbeat on its name";
    ASSERT_TRUE(waitFor([&] { return r.joined.size() == 1 && r.commands.size() == 1; }));
    const int goodId = r.last();
    EXPECT_EQ(r.joined[goodId], "127.0.0.1");
    EXPECT_EQ(r.commands.front().first, goodId);
    r.commands.clear();
    std::string many;
    for (int v = 0; v < 100; ++v)
        many += "MTAS3<;>V" + std::to_string(v) + "\n";
    good.sendRaw(many);
    ASSERT_TRUE(waitFor([&] { return r.commands.size() == 100; }));
    for (int v = 0; v < 100; ++v)
        EXPECT_EQ(r.commands[static_cast<std::size_t>(v)].second, "V" + std::to_string(v));

    struct Bad {
        std::string bytes;
        Departure why;
    };
    const Bad bad[] = {
        {std::string("\x16\x03\x01\x02\x00\xff\n", 7), Departure::Garbage},
        {std::string(MaxLineLength + 10, 'N'), Departure::TooLong},
        {[] {
             std::string s;
             for (int i = 0; i < 2000; ++i)
                 s += "*\n";
             return s;
         }(),
         Departure::Flood},
    };
    for (const Bad& b : bad) {
        PhoneClient c;
        const std::size_t joined = r.joined.size();
        ASSERT_TRUE(c.connectTo(server.port()));
        c.hello("Bad");
        ASSERT_TRUE(waitFor([&] { return r.joined.size() == joined + 1; }));
        const int id = r.last();
        c.sendRaw(b.bytes);
        EXPECT_TRUE(c.waitForClose()) << static_cast<int>(b.why);
        if (b.why != Departure::Flood)  // a flooder may lose the reason in its own flood
            EXPECT_TRUE(c.has("HmBad input")) << static_cast<int>(b.why);
        ASSERT_TRUE(waitFor([&] { return r.left.count(id) == 1; }));
        EXPECT_EQ(r.left[id], b.why);
        r.joined.erase(id);
    }

    // The good client is still served, and hears what is sent to it.
    const std::size_t before = r.commands.size();
    good.send("NStill here");
    ASSERT_TRUE(waitFor([&] { return r.commands.size() == before + 1; }));
    EXPECT_EQ(r.commands.back(), std::make_pair(goodId, std::string("Still here")));
    server.send(goodId, "PPA1");
    EXPECT_GE(good.waitForLine("PPA1"), 0);
    EXPECT_FALSE(r.left.count(goodId));

    // Quit ends it cleanly; stop closes the rest.
    good.send("Q");
    EXPECT_TRUE(good.waitForClose());
    ASSERT_TRUE(waitFor([&] { return r.left.count(goodId) == 1; }));
    EXPECT_EQ(r.left[goodId], Departure::Quit);
}

TEST(PhoneServer, HeartbeatWatchedWhateverTheClientAsksAndCutOff)
{
    PhoneServer server;
    Recorder r(server);
    ServerSettings s = local();
    s.heartbeatSeconds = 1;
    ASSERT_TRUE(server.start(s));

    PhoneClient a, b;
    ASSERT_TRUE(a.connectTo(server.port()));
    ASSERT_TRUE(b.connectTo(server.port()));
    a.hello("A");
    b.hello("B");
    ASSERT_TRUE(waitFor([&] { return r.joined.size() == 2; }));
    const int idA = r.joined.begin()->first, idB = r.joined.rbegin()->first;
    b.send("*-");  // asks the server to stop watching: it goes on watching

    // a keeps its heartbeat, b falls silent; the heartbeats themselves stay on the server thread.
    ASSERT_TRUE(waitBeating([&] { return !r.silent.empty(); }, {&a}));
    EXPECT_EQ(r.silent, std::vector<int>{idB});
    EXPECT_TRUE(r.commands.empty()) << r.commands.front().second;
    b.send("*");
    ASSERT_TRUE(waitFor([&] { return r.commands.size() == 1; })) << "its first sign of life is passed on";
    EXPECT_EQ(r.commands.front().first, idB);

    // The clients window lists both and cuts b off.
    PhoneClientsWindow window({"Phones", "Name", "Address", "Locos", "Cut off"});
    window.setRows({{idA, "A", "127.0.0.1", "3"}, {idB, "B", "127.0.0.1", ""}});
    window.cutOff = [&](int id) { server.cutOff(id); };
    EXPECT_EQ(window.table()->rowCount(), 2);
    EXPECT_FALSE(window.cutOffButton()->isEnabled());
    window.table()->selectRow(1);
    ASSERT_TRUE(window.cutOffButton()->isEnabled());
    window.cutOffButton()->click();
    EXPECT_TRUE(b.waitForClose());
    ASSERT_TRUE(waitFor([&] { return r.left.count(idB) == 1; }));
    EXPECT_EQ(r.left[idB], Departure::CutOff);
    EXPECT_TRUE(a.connected());
    window.setRows({{idA, "A", "127.0.0.1", "3"}});
    EXPECT_FALSE(window.cutOffButton()->isEnabled()) << "the chosen client left: nothing is chosen";
    window.table()->selectRow(0);
    window.setRows({{idA, "A", "127.0.0.1", "3, 5"}});
    EXPECT_TRUE(window.cutOffButton()->isEnabled()) << "a client that stays stays chosen";
}

TEST(PhoneServer, SilentAndUnnamedConnectionsHoldNoPlaceAndEveryRefusalSaysWhy)
{
    PhoneServer server;
    Recorder r(server);
    ServerSettings s = local();
    s.clientLimit = 2;
    s.perAddressLimit = 2;
    s.admissionMs = 800;
    s.heartbeatSeconds = 1;
    ASSERT_TRUE(server.start(s));

    // The limit's worth of connections that never say a word, one that only names itself and one
    // that only beats: none takes a place, and a real phone still gets in.
    std::vector<std::unique_ptr<PhoneClient>> mute;
    for (int i = 0; i < s.clientLimit + 2; ++i) {
        mute.push_back(std::make_unique<PhoneClient>());
        ASSERT_TRUE(mute.back()->connectTo(server.port()));
    }
    mute[0]->send("NNo heartbeat");
    mute[1]->send("*+");
    PhoneClient a;
    ASSERT_TRUE(a.connectTo(server.port()));
    a.hello("A");
    ASSERT_TRUE(waitFor([&] { return r.joined.size() == 1; }));
    const int idA = r.last();
    for (auto& m : mute) {
        EXPECT_TRUE(waitBeating([&] { return !m->connected(); }, {&a})) << "closed once its time is up";
        EXPECT_TRUE(m->has("HmName yourself"));
    }
    EXPECT_TRUE(r.silent.empty());
    EXPECT_EQ(r.joined.size(), 1u) << "they were never reported";

    // Per address: a second phone from the same address is turned away with its reason, one from
    // another address gets the last place, the next is one too many.
    PhoneClient same, other, third;
    ASSERT_TRUE(same.connectTo(server.port()));
    same.hello("Same");
    ASSERT_TRUE(waitBeating([&] { return r.joined.size() == 2; }, {&a}));
    const int idSame = r.last();
    PhoneClient again;
    ASSERT_TRUE(again.connectTo(server.port()));
    again.hello("Again");
    EXPECT_TRUE(waitBeating([&] { return !again.connected(); }, {&a, &same}));
    EXPECT_TRUE(again.has("HmToo many here"));
    r.left.erase(idSame);
    same.send("Q");
    ASSERT_TRUE(waitBeating([&] { return r.left.count(idSame) == 1; }, {&a}));
    ASSERT_TRUE(other.connectTo(server.port(), QStringLiteral("127.0.0.2")));
    other.hello("Other");
    ASSERT_TRUE(waitBeating([&] { return r.joined.size() == 3; }, {&a, &other}));
    EXPECT_EQ(r.joined[r.last()], "127.0.0.2");
    ASSERT_TRUE(third.connectTo(server.port(), QStringLiteral("127.0.0.3")));
    third.hello("Third");
    EXPECT_TRUE(waitBeating([&] { return !third.connected(); }, {&a, &other}));
    EXPECT_TRUE(third.has("HmToo many")) << r.joined.size();

    // A phone that fell silent gives its place to one that speaks, and is told why.
    ASSERT_TRUE(waitBeating([&] { return !r.silent.empty(); }, {&other}));
    EXPECT_EQ(r.silent, std::vector<int>{idA});
    PhoneClient fourth;
    ASSERT_TRUE(fourth.connectTo(server.port(), QStringLiteral("127.0.0.3")));
    fourth.hello("Fourth");
    ASSERT_TRUE(waitBeating([&] { return r.joined.size() == 4; }, {&other, &fourth}));
    EXPECT_TRUE(a.waitForClose());
    EXPECT_TRUE(a.has("HmSilent"));
    EXPECT_EQ(r.left[idA], Departure::Silent);
    EXPECT_TRUE(other.connected());
}

TEST(PhoneServer, AllowListRefusesWithAReasonAndAChangeDropsOnlyThoseItNowRefuses)
{
    PhoneServer server;
    Recorder r(server);
    ServerSettings s = local();
    ASSERT_TRUE(server.start(s));
    PhoneClient one, two;
    ASSERT_TRUE(one.connectTo(server.port()));
    ASSERT_TRUE(two.connectTo(server.port(), QStringLiteral("127.0.0.2")));
    one.hello("One");
    two.hello("Two");
    ASSERT_TRUE(waitFor([&] { return r.joined.size() == 2; }));
    const int idOne = r.joined.begin()->first, idTwo = r.joined.rbegin()->first;

    s.allow = {QStringLiteral("127.0.0.2/32")};
    server.reconfigure(s);
    EXPECT_TRUE(one.waitForClose());
    EXPECT_TRUE(one.has("HmNot allowed"));
    ASSERT_TRUE(waitFor([&] { return r.left.count(idOne) == 1; }));
    EXPECT_EQ(r.left[idOne], Departure::Refused);
    EXPECT_TRUE(two.connected()) << "the phone still allowed stays";
    EXPECT_FALSE(r.left.count(idTwo));
    server.send(idTwo, "PPA1");
    EXPECT_GE(two.waitForLine("PPA1"), 0);

    PhoneClient refused;
    refused.connectTo(server.port());
    EXPECT_TRUE(refused.waitForClose());
    EXPECT_TRUE(refused.has("HmNot allowed")) << "turned away with its reason";

    EXPECT_TRUE(allowed({QStringLiteral("10.0.0.0/8")}, QHostAddress(QStringLiteral("::ffff:10.1.2.3"))));
    EXPECT_TRUE(allowed({QStringLiteral(" 127.0.0.1 ")}, QHostAddress(QStringLiteral("127.0.0.1"))));
    EXPECT_FALSE(allowed({QStringLiteral("127.0.0.2"), QStringLiteral("bogus/99")}, QHostAddress(QStringLiteral("127.0.0.1"))));
}
