// Fuzz target: a line from the feedback or command connection of an SRCP 0.7.3 server, decoded as
// the reader threads decode it (one contact or all contacts; S88, M6051 or I8255). A malformed
// line may only raise FeedbackLineError; a decoded line must name the contacts it carries, 16 to a
// module.

#include "session/FeedbackLine.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.remove_suffix(1);
    return s;
}

void checkAllContacts(std::string_view line, const std::vector<FeedbackContact>& contacts)
{
    // Every "0" or "1" after the "*" is one contact, numbered by its position.
    const std::optional<std::string_view> fields = feedbackFields(line);
    require(fields && !fields->empty() && fields->front() == '*');
    const std::string_view digits = trimmed(fields->substr(1));
    std::size_t k = 0;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (digits[i] != '0' && digits[i] != '1')
            continue;
        require(k < contacts.size());
        const FeedbackContact& c = contacts[k++];
        require(c.value == digits[i] - '0');
        require(c.port >= 1 && c.port <= 16 && c.module >= 1);
        require(static_cast<std::size_t>(c.module - 1) * 16 + static_cast<std::size_t>(c.port) == i + 1);
    }
    require(k == contacts.size());
}

void checkOneContact(const FeedbackContact& c)
{
    require(c.value == 0 || c.value == 1);
    require(c.port >= -14 && c.port <= 16);
    // A contact in the range modules can have reads back from its own line.
    if (c.module >= 1 && c.module <= 100000 && c.port >= 1) {
        const long long n = static_cast<long long>(c.module - 1) * 16 + c.port;
        const std::string again = "INFO FB S88 " + std::to_string(n) + " " + std::to_string(c.value);
        const std::vector<FeedbackContact> back = decodeFeedbackLine(again);
        require(back.size() == 1 && back.front() == c);
    }
}

void decode(std::string_view line)
{
    const bool feedback = isFeedbackLine(line);
    const bool all = isAllContactsLine(line);
    require(!all || feedback);
    std::vector<FeedbackContact> contacts;
    try {
        contacts = decodeFeedbackLine(line);
    } catch (const FeedbackLineError&) {
        require(!all);  // an all-contacts line skips what it cannot read
        return;
    }
    if (all)
        checkAllContacts(line, contacts);
    else {
        require(contacts.size() == 1);
        checkOneContact(contacts.front());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    decode(text);
    // The same bytes behind the prefixes of both line forms and of every interface type, so that
    // most inputs reach the field and number parsing.
    for (const char* prefix : {"INFO FB S88 ", "INFO FB S88 * ", "INFO FB M6051 ", "INFO FB I8255 * "})
        decode(prefix + std::string(text));
    return 0;
}
