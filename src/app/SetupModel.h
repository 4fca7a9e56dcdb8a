#pragma once
// What the settings dialog shows and how "Save" takes it over into the application state.

#include <QString>

#include <array>
#include <stdexcept>

struct AppState;

struct SetupValues {
    QString host;
    QString port;
    bool infoChannel = false;
    int srcpItem = 0;        // 0: SRCP 0.73, 1: SRCP 0.80
    int joyItem = 1;         // 0: up to two controllers, 1: one controller (Y and Z axes)
    bool joyChoiceEnabled = false;
    int langItem = -1;       // 0..6, -1: nothing selected
    int assistItem = 1;      // 0: no, 1: yes
    bool monitorPower = false;
    bool autoPower = false;
    bool autoReconnect = true;
    bool powerOnReconnect = false;  // switch track power on again after a reconnect
    std::array<int, 7> buses{};  // MM loco, NMRA short, NMRA long, MM solenoid, NMRA solenoid, S88, power
    // Phone throttles: the server on, its port, listen address, allow list (comma separated), client limit.
    bool phoneOn = false;
    int phonePort = 12090;
    QString phoneAddress;
    QString phoneAllow;
    int phoneLimit = 8;
    int phonePerAddress = 4;  // phones from one address
};

// A port text that is not a decimal number.
class SetupConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Fills the dialog values from the state. The language selection is left as it was in `shown`
// when Lang_id is outside 1..7.
SetupValues fillSetup(const AppState& main, const SetupValues& shown);

// Takes the values over, in order. A port that is not a number throws SetupConversionError after
// the host has already been taken; nothing after it changes then.
void applySetup(const SetupValues& values, AppState& main);
