#pragma once
// The zoom of the track panel: a view transform only. The layout stays a grid of 27-pixel cells;
// the panel shows it larger or smaller. Each layout keeps its zoom in a small file beside it
// ("<layout name>.zoom", one line with the percentage), so the layout file itself is unchanged.

#include <QRect>
#include <QSize>
#include <QString>

class C_Position;
struct AppState;

namespace ViewZoom {

constexpr int MinPercent = 25;
constexpr int MaxPercent = 400;

// The next step up or down from `percent` (25, 33, 50, 67, 75, 90, 100, 110, 125, 150, 175, 200,
// 250, 300, 400); stays at the ends.
int stepIn(int percent);
int stepOut(int percent);
int clampPercent(int percent);

// Layout pixels of the part of the picture that holds elements and texts (whole cells), or the
// whole picture when the layout is empty.
QRect usedArea(const AppState& main, const C_Position& postable);
// The largest percentage at which `area` fits into a view of `view` pixels (within the limits).
int fitPercent(QSize view, QRect area);

// The side file of a layout file ("Bahnhof.pln" -> "Bahnhof.zoom").
QString sideFile(const QString& layoutPath);
// The zoom kept for the layout; 100 when there is none or the file does not hold a percentage.
int load(const QString& layoutPath);
// Keeps the zoom for the layout. Empty on success, else why the file could not be written.
QString save(const QString& layoutPath, int percent);

}  // namespace ViewZoom
