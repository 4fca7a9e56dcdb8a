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

bool StrToSRCPInt(std::string_view text, std::int32_t& n)
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

void TSRCPString::Add(std::string_view text)
{
    if (text.empty())
        return;
    if (!FValue.empty())
        FValue += ' ';
    FValue.append(text);
}

void TSRCPString::Add(std::int32_t n)
{
    if (n < 0) {
        if (n == -3)
            Add(std::string_view("*"));
        else if (n == -2)
            Add(std::string_view("="));
        return;
    }
    char buf[16];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, n);
    (void)ec;
    Add(std::string_view(buf, static_cast<std::size_t>(end - buf)));
}
