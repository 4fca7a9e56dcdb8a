// Fuzz target: a layout file (".pln") with its labels' font texts, read as "Open" reads it. A
// damaged file may only raise the reader's own error (FileReadError, not a layout); unusable
// records are left out. Whatever was read, written back and read again, gives the same elements
// (record numbers aside, which reading assigns anew) and the same labels and fonts, and is written
// as the same text.

#include "common/GuiApp.h"
#include "layout/C_Position.h"
#include "layout/FontText.h"
#include "layout/LayoutFile.h"
#include "layout/LineValueReader.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

using Labels = std::vector<std::unique_ptr<TTextEntry>>;

struct Layout {
    C_Position table;
    Labels labels;
    int count = 0;
    int labelCount = 0;
};

// Reads as "Open" reads; false when the text is not a layout. What is kept is always usable:
// element numbers 1..88, cells of the grid, never two elements in one cell.
bool read(const QByteArray& text, Layout& layout, std::size_t* skipped = nullptr)
{
    LayoutContent content;
    try {
        content = parseLayoutText(text);
    } catch (const FileReadError&) {
        return false;
    }
    layout.count = content.count;
    layout.labelCount = content.labelCount;
    // One flag per cell: a search of the table per element would make large layouts quadratic.
    const LayoutGrid grid;
    const int columns = grid.columns();
    std::vector<char> taken(static_cast<std::size_t>(columns * grid.rows()), 0);
    for (auto& e : content.elements) {
        require(e->Enummer >= 1 && e->Enummer <= 88);
        require(grid.holds(e->Posx, e->Posy));
        char& cell = taken[static_cast<std::size_t>(e->Posy / 27 * columns + e->Posx / 27)];
        require(!cell);
        cell = 1;
        layout.table.addEntry(std::move(e));
    }
    for (auto& l : content.labels)
        layout.labels.push_back(std::move(l));
    if (skipped)
        *skipped = content.skipped.size() + content.replaced.size();
    return true;
}

void requireSame(const Layout& a, const Layout& b)
{
    require(a.table.getNumbofEntries() == b.table.getNumbofEntries());
    for (int i = 0; i < a.table.getNumbofEntries(); ++i) {
        const tPosEntry& x = *a.table.getEntryByNum(i);
        const tPosEntry& y = *b.table.getEntryByNum(i);
        require(y.CompID == i + 1);
        require(x.Enummer == y.Enummer && x.Posx == y.Posx && x.Posy == y.Posy && x.Stellung == y.Stellung);
        require(x.Decod1 == y.Decod1 && x.Decod2 == y.Decod2 && x.Decod3 == y.Decod3);
        require(x.Daten1 == y.Daten1 && x.Daten2 == y.Daten2 && x.Daten3 == y.Daten3);
        require(x.Fahrnr == y.Fahrnr && x.Protokoll == y.Protokoll);
    }
    require(a.labels.size() == b.labels.size());
    for (std::size_t i = 0; i < a.labels.size(); ++i) {
        const TTextEntry& x = *a.labels[i];
        const TTextEntry& y = *b.labels[i];
        require(x.Name == y.Name && x.TextInfo == y.TextInfo);
        require(x.XText == y.XText && x.YText == y.YText && x.Textwkl == y.Textwkl);
        require(FontToString(x.TextFont, x.TextColor) == FontToString(y.TextFont, y.TextColor));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzsupport::ensureGuiApp();
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    Layout first;
    read(text, first);

    const QByteArray written = writeLayoutText(first.table, first.labels);
    Layout second;
    std::size_t skipped = 1;
    require(read(written, second, &skipped));  // a written layout always reads, whole
    require(skipped == 0);
    require(second.count == first.table.getNumbofEntries());
    require(second.labelCount == static_cast<int>(first.labels.size()));
    requireSame(first, second);
    // Written again, the layout gives the same text, record numbers counted anew. (Reading that
    // text once more would check the round trip above on one more layout, one the fuzzer reaches
    // itself as the input `written`: it doubled the cost of every input and found nothing new.)
    for (int i = 0; i < first.table.getNumbofEntries(); ++i)
        first.table.getEntryByNum(i)->CompID = i + 1;
    require(writeLayoutText(second.table, second.labels) == writeLayoutText(first.table, first.labels));
    return 0;
}
