#pragma once
// The SRCP line builder and the integer conventions of SRCP fields:
// -1 absent (written as nothing), -2 written "=", -3 written "*".

#include <cstdint>
#include <string>
#include <string_view>

// Decimal digits for n >= 0, "*" for -3, "=" for -2, the empty text for any other negative value.
std::string SRCPIntToStr(std::int32_t n);
// Reads a trimmed integer, or "*" (-3) or "=" (-2). On failure n becomes -1 and false is returned.
bool StrToSRCPIntSlow(std::string_view text, std::int32_t& n);
inline bool StrToSRCPInt(std::string_view text, std::int32_t& n)
{
    // the common case: a few plain digits
    if (!text.empty() && text.size() <= 9) {
        std::int32_t value = 0;
        std::size_t i = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
            value = value * 10 + (text[i] - '0');
        if (i == text.size()) {
            n = value;
            return true;
        }
    }
    return StrToSRCPIntSlow(text, n);
}

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
    void Add(std::string_view text)
    {
        if (text.empty())
            return;
        if (!FValue.empty())
            FValue += ' ';
        FValue.append(text);
    }
    void Add(std::int32_t n)
    {
        if (n < 0) {
            if (n == -3)
                Add(std::string_view("*", 1));
            else if (n == -2)
                Add(std::string_view("=", 1));
            return;
        }
        char buf[12];  // a blank and at most ten digits
        char* end = buf + sizeof buf;
        char* p = end;
        auto value = static_cast<std::uint32_t>(n);
        do {
            *--p = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        if (!FValue.empty())
            *--p = ' ';
        FValue.append(p, static_cast<std::size_t>(end - p));
    }
    void Add(char c) { Add(std::string_view(&c, 1)); }
    void Clear() { FValue.clear(); }

private:
    std::string FValue;
};
