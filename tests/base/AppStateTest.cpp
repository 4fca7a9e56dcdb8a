#include "base/AppState.h"

#include <gtest/gtest.h>

TEST(AppState, StartsWithNoModeAndRouteFlagsForEveryRouteNumber)
{
    AppState s;
    s.Betrieb = true;
    s.clearModes();
    EXPECT_FALSE(s.Betrieb || s.Quarnerstellen || s.Decoder || s.S88config || s.Text
                 || s.Fahrstrasseerstellen || s.Lokregler);
    EXPECT_EQ(s.Knopf.size(), 2049u);
    EXPECT_EQ(s.SrcpVer, 73);
    EXPECT_EQ(s.Ipport, 12345);
}
