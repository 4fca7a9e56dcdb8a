#pragma once
// Where the panel, its scroll bars, the palette and the lower panels go for a given client size of
// the main window (CW x CH) and status bar height SB.

#include <QRect>

struct PanelGeometry {
    static constexpr int ScrollBar = 17;
    QRect hScroll, vScroll, panel, palette, statusBar, lowerPanel, progressBar, pageControl;
    bool hScrollNeeded = false, vScrollNeeded = false;  // enable, show, maximum 980 / 680
    int percentLabelTop = 0;                            // needs the label width for its left edge
};

// paletteHeight: current height of the palette control; screenX: Screen_x.
PanelGeometry FormResize(int CW, int CH, int SB, int paletteHeight, int screenX, int Quarnbreite = 980,
                         int Quarnhoehe = 680, int Panelhoehe = 113);
