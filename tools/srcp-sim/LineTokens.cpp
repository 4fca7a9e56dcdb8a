#include "LineTokens.h"

namespace srcpsim {

std::vector<std::string_view> splitWords(std::string_view line) {
  std::vector<std::string_view> words;
  splitWords(line, words);
  return words;
}

void splitWords(std::string_view line, std::vector<std::string_view> &words) {
  words.clear();
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
      ++i;
    std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t')
      ++i;
    if (i > start)
      words.push_back(line.substr(start, i - start));
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
    if (c < '0' || c > '9')
      return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z')
      x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z')
      y = static_cast<char>(y - 32);
    if (x != y)
      return false;
  }
  return true;
}

std::string upper(std::string_view word) {
  std::string out(word);
  for (char &c : out)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 32);
  return out;
}

} // namespace srcpsim
