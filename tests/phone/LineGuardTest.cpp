// The guard in front of each phone: lines cut from any chunks, the limits that close a client, and
// the heartbeat that notices a silent one.

#include "phone/LineGuard.h"

#include <gtest/gtest.h>

using namespace withrottle;

TEST(LineGuard, CutsLinesFromChunksWithEitherLineEnd)
{
    LineGuard g(0);
    std::vector<Command> out;
    EXPECT_EQ(g.feed("NPho", 0, out), LineGuard::Verdict::Ok);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(g.feed("ne\r\n*\nMTAS3<;>V1", 1, out), LineGuard::Verdict::Ok);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].text, "Phone");
    EXPECT_EQ(out[1].kind, Kind::Heartbeat);
    EXPECT_EQ(g.feed("0\r\n", 2, out), LineGuard::Verdict::Ok);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[2].value, 10);
}

TEST(LineGuard, ClosesOnTooLongFloodAndGarbage)
{
    std::vector<Command> out;
    {
        LineGuard g(0);  // a line that never ends is cut off as soon as it is too long
        EXPECT_EQ(g.feed(std::string(MaxLineLength, 'N'), 0, out), LineGuard::Verdict::Ok);
        EXPECT_EQ(g.feed("N", 0, out), LineGuard::Verdict::TooLong);
        EXPECT_EQ(g.feed("\n*\n", 0, out), LineGuard::Verdict::TooLong) << "nothing is read after the verdict";
    }
    {
        LineGuard g(0, {MaxLineLength, 10, 5, 5});
        std::string ten;
        for (int i = 0; i < 10; ++i)
            ten += "*\n";
        EXPECT_EQ(g.feed(ten, 0, out), LineGuard::Verdict::Ok) << "a burst within the limit";
        EXPECT_EQ(g.feed("*\n", 1000, out), LineGuard::Verdict::Ok) << "refilled after a second";
        EXPECT_EQ(g.feed(ten, 1000, out), LineGuard::Verdict::Flood);
    }
    {
        LineGuard g(0);
        EXPECT_EQ(g.feed(std::string("\x16\x03\x01\x02\x00", 5) + "\n", 0, out), LineGuard::Verdict::Garbage)
            << "bytes that are no text";
    }
    {
        LineGuard g(0);
        EXPECT_EQ(g.feed("xyz\nxyz\nxyz\nxyz\n*\nxyz\n", 0, out), LineGuard::Verdict::Ok)
            << "a valid line between breaks the run";
        EXPECT_EQ(g.feed("GET / HTTP/1.1\nAccept: x\n\nUser-Agent: y\nxyz\n", 0, out), LineGuard::Verdict::Garbage);
    }
}

TEST(LineGuard, HeartbeatLostOncePerSilenceWhateverTheClientAsks)
{
    LineGuard g(0);
    g.setHeartbeatSeconds(2);
    std::vector<Command> out;
    EXPECT_FALSE(g.heartbeatLost(2000));
    EXPECT_TRUE(g.heartbeatLost(2001));
    EXPECT_FALSE(g.heartbeatLost(5000)) << "told once";
    g.feed("*\n", 5000, out);
    EXPECT_FALSE(g.heartbeatLost(6000));
    EXPECT_TRUE(g.heartbeatLost(7001)) << "watched again after it spoke";
    EXPECT_TRUE(g.silent());
    g.feed("*-\n", 8000, out);
    EXPECT_FALSE(g.silent());
    EXPECT_FALSE(g.heartbeatLost(10000));
    EXPECT_TRUE(g.heartbeatLost(10001)) << "asking the server to stop watching does not stop it";
    EXPECT_EQ(g.lastHeard(), 8000);
    LineGuard never(500);
    never.setHeartbeatSeconds(2);
    EXPECT_TRUE(never.heartbeatLost(2501)) << "watched from the moment it came, before any line";
}
