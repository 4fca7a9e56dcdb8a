#include "layout/LayoutFile.h"

#include "layout/C_Position.h"
#include "layout/FontText.h"
#include "layout/LineValueReader.h"
#include "layout/TextCodec.h"

#include <string>

namespace {
void line(QByteArray& out, const QByteArray& value)
{
    out += value;
    out += "\r\n";
}
void line(QByteArray& out, int value) { line(out, QByteArray::number(value)); }
}  // namespace

QByteArray writeLayoutText(const C_Position& table, const std::vector<std::unique_ptr<TTextEntry>>& labels)
{
    QByteArray out;
    const int n = table.getNumbofEntries();
    out.reserve(n * 40 + 64);
    line(out, n);
    for (int i = 0; i < n; ++i) {
        const tPosEntry& e = *table.getEntryByNum(i);
        for (int v : {e.CompID, e.Enummer, e.Posx, e.Posy, e.Stellung, e.Decod1, e.Decod2, e.Decod3, e.Daten1,
                      e.Daten2, e.Daten3, e.Fahrnr})
            line(out, v);
        line(out, toFileText(e.Protokoll));
    }
    line(out, static_cast<int>(labels.size()));
    for (const auto& t : labels) {
        line(out, toFileText(t->Name));
        line(out, toFileText(t->TextInfo));
        line(out, t->XText);
        line(out, t->YText);
        line(out, t->Textwkl);
        line(out, toFileText(FontToString(t->TextFont, t->TextColor)));
    }
    return out;
}

void readLayoutText(const QByteArray& text, C_Position& table, std::vector<std::unique_ptr<TTextEntry>>& labels,
                    int& count, int& labelCount, const LayoutReadHooks& hooks)
{
    LineValueReader in(text);
    count = in.readInt();
    if (hooks.started)
        hooks.started(count);
    int kept = 0;
    for (int k = 1; k <= count; ++k) {
        if (in.atEnd())
            break;  // the remaining records would read as empty (element 0) and be skipped
        auto e = std::make_unique<tPosEntry>();
        e->CompID = in.readInt();
        e->Enummer = in.readInt();
        e->Posx = in.readInt();
        e->Posy = in.readInt();
        e->Stellung = in.readInt();
        e->Decod1 = in.readInt();
        e->Decod2 = in.readInt();
        e->Decod3 = in.readInt();
        e->Daten1 = in.readInt();
        e->Daten2 = in.readInt();
        e->Daten3 = in.readInt();
        e->Fahrnr = in.readInt();
        e->Protokoll = fromFileText(in.readLine());
        if (e->Enummer > 88)
            throw FileReadError("Element number " + std::to_string(e->Enummer) + " in record " + std::to_string(k)
                                + " is not in 1..88");
        if (e->Enummer <= 0)
            continue;
        e->CompID = k;
        tPosEntry& ref = *e;
        table.addEntry(std::move(e));
        ++kept;
        if (hooks.elementAdded)
            hooks.elementAdded(ref, kept);
    }
    labelCount = in.readInt();
    if (hooks.labelsStarted)
        hooks.labelsStarted(labelCount);
    for (int t = 0; t < labelCount; ++t) {
        auto label = std::make_unique<TTextEntry>();
        label->Name = fromFileText(in.readLine());
        label->TextInfo = fromFileText(in.readLine());
        label->XText = in.readInt();
        label->YText = in.readInt();
        label->Textwkl = in.readInt();
        StringToFont(fromFileText(in.readLine()), label->TextFont, label->TextColor);
        TTextEntry& ref = *label;
        labels.push_back(std::move(label));
        if (hooks.labelAdded)
            hooks.labelAdded(ref);
    }
}
