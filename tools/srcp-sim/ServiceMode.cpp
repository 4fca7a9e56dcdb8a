#include "ServiceMode.h"

#include "LineTokens.h"

#include <charconv>

namespace srcpsim {

namespace {

std::optional<int> number(std::string_view w, int lo, int hi) {
  int v = 0;
  auto [p, ec] = std::from_chars(w.data(), w.data() + w.size(), v);
  if (ec != std::errc() || p != w.data() + w.size() || v < lo || v > hi)
    return std::nullopt;
  return v;
}

// The CV behind register `reg` of physical register mode.
int registerCv(int reg) { return reg == 5 ? 29 : reg; }

} // namespace

void ServiceMode::reset() {
  cvs_.fill(0);
  cvs_[1] = 3;    // primary address
  cvs_[2] = 8;    // start voltage
  cvs_[3] = 10;   // acceleration
  cvs_[4] = 8;    // deceleration
  cvs_[5] = 200;  // top speed
  cvs_[6] = 90;   // mid speed
  cvs_[7] = 42;   // version
  cvs_[8] = 151;  // manufacturer
  cvs_[17] = 192; // long address 0 (unused while CV 29 bit 5 is clear)
  cvs_[18] = 0;
  cvs_[29] = 6;   // 28/128 speed steps, analogue mode on
}

ServiceMode::Result ServiceMode::command(const std::string &cmd, const std::vector<std::string_view> &args) {
  if (cmd == "INIT") {
    if (args.size() != 1)
      return {args.empty() ? 419 : 418, {}, 0};
    if (upper(args[0]) != "NMRA")
      return {420, {}, 0};
    active_ = true;
    return {200, {}, 0};
  }
  if (cmd == "TERM") {
    active_ = false;
    return {200, {}, 0};
  }
  if (cmd != "SET" && cmd != "GET" && cmd != "VERIFY")
    return {423, {}, 0};
  if (!active_)
    return {415, {}, 0}; // not in service mode: INIT first
  if (args.size() < 3)
    return {419, {}, 0};
  const auto address = number(args[0], 0, 10239);
  if (!address)
    return {412, {}, 0};
  const std::string type = upper(args[1]);
  const bool bit = type == "CVBIT";
  if (type != "CV" && type != "REG" && !bit)
    return {412, {}, 0};
  const bool reading = cmd == "GET";
  // Values after the type: CV/REG <n> [value], CVBIT <n> <bit> [value].
  const std::size_t want = (bit ? 4u : 3u) + (reading ? 0u : 1u);
  if (args.size() < want)
    return {419, {}, 0};
  if (args.size() > want)
    return {418, {}, 0};
  const auto n = number(args[2], 1, type == "REG" ? 8 : kCvCount);
  if (!n)
    return {412, {}, 0};
  const int cvNumber = type == "REG" ? registerCv(*n) : *n;
  std::optional<int> bitNumber;
  if (bit && !(bitNumber = number(args[3], 0, 7)))
    return {412, {}, 0};
  std::optional<int> value;
  if (!reading && !(value = number(args[want - 1], 0, bit ? 1 : 255)))
    return {412, {}, 0};

  const double duration = (cmd == "SET") ? writeMs_ : readMs_;
  // The decoder on the programming track answers whatever address it is asked under; a write to
  // another address goes to that loco on the main track (it cannot answer there, but this simulated
  // decoder stands for both).
  if (noLoco_)
    return {417, {}, duration * 4}; // nothing on the track answers: the station waits, then gives up
  if (noAck_)
    return {416, {}, duration};

  std::uint8_t &stored = cvs_[static_cast<std::size_t>(cvNumber)];
  const std::string head = std::to_string(*address) + " " + type + " " + std::to_string(*n) + " " +
                           (bit ? std::to_string(*bitNumber) + " " : std::string());
  if (cmd == "SET") {
    if (cvNumber == 7)
      return {416, {}, duration}; // read only: the decoder does not acknowledge
    if (cvNumber == 8) {
      if (bit || *value != 8)
        return {416, {}, duration};
      reset(); // the NMRA way to ask for factory values
      return {200, {}, duration * 5};
    }
    if (bit)
      stored = static_cast<std::uint8_t>(*value ? (stored | (1u << *bitNumber)) : (stored & ~(1u << *bitNumber)));
    else
      stored = static_cast<std::uint8_t>(*value);
    return {200, {}, duration};
  }
  const int current = bit ? (stored >> *bitNumber) & 1 : stored;
  if (cmd == "VERIFY" && current != *value)
    return {412, {}, duration};
  return {100, head + std::to_string(current), duration};
}

} // namespace srcpsim
