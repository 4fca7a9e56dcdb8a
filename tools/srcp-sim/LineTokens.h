#pragma once
// Splitting a protocol line into blank-separated words and reading numbers from them.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace srcpsim {

std::vector<std::string_view> splitWords(std::string_view line);
// The same into `words` (cleared first), so that a caller can keep one vector for every line.
void splitWords(std::string_view line, std::vector<std::string_view> &words);
// A decimal integer (optional sign, digits only, at most 9 digits), or nothing.
std::optional<int> parseInt(std::string_view word);
bool equalsNoCase(std::string_view a, std::string_view b);
std::string upper(std::string_view word);
// How many bytes at the start of `text` are printable ASCII (0x20 to 0x7e): text.size() if all are.
// Looks at eight bytes at a time, so a long clean line costs a handful of steps.
std::size_t printablePrefix(std::string_view text);

} // namespace srcpsim
