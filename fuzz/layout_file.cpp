// Fuzz target: a layout file (".pln") with its labels' font texts, read as "Open" reads it. A
// damaged file may only raise the reader's own errors (FileReadError, FontConversionError); what
// was read before stays. Whatever was read, written back and read again, gives the same elements
// (record numbers aside, which reading assigns anew) and the same labels and fonts.

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

// Reads with hooks that check what the program's own hooks rely on; false on a read error.
bool read(const QByteArray& text, Layout& layout)
{
    int started = -1, kept = 0;
    LayoutReadHooks hooks;
    hooks.started = [&](int n) { started = n; };
    hooks.elementAdded = [&](tPosEntry& e, int k) {
        require(k == ++kept);
        require(layout.table.getNumbofEntries() == k && layout.table.getEntryByNum(k - 1) == &e);
        require(e.Enummer >= 1 && e.Enummer <= 88);
    };
    hooks.labelAdded = [&](TTextEntry& label) { require(!layout.labels.empty() && layout.labels.back().get() == &label); };
    try {
        readLayoutText(text, layout.table, layout.labels, layout.count, layout.labelCount, hooks);
    } catch (const FileReadError&) {
        return false;
    } catch (const FontConversionError&) {
        return false;
    }
    require(started == layout.count);
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
    require(read(written, second));  // a written layout always reads
    require(second.count == first.table.getNumbofEntries());
    require(second.labelCount == static_cast<int>(first.labels.size()));
    requireSame(first, second);
    Layout third;
    require(read(writeLayoutText(second.table, second.labels), third));
    require(writeLayoutText(third.table, third.labels) == writeLayoutText(second.table, second.labels));
    return 0;
}
