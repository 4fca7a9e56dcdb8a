// Opening a layout, not connected, as the program opens it (a fresh panel: every icon decoded
// anew), for layouts of 100, 300, 600 and 900 elements (900 fills the whole 36 x 25 grid), next
// to a bare read of the same file in the same run. Prints medians, the time per element, how the
// time grows with the element count, and whether a full layout opens in under 3 ms.
#include "base/AppState.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "layout/LayoutFile.h"
#include "panel/LayoutPanel.h"
#include "base/ScriptedDialogs.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Element k (0-based) of a layout that fills the grid row by row: every element number in turn.
bool writeLayout(const QString& path, int elements)
{
    C_Position table;
    for (int k = 0; k < elements; ++k) {
        const int x = k % 36, y = k / 36;
        auto e = std::make_unique<tPosEntry>();
        C_Position::initializeEntry(k + 1, *e);
        e->Enummer = k % 88 + 1;
        e->Posx = x * 27;
        e->Posy = y * 27;
        e->Decod1 = 1 + x;
        e->Daten1 = 1 + y % 8;
        table.addEntry(std::move(e));
    }
    std::vector<std::unique_ptr<TTextEntry>> labels;
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(writeLayoutText(table, labels)) >= 0;
}

struct Figures {
    double openMs, bareMs;
};
}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    AppState s;
    s.WorkDir = QStringLiteral(QUARN_SOURCE_DIR "data/");
    C_Element cat;
    ScriptedDialogs dialogs;
    const int sizes[] = {100, 300, 600, 900};
    const int runs = 31;
    std::vector<Figures> figures;
    for (const int elements : sizes) {
        const QString name = QStringLiteral("L%1.pln").arg(elements);
        if (!writeLayout(folder + name, elements))
            return 1;
        std::vector<double> open, bare;
        for (int r = 0; r < runs + 1; ++r) {
            QElapsedTimer t;
            t.start();
            QFile f(folder + name);
            if (!f.open(QIODevice::ReadOnly))
                return 1;
            const QByteArray text = f.readAll();
            const double bareMs = t.nsecsElapsed() / 1e6;
            if (text.isEmpty())
                return 1;

            C_Position table;
            LayoutPanel panel(s, table, cat, dialogs);  // a fresh panel: no icon decoded yet
            s.Textliste.clear();
            panel.quarngraufaerben();
            t.restart();
            panel.gleisbildladen(name, folder);
            const double openMs = t.nsecsElapsed() / 1e6;
            if (table.getNumbofEntries() != elements || !dialogs.shown.empty())
                return 1;
            if (r > 0) {  // the first run warms the file cache
                open.push_back(openMs);
                bare.push_back(bareMs);
            }
        }
        figures.push_back({median(open), median(bare)});
    }
    std::printf("opening a layout, not connected (median of %d opens each, fresh panel)\n", runs);
    std::printf("%9s %10s %12s %12s %10s\n", "elements", "open ms", "us/element", "bare read ms", "open/bare");
    for (std::size_t i = 0; i < figures.size(); ++i)
        std::printf("%9d %10.3f %12.2f %12.3f %10.1f\n", sizes[i], figures[i].openMs,
                    figures[i].openMs * 1000.0 / sizes[i], figures[i].bareMs, figures[i].openMs / figures[i].bareMs);
    const Figures& small = figures.front();
    const Figures& full = figures.back();
    std::printf("growth 100 -> 900 elements: %.2fx the time for 9x the elements; %.2f us per added element\n",
                full.openMs / small.openMs, (full.openMs - small.openMs) * 1000.0 / (900 - 100));
    std::printf("goal: full layout (900 elements) opens in under 3 ms: %.3f ms: %s\n", full.openMs,
                full.openMs < 3.0 ? "met" : "NOT met");
    return full.openMs < 3.0 ? 0 : 2;
}
