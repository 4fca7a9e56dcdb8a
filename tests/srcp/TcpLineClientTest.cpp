#include "srcp/TcpLineClient.h"
#include "LoopbackServer.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

using namespace std::chrono_literals;

namespace {

struct Connected : ::testing::Test {
    LoopbackServer server;
    TcpLineClient client;
    void SetUp() override
    {
        std::thread acceptor([&] { server.accept(); });
        client.connect("127.0.0.1", server.port(), 2000ms);
        acceptor.join();
    }
};

} // namespace

TEST_F(Connected, SplitsLinesOnLfAndCrLfAcrossPackets)
{
    server.send("INFO POWER OFF \nINFO GA M 15 1 1 -1\r\nINFO F");
    server.send("B S88 3 1\n");
    EXPECT_EQ(client.readLine(), "INFO POWER OFF ");
    EXPECT_EQ(client.readLine(), "INFO GA M 15 1 1 -1");
    EXPECT_EQ(client.readLine(), "INFO FB S88 3 1");
}

TEST_F(Connected, WritesLinesWithTheRequestedEnding)
{
    client.writeLine("SET POWER ON");
    client.writeLine("SET GA M 16 1 1 -1", "\n");
    const std::string expected = "SET POWER ON\r\nSET GA M 16 1 1 -1\n";
    std::string got;
    while (got.size() < expected.size()) {
        std::string part = server.receive();
        ASSERT_FALSE(part.empty());
        got += part;
    }
    EXPECT_EQ(got, expected);
}

TEST_F(Connected, EndlessLineRaisesInsteadOfGrowing)
{
    std::string junk(10000, 'x');
    server.send(junk);
    EXPECT_THROW(client.readLine(1000), TcpLineTooLong);
    // An over-long line that does end is also refused, and the next line is still readable.
    server.send(std::string(2000, 'y') + "\nOK\n");
    EXPECT_THROW(client.readLine(1000), TcpLineTooLong);
}

TEST_F(Connected, PeerClosingEndsTheReader)
{
    server.send("last\n");
    server.closeClient();
    EXPECT_EQ(client.readLine(), "last");
    EXPECT_THROW(client.readLine(), TcpClosed);
    EXPECT_FALSE(client.connected());
}

TEST_F(Connected, DisconnectWakesABlockedReader)
{
    auto reader = std::async(std::launch::async, [&] {
        try {
            client.readLine();
        } catch (const TcpClosed&) {
            return true;
        }
        return false;
    });
    std::this_thread::sleep_for(50ms);
    client.disconnect();
    ASSERT_EQ(reader.wait_for(2s), std::future_status::ready);
    EXPECT_TRUE(reader.get());
    EXPECT_THROW(client.writeLine("SET POWER ON"), TcpError);
}

TEST_F(Connected, AServerThatNeverReadsEndsAWriteAfterTheSendTimeout)
{
    client.setSendTimeout(200ms);
    const std::string block(64 * 1024, 'x');
    auto writer = std::async(std::launch::async, [&] {
        try {
            for (int i = 0; i < 16 * 1024; ++i)  // 1 GiB, far beyond any socket buffer
                client.writeText(block);
        } catch (const TcpTimeout&) {
            return true;
        }
        return false;
    });
    ASSERT_EQ(writer.wait_for(10s), std::future_status::ready);
    EXPECT_TRUE(writer.get());
    EXPECT_FALSE(client.connected());
    EXPECT_THROW(client.writeLine("SET POWER OFF"), TcpError);
}

TEST_F(Connected, ReadTimeoutKeepsThePartialLine)
{
    server.send("INFO GL M1 ");
    EXPECT_THROW(client.readLine(TcpLineClient::DefaultMaxLine, 50ms), TcpTimeout);
    server.send("3 1 0 100 0\n");
    EXPECT_EQ(client.readLine(TcpLineClient::DefaultMaxLine, 1000ms), "INFO GL M1 3 1 0 100 0");
}

// A connection made (and read from) by one client goes on in another: the bytes already read but not
// yet returned come along, and the first client is left closed.
TEST_F(Connected, TakeOverMovesTheConnectionWithWhatWasReadAhead)
{
    server.send("srcp-sim 1.0; SRCP 0.7.3\nINFO FB S88 1 1\nINFO F");
    EXPECT_EQ(client.readLine(), "srcp-sim 1.0; SRCP 0.7.3");
    TcpLineClient other;
    other.takeOver(client);
    EXPECT_FALSE(client.connected());
    EXPECT_THROW(client.readLine(), TcpClosed);
    ASSERT_TRUE(other.connected());
    server.send("B S88 2 0\n");
    EXPECT_EQ(other.readLine(), "INFO FB S88 1 1");
    EXPECT_EQ(other.readLine(), "INFO FB S88 2 0");
    other.writeLine("GET POWER", "\n");
    EXPECT_EQ(server.receive(), "GET POWER\n");

    TcpLineClient closed;
    other.takeOver(closed);  // taking over nothing closes the connection it had
    EXPECT_FALSE(other.connected());
    EXPECT_THROW(other.writeText("x\n"), TcpError);
}

TEST(TcpLineClient, RefusedConnectionAndBadPortRaise)
{
    int freePort;
    {
        LoopbackServer s;
        freePort = s.port();
    }
    TcpLineClient c;
    EXPECT_THROW(c.connect("127.0.0.1", freePort, 1000ms), TcpError);
    EXPECT_THROW(c.connect("127.0.0.1", 0, 1000ms), TcpError);
    EXPECT_FALSE(c.connected());
    EXPECT_THROW(c.readLine(), TcpClosed);
}
