// The phone server on its own thread, with real TCP clients on 127.0.0.1: commands arrive in
// order on the owner's thread, a garbage, flooding or too-long client is dropped while the others
// carry on, a silent client is reported, the allow list and the client limit hold, a client is cut
// off on request; and the clients window lists and cuts them.

#include "phone/PhoneServer.h"
#include "phone/widgets/PhoneClientsWindow.h"

#include "common/PhoneClient.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTableWidget>

#include <gtest/gtest.h>

#include <map>

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
    s.tooManyText = QStringLiteral("Too many");
    return s;
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
    ASSERT_TRUE(waitFor([&] { return r.joined.size() == 1; }));
    const int goodId = r.last();
    EXPECT_EQ(r.joined[goodId], "127.0.0.1");
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
        ASSERT_TRUE(waitFor([&] { return r.joined.size() == joined + 1; }));
        const int id = r.last();
        c.sendRaw(b.bytes);
        EXPECT_TRUE(c.waitForClose()) << static_cast<int>(b.why);
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

TEST(PhoneServer, HeartbeatAllowListLimitAndCutOff)
{
    PhoneServer server;
    Recorder r(server);
    ServerSettings s = local();
    s.heartbeatSeconds = 1;
    s.clientLimit = 2;
    ASSERT_TRUE(server.start(s));

    PhoneClient a, b, c;
    ASSERT_TRUE(a.connectTo(server.port()));
    ASSERT_TRUE(b.connectTo(server.port()));
    ASSERT_TRUE(waitFor([&] { return r.joined.size() == 2; }));
    ASSERT_TRUE(c.connectTo(server.port()));
    EXPECT_GE(c.waitForLine("HmToo many"), 0) << "one too many is told why";
    EXPECT_TRUE(c.waitForClose());
    EXPECT_EQ(r.joined.size(), 2u);

    // a keeps its heartbeat, b falls silent.
    const int idA = r.joined.begin()->first, idB = r.joined.rbegin()->first;
    QElapsedTimer beat;
    beat.start();
    ASSERT_TRUE(waitFor(
        [&] {
            if (beat.elapsed() > 200) {
                a.send("*");
                beat.restart();
            }
            return !r.silent.empty();
        },
        10000));
    EXPECT_EQ(r.silent, std::vector<int>{idB});

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

    // An allow list without the loopback address turns new clients away.
    s.allow = {QStringLiteral("192.168.77.0/24")};
    ASSERT_TRUE(server.start(s));
    PhoneClient d;
    d.connectTo(server.port());
    EXPECT_TRUE(d.waitForClose());
    EXPECT_TRUE(allowed({QStringLiteral("10.0.0.0/8")}, QHostAddress(QStringLiteral("::ffff:10.1.2.3"))));
    EXPECT_TRUE(allowed({QStringLiteral(" 127.0.0.1 ")}, QHostAddress(QStringLiteral("127.0.0.1"))));
    EXPECT_FALSE(allowed({QStringLiteral("127.0.0.2"), QStringLiteral("bogus/99")}, QHostAddress(QStringLiteral("127.0.0.1"))));
}
