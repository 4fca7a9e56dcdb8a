#pragma once
// Device state of the simulated SRCP 0.8.2 server: nine buses with their device groups, locos,
// accessories, feedback contacts, power and model time, and the INFO texts that describe them.

#include "ModelClock.h"

#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace srcpsim {

constexpr int kBusCount = 9;
constexpr int kMaxContacts = 4096;
constexpr int kMaxFunctions = 32;

struct Loco082 {
  char protocol = 'M';
  int subProtocol = 0; // written only for M and N
  int speedSteps = 14;
  int functionCount = 1;
  int direction = 1; // 0 backwards, 1 forward, 2 emergency stop
  int speed = 0;
  int maxSpeed = 14;
  std::vector<int> functions = std::vector<int>(1, 0);
};

struct Accessory082 {
  char protocol = 'M';
  std::array<int, 2> value{0, 0};
  std::array<bool, 2> reported{false, false}; // port has been set since INIT
};

struct Bus082 {
  std::span<const std::string_view> groups; // as described, in order (a table that lives as long as the program)
  bool powerInitialised = false;
  bool powerOn = false;
  std::map<int, Loco082> locos;
  std::map<int, Accessory082> accessories;
  bool feedbackInitialised = false;
  std::vector<std::uint8_t> contacts;

  bool has(std::string_view group) const;
};

class Srcp082Layout {
public:
  // `srcpd`: bus 0 `SESSION SERVER TIME GM`, bus 1 `GA GL FB POWER LOCK DESCRIPTION SM`.
  // `lastBus`: buses above it do not exist (a bus without groups does not exist).
  Srcp082Layout(int feedbackContacts, bool srcpd = false, int lastBus = kBusCount - 1);
  void reset();

  Bus082 &bus(int number) { return buses_[static_cast<std::size_t>(number)]; }
  const Bus082 &bus(int number) const { return buses_[static_cast<std::size_t>(number)]; }
  ModelClock &clock() { return clock_; }
  const ModelClock &clock() const { return clock_; }

  // Texts after "INFO " (without time stamp and code).
  std::string descriptionText(int bus) const;
  std::string locoInitText(int bus, int address) const;
  std::string locoDataText(int bus, int address) const;
  std::string accessoryInitText(int bus, int address) const;
  std::string powerText(int bus) const;
  std::string timeInitText() const;
  std::string timeDataText(const ModelTime &t) const;

  // Returns true if the value changed; contacts beyond the list grow it (up to kMaxContacts).
  bool setContact(int bus, int contact, int value);
  int contact(int bus, int contact) const;

private:
  int feedbackContacts_;
  bool srcpd_ = false;
  int lastBus_ = kBusCount - 1;
  std::array<Bus082, kBusCount> buses_;
  ModelClock clock_;
};

} // namespace srcpsim
