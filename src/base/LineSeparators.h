#pragma once
// What a byte is between the values of the application's line-based text files: a blank, a line
// end, or part of a word. One table lookup instead of a chain of comparisons per character: the
// readers go through every byte of a file.

#include <array>

namespace LineSeparators {

constexpr unsigned char Blank = 1, LineEnd = 2;

inline constexpr std::array<unsigned char, 256> Kinds = [] {
    std::array<unsigned char, 256> kinds{};
    kinds[' '] = kinds['\t'] = kinds['\r'] = Blank;
    kinds['\n'] = LineEnd;
    return kinds;
}();

// 0 for a character of a word, else Blank or LineEnd; `kindOf(c) >> 1` is 1 for a line end only.
constexpr unsigned char kindOf(char c) { return Kinds[static_cast<unsigned char>(c)]; }

}  // namespace LineSeparators
