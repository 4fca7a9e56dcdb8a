#include "SRCPString.h"

#include <charconv>

std::string SRCPIntToStr(std::int32_t n)
{
    if (n >= 0)
        return std::to_string(n);
    if (n == -3)
        return "*";
    if (n == -2)
        return "=";
    return {};
}

bool StrToSRCPIntSlow(std::string_view text, std::int32_t& n)
{
    text = SRCPTrim(text);
    n = -1;
    if (text.empty())
        return false;
    std::string_view digits = text;
    if (digits.size() > 1 && digits.front() == '+' && digits[1] != '-')
        digits.remove_prefix(1);
    std::int32_t value = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec == std::errc() && end == digits.data() + digits.size()) {
        n = value;
        return true;
    }
    if (text == "*") {
        n = -3;
        return true;
    }
    if (text == "=") {
        n = -2;
        return true;
    }
    return false;
}
