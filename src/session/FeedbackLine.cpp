#include "session/FeedbackLine.h"

#include <charconv>
#include <string>

namespace {

constexpr std::string_view TypeWords[] = {"S88", "M6051", "I8255"};

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Takes the next field (up to a blank) off the front of `s`.
std::string_view nextField(std::string_view& s)
{
    std::size_t i = 0;
    while (i < s.size() && !isBlank(s[i]))
        ++i;
    std::string_view field = s.substr(0, i);
    s.remove_prefix(i);
    return field;
}

void skipBlanks(std::string_view& s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
}

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

std::optional<std::string_view> feedbackFields(std::string_view line)
{
    if (nextField(line) != "INFO")
        return std::nullopt;
    skipBlanks(line);
    if (nextField(line) != "FB")
        return std::nullopt;
    skipBlanks(line);
    const std::string_view type = nextField(line);
    for (std::string_view known : TypeWords)
        if (type == known)
            return trimmed(line);
    return std::nullopt;
}

bool isFeedbackLine(std::string_view line)
{
    return feedbackFields(line).has_value();
}

bool isAllContactsLine(std::string_view line)
{
    const auto rest = feedbackFields(line);
    return rest && !rest->empty() && rest->front() == '*';
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
    const auto fields = feedbackFields(line);
    std::string_view rest = fields ? *fields : trimmed(dropped(line, 12));
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
    const auto fields = feedbackFields(line);
    std::string_view digits =
        fields && !fields->empty() && fields->front() == '*' ? trimmed(fields->substr(1)) : trimmed(dropped(line, 14));
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
