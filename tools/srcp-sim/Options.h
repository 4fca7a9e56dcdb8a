#pragma once
// Command-line options of srcp-sim.

#include <string>
#include <vector>

namespace srcpsim {

struct Options {
  std::string protocol = "0.7.3"; // "0.7.3" or "0.8.2"
  int port = 12345;               // 0: pick free ports
  std::string logPath;
  int contacts = 32; // feedback contacts reported at start (per feedback bus)
  bool feedbackOnCommandPort = false;
  bool demo = false;
  std::vector<int> demoContacts = {1, 2, 3, 4, 5, 6, 7, 8};
  int demoStepMs = 2000;
  int demoIdleSpeed = 0; // percent of full speed (forward) while no loco drives the demo train
  bool exitOnStdinEof = false;
  bool srcpd = false; // 0.8.2: greet, describe the buses and gate commands on power like a current srcpd
  int buses = -1;     // 0.8.2: highest device bus served (1 to 8); -1: 1 with --srcpd, else 8
  bool help = false;
};

// Fills `options`; on a bad argument returns false and sets `error`.
bool parseOptions(int argc, char **argv, Options &options, std::string &error);
const char *usageText();

} // namespace srcpsim
