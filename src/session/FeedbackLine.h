#pragma once
// Decoding of the feedback lines of the SRCP 0.7.3 channels:
//   "INFO FB <type> <contact> <value>"      one contact
//   "INFO FB <type> * <digit per contact>"  all contacts, contact 1 first
// <type> is the feedback interface the server reads: S88, M6051 or I8255; the lines are read field
// by field, and every type numbers its contacts the same way: contact n belongs to module
// (n - 1) div 16 + 1, port (n - 1) mod 16 + 1.

#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

struct FeedbackContact {
    int module = 0;
    int port = 0;
    int value = 0;
    bool operator==(const FeedbackContact&) const = default;
};

// A feedback line that cannot be decoded (no blank, not a number, a value other than 0 or 1).
class FeedbackLineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The fields after the type word of a feedback line ("INFO", "FB", then S88, M6051 or I8255),
// trimmed; nullopt for any other line.
std::optional<std::string_view> feedbackFields(std::string_view line);
// A feedback line of one of the three types.
bool isFeedbackLine(std::string_view line);
// A feedback line whose first field after the type word begins with "*".
bool isAllContactsLine(std::string_view line);

// Module and port of contact number n (n may be out of range; the result then matches no detector).
FeedbackContact contactOf(long long contact, int value);

// One-contact line: the two fields after the type word are contact and value.
FeedbackContact decodeFbPort(std::string_view line);
// All-contacts line: after the "*", every "0" or "1" at position i is the value of contact i,
// other characters are skipped.
std::vector<FeedbackContact> decodeFbAll(std::string_view line);
// Either of the above, by the "*". Throws FeedbackLineError on a malformed line.
std::vector<FeedbackContact> decodeFeedbackLine(std::string_view line);
