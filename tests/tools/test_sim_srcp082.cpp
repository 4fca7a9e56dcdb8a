// The simulator as an SRCP 0.8.2 server: handshake, one answer per command, INFO lines on info
// sessions, error codes.

#include "SimHarness.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <thread>

using namespace simtest;
using namespace std::chrono_literals;

namespace {

std::vector<std::string> expectedOpeningState() {
  std::vector<std::string> lines = {
      "100 INFO 0 DESCRIPTION SESSION SERVER TIME", "100 INFO 1 DESCRIPTION GL GA FB POWER SM",
      "100 INFO 2 DESCRIPTION GL POWER",            "100 INFO 3 DESCRIPTION GL POWER",
      "100 INFO 4 DESCRIPTION POWER",               "100 INFO 5 DESCRIPTION GA POWER",
      "100 INFO 6 DESCRIPTION GA POWER",            "100 INFO 7 DESCRIPTION POWER",
      "100 INFO 8 DESCRIPTION FB POWER"};
  for (int b = 1; b <= 8; ++b) {
    lines.push_back("101 INFO " + std::to_string(b) + " POWER");
    lines.push_back("100 INFO " + std::to_string(b) + " POWER OFF");
  }
  return lines;
}

// Reads `count` lines and returns them without time stamps.
std::vector<std::string> readInfo(LineSocket &s, std::size_t count) {
  std::vector<std::string> lines;
  while (lines.size() < count) {
    auto l = s.readLine();
    if (!l)
      break;
    lines.push_back(withoutStamp(*l));
  }
  return lines;
}

class Srcp082 : public ::testing::Test {
protected:
  SimProcess sim{{"--protocol", "0.8.2", "--port", "0"}};
};

TEST_F(Srcp082, WelcomeOffersSrcp082AndEveryAnswerCarriesATimeStamp) {
  ASSERT_EQ(sim.ports().size(), 1u);
  LineSocket s(sim.port());
  auto welcome = s.readLine();
  ASSERT_TRUE(welcome);
  EXPECT_NE(welcome->find("SRCP 0.8.2"), std::string::npos);
  s.sendLine("SET PROTOCOL SRCP 0.8.2");
  auto answer = s.readLine();
  ASSERT_TRUE(answer);
  // "<seconds>.<ms> 201 OK PROTOCOL SRCP"
  auto blank = answer->find(' ');
  ASSERT_NE(blank, std::string::npos);
  std::string stamp = answer->substr(0, blank);
  ASSERT_GE(stamp.size(), 5u);
  EXPECT_EQ(stamp[stamp.size() - 4], '.');
  EXPECT_EQ(answer->substr(blank + 1), "201 OK PROTOCOL SRCP");
}

TEST_F(Srcp082, FullSessionIsAnsweredAndSeenOnASecondInfoSession) {
  LineSocket info(sim.port());
  ASSERT_EQ(handshake(info, "INFO").substr(0, 9), "200 OK GO");
  auto opening = expectedOpeningState();
  EXPECT_EQ(readInfo(info, opening.size()), opening);

  LineSocket cmd(sim.port());
  std::string go = handshake(cmd, "COMMAND");
  ASSERT_EQ(go.substr(0, 10), "200 OK GO ");
  std::string session = go.substr(10);

  struct Step {
    std::string command, answer;
    std::vector<std::string> infos;
  };
  const std::vector<Step> steps = {
      {"INIT 1 GL 3 M 2 14 5", "200 OK", {"101 INFO 1 GL 3 M 2 14 5"}},
      {"SET 1 GL 3 1 50 100 1 0 0 0 0", "200 OK", {"100 INFO 1 GL 3 1 50 100 1 0 0 0 0"}},
      {"GET 1 GL 3", "100 INFO 1 GL 3 1 50 100 1 0 0 0 0", {}},
      {"INIT 2 GL 1234 N 1 128 5", "200 OK", {"101 INFO 2 GL 1234 N 1 128 5"}},
      {"INIT 5 GA 16 M", "200 OK", {"101 INFO 5 GA 16 M"}},
      {"SET 5 GA 16 1 1 -1", "200 OK", {"100 INFO 5 GA 16 1 1"}},
      {"GET 5 GA 16 1", "100 INFO 5 GA 16 1 1", {}},
      {"INIT 6 GA 3 N", "200 OK", {"101 INFO 6 GA 3 N"}},
      {"SET 1 POWER ON", "200 OK", {"100 INFO 1 POWER ON"}},
      {"GET 1 POWER", "100 INFO 1 POWER ON", {}},
      {"INIT 0 TIME 10 1", "200 OK", {"101 INFO 0 TIME 10 1"}},
      {"SET 0 TIME 2460000 12 30 0", "200 OK", {"100 INFO 0 TIME 2460000 12 30 0"}},
      {"INIT 8 FB S88 LPT1 4", "200 OK", {"101 INFO 8 FB"}},
      {"GET 8 FB 12", "100 INFO 8 FB 12 0", {}},
      {"SET 8 FB 12 1", "200 OK", {"100 INFO 8 FB 12 1"}},
      {"GET 8 FB 12", "100 INFO 8 FB 12 1", {}},
      {"GET 0 SERVER", "100 INFO 0 SERVER RUNNING", {}},
      {"GET 1 DESCRIPTION", "100 INFO 1 DESCRIPTION GL GA FB POWER SM", {}},
      {"GET 1 DESCRIPTION GL 3", "101 INFO 1 GL 3 M 2 14 5", {}},
      {"TERM 1 GL 3", "200 OK", {"102 INFO 1 GL 3"}},
      {"TERM 0 TIME", "200 OK", {"102 INFO 0 TIME"}},
      {"SET 1 POWER OFF", "200 OK", {"100 INFO 1 POWER OFF"}},
  };
  for (const auto &step : steps) {
    SCOPED_TRACE(step.command);
    ASSERT_TRUE(cmd.sendLine(step.command));
    auto answer = cmd.readLine();
    ASSERT_TRUE(answer);
    EXPECT_EQ(withoutStamp(*answer), step.answer);
    EXPECT_EQ(readInfo(info, step.infos.size()), step.infos);
  }
  // Nothing more than one answer per command.
  EXPECT_FALSE(cmd.readLine(100ms));

  cmd.sendLine("TERM 0 SESSION " + session);
  auto bye = cmd.readLine();
  ASSERT_TRUE(bye);
  EXPECT_EQ(withoutStamp(*bye), "200 OK");
  EXPECT_TRUE(cmd.closedByPeer());
}

TEST_F(Srcp082, NewInfoSessionGetsTheStateOfInitialisedDevices) {
  LineSocket cmd(sim.port());
  ASSERT_FALSE(handshake(cmd, "COMMAND").empty());
  for (const char *line : {"INIT 1 GL 3 M 2 14 5", "SET 1 GL 3 0 7 14 1 0 0 0 1", "INIT 5 GA 16 M",
                           "SET 5 GA 16 0 1 -1", "SET 1 POWER ON", "INIT 0 TIME 1 1000", "SET 0 TIME 2460000 8 0 0"}) {
    cmd.sendLine(line);
    ASSERT_EQ(withoutStamp(cmd.readLine().value_or("")), "200 OK") << line;
  }
  sim.control("fb 8 5 1");
  LineSocket info(sim.port());
  ASSERT_FALSE(handshake(info, "INFO").empty());
  auto opening = expectedOpeningState();
  std::vector<std::string> expected(opening.begin(), opening.begin() + 9); // descriptions
  expected.insert(expected.end(), {"101 INFO 0 TIME 1 1000", "100 INFO 0 TIME 2460000 8 0 0"});
  for (int b = 1; b <= 8; ++b) {
    std::string bus = std::to_string(b);
    expected.push_back("101 INFO " + bus + " POWER");
    expected.push_back("100 INFO " + bus + (b == 1 ? " POWER ON" : " POWER OFF"));
    if (b == 1)
      expected.insert(expected.end(), {"101 INFO 1 GL 3 M 2 14 5", "100 INFO 1 GL 3 0 7 14 1 0 0 0 1"});
    if (b == 5)
      expected.insert(expected.end(), {"101 INFO 5 GA 16 M", "100 INFO 5 GA 16 0 1"});
    if (b == 8)
      expected.push_back("100 INFO 8 FB 5 1");
  }
  EXPECT_EQ(readInfo(info, expected.size()), expected);
  EXPECT_FALSE(info.readLine(100ms));
}

TEST_F(Srcp082, AccessoryWithDelaySwitchesItselfOff) {
  LineSocket info(sim.port());
  ASSERT_FALSE(handshake(info, "INFO").empty());
  readInfo(info, expectedOpeningState().size());
  LineSocket cmd(sim.port());
  ASSERT_FALSE(handshake(cmd, "COMMAND").empty());
  cmd.sendLine("INIT 5 GA 7 M");
  cmd.readLine();
  auto sent = std::chrono::steady_clock::now();
  cmd.sendLine("SET 5 GA 7 0 1 300");
  EXPECT_EQ(withoutStamp(cmd.readLine().value_or("")), "200 OK");
  EXPECT_EQ(readInfo(info, 2), (std::vector<std::string>{"101 INFO 5 GA 7 M", "100 INFO 5 GA 7 0 1"}));
  EXPECT_EQ(readInfo(info, 1), std::vector<std::string>{"100 INFO 5 GA 7 0 0"});
  EXPECT_GE(std::chrono::steady_clock::now() - sent, 290ms);
  cmd.sendLine("GET 5 GA 7 0");
  EXPECT_EQ(withoutStamp(cmd.readLine().value_or("")), "100 INFO 5 GA 7 0 0");
}

TEST_F(Srcp082, ModelTimeRunsAtTheInitialisedSpeed) {
  LineSocket cmd(sim.port());
  ASSERT_FALSE(handshake(cmd, "COMMAND").empty());
  cmd.sendLine("INIT 0 TIME 100 1");
  cmd.readLine();
  cmd.sendLine("SET 0 TIME 2460000 10 0 0");
  cmd.readLine();
  std::this_thread::sleep_for(1250ms); // 125 model seconds
  cmd.sendLine("GET 0 TIME");
  auto answer = withoutStamp(cmd.readLine().value_or(""));
  EXPECT_EQ(answer.rfind("100 INFO 0 TIME 2460000 10 2 ", 0), 0u) << answer;
}

TEST_F(Srcp082, BadCommandsGetTheirErrorCode) {
  LineSocket cmd(sim.port());
  ASSERT_FALSE(handshake(cmd, "COMMAND").empty());
  cmd.sendLine("INIT 1 GL 3 M 2 14 5");
  cmd.readLine();
  cmd.sendLine("INIT 5 GA 1 M");
  cmd.readLine();
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"FOO 1 GL 3", "410 ERROR unknown command"},
      {"GO", "410 ERROR unknown command"},
      {"SET 1 GL 3 1 x 100 0", "411 ERROR unknown value"},
      {"SET 1 POWER MAYBE", "411 ERROR unknown value"},
      {"GET 9 POWER", "412 ERROR wrong value"},
      {"GET x POWER", "412 ERROR wrong value"},
      {"SET 1 GL 3 5 10 100 0", "412 ERROR wrong value"},
      {"SET 1 GL 3 1 120 100 0", "412 ERROR wrong value"},
      {"SET 5 GA 1 2 1 -1", "412 ERROR wrong value"},
      {"SET 0 TIME 2460000 24 0 0", "416 ERROR no data"}, // time not initialised yet
      {"GET 1 GL 4", "416 ERROR no data"},
      {"SET 5 GA 2 0 1 -1", "416 ERROR no data"},
      {"GET 1", "419 ERROR list too short"},
      {"SET 1 GL 3 1 50", "419 ERROR list too short"},
      {"SET 5 GA 1 0", "419 ERROR list too short"},
      {"INIT 1 GL 5 X 14 5", "420 ERROR unsupported device protocol"},
      {"INIT 5 GA 5 Q", "420 ERROR unsupported device protocol"},
      {"GET 1 WIDGET 3", "421 ERROR unsupported device"},
      {"SET 2 GA 1 0 1 -1", "422 ERROR unsupported device group"},
      {"GET 1 TIME", "422 ERROR unsupported device group"},
      {"GET 2 SM 3 CV 1", "422 ERROR unsupported device group"},
      {"TERM 0 SERVER", "415 ERROR forbidden"},
  };
  for (const auto &[line, expected] : cases) {
    cmd.sendLine(line);
    auto answer = cmd.readLine();
    ASSERT_TRUE(answer) << line;
    EXPECT_EQ(withoutStamp(*answer), expected) << line;
  }
  cmd.sendLine("INIT 0 TIME 1 1");
  cmd.readLine();
  cmd.sendLine("SET 0 TIME 2460000 24 0 0");
  EXPECT_EQ(withoutStamp(cmd.readLine().value_or("")), "412 ERROR wrong value");
}

TEST_F(Srcp082, HandshakeRefusesOtherProtocolsAndModes) {
  LineSocket s(sim.port());
  s.readLine();
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"SET PROTOCOL SRCP 0.7.3", "400 ERROR unsupported protocol"},
      {"SET CONNECTIONMODE SRCP FEEDBACK", "401 ERROR unsupported connection mode"},
      {"GET 1 POWER", "410 ERROR unknown command"},
      {"SET PROTOCOL SRCP 0.8.3", "201 OK PROTOCOL SRCP"},
  };
  for (const auto &[line, expected] : cases) {
    s.sendLine(line);
    EXPECT_EQ(withoutStamp(s.readLine().value_or("")), expected) << line;
  }
}

TEST_F(Srcp082, TermSessionOfAnotherSessionClosesIt) {
  LineSocket a(sim.port()), b(sim.port());
  std::string goA = handshake(a, "COMMAND");
  ASSERT_FALSE(handshake(b, "COMMAND").empty());
  b.sendLine("TERM 0 SESSION " + goA.substr(10));
  EXPECT_EQ(withoutStamp(b.readLine().value_or("")), "200 OK");
  EXPECT_TRUE(a.closedByPeer());
  b.sendLine("TERM 0 SESSION 999");
  EXPECT_EQ(withoutStamp(b.readLine().value_or("")), "412 ERROR wrong value");
}

TEST_F(Srcp082, ControlCommandsReachInfoSessions) {
  LineSocket info(sim.port());
  ASSERT_FALSE(handshake(info, "INFO").empty());
  readInfo(info, expectedOpeningState().size());
  sim.control("fb 8 17 1");
  sim.control("power 1 on");
  sim.control("fb 8 17 1"); // no change, no line
  sim.control("fb 8 17 0");
  sim.control("nonsense");
  EXPECT_EQ(readInfo(info, 3),
            (std::vector<std::string>{"100 INFO 8 FB 17 1", "100 INFO 1 POWER ON", "100 INFO 8 FB 17 0"}));
  EXPECT_FALSE(info.readLine(150ms));
  sim.control("quit");
  EXPECT_EQ(sim.waitExit(3000ms), std::optional<int>(0));
}

TEST(Srcp082Demo, DrivenLocoMovesTheTrainOverBus8Contacts) {
  SimProcess sim({"--protocol", "0.8.2", "--port", "0", "--demo", "--demo-contacts", "9,10", "--demo-step-ms", "40"});
  LineSocket info(sim.port());
  ASSERT_FALSE(handshake(info, "INFO").empty());
  readInfo(info, expectedOpeningState().size());
  LineSocket cmd(sim.port());
  ASSERT_FALSE(handshake(cmd, "COMMAND").empty());
  cmd.sendLine("INIT 2 GL 7 N 1 28 1");
  cmd.readLine();
  EXPECT_EQ(readInfo(info, 1), std::vector<std::string>{"101 INFO 2 GL 7 N 1 28 1"});
  EXPECT_FALSE(info.readLine(150ms)); // standing
  cmd.sendLine("SET 2 GL 7 0 28 28 0"); // backwards at full speed
  cmd.readLine();
  EXPECT_EQ(readInfo(info, 5),
            (std::vector<std::string>{"100 INFO 2 GL 7 0 28 28 0", "100 INFO 8 FB 9 1", "100 INFO 8 FB 10 1",
                                      "100 INFO 8 FB 9 0", "100 INFO 8 FB 9 1"}));
}

} // namespace

TEST(Srcp082Srcpd, GreetsAndDescribesLikeASingleBusSrcpd) {
  SimProcess sim({"--protocol", "0.8.2", "--port", "0", "--srcpd"});
  sim.control("fb 1 7 1");
  LineSocket probe(sim.port());
  auto welcome = probe.readLine();
  ASSERT_TRUE(welcome);
  EXPECT_EQ(*welcome, "srcpd V2.1.3; SRCP 0.8.4; SRCPOTHER 0.8.3");
  LineSocket info(sim.port());
  ASSERT_FALSE(handshake(info, "INFO").empty());
  EXPECT_EQ(readInfo(info, 5), (std::vector<std::string>{"100 INFO 0 DESCRIPTION SESSION SERVER TIME GM",
                                                          "100 INFO 1 DESCRIPTION GA GL FB POWER LOCK DESCRIPTION SM",
                                                          "101 INFO 1 POWER", "100 INFO 1 POWER OFF",
                                                          "100 INFO 1 FB 7 1"}))
      << "only the occupied contact is dumped";

  LineSocket cmd(sim.port());
  ASSERT_FALSE(handshake(cmd, "COMMAND").empty());
  cmd.sendLine("INIT 5 GA 12 M");
  auto answer = cmd.readLine();
  ASSERT_TRUE(answer);
  EXPECT_EQ(withoutStamp(*answer).substr(0, 3), "412") << "bus 5 does not exist";
}

TEST(Srcp082Srcpd, MutedServerReadsCommandsButNeverAnswers) {
  SimProcess sim({"--protocol", "0.8.2", "--port", "0"});
  LineSocket cmd(sim.port());
  ASSERT_FALSE(handshake(cmd, "COMMAND").empty());
  sim.control("mute");
  std::this_thread::sleep_for(100ms);
  cmd.sendLine("GET 1 POWER");
  EXPECT_FALSE(cmd.readLine(500ms));
  sim.control("unmute");
  std::this_thread::sleep_for(100ms);
  cmd.sendLine("GET 1 POWER");
  auto answer = cmd.readLine();
  ASSERT_TRUE(answer);
  EXPECT_EQ(withoutStamp(*answer), "100 INFO 1 POWER OFF");
}

// The programming track on bus 1: a decoder with factory values, reads and writes that take their
// time, verify, bits, and the faults a real programming track has.
TEST_F(Srcp082, ProgrammingTrackReadsWritesVerifiesAndFailsLikeARealOne) {
  LineSocket cmd(sim.port());
  ASSERT_FALSE(handshake(cmd, "COMMAND").empty());
  auto ask = [&](const std::string &line) {
    cmd.sendLine(line);
    return withoutStamp(cmd.readLine().value_or("(none)"));
  };
  EXPECT_EQ(ask("GET 1 SM 0 CV 1"), "415 ERROR forbidden"); // not in service mode yet
  EXPECT_EQ(ask("INIT 1 SM MM"), "420 ERROR unsupported device protocol");
  EXPECT_EQ(ask("INIT 1 SM NMRA"), "200 OK");

  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(ask("GET 1 SM 0 CV 1"), "100 INFO 1 SM 0 CV 1 3");
  EXPECT_GE(std::chrono::steady_clock::now() - before, 100ms); // a read takes its time
  const struct {
    const char *line;
    const char *answer;
  } rows[] = {
      {"GET 1 SM 0 CV 8", "100 INFO 1 SM 0 CV 8 151"},
      {"SET 1 SM 0 CV 17 200", "200 OK"},
      {"SET 1 SM 0 CV 18 100", "200 OK"},
      {"SET 1 SM 0 CVBIT 29 5 1", "200 OK"},
      {"GET 1 SM 0 CV 29", "100 INFO 1 SM 0 CV 29 38"},
      {"GET 1 SM 0 CVBIT 29 5", "100 INFO 1 SM 0 CVBIT 29 5 1"},
      {"VERIFY 1 SM 0 CV 17 200", "100 INFO 1 SM 0 CV 17 200"},
      {"VERIFY 1 SM 0 CV 17 201", "412 ERROR wrong value"},
      {"SET 1 SM 0 REG 5 6", "200 OK"}, // register 5 is CV 29
      {"GET 1 SM 0 CV 29", "100 INFO 1 SM 0 CV 29 6"},
      {"SET 1 SM 0 CV 7 1", "416 ERROR no data"},  // read only: no acknowledge
      {"SET 1 SM 0 CV 1 256", "412 ERROR wrong value"},
      {"GET 1 SM 0 CV 1025", "412 ERROR wrong value"},
      {"GET 1 SM 3 CV 1", "100 INFO 1 SM 3 CV 1 3"},        // the decoder on the track answers any address
      {"VERIFY 1 SM 3 CV 1 3", "100 INFO 1 SM 3 CV 1 3"},
      {"SET 1 SM 3 CV 3 20", "200 OK"},                        // programming on the main track
      {"SET 1 SM 0 CV 8 8", "200 OK"},                         // factory reset
      {"GET 1 SM 0 CV 17", "100 INFO 1 SM 0 CV 17 192"},
  };
  for (const auto &r : rows)
    EXPECT_EQ(ask(r.line), r.answer) << r.line;

  sim.control("sm noloco on");
  EXPECT_EQ(ask("GET 1 SM 0 CV 1"), "417 ERROR timeout");
  sim.control("sm noloco off");
  sim.control("sm noack on");
  EXPECT_EQ(ask("SET 1 SM 0 CV 3 4"), "416 ERROR no data");
  sim.control("sm noack off");
  EXPECT_EQ(ask("GET 1 SM 0 CV 3"), "100 INFO 1 SM 0 CV 3 10");
  EXPECT_EQ(ask("TERM 1 SM"), "200 OK");
  EXPECT_EQ(ask("GET 1 SM 0 CV 1"), "415 ERROR forbidden");
}

namespace {

// The answer to one command, without its time stamp ("" when none came).
std::string ask(LineSocket &cmd, const std::string &line) {
  cmd.sendLine(line);
  auto answer = cmd.readLine();
  return answer ? withoutStamp(*answer) : "";
}

std::string fileText(const std::string &path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

TEST(Srcp082Srcpd, PowerIsPerBusAndSetsOnABusWithoutPowerAreAcknowledgedAndDropped) {
  const std::string logPath = ::testing::TempDir() + "srcp-sim-srcpd-power.txt";
  SimProcess sim({"--protocol", "0.8.2", "--port", "0", "--srcpd", "--buses", "8", "--log", logPath});
  LineSocket info(sim.port());
  ASSERT_FALSE(handshake(info, "INFO").empty());
  auto opening = readInfo(info, 9 + 16);
  ASSERT_EQ(opening.size(), 25u);
  EXPECT_EQ(opening[1], "100 INFO 1 DESCRIPTION GA GL FB POWER LOCK DESCRIPTION SM");
  EXPECT_EQ(opening[8], "100 INFO 8 DESCRIPTION FB POWER");

  LineSocket cmd(sim.port());
  ASSERT_FALSE(handshake(cmd, "COMMAND").empty());
  EXPECT_EQ(ask(cmd, "INIT 1 GL 3 P 14 5"), "200 OK") << "the server picks the decoder protocol";
  EXPECT_EQ(readInfo(info, 1), std::vector<std::string>{"101 INFO 1 GL 3 P 14 5"});
  // With a protocol version first, as for M and N, and steps and functions beyond the defaults.
  EXPECT_EQ(ask(cmd, "INIT 1 GL 4 P 1 128 29"), "200 OK");
  EXPECT_EQ(readInfo(info, 1), std::vector<std::string>{"101 INFO 1 GL 4 P 128 29"});
  EXPECT_EQ(ask(cmd, "INIT 1 GL 6 P"), "200 OK") << "the server's own steps and functions";
  EXPECT_EQ(readInfo(info, 1), std::vector<std::string>{"101 INFO 1 GL 6 P 14 1"});
  EXPECT_EQ(ask(cmd, "INIT 5 GA 12 M"), "200 OK");
  EXPECT_EQ(readInfo(info, 1), std::vector<std::string>{"101 INFO 5 GA 12 M"});

  // Power off everywhere: both SETs are acknowledged, nothing changes.
  EXPECT_EQ(ask(cmd, "SET 5 GA 12 1 1 -1"), "200 OK");
  EXPECT_EQ(ask(cmd, "SET 1 GL 3 1 7 14 1 0 0 0 0"), "200 OK");
  EXPECT_FALSE(info.readLine(200ms)) << "a dropped SET is not reported";
  EXPECT_EQ(ask(cmd, "GET 1 GL 3"), "100 INFO 1 GL 3 1 0 14 0 0 0 0 0");

  // Power on bus 5 only: the accessory switches, the loco on bus 1 still gets nothing.
  EXPECT_EQ(ask(cmd, "SET 5 POWER ON"), "200 OK");
  EXPECT_EQ(readInfo(info, 1), std::vector<std::string>{"100 INFO 5 POWER ON"});
  EXPECT_EQ(ask(cmd, "SET 5 GA 12 1 1 -1"), "200 OK");
  EXPECT_EQ(readInfo(info, 1), std::vector<std::string>{"100 INFO 5 GA 12 1 1"});
  EXPECT_EQ(ask(cmd, "SET 1 GL 3 1 7 14 1 0 0 0 0"), "200 OK");
  EXPECT_EQ(ask(cmd, "GET 1 POWER"), "100 INFO 1 POWER OFF");
  EXPECT_EQ(ask(cmd, "GET 1 GL 3"), "100 INFO 1 GL 3 1 0 14 0 0 0 0 0");

  const std::string log = fileText(logPath);
  std::size_t dropped = 0;
  for (std::size_t at = log.find(" D bus "); at != std::string::npos; at = log.find(" D bus ", at + 1))
    ++dropped;
  EXPECT_EQ(dropped, 3u) << log;
  EXPECT_NE(log.find(" D bus 1 power off"), std::string::npos);
}

TEST(Srcp082Srcpd, PlainSimulatorKeepsApplyingSetsWithoutPower) {
  SimProcess sim({"--protocol", "0.8.2", "--port", "0"});
  LineSocket cmd(sim.port());
  ASSERT_FALSE(handshake(cmd, "COMMAND").empty());
  ASSERT_EQ(ask(cmd, "INIT 5 GA 12 M"), "200 OK");
  ASSERT_EQ(ask(cmd, "SET 5 GA 12 1 1 -1"), "200 OK");
  EXPECT_EQ(ask(cmd, "GET 5 GA 12 1"), "100 INFO 5 GA 12 1 1");
}

TEST(Srcp082Srcpd, GreetOffAndFreezeHoldAnswersIn082) {
  SimProcess sim({"--protocol", "0.8.2", "--port", "0", "--srcpd"});
  sim.control("greet off");
  std::this_thread::sleep_for(100ms);
  {
    LineSocket silent(sim.port());
    ASSERT_TRUE(silent.connected());
    EXPECT_FALSE(silent.readLine(300ms)) << "accepted but never greeted";
    silent.sendLine("SET PROTOCOL SRCP 0.8.2");
    EXPECT_FALSE(silent.readLine(300ms)) << "nor answered";
  }
  sim.control("greet on");
  std::this_thread::sleep_for(100ms);
  LineSocket cmd(sim.port());
  ASSERT_FALSE(handshake(cmd, "COMMAND").empty());
  sim.control("freeze 600");
  std::this_thread::sleep_for(100ms);
  auto sent = std::chrono::steady_clock::now();
  cmd.sendLine("GET 1 POWER");
  auto answer = cmd.readLine(3000ms);
  ASSERT_TRUE(answer) << "a frozen server answers when it thaws";
  EXPECT_GE(std::chrono::steady_clock::now() - sent, 350ms);
  EXPECT_EQ(withoutStamp(*answer), "100 INFO 1 POWER OFF");
}

// A restarting server: the clients lose their connections, connecting is refused for a while, and
// the server comes back as after power-up: every bus off, no locos, but the contacts the track
// reports stay occupied.
TEST(Srcp082Srcpd, RestartDropsEveryClientAndComesBackWithEveryBusOff) {
  SimProcess sim({"--protocol", "0.8.2", "--port", "0", "--srcpd", "--buses", "8"});
  LineSocket cmd(sim.port());
  ASSERT_FALSE(handshake(cmd, "COMMAND").empty());
  for (int b : {1, 2, 5, 8})
    ASSERT_EQ(ask(cmd, "SET " + std::to_string(b) + " POWER ON"), "200 OK");
  ASSERT_EQ(ask(cmd, "INIT 1 GL 3 M 2 14 5"), "200 OK");
  sim.control("fb 8 4 1");
  sim.control("restart 300");
  EXPECT_FALSE(cmd.readLine(500ms)) << "the connection ended";

  const auto until = std::chrono::steady_clock::now() + 3s;
  const auto restarted = std::chrono::steady_clock::now();
  std::unique_ptr<LineSocket> again;
  while (std::chrono::steady_clock::now() < until) {
    again = std::make_unique<LineSocket>(sim.port());
    if (again->connected())
      break;
    std::this_thread::sleep_for(50ms);
  }
  ASSERT_TRUE(again && again->connected()) << "the server is back";
  EXPECT_GE(std::chrono::steady_clock::now() - restarted, 100ms) << "connecting was refused meanwhile";
  ASSERT_FALSE(handshake(*again, "COMMAND").empty());
  for (int b = 1; b <= 8; ++b)
    EXPECT_EQ(ask(*again, "GET " + std::to_string(b) + " POWER"), "100 INFO " + std::to_string(b) + " POWER OFF");
  EXPECT_EQ(ask(*again, "GET 1 GL 3"), "416 ERROR no data");
  EXPECT_EQ(ask(*again, "GET 8 FB 4"), "100 INFO 8 FB 4 1");
}
