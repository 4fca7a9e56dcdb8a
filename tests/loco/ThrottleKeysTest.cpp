// The throttle keys move the chosen regulator's slider as the mouse would: one step of a twentieth
// of the range, towards full speed or standstill, in normal and centre-zero operation.

#include "LocoTestSupport.h"
#include "loco/ThrottleKeys.h"

#include <gtest/gtest.h>

namespace {

enum class Key { Faster, Slower, Stop };

struct KeyCase {
    const char* what;
    int speedMax;
    bool centreZero;
    int from;
    Key key;
    int to;
};

}  // namespace

TEST(ThrottleKeys, MoveTheChosenSliderOneStepTowardsFullSpeedOrStandstill)
{
    const KeyCase cases[] = {
        {"normal: up from the bottom", 100, false, 100, Key::Faster, 95},
        {"normal: not past the top", 100, false, 2, Key::Faster, 0},
        {"normal: not past the bottom", 100, false, 98, Key::Slower, 100},
        {"14 speed steps: one step", 14, false, 14, Key::Faster, 13},
        {"normal: stop goes to the bottom", 100, false, 30, Key::Stop, 100},
        {"centre-zero: from the middle upwards", 100, true, 50, Key::Faster, 45},
        {"centre-zero: lower half runs downwards", 100, true, 60, Key::Faster, 65},
        {"centre-zero: slower stops at the middle from above", 100, true, 48, Key::Slower, 50},
        {"centre-zero: slower stops at the middle from below", 100, true, 53, Key::Slower, 50},
        {"centre-zero: stop goes to the middle", 100, true, 90, Key::Stop, 50},
        {"centre-zero, odd range: the stop-all's middle", 27, true, 0, Key::Stop, 14},
    };
    for (const KeyCase& c : cases) {
        ThrottleFixture t;
        t.lok.set_addr(2, 5);
        t.lok.set_speedmax(2, c.speedMax);
        t.model.setupScrollBar(2);
        if (c.centreZero)
            t.model.CheckBoxClick(2, true);
        t.model.moveSlider(2, c.from);
        ThrottleKeys keys(t.model);
        keys.select(2);
        keys.select(10);  // no such regulator: the choice stays
        ASSERT_EQ(keys.selected(), 2) << c.what;
        switch (c.key) {
        case Key::Faster: keys.faster(); break;
        case Key::Slower: keys.slower(); break;
        case Key::Stop: keys.stop(); break;
        }
        EXPECT_EQ(t.model.regulator(2).Position, c.to) << c.what;
        EXPECT_EQ(t.model.regulator(0).Position, 100) << c.what << ": other regulators stay";
    }
}
