// The simulator as an SRCP 0.7.3 server: three ports, lines as the client writes them, feedback in
// both forms, the demo ring.

#include "SimHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <thread>

using namespace simtest;
using namespace std::chrono_literals;

namespace {

TEST(Srcp073, ThreePortsCarryCommandsFeedbackAndInformation) {
  SimProcess sim({"--protocol", "0.7.3", "--port", "0", "--contacts", "20"});
  ASSERT_EQ(sim.ports().size(), 3u);
  EXPECT_EQ(sim.port(1), sim.port(0) + 1);
  EXPECT_EQ(sim.port(2), sim.port(0) + 2);

  LineSocket command(sim.port(0));
  auto greeting = command.readLine();
  ASSERT_TRUE(greeting);
  EXPECT_NE(greeting->find("SRCP 0.7.3"), std::string::npos);
  LineSocket info(sim.port(2));
  EXPECT_EQ(info.readLine(), std::optional<std::string>("INFO POWER OFF "));
  sim.control("fb 1 2 1");
  std::this_thread::sleep_for(50ms);
  LineSocket feedback(sim.port(1));
  EXPECT_EQ(feedback.readLine(), std::optional<std::string>("INFO FB S88 * 01000000000000000000"));

  // Exactly as the program writes them: LF or CR LF, a loco line with a trailing blank.
  command.sendRaw("SET GA M 15 1 1 -1\n");
  command.sendRaw("SET GA M 15 1 0 -1\n");
  command.sendRaw("SET GL M2 3 1 50 100 1 4 0 1 0 0 \r\n");
  command.sendRaw("SET POWER ON\n");
  command.sendRaw("this is not a command\n");
  command.sendRaw("SET GA X 1 1 1 -1\n");
  command.sendRaw("SET POWER OFF\n");
  const std::vector<std::string> expected = {"INFO GA M 15 1 1 -1", "INFO GA M 15 1 0 -1",
                                             "INFO GL M2 3 1 50 100 1 4 0 1 0 0", "INFO POWER ON ",
                                             "INFO POWER OFF "};
  for (const auto &line : expected)
    EXPECT_EQ(info.readLine(), std::optional<std::string>(line));
  EXPECT_FALSE(info.readLine(100ms));

  // GET is answered on the command port; nothing else is.
  command.sendLine("GET GL M2 3");
  EXPECT_EQ(command.readLine(), std::optional<std::string>("INFO GL M2 3 1 50 100 1 4 0 1 0 0"));
  command.sendLine("GET GA M 15 1");
  EXPECT_EQ(command.readLine(), std::optional<std::string>("INFO GA M 15 1 0 -1"));
  command.sendLine("GET FB S88 2");
  EXPECT_EQ(command.readLine(), std::optional<std::string>("INFO FB S88 2 1"));
  command.sendLine("GET POWER");
  EXPECT_EQ(command.readLine(), std::optional<std::string>("INFO POWER OFF "));

  sim.control("fb 1 17 1");
  sim.control("fb 1 2 0");
  EXPECT_EQ(feedback.readLine(), std::optional<std::string>("INFO FB S88 17 1"));
  EXPECT_EQ(feedback.readLine(), std::optional<std::string>("INFO FB S88 2 0"));
  // Without --fb-on-command the command port stays quiet.
  EXPECT_FALSE(command.readLine(100ms));

  command.sendLine("SET POWER ON");
  EXPECT_EQ(info.readLine(), std::optional<std::string>("INFO POWER ON "));
  command.sendLine("RESET");
  EXPECT_EQ(info.readLine(), std::optional<std::string>("INFO POWER OFF "));
}

TEST(Srcp073, FeedbackCanBeRepeatedOnTheCommandPort) {
  SimProcess sim({"--protocol", "0.7.3", "--port", "0", "--fb-on-command"});
  LineSocket command(sim.port(0));
  command.readLine();
  sim.control("fb 1 5 1");
  EXPECT_EQ(command.readLine(), std::optional<std::string>("INFO FB S88 5 1"));
}

TEST(Srcp073, AccessoryWithDelaySwitchesOff) {
  SimProcess sim({"--protocol", "0.7.3", "--port", "0"});
  LineSocket command(sim.port(0));
  LineSocket info(sim.port(2));
  command.readLine();
  info.readLine();
  command.sendLine("SET GA M 16 1 1 200");
  EXPECT_EQ(info.readLine(), std::optional<std::string>("INFO GA M 16 1 1 200"));
  EXPECT_EQ(info.readLine(), std::optional<std::string>("INFO GA M 16 1 0 -1"));
}

TEST(Srcp073, LogRecordsReceivedLinesWithMillisecondStamps) {
  std::string logPath = ::testing::TempDir() + "srcp-sim-log-test.txt";
  {
    SimProcess sim({"--protocol", "0.7.3", "--port", "0", "--log", logPath});
    LineSocket command(sim.port(0));
    command.readLine();
    command.sendLine("SET GA M 15 1 1 -1");
    std::this_thread::sleep_for(300ms);
    command.sendLine("SET GA M 15 1 0 -1");
    command.sendLine("GET POWER");
    ASSERT_TRUE(command.readLine());
  }
  std::ifstream log(logPath);
  std::vector<double> received;
  bool sawGreeting = false;
  for (std::string line; std::getline(log, line);) {
    std::istringstream fields(line);
    double ms = -1;
    std::string conn, kind;
    fields >> ms >> conn >> kind;
    ASSERT_GE(ms, 0) << line;
    auto dot = line.find('.');
    ASSERT_NE(dot, std::string::npos);
    EXPECT_EQ(line.find(' '), dot + 4) << "three decimals: " << line;
    std::string rest;
    std::getline(fields, rest);
    if (kind == "R" && rest.rfind(" SET GA M 15 1", 0) == 0)
      received.push_back(ms);
    if (kind == "S" && rest.find("SRCP 0.7.3") != std::string::npos)
      sawGreeting = true;
  }
  EXPECT_TRUE(sawGreeting);
  ASSERT_EQ(received.size(), 2u);
  EXPECT_GE(received[1] - received[0], 295.0);
}

TEST(Srcp073, DemoTrainRunsRoundTheRingWhileALocoIsDriven) {
  SimProcess sim({"--protocol", "0.7.3", "--port", "0", "--demo", "--demo-contacts", "3,4,5", "--demo-step-ms",
                  "40", "--contacts", "8"});
  LineSocket command(sim.port(0));
  command.readLine();
  LineSocket feedback(sim.port(1));
  EXPECT_EQ(feedback.readLine(), std::optional<std::string>("INFO FB S88 * 00000000"));
  EXPECT_FALSE(feedback.readLine(200ms)); // standing loco: nothing moves
  command.sendLine("SET GL M2 3 1 100 100 0 4 0 0 0 0 ");
  const std::vector<std::string> expected = {"INFO FB S88 3 1", "INFO FB S88 4 1", "INFO FB S88 3 0",
                                             "INFO FB S88 5 1", "INFO FB S88 4 0", "INFO FB S88 3 1",
                                             "INFO FB S88 5 0"};
  for (const auto &line : expected)
    EXPECT_EQ(feedback.readLine(), std::optional<std::string>(line));
  command.sendLine("SET GL M2 3 1 0 100 0 4 0 0 0 0 ");
  std::this_thread::sleep_for(100ms);
  while (feedback.readLine(50ms)) {
  }
  EXPECT_FALSE(feedback.readLine(200ms)); // stopped again
}

TEST(Srcp073, DemoTrainRunsByItselfAtTheIdleSpeedUntilALocoTakesOver) {
  SimProcess sim({"--protocol", "0.7.3", "--port", "0", "--demo", "--demo-contacts", "3,4,5", "--demo-step-ms",
                  "40", "--demo-idle-speed", "50", "--contacts", "8"});
  LineSocket command(sim.port(0));
  command.readLine();
  LineSocket feedback(sim.port(1));
  EXPECT_EQ(feedback.readLine(), std::optional<std::string>("INFO FB S88 * 00000000"));
  for (const char *line : {"INFO FB S88 3 1", "INFO FB S88 4 1", "INFO FB S88 3 0"})
    EXPECT_EQ(feedback.readLine(), std::optional<std::string>(line)); // no loco: forward by itself
  command.sendLine("SET GL M2 3 0 100 100 0 4 0 0 0 0 ");             // a loco running backwards takes over
  std::this_thread::sleep_for(100ms);
  while (feedback.readLine(30ms)) {
  }
  std::vector<int> occupied; // contacts in the order the train enters them
  while (occupied.size() < 3) {
    auto l = feedback.readLine();
    if (!l)
      break;
    if (l->size() > 14 && l->compare(l->size() - 2, 2, " 1") == 0)
      occupied.push_back(std::stoi(l->substr(12)));
  }
  ASSERT_EQ(occupied.size(), 3u);
  const std::vector<std::pair<int, int>> backwards = {{4, 3}, {3, 5}, {5, 4}};
  for (std::size_t i = 1; i < occupied.size(); ++i)
    EXPECT_NE(std::find(backwards.begin(), backwards.end(), std::make_pair(occupied[i - 1], occupied[i])),
              backwards.end())
        << occupied[i - 1] << " then " << occupied[i];
}

TEST(Srcp073, RunsWithoutStandardInputUntilTerminated) {
  SimProcess sim({"--protocol", "0.7.3", "--port", "0"});
  sim.closeStdin();
  EXPECT_FALSE(sim.waitExit(300ms)); // end of input is ignored by default
  LineSocket command(sim.port(0));
  EXPECT_TRUE(command.readLine());
  sim.terminate();
  EXPECT_EQ(sim.waitExit(3000ms), std::optional<int>(0));
}

TEST(Srcp073, ExitOnEofFlagEndsAtEndOfInput) {
  SimProcess sim({"--protocol", "0.7.3", "--port", "0", "--exit-on-eof"});
  sim.closeStdin();
  EXPECT_EQ(sim.waitExit(3000ms), std::optional<int>(0));
}

} // namespace
