#pragma once
// The SRCP line builder and the integer conventions of SRCP fields:
// -1 absent (written as nothing), -2 written "=", -3 written "*".

#include <cstdint>
#include <string>
#include <string_view>

// Decimal digits for n >= 0, "*" for -3, "=" for -2, the empty text for any other negative value.
std::string SRCPIntToStr(std::int32_t n);
// Reads a trimmed integer, or "*" (-3) or "=" (-2). On failure n becomes -1 and false is returned.
bool StrToSRCPInt(std::string_view text, std::int32_t& n);

// Text with leading and trailing blanks (and other control characters) removed.
inline std::string_view SRCPTrim(std::string_view text)
{
    std::size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ')
        --e;
    return text.substr(b, e - b);
}

// Builds a line of blank-separated fields: never two blanks in a row, never a trailing blank.
class TSRCPString {
public:
    const std::string& Value() const { return FValue; }
    void Add(std::string_view text);
    void Add(std::int32_t n);
    void Add(char c) { Add(std::string_view(&c, 1)); }
    void Clear() { FValue.clear(); }

private:
    std::string FValue;
};
