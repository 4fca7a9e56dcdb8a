#pragma once
// Decoding of the S88 feedback lines of the SRCP 0.7.3 channels:
//   "INFO FB S88 <contact> <value>"      one contact
//   "INFO FB S88 * <digit per contact>"  all contacts, contact 1 first
// Contact n belongs to module (n - 1) div 16 + 1, port (n - 1) mod 16 + 1.

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

// The line begins with "INFO FB S88".
bool isFeedbackLine(std::string_view line);
// A feedback line whose 13th character is "*".
bool isAllContactsLine(std::string_view line);

// Module and port of contact number n (n may be out of range; the result then matches no detector).
FeedbackContact contactOf(long long contact, int value);

// One-contact line: drops the first 12 characters, trims, reads contact and value.
FeedbackContact decodeFbPort(std::string_view line);
// All-contacts line: drops the first 14 characters, trims; every "0" or "1" at position i is the
// value of contact i, other characters are skipped.
std::vector<FeedbackContact> decodeFbAll(std::string_view line);
// Either of the above by the 13th character. Throws FeedbackLineError on a malformed line.
std::vector<FeedbackContact> decodeFeedbackLine(std::string_view line);
