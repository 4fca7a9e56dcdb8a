// Prints the median time to open a full layout (36 x 25 elements, not connected) and the median
// time of one bare read of the same file, and their ratio. Both are measured in the same run.
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
}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    {
        C_Position table;
        for (int y = 0; y < 25; ++y)
            for (int x = 0; x < 36; ++x) {
                auto e = std::make_unique<tPosEntry>();
                C_Position::initializeEntry(y * 36 + x + 1, *e);
                e->Enummer = (y * 36 + x) % 88 + 1;
                e->Posx = x * 27;
                e->Posy = y * 27;
                e->Decod1 = 1 + x;
                e->Daten1 = 1 + y % 8;
                table.addEntry(std::move(e));
            }
        std::vector<std::unique_ptr<TTextEntry>> labels;
        QFile f(folder + QStringLiteral("Full.pln"));
        if (!f.open(QIODevice::WriteOnly) || f.write(writeLayoutText(table, labels)) < 0)
            return 1;
    }
    AppState s;
    s.WorkDir = QStringLiteral(QUARN_SOURCE_DIR "data/");
    C_Element cat;
    ScriptedDialogs dialogs;
    const int runs = 30;
    std::vector<double> open, bare;
    for (int r = 0; r < runs + 1; ++r) {
        QElapsedTimer t;
        t.start();
        QFile f(folder + QStringLiteral("Full.pln"));
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
        panel.gleisbildladen(QStringLiteral("Full.pln"), folder);
        const double openMs = t.nsecsElapsed() / 1e6;
        if (table.getNumbofEntries() != 900)
            return 1;
        if (r > 0) {  // the first run warms the file cache
            open.push_back(openMs);
            bare.push_back(bareMs);
        }
    }
    const double o = median(open), b = median(bare);
    std::printf("open full layout (900 elements, not connected): %.3f ms median, %.2f us per element\n", o,
                o * 1000.0 / 900);
    std::printf("bare file read of the same layout:               %.3f ms median\n", b);
    std::printf("ratio open / bare read: %.1f   (goal: open under 100 ms: %s)\n", o / b, o < 100.0 ? "met" : "NOT met");
    return 0;
}
