#pragma once
// Control commands that break connections the way real servers and networks do:
//   drop             close every client connection at once (a server restart)
//   refuse <ms>      stop listening for ms milliseconds: connecting is refused meanwhile
//   freeze <ms>      stop answering for ms milliseconds (0: answer again now): nothing is read,
//                    written or accepted, but every connection stays open
//   freeze <ms> drop as freeze, and what the clients sent meanwhile is thrown away unread
//   delay <ms>       every line the server sends goes out ms milliseconds late (0: at once)
//   greet on|off     off: new connections are accepted but never greeted nor answered

#include "EventLoop.h"

#include <string_view>
#include <vector>

namespace srcpsim {

// Carries out the command if it is one of the above (true); false for any other line.
bool runConnectionControl(const std::vector<std::string_view> &words, EventLoop &loop);

} // namespace srcpsim
