#pragma once
// The route file beside each layout: M, the number of route elements; then per element, in list
// order, Fahrnr, Gleiselementnr, Xpos, Ypos, Stellung; last, the route counter Anz_strassen. One
// value per line, lines ended by CR LF.

#include "panel/C_fahr.h"

#include <QByteArray>
#include <QString>

#include <vector>

QByteArray writeRouteText(const C_fahr& routes);

// What a route file holds.
struct RouteFileContent {
    std::vector<C_fahrelement> elements;
    int Anz_strassen = 0;
};

// Parses a route text. Throws FileReadError (with the line) for text that is not a number, for a
// negative or impossible element count, for a route number outside 1..2048, a position outside
// 11..13, an element number outside 1..88, a counter outside 0..2048 and for text after the counter.
// The end of the text reads as 0, so a cut file fails on its first missing route number.
RouteFileContent readRouteText(const QByteArray& text);

// Replaces the list and the counter by the content. The counter becomes at least the highest route
// number of the list, so a new route never takes the number of a stored one.
void applyRouteContent(C_fahr& routes, RouteFileContent content);

// Writes the file through a temporary name and a rename; throws FileReadError when that fails (the
// old file is then unchanged).
void writeRouteFile(const QString& path, const C_fahr& routes);

enum class RouteFileRead { Read, Missing };
// Reads the file into `routes`. A missing file gives no routes and Missing. A file that cannot be
// read or is damaged throws FileReadError and leaves `routes` as it was.
RouteFileRead readRouteFile(const QString& path, C_fahr& routes);
