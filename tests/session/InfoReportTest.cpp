#include "session/InfoReport.h"

#include <gtest/gtest.h>

TEST(InfoReport, AccessoryLines)
{
    const auto a = parseAccessoryReport("INFO GA M 15 1 1 -1");
    ASSERT_TRUE(a);
    EXPECT_TRUE(a->motorola);
    EXPECT_EQ(a->address, 15);
    EXPECT_EQ(a->port, 1);
    EXPECT_EQ(a->value, 1);
    const auto n = parseAccessoryReport("INFO GA N 5 0 0 200\r");
    ASSERT_TRUE(n);
    EXPECT_FALSE(n->motorola);
    EXPECT_EQ(n->value, 0);
    for (const char* bad : {"INFO GA M 15 1", "INFO GA P 15 1 1 -1", "INFO GA M x 1 1 -1", "INFO GL M 15 1 1 -1",
                            "SET GA M 15 1 1 -1", ""})
        EXPECT_FALSE(parseAccessoryReport(bad)) << bad;
}

TEST(InfoReport, LocoLines)
{
    const auto l = parseLocoReport("INFO GL M2 3 1 50 100 1 4 0 1 0 0");
    ASSERT_TRUE(l);
    EXPECT_EQ(l->protocol, "M2");
    EXPECT_EQ(l->address, 3);
    EXPECT_EQ(l->direction, 1);
    EXPECT_EQ(l->speed, 50);
    EXPECT_EQ(l->speedMax, 100);
    EXPECT_EQ(l->functions, (std::vector<int>{1, 0, 1, 0, 0}));
    const auto bare = parseLocoReport("INFO GL M1 3 -1 0 100");
    ASSERT_TRUE(bare);
    EXPECT_TRUE(bare->functions.empty());
    for (const char* bad : {"INFO GL M2 3 1 50", "INFO GL M2 3 1 50 100 1 4 0 1", "INFO GL M2 3 1 fast 100 1 0"})
        EXPECT_FALSE(parseLocoReport(bad)) << bad;
}

TEST(InfoReport, PowerLines)
{
    EXPECT_TRUE(parsePowerReport("INFO POWER ON ")->on);
    EXPECT_FALSE(parsePowerReport("INFO POWER OFF")->on);
    EXPECT_FALSE(parsePowerReport("INFO POWER"));
    EXPECT_FALSE(parsePowerReport("INFO POWER MAYBE"));
}
