#pragma once
// The route file beside each layout: M, the number of route elements; then per element, in list
// order, Fahrnr, Gleiselementnr, Xpos, Ypos, Stellung; last, the route counter Anz_strassen. One
// value per line, lines ended by CR LF.

#include "panel/C_fahr.h"

class C_Position;

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

QByteArray writeRouteText(const C_fahr& routes);

// What a route file holds.
struct RouteFileContent {
    std::vector<C_fahrelement> elements;
    int Anz_strassen = 0;
    // The lines whose value could not be used (ascending), and one sentence per repair.
    QList<int> replacedLines;
    QStringList problems;
};

// Parses a route text. A route element with a value that cannot be (text that is not a number, a
// route number outside 1..2048, an element number outside 1..88, a position that is not a cell of
// the layout, a state outside 11..13) is left out with every other element of its route, so that
// setting a route never leaves one of its accessories unswitched; a counter that cannot be follows
// the highest route; text after the counter is left out. Every such line is listed in
// `replacedLines`, and the rest is read. Throws FileReadError when the element count in line 1 is
// not a number, negative or more than the text can hold: without it the records cannot be told
// apart. The end of the text reads as 0.
RouteFileContent readRouteText(const QByteArray& text);

// Whether every route element lies on a placed element of the same element number: routes made for
// this layout, not for another one of the same name.
bool routesFitLayout(const RouteFileContent& content, const C_Position& table);

// Replaces the list and the counter by the content. The counter becomes at least the highest route
// number of the list, so a new route never takes the number of a stored one.
void applyRouteContent(C_fahr& routes, RouteFileContent content);

// Writes the file through a temporary name and a rename; throws FileReadError when that fails (the
// old file is then unchanged).
void writeRouteFile(const QString& path, const C_fahr& routes);

enum class RouteFileRead { Read, Missing };
// Reads the file into `routes` (and, when asked, what was read into `read`). A missing file gives no
// routes and Missing. A file that cannot be read, or whose element count is unusable, throws
// FileReadError and leaves `routes` as it was.
RouteFileRead readRouteFile(const QString& path, C_fahr& routes, RouteFileContent* read = nullptr);
