#include "panel/RouteFile.h"

#include "base/FileReplace.h"
#include "layout/LineValueReader.h"

#include <QFile>

#include <algorithm>
#include <charconv>
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
}  // namespace

RouteFileContent readRouteText(const QByteArray& text)
{
    LineValueReader in(text);
    RouteFileContent c;
    // Every element takes five lines of at least two characters each.
    const int count = readInRange(in, 0, static_cast<int>(std::min<qsizetype>(text.size() / 10, 1'000'000)),
                                  "Route element count");
    c.elements.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        C_fahrelement e;
        e.Fahrnr = readInRange(in, 1, C_fahr::MaxRoute, "Route number");
        e.Gleiselementnr = readInRange(in, 1, 88, "Element number");
        e.Xpos = in.readInt();
        e.Ypos = in.readInt();
        e.Stellung = readInRange(in, 11, 13, "Route position");
        c.elements.push_back(e);
    }
    c.Anz_strassen = readInRange(in, 0, C_fahr::MaxRoute, "Route counter");
    const int line = in.lineNumber();
    if (!in.readLine().trimmed().isEmpty() || !in.atEnd())
        throw FileReadError("Unexpected text after the route counter (line " + std::to_string(line) + ")");
    return c;
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

RouteFileRead readRouteFile(const QString& path, C_fahr& routes)
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
    applyRouteContent(routes, std::move(content));
    return RouteFileRead::Read;
}
