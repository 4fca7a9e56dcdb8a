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

// A port text that is not a decimal number or not a port.
class SetupConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Fills the dialog values from the state. The language selection is left as it was in `shown`
// when Lang_id is outside 1..7.
SetupValues fillSetup(const AppState& main, const SetupValues& shown);

// Takes the values over, in order. A port that is not a number or lies outside 1..65535 throws
// SetupConversionError after the host has already been taken; nothing after it changes then.
void applySetup(const SetupValues& values, AppState& main);

// The fields of the settings dialog whose text can be a value the program cannot use.
enum class SetupField { Host, Port, Bus, PhonePort, PhoneAddress, PhoneAllow, PhoneLimit };

// Messages that say what a field takes, in the user's language.
constexpr int MsgSetupHost = 871, MsgSetupPort = 872, MsgSetupBus = 873, MsgSetupPhonePort = 874,
              MsgSetupPhoneAddress = 875, MsgSetupPhoneAllow = 876, MsgSetupPhoneLimit = 877;

// Why `text` cannot be the value of `field`: the message id, or 0 when it can. An empty host or
// port keeps the value held before and is fine; a server name has no blanks (letters, digits, ".",
// "-", "_", ":", "[", "]"); ports go from 1 to 65535, buses from 1 to 100 (bus 0 is the server's
// own), phones from 1 to 64; the listen address is empty or an IP address, the allow list IP
// addresses or networks ("192.168.1.0/24") separated by commas.
int setupFieldProblem(SetupField field, const QString& text);
