#include "loco/DriveReport.h"

#include <algorithm>
#include <cstdint>

namespace {

// Nearest integer of n / d for n >= 0, d > 0, halves up.
std::int64_t nearest(std::int64_t n, std::int64_t d)
{
    return (2 * n + d) / (2 * d);
}

} // namespace

int speedOnScale(int speed, int speedMax, int ownMax)
{
    const int top = std::max(0, ownMax);
    if (speedMax <= 0)
        return std::clamp(speed, 0, top);
    const std::int64_t v = std::clamp(speed, 0, speedMax);
    return static_cast<int>(std::min<std::int64_t>(nearest(v * top, speedMax), top));
}

bool sameDecoderSpeed(int a, int aMax, int b, int bMax, int steps)
{
    if (steps <= 0)
        return speedOnScale(a, aMax, bMax) == std::clamp(b, 0, std::max(0, bMax));
    return speedOnScale(a, aMax, steps) == speedOnScale(b, bMax, steps);
}
