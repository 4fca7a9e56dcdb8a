// Fuzz target: the route file beside a layout. A damaged file may only raise FileReadError. A file
// that reads is written back from the route list and read again to the same list and counter.

#include "base/AppState.h"
#include "common/GuiApp.h"
#include "layout/LineValueReader.h"
#include "panel/C_fahr.h"
#include "panel/RouteFile.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

bool sameElement(const C_fahrelement& a, const C_fahrelement& b)
{
    return a.Fahrnr == b.Fahrnr && a.Gleiselementnr == b.Gleiselementnr && a.Xpos == b.Xpos && a.Ypos == b.Ypos
        && a.Stellung == b.Stellung;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzsupport::ensureGuiApp();
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    RouteFileContent content;
    try {
        content = readRouteText(text);
    } catch (const FileReadError&) {
        return 0;
    }
    for (const C_fahrelement& e : content.elements) {
        require(C_fahr::validRoute(e.Fahrnr));
        require(e.Gleiselementnr >= 1 && e.Gleiselementnr <= 88);
        require(e.Stellung >= 11 && e.Stellung <= 13);
    }

    static AppState main;  // holds the layout pictures (megabytes): made once
    main.Knopf.fill(false);
    C_fahr routes(main);
    const std::size_t count = content.elements.size();
    applyRouteContent(routes, content);
    require(routes.Fahrlist.size() == count);
    require(routes.Anz_strassen >= content.Anz_strassen && routes.Anz_strassen <= C_fahr::MaxRoute);

    const QByteArray written = writeRouteText(routes);
    const RouteFileContent again = readRouteText(written);  // a written file always reads, whole
    require(again.elements.size() == count);
    require(again.replacedLines.isEmpty());
    for (std::size_t i = 0; i < count; ++i) {
        require(sameElement(again.elements[i], content.elements[i]));
        require(sameElement(*routes.Fahrlist[i], content.elements[i]));
    }
    require(again.Anz_strassen == routes.Anz_strassen);

    // Reading the written file into a second list gives the same file again.
    C_fahr routes2(main);
    applyRouteContent(routes2, again);
    require(writeRouteText(routes2) == written);
    return 0;
}
