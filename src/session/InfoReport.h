#pragma once
// What the server reports of the railway's state on its info channel, whoever changed it: an
// accessory port, a loco's drive state, the track power. Read from the SRCP 0.7.3 info lines
//     INFO GA M 15 1 1 -1                 protocol, address, port, value, delay
//     INFO GL M2 3 1 50 100 1 4 0 1 0 0   code, address, direction, speed, top speed, F0, n, F1..Fn
//     INFO POWER ON                       (or OFF)
// Other lines, and lines with fields missing or not numbers, are no report.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct AccessoryReport {
    bool motorola = true;  // "M"; "N" is NMRA
    int address = 0;
    int port = 0;
    int value = 0;
};

struct LocoReport {
    std::string protocol;  // "M2", "N1", ...
    int address = 0;
    int direction = 0;
    int speed = 0;
    int speedMax = 0;
    std::vector<int> functions;  // F0, F1, ..., Fn: 1 on, 0 off
};

struct PowerReport {
    bool on = false;
};

std::optional<AccessoryReport> parseAccessoryReport(std::string_view line);
std::optional<LocoReport> parseLocoReport(std::string_view line);
std::optional<PowerReport> parsePowerReport(std::string_view line);
