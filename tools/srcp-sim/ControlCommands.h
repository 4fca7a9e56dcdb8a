#pragma once
// Control commands read from standard input, for tests and scripts:
//   fb <bus> <contact> <0|1>     set a feedback contact
//   power <bus> on|off           switch track power
//   mute | unmute                stop / resume answering commands (0.8.2)
//   sm noloco|noack on|off       programming track faults (0.8.2): no loco on it, no acknowledge
//   sm timing <read-ms> <write-ms>  how long one CV read / write takes (0.8.2)
//   quit                         stop the server

#include "EventLoop.h"
#include "Frontend.h"

#include <string_view>

namespace srcpsim {

// Carries out one control line. Returns false (and says why on standard error) if it is not understood.
bool runControlCommand(std::string_view line, Frontend &frontend, EventLoop &loop);

} // namespace srcpsim
