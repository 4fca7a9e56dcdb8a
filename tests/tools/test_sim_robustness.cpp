// Bad input never stops the simulator from answering: over-long lines, binary garbage, clients that
// vanish mid-line or never read, many clients at once.

#include "SimHarness.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <thread>

using namespace simtest;
using namespace std::chrono_literals;

namespace {

std::string answerTo(LineSocket &s, const std::string &line) {
  s.sendLine(line);
  return withoutStamp(s.readLine().value_or("<none>"));
}

TEST(SimRobustness, OverlongLineGetsAnErrorIn082AndTheSessionGoesOn) {
  SimProcess sim({"--protocol", "0.8.2", "--port", "0"});
  LineSocket cmd(sim.port());
  ASSERT_FALSE(handshake(cmd, "COMMAND").empty());
  EXPECT_EQ(answerTo(cmd, "GET 0 SERVER " + std::string(4080, 'x')), "100 INFO 0 SERVER RUNNING"); // within limit
  for (std::size_t size : {4097u, 10000u, 300000u}) {
    SCOPED_TRACE(size);
    EXPECT_EQ(answerTo(cmd, "GET 1 POWER " + std::string(size, 'y')), "418 ERROR list too long");
    EXPECT_FALSE(cmd.readLine(50ms)); // exactly one answer
    EXPECT_EQ(answerTo(cmd, "GET 0 SERVER"), "100 INFO 0 SERVER RUNNING");
  }
}

TEST(SimRobustness, OverlongLineIsDroppedIn073) {
  SimProcess sim({"--protocol", "0.7.3", "--port", "0"});
  LineSocket cmd(sim.port(0));
  LineSocket info(sim.port(2));
  cmd.readLine();
  info.readLine();
  cmd.sendLine("SET POWER ON " + std::string(100000, 'z'));
  cmd.sendLine("GET POWER");
  EXPECT_EQ(cmd.readLine(), std::optional<std::string>("INFO POWER OFF "));
  EXPECT_FALSE(info.readLine(100ms));
}

// Found by the fuzzer: 0.7.3 answers quoted words of the command back, bytes outside printable
// ASCII included. Such a line is not understood and is ignored like any other.
TEST(SimRobustness, LinesWithBytesOutsidePrintableAsciiAreIgnoredIn073) {
  SimProcess sim({"--protocol", "0.7.3", "--port", "0"});
  LineSocket cmd(sim.port(0));
  LineSocket info(sim.port(2));
  cmd.readLine();
  info.readLine();
  cmd.sendLine("GET GA \xe1 4 0");
  cmd.sendLine("SET GL M\x01 3 1 50 100 1 4 0 1 0 0");
  cmd.sendLine("SET GA M 15 1 1 -1\x1b");
  cmd.sendLine("GET POWER");
  EXPECT_EQ(cmd.readLine(), std::optional<std::string>("INFO POWER OFF "));
  EXPECT_FALSE(info.readLine(100ms));
  // Blanks, tabs and the CR of a CR LF line end stay as they were.
  cmd.sendRaw("SET GA M 15 1 1 -1\r\n");
  cmd.sendRaw("GET\tGA M 15 1\n");
  EXPECT_EQ(info.readLine(), std::optional<std::string>("INFO GA M 15 1 1 -1"));
  EXPECT_EQ(cmd.readLine(), std::optional<std::string>("INFO GA M 15 1 1 -1"));
}

TEST(SimRobustness, GarbageVanishingAndManyClientsDoNotStopAnswers) {
  for (const char *protocol : {"0.8.2", "0.7.3"}) {
    SCOPED_TRACE(protocol);
    bool v082 = std::string(protocol) == "0.8.2";
    SimProcess sim({"--protocol", protocol, "--port", "0"});
    std::mt19937 random(42);
    std::vector<std::unique_ptr<LineSocket>> clients;
    for (int i = 0; i < 100; ++i) {
      auto c = std::make_unique<LineSocket>(sim.port(static_cast<std::size_t>(v082 ? 0 : i % 3)));
      ASSERT_TRUE(c->connected()) << i;
      std::string garbage(static_cast<std::size_t>(random() % 6000), '\0');
      for (char &ch : garbage)
        ch = static_cast<char>(random() % 256);
      c->sendRaw(garbage);
      if (i % 3 == 0)
        c->sendRaw("SET 1 GL 3 1 5"); // vanishes mid-line
      if (i % 2 == 0)
        c->close();
      else
        clients.push_back(std::move(c)); // stays connected, never reads
    }
    LineSocket probe(sim.port());
    if (v082) {
      ASSERT_FALSE(handshake(probe, "COMMAND").empty());
      EXPECT_EQ(answerTo(probe, "GET 0 SERVER"), "100 INFO 0 SERVER RUNNING");
    } else {
      probe.readLine();
      probe.sendLine("GET POWER");
      EXPECT_EQ(probe.readLine(), std::optional<std::string>("INFO POWER OFF "));
    }
  }
}

TEST(SimRobustness, ClientThatNeverReadsIsDroppedWithoutHoldingUpOthers) {
  SimProcess sim({"--protocol", "0.8.2", "--port", "0"});
  LineSocket flooder(sim.port());
  ASSERT_FALSE(handshake(flooder, "COMMAND").empty());
  LineSocket other(sim.port());
  ASSERT_FALSE(handshake(other, "COMMAND").empty());
  // About 8 MB of answers that are never read: more than the socket buffers and the output queue hold.
  std::string batch;
  for (int i = 0; i < 1000; ++i)
    batch += "GET 1 DESCRIPTION\n";
  std::thread flood([&] {
    for (int i = 0; i < 400 && flooder.sendRaw(batch); ++i) {
    }
  });
  for (int i = 0; i < 20; ++i)
    EXPECT_EQ(answerTo(other, "GET 0 SERVER"), "100 INFO 0 SERVER RUNNING");
  flood.join();
  EXPECT_TRUE(flooder.closedByPeer(5000ms));
  EXPECT_EQ(answerTo(other, "GET 0 SERVER"), "100 INFO 0 SERVER RUNNING");
}

TEST(SimRobustness, InfoSessionThatNeverReadsIsDroppedWhileChangesGoOn) {
  SimProcess sim({"--protocol", "0.8.2", "--port", "0"});
  LineSocket sleeper(sim.port());
  ASSERT_FALSE(handshake(sleeper, "INFO").empty());
  LineSocket cmd(sim.port());
  ASSERT_FALSE(handshake(cmd, "COMMAND").empty());
  // Some 10 MB of INFO lines for a session that does not read them.
  std::string toggles;
  for (int i = 0; i < 1000; ++i)
    toggles += i % 2 ? "power 1 off\n" : "power 1 on\n";
  toggles.pop_back();
  for (int i = 0; i < 250; ++i)
    sim.control(toggles);
  EXPECT_EQ(answerTo(cmd, "GET 0 SERVER"), "100 INFO 0 SERVER RUNNING");
  EXPECT_TRUE(sleeper.closedByPeer(10000ms));
  EXPECT_EQ(answerTo(cmd, "GET 1 POWER"), "100 INFO 1 POWER OFF");
}

} // namespace
