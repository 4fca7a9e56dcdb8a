#include "session/FeedbackLine.h"

#include <charconv>
#include <string>

namespace {

constexpr std::string_view Prefix = "INFO FB S88";

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.remove_suffix(1);
    return s;
}

std::string_view dropped(std::string_view s, std::size_t n)
{
    return n >= s.size() ? std::string_view() : s.substr(n);
}

long long decimal(std::string_view text, std::string_view line)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    long long v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        throw FeedbackLineError("not a number in feedback line: " + std::string(line.substr(0, 80)));
    return v;
}

} // namespace

bool isFeedbackLine(std::string_view line)
{
    return line.substr(0, Prefix.size()) == Prefix;
}

bool isAllContactsLine(std::string_view line)
{
    return isFeedbackLine(line) && line.size() > 12 && line[12] == '*';
}

FeedbackContact contactOf(long long contact, int value)
{
    // Truncating division, as the numbering has always been computed; contact 0 or below yields a
    // port of 0 or below, which no detector has. Far below that the module is out of every range
    // anyway; the floor keeps contact - 1 from overflowing.
    constexpr long long Floor = -16'000'000'000;
    long long n = (contact < Floor ? Floor : contact) - 1;
    long long module = n / 16 + 1;
    long long port = n % 16 + 1;
    auto clamp = [](long long v) { return static_cast<int>(v > 1'000'000'000 ? 1'000'000'000 : v < -1'000'000'000 ? -1'000'000'000 : v); };
    return {clamp(module), clamp(port), value};
}

FeedbackContact decodeFbPort(std::string_view line)
{
    std::string_view rest = trimmed(dropped(line, 12));
    auto blank = rest.find(' ');
    if (blank == std::string_view::npos)
        throw FeedbackLineError("no value in feedback line: " + std::string(line.substr(0, 80)));
    long long contact = decimal(rest.substr(0, blank), line);
    long long value = decimal(rest.substr(blank + 1), line);
    if (value != 0 && value != 1)
        throw FeedbackLineError("feedback value is neither 0 nor 1: " + std::string(line.substr(0, 80)));
    return contactOf(contact, static_cast<int>(value));
}

std::vector<FeedbackContact> decodeFbAll(std::string_view line)
{
    std::string_view digits = trimmed(dropped(line, 14));
    std::vector<FeedbackContact> out;
    out.reserve(digits.size());
    for (std::size_t i = 0; i < digits.size(); ++i) {
        char c = digits[i];
        if (c == '0' || c == '1')
            out.push_back(contactOf(static_cast<long long>(i) + 1, c - '0'));
    }
    return out;
}

std::vector<FeedbackContact> decodeFeedbackLine(std::string_view line)
{
    if (isAllContactsLine(line))
        return decodeFbAll(line);
    return {decodeFbPort(line)};
}
