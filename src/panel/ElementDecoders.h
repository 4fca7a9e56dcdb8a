#pragma once
// Which decoder and data port reach a state of a placed element.

#include "base/PositionTable.h"

#include <utility>

// Decoder and data port that reach `state` (1 to 3) of an element; {0, 0} for other states.
inline std::pair<int, int> pairOfState(const tPosEntry& e, int state)
{
    switch (state) {
    case 1: return {e.Decod1, e.Daten1};
    case 2: return {e.Decod2, e.Daten2};
    case 3: return {e.Decod3, e.Daten3};
    default: return {0, 0};
    }
}
