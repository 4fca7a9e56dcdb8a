#include "panel/PanelGeometry.h"

PanelGeometry FormResize(int CW, int CH, int SB, int paletteHeight, int screenX, int Quarnbreite, int Quarnhoehe,
                         int Panelhoehe)
{
    constexpr int S = PanelGeometry::ScrollBar;
    PanelGeometry g;
    g.hScrollNeeded = CW < Quarnbreite;
    g.hScroll = QRect(0, CH - SB - S, CW - S, S);
    const int panelWidth = g.hScrollNeeded ? CW - SB - S : Quarnbreite;
    g.vScrollNeeded = CH - Panelhoehe - S < Quarnhoehe;
    g.vScroll = QRect(CW - S, 1, S, CH - Panelhoehe - S);
    const int panelHeight = g.vScrollNeeded ? CH - Panelhoehe - SB - S : Quarnhoehe;
    g.panel = QRect(1, 1, panelWidth, panelHeight);
    g.palette = QRect(1, CH - paletteHeight - SB - S, 0, paletteHeight);
    g.statusBar = QRect(0, CH - SB, CW, SB);
    g.lowerPanel = QRect(0, CH - 113 - SB - S, CW < 620 ? CW : 620, 113);
    g.progressBar = QRect(screenX / 2 - 150, panelHeight - 50, 300, 0);
    g.percentLabelTop = g.progressBar.height() + panelHeight + 5;
    g.pageControl = QRect(5, CH - 113 - SB - S, 580, 113);
    return g;
}
