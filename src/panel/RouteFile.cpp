#include "panel/RouteFile.h"

#include "base/FileReplace.h"
#include "layout/C_Position.h"
#include "layout/LayoutFile.h"
#include "layout/LineValueReader.h"

#include <QFile>

#include <algorithm>
#include <charconv>
#include <optional>
#include <set>
#include <string>

QByteArray writeRouteText(const C_fahr& routes)
{
    QByteArray out;
    auto line = [&out](int v) {
        char digits[16];
        const char* end = std::to_chars(digits, digits + sizeof digits, v).ptr;
        out.append(digits, end - digits).append("\r\n", 2);
    };
    line(routes.getnumerofEntries());
    for (const auto& e : routes.Fahrlist) {
        line(e->Fahrnr);
        line(e->Gleiselementnr);
        line(e->Xpos);
        line(e->Ypos);
        line(e->Stellung);
    }
    line(routes.Anz_strassen);
    return out;
}

namespace {
int readInRange(LineValueReader& in, int low, int high, const char* what)
{
    const int line = in.lineNumber();
    const int v = in.readInt();
    if (v < low || v > high)
        throw FileReadError(std::string(what) + " " + std::to_string(v) + " is outside " + std::to_string(low)
                            + " to " + std::to_string(high) + " (line " + std::to_string(line) + ")");
    return v;
}

// One value of a route element: a number in low..high, or nothing (its line is then noted).
std::optional<int> value(LineValueReader& in, int low, int high, QList<int>& bad)
{
    const std::optional<int> v = in.tryReadInt();
    if (v && *v >= low && *v <= high)
        return v;
    bad.push_back(in.wordLine());
    return std::nullopt;
}
}  // namespace

RouteFileContent readRouteText(const QByteArray& text)
{
    LineValueReader in(text);
    RouteFileContent c;
    // Every element takes five lines of at least two characters each. Without a count the rest
    // cannot be told apart: that file is not read at all.
    const int count = readInRange(in, 0, static_cast<int>(std::min<qsizetype>(text.size() / 10, 1'000'000)),
                                  "Route element count");
    c.elements.reserve(static_cast<size_t>(count));
    const LayoutGrid grid;
    std::set<int> damagedRoutes;  // a route with a damaged element is left out whole
    int highest = 0;  // of every route named, kept or not: a new route never takes a lost one's number
    for (int i = 0; i < count; ++i) {
        if (in.atEnd()) {
            // The last route read may lack the elements that are missing.
            if (!c.elements.empty())
                damagedRoutes.insert(c.elements.back().Fahrnr);
            c.replacedLines.push_back(in.lineNumber());
            c.problems << QStringLiteral("The route file ends at line %1, before route element %2 of %3")
                              .arg(in.lineNumber() - 1)
                              .arg(i + 1)
                              .arg(count);
            break;
        }
        QList<int> bad;
        const std::optional<int> route = value(in, 1, C_fahr::MaxRoute, bad);
        const std::optional<int> element = value(in, 1, 88, bad);
        // A cell of the layout: its corner a multiple of 27 inside the picture.
        const std::optional<int> x = value(in, 0, grid.width - 1, bad);
        if (x && *x % 27 != 0)
            bad.push_back(in.wordLine());
        const std::optional<int> y = value(in, 0, grid.height - 1, bad);
        if (y && *y % 27 != 0)
            bad.push_back(in.wordLine());
        const std::optional<int> position = value(in, 11, 13, bad);
        if (route)
            highest = std::max(highest, *route);
        if (!bad.isEmpty()) {
            c.replacedLines += bad;
            if (route)
                damagedRoutes.insert(*route);
            c.problems << (route ? QStringLiteral("Route %1: its element %2 has a value that cannot be (line %3); the route was left out")
                                       .arg(*route)
                                       .arg(i + 1)
                                       .arg(bad.front())
                                 : QStringLiteral("Route element %1 has no route number (line %2) and was left out")
                                       .arg(i + 1)
                                       .arg(bad.front()));
            continue;
        }
        C_fahrelement e;
        e.Fahrnr = *route;
        e.Gleiselementnr = *element;
        e.Xpos = *x;
        e.Ypos = *y;
        e.Stellung = *position;
        c.elements.push_back(e);
    }
    if (!damagedRoutes.empty())
        c.elements.erase(std::remove_if(c.elements.begin(), c.elements.end(),
                                        [&](const C_fahrelement& e) { return damagedRoutes.count(e.Fahrnr) > 0; }),
                         c.elements.end());
    const std::optional<int> counter = in.tryReadInt();  // the end of the text reads 0
    if (counter && *counter >= 0 && *counter <= C_fahr::MaxRoute) {
        c.Anz_strassen = std::max(*counter, highest);
    } else {
        c.Anz_strassen = highest;
        // applyRouteContent raises the counter to the highest route kept.
        c.replacedLines.push_back(in.wordLine());
        c.problems << QStringLiteral("The route counter cannot be (line %1); it now follows the highest route")
                          .arg(in.wordLine());
    }
    const int line = in.lineNumber();
    if (!in.readLine().trimmed().isEmpty() || !in.atEnd()) {
        c.replacedLines.push_back(line);
        c.problems << QStringLiteral("Unexpected text after the route counter (line %1)").arg(line);
    }
    std::sort(c.replacedLines.begin(), c.replacedLines.end());
    c.replacedLines.erase(std::unique(c.replacedLines.begin(), c.replacedLines.end()), c.replacedLines.end());
    return c;
}

bool routesFitLayout(const RouteFileContent& content, const C_Position& table)
{
    for (const C_fahrelement& e : content.elements) {
        const tPosEntry* placed = table.getEntryByKor(e.Xpos, e.Ypos);
        if (!placed || placed->Enummer != e.Gleiselementnr)
            return false;
    }
    return true;
}

void applyRouteContent(C_fahr& routes, RouteFileContent content)
{
    routes.Fahrlist.clear();
    for (const C_fahrelement& e : content.elements)
        routes.Fahrlist.push_back(std::make_unique<C_fahrelement>(e));
    routes.Anz_strassen = std::max(content.Anz_strassen, routes.highestRoute());
}

void writeRouteFile(const QString& path, const C_fahr& routes)
{
    const QByteArray text = writeRouteText(routes);
    const QString error = replaceFileContents(path, text);
    if (!error.isEmpty())
        throw FileReadError("Cannot create file \"" + path.toStdString() + "\". " + error.toStdString());
}

RouteFileRead readRouteFile(const QString& path, C_fahr& routes, RouteFileContent* read)
{
    QFile f(path);
    if (!f.exists()) {
        applyRouteContent(routes, {});
        return RouteFileRead::Missing;
    }
    if (!f.open(QIODevice::ReadOnly))
        throw FileReadError("Cannot open file \"" + path.toStdString() + "\". " + f.errorString().toStdString());
    const QByteArray text = f.readAll();
    f.close();
    RouteFileContent content;
    try {
        content = readRouteText(text);
    } catch (const FileReadError& e) {
        throw FileReadError("Route file \"" + path.toStdString() + "\": " + e.what());
    }
    if (read)
        *read = content;
    applyRouteContent(routes, std::move(content));
    return RouteFileRead::Read;
}
