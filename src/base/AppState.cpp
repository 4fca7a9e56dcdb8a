#include "base/AppState.h"

// The owned lists hold incomplete types in the header; their destructors are instantiated where the
// entry types are complete.
#include "base/PositionTable.h"

AppState::AppState() = default;
AppState::~AppState() = default;

void AppState::clearModes()
{
    Quarnerstellen = Decoder = S88config = Text = Betrieb = Fahrstrasseerstellen = Lokregler = false;
}
