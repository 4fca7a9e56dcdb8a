#include "session/FeedbackLine.h"

#include <gtest/gtest.h>

#include <string>

TEST(FeedbackLine, OneContactLines)
{
    struct Case {
        const char* line;
        FeedbackContact expected;
    };
    const Case cases[] = {
        {"INFO FB S88 12 1", {1, 12, 1}},
        {"INFO FB S88 16 1", {1, 16, 1}},
        {"INFO FB S88 17 1", {2, 1, 1}},
        {"INFO FB S88 17 0", {2, 1, 0}},
        {"INFO FB S88 1 1 ", {1, 1, 1}},      // blank before the line end
        {"INFO FB S88  33  0", {3, 1, 0}},     // extra blanks
        {"INFO FB S88 0 1", {1, 0, 1}},        // contact 0: port 0, matches no detector
        {"INFO FB S88 -5 1", {1, -5, 1}},
        {"INFO FB S88 4000000001 1", {250000001, 1, 1}},  // far beyond any layout
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decodeFbPort(c.line), c.expected) << c.line;
        EXPECT_EQ(decodeFeedbackLine(c.line), std::vector<FeedbackContact>{c.expected}) << c.line;
    }
}

TEST(FeedbackLine, MalformedOneContactLinesAreRejected)
{
    for (const char* line : {"INFO FB S88 12", "INFO FB S88 12 ", "INFO FB S88", "INFO FB S88 ab 1",
                             "INFO FB S88 12 x", "INFO FB S88 12 1 extra", "INFO FB S88 12 2",
                             "INFO FB S88 99999999999999999999999 1", "INFO FB S88 1.5 1"})
        EXPECT_THROW(decodeFeedbackLine(line), FeedbackLineError) << line;
}

TEST(FeedbackLine, AllContactsLine)
{
    auto contacts = decodeFeedbackLine("INFO FB S88 * 0100000000000000001");
    ASSERT_EQ(contacts.size(), 19u);
    EXPECT_EQ(contacts[0], (FeedbackContact{1, 1, 0}));
    EXPECT_EQ(contacts[1], (FeedbackContact{1, 2, 1}));
    EXPECT_EQ(contacts[15], (FeedbackContact{1, 16, 0}));
    EXPECT_EQ(contacts[16], (FeedbackContact{2, 1, 0}));
    EXPECT_EQ(contacts[17], (FeedbackContact{2, 2, 0}));
    EXPECT_EQ(contacts[18], (FeedbackContact{2, 3, 1}));

    // Characters other than 0 and 1 are skipped; their contact keeps its state.
    auto mixed = decodeFbAll("INFO FB S88 * 1x0 ");
    ASSERT_EQ(mixed.size(), 2u);
    EXPECT_EQ(mixed[0], (FeedbackContact{1, 1, 1}));
    EXPECT_EQ(mixed[1], (FeedbackContact{1, 3, 0}));

    EXPECT_TRUE(decodeFeedbackLine("INFO FB S88 *").empty());
}

TEST(FeedbackLine, Recognition)
{
    EXPECT_TRUE(isFeedbackLine("INFO FB S88 1 1"));
    EXPECT_FALSE(isFeedbackLine("INFO POWER OFF "));
    EXPECT_FALSE(isFeedbackLine("INFO FB S8"));
    EXPECT_TRUE(isAllContactsLine("INFO FB S88 * 01"));
    EXPECT_FALSE(isAllContactsLine("INFO FB S88 1 1"));
    EXPECT_FALSE(isAllContactsLine("INFO FB S88"));
}

// Found by the fuzzer: the lowest 64-bit contact number overflowed the contact arithmetic.
TEST(FeedbackLine, ExtremeContactNumbersMatchNoDetector)
{
    for (const char* line : {"INFO FB S88 -9223372036854775808 1", "INFO FB S88 -9223372036854775807 0",
                             "INFO FB S88 -16000000000 1"}) {
        const FeedbackContact c = decodeFbPort(line);
        EXPECT_TRUE(c.module < 1 || c.port < 1) << line << ": module " << c.module << " port " << c.port;
    }
    EXPECT_EQ(decodeFbPort("INFO FB S88 9223372036854775807 1").module, 1'000'000'000);
}

TEST(FeedbackLine, EveryFeedbackInterfaceIsReadByFieldWithTheSameNumbering)
{
    // A server reading its contacts through a 6051 or 8255 interface names that type instead of S88.
    for (const std::string type : {"S88", "M6051", "I8255"}) {
        const std::string one = "INFO FB " + type + " 17 1";
        ASSERT_TRUE(isFeedbackLine(one)) << one;
        EXPECT_FALSE(isAllContactsLine(one));
        const std::vector<FeedbackContact> expected{FeedbackContact{2, 1, 1}};
        EXPECT_EQ(decodeFeedbackLine(one), expected) << one;

        const std::string all = "INFO FB " + type + " * 0100000000000000001";
        ASSERT_TRUE(isAllContactsLine(all)) << all;
        auto contacts = decodeFeedbackLine(all);
        ASSERT_EQ(contacts.size(), 19u) << all;
        EXPECT_EQ(contacts[1], (FeedbackContact{1, 2, 1}));
        EXPECT_EQ(contacts[18], (FeedbackContact{2, 3, 1}));

        EXPECT_THROW(decodeFeedbackLine("INFO FB " + type + " 12"), FeedbackLineError) << type;
    }
    // Other lines, and other type words, are still not feedback.
    for (const char* other : {"INFO FB", "INFO FB  ", "INFO FB S8 1 1", "INFO FB S88X 1 1", "INFO FB M605 1 1",
                              "INFO FB LPT1 1 1", "INFO GA M 15 1 1 -1", "info fb S88 1 1", "XINFO FB S88 1 1"})
        EXPECT_FALSE(isFeedbackLine(other)) << other;
}
