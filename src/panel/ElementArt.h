#pragma once
// The look of the layout elements: which element number is what, how many states it has, and how
// each state is drawn on a 27 x 27 tile (or any other size). The icon generator writes these
// pictures as the element icons; the panel draws them larger when it is zoomed.

#include <QImage>
#include <QString>

namespace icongen {

constexpr int Tile = 27;

struct ElementInfo {
    int number = 0;     // 1..88
    QString name;       // English display name
    int kind = 0;       // number of switchable states (E_Art)
    int iconStates = 1; // how many plain state icons exist (01, 02, 03)
};

ElementInfo elementInfo(int number);

// state 1..3 for the plain icons, 11..13 for the route-marked ones.
QImage drawElement(int number, int state);
// The same picture drawn at size x size pixels (the art is a drawing, so any size is sharp).
QImage drawElement(int number, int state, int size);

}  // namespace icongen
