#pragma once
// What became of one accessory command on its way to the railway, as the thread that sent it
// learns it. Reported to the GUI thread, where the panel shows or takes back the new state.

enum class AccessoryOutcome {
    Acknowledged,    // the server answered the switch-on with an OK
    Written,         // SRCP 0.7.3: the switch-on line went out; the server answers nothing itself
    Refused,         // the server answered with an error, or the command could not be built
    TimedOut,        // no answer in time
    ConnectionLost,  // the connection ended before the answer (or before the command went out)
};
