#include "Srcp082Layout.h"

namespace srcpsim {

bool Bus082::has(std::string_view group) const {
  for (const auto &g : groups)
    if (g == group)
      return true;
  return false;
}

Srcp082Layout::Srcp082Layout(int feedbackContacts, bool srcpd, int lastBus)
    : feedbackContacts_(feedbackContacts), srcpd_(srcpd), lastBus_(lastBus) {
  reset();
}

namespace {

constexpr std::string_view kBus0[] = {"SESSION", "SERVER", "TIME"};
constexpr std::string_view kBus1[] = {"GL", "GA", "FB", "POWER", "SM"};
constexpr std::string_view kLocoBus[] = {"GL", "POWER"};
constexpr std::string_view kPowerBus[] = {"POWER"};
constexpr std::string_view kAccessoryBus[] = {"GA", "POWER"};
constexpr std::string_view kFeedbackBus[] = {"FB", "POWER"};
constexpr std::string_view kSrcpdBus0[] = {"SESSION", "SERVER", "TIME", "GM"};
constexpr std::string_view kSrcpdBus1[] = {"GA", "GL", "FB", "POWER", "LOCK", "DESCRIPTION", "SM"};

constexpr std::array<std::span<const std::string_view>, kBusCount> kGroups = {
    kBus0, kBus1, kLocoBus, kLocoBus, kPowerBus, kAccessoryBus, kAccessoryBus, kPowerBus, kFeedbackBus};
constexpr std::array<std::span<const std::string_view>, 2> kSrcpdGroups = {kSrcpdBus0, kSrcpdBus1};

} // namespace

void Srcp082Layout::reset() {
  for (int b = 0; b < kBusCount; ++b) {
    Bus082 fresh;
    if (b <= lastBus_)
      fresh.groups = srcpd_ && b < 2 ? kSrcpdGroups[static_cast<std::size_t>(b)] : kGroups[static_cast<std::size_t>(b)];
    fresh.powerInitialised = fresh.has("POWER");
    if (fresh.has("FB"))
      fresh.contacts.assign(static_cast<std::size_t>(feedbackContacts_), 0);
    buses_[static_cast<std::size_t>(b)] = std::move(fresh);
  }
  clock_ = ModelClock{};
}

std::string Srcp082Layout::descriptionText(int b) const {
  std::string text = std::to_string(b) + " DESCRIPTION";
  for (const std::string_view g : bus(b).groups) {
    text += ' ';
    text += g;
  }
  return text;
}

std::string Srcp082Layout::locoInitText(int b, int address) const {
  const Loco082 &l = bus(b).locos.at(address);
  std::string text = std::to_string(b) + " GL " + std::to_string(address) + " " + l.protocol;
  if (l.protocol == 'A')
    return text;
  if (l.protocol == 'M' || l.protocol == 'N')
    text += " " + std::to_string(l.subProtocol);
  return text + " " + std::to_string(l.speedSteps) + " " + std::to_string(l.functionCount);
}

std::string Srcp082Layout::locoDataText(int b, int address) const {
  const Loco082 &l = bus(b).locos.at(address);
  std::string text = std::to_string(b) + " GL " + std::to_string(address) + " " + std::to_string(l.direction) +
                     " " + std::to_string(l.speed) + " " + std::to_string(l.maxSpeed);
  for (int f : l.functions)
    text += " " + std::to_string(f);
  return text;
}

std::string Srcp082Layout::accessoryInitText(int b, int address) const {
  return std::to_string(b) + " GA " + std::to_string(address) + " " + bus(b).accessories.at(address).protocol;
}

std::string Srcp082Layout::powerText(int b) const {
  return std::to_string(b) + " POWER " + (bus(b).powerOn ? "ON" : "OFF");
}

std::string Srcp082Layout::timeInitText() const {
  return "0 TIME " + std::to_string(clock_.fx()) + " " + std::to_string(clock_.fy());
}

std::string Srcp082Layout::timeDataText(const ModelTime &t) const {
  return "0 TIME " + std::to_string(t.julianDay) + " " + std::to_string(t.hour) + " " + std::to_string(t.minute) +
         " " + std::to_string(t.second);
}

bool Srcp082Layout::setContact(int b, int contact, int value) {
  auto &contacts = bus(b).contacts;
  if (contact < 1 || contact > kMaxContacts)
    return false;
  if (static_cast<std::size_t>(contact) > contacts.size())
    contacts.resize(static_cast<std::size_t>(contact), 0);
  auto &slot = contacts[static_cast<std::size_t>(contact - 1)];
  auto v = static_cast<std::uint8_t>(value ? 1 : 0);
  if (slot == v)
    return false;
  slot = v;
  return true;
}

int Srcp082Layout::contact(int b, int contact) const {
  const auto &contacts = bus(b).contacts;
  if (contact < 1 || static_cast<std::size_t>(contact) > contacts.size())
    return 0;
  return contacts[static_cast<std::size_t>(contact - 1)];
}

} // namespace srcpsim
