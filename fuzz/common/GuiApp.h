#pragma once
// Readers that touch fonts and pictures need a QGuiApplication; the fuzz targets make one at start
// on the offscreen platform (no display is needed).

namespace fuzzsupport {
void ensureGuiApp();
}
