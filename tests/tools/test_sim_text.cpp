// The simulator's text helpers: the wire log's escaping and entry format, and the word splitting of
// protocol lines. The fast paths look at eight bytes at a time, so the cases put the byte that
// matters at every position around those boundaries.

#include "LineTokens.h"
#include "WireLog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>

using namespace srcpsim;

namespace {

std::string hexEscape(unsigned char c) {
  char text[5];
  std::snprintf(text, sizeof text, "\\x%02x", c);
  return text;
}

TEST(SimText, EveryByteOutsidePrintableAsciiIsEscapedWhereverItStands) {
  const unsigned char special[] = {0x00, 0x09, 0x0a, 0x0d, 0x1f, 0x5c, 0x7f, 0x80, 0xc3, 0xff};
  for (std::size_t length : {1u, 7u, 8u, 9u, 16u, 23u}) {
    for (std::size_t at = 0; at < length; ++at) {
      for (unsigned char c : special) {
        std::string text(length, 'a');
        text[at] = static_cast<char>(c);
        const std::string expected = std::string(at, 'a') + hexEscape(c) + std::string(length - at - 1, 'a');
        ASSERT_EQ(escapeForLog(text), expected) << "length " << length << " byte " << int(c) << " at " << at;
        ASSERT_EQ(printablePrefix(text), c == 0x5c ? length : at) << "length " << length << " at " << at;
      }
    }
  }
  // The edges of printable ASCII stay as they are, in whole words and in the tail.
  const std::string edges = "\x20\x7e !}~ SET GL 1 2 3 \x7e\x20";
  EXPECT_EQ(escapeForLog(edges), edges);
  EXPECT_EQ(printablePrefix(edges), edges.size());
  EXPECT_EQ(escapeForLog(""), "");
  EXPECT_EQ(escapeForLog("a\\\\b\xff\x01"), "a\\x5c\\x5cb\\xff\\x01");
}

TEST(SimText, LogEntriesCarryTimeConnectionKindAndEscapedText) {
  char buffer[4096] = {};
  WireLog log;
  ASSERT_TRUE(log.open(::fmemopen(buffer, sizeof buffer, "w")));
  log.write(std::string_view("ctl"), 'R', "power on");
  log.write(17ull, 'S', std::string(300, 'x') + "\r");
  log.writeAt(1234.5678, 3, 'R', "a\\b");
  log.writeAt(-0.25, 12345678901234ull, 'L', "");
  log.writeAt(0.0004, 1, 'O', "listener 0");

  std::string text(buffer);
  std::vector<std::string> lines;
  for (std::size_t start = 0, lf; (lf = text.find('\n', start)) != std::string::npos; start = lf + 1)
    lines.push_back(text.substr(start, lf - start));
  ASSERT_EQ(lines.size(), 5u) << text;
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(\d+\.\d{3} ctl R power on)"))) << lines[0];
  EXPECT_TRUE(std::regex_match(lines[1], std::regex(R"(\d+\.\d{3} 17 S x{300}\\x0d)"))) << lines[1];
  EXPECT_EQ(lines[2], "1234.568 3 R a\\x5cb");
  EXPECT_EQ(lines[3], "-0.250 12345678901234 L ");
  EXPECT_EQ(lines[4], "0.000 1 O listener 0");
}

TEST(SimText, LinesSplitIntoWordsAtBlanksAndTabs) {
  const struct {
    const char *line;
    std::vector<std::string_view> words;
  } cases[] = {
      {"", {}},
      {" \t \t", {}},
      {"GO", {"GO"}},
      {"  SET\t1 GL  3\t\t= 0 14 ", {"SET", "1", "GL", "3", "=", "0", "14"}},
      {"a\x01" "b\xff c", {"a\x01" "b\xff", "c"}},
  };
  for (const auto &c : cases)
    EXPECT_EQ(splitWords(c.line), c.words) << c.line;
  EXPECT_EQ(upper("set gL 1\xe4z"), "SET GL 1\xe4Z");
  EXPECT_TRUE(equalsNoCase("Power", "POWER"));
  EXPECT_FALSE(equalsNoCase("POWE", "POWER"));
  EXPECT_FALSE(equalsNoCase("P{WER", "P[WER"));
}

} // namespace
