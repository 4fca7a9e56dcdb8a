#include "LineTokens.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace srcpsim {

namespace {

// Byte tables: the lines are fuzzed and logged in bulk, so a lookup per byte beats a chain of
// comparisons.
constexpr std::array<bool, 256> kBlankTable = [] {
  std::array<bool, 256> t{};
  t[' '] = t['\t'] = true;
  return t;
}();

constexpr std::array<char, 256> kUpperTable = [] {
  std::array<char, 256> t{};
  for (int c = 0; c < 256; ++c)
    t[static_cast<std::size_t>(c)] = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return t;
}();

bool isBlank(char c) { return kBlankTable[static_cast<unsigned char>(c)]; }
char upperByte(char c) { return kUpperTable[static_cast<unsigned char>(c)]; }

} // namespace

std::vector<std::string_view> splitWords(std::string_view line) {
  std::vector<std::string_view> words;
  splitWords(line, words);
  return words;
}

void splitWords(std::string_view line, std::vector<std::string_view> &words) {
  words.clear();
  const char *p = line.data();
  const char *const end = p + line.size();
  while (p != end) {
    while (p != end && isBlank(*p))
      ++p;
    const char *start = p;
    while (p != end && !isBlank(*p))
      ++p;
    if (p != start)
      words.emplace_back(start, static_cast<std::size_t>(p - start));
  }
}

std::optional<int> parseInt(std::string_view word) {
  bool negative = false;
  if (!word.empty() && (word[0] == '-' || word[0] == '+')) {
    negative = word[0] == '-';
    word.remove_prefix(1);
  }
  if (word.empty() || word.size() > 9)
    return std::nullopt;
  int value = 0;
  for (char c : word) {
    const auto digit = static_cast<unsigned>(static_cast<unsigned char>(c) - '0');
    if (digit > 9)
      return std::nullopt;
    value = value * 10 + static_cast<int>(digit);
  }
  return negative ? -value : value;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (upperByte(a[i]) != upperByte(b[i]))
      return false;
  return true;
}

std::string upper(std::string_view word) {
  std::string out(word);
  for (char &c : out)
    c = upperByte(c);
  return out;
}

std::size_t printablePrefix(std::string_view text) {
  // Eight bytes at a time, each byte tested on its own without carries between them: the high bit
  // of a byte in `bad` is set when it is below 0x20 (its low seven bits plus 0x60 stay below 0x80),
  // is 0x7f (its low seven bits plus one reach 0x80) or has the high bit set.
  constexpr std::uint64_t ones = 0x0101010101010101ull;
  constexpr std::uint64_t highs = 0x8080808080808080ull;
  constexpr std::uint64_t lows = 0x7f7f7f7f7f7f7f7full;
  for (std::size_t i = 0; i < text.size(); i += 8) {
    std::uint64_t x = ones * 'a'; // the last, short piece is filled up with printable bytes
    if (text.size() - i >= 8)
      std::memcpy(&x, text.data() + i, 8); // a plain load, where a copy of variable length is a call
    else
      std::memcpy(&x, text.data() + i, text.size() - i);
    const std::uint64_t low7 = x & lows;
    const std::uint64_t bad = (~(low7 + ones * 0x60) | x | (low7 + ones)) & highs;
    if (bad != 0) {
      // The first byte in memory is the lowest one on a little-endian machine, the highest on others.
      const int bit = std::endian::native == std::endian::little ? std::countr_zero(bad) : std::countl_zero(bad);
      return i + static_cast<std::size_t>(bit / 8);
    }
  }
  return text.size();
}

} // namespace srcpsim
