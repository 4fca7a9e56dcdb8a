#include "layout/LayoutFile.h"

#include "layout/C_Position.h"
#include "layout/FontText.h"
#include "layout/LineValueReader.h"
#include "layout/TextCodec.h"

#include <QStringBuilder>

#include <algorithm>
#include <charconv>
#include <iterator>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <utility>

namespace {
// A string line, converted straight into the file's text.
void textLine(QByteArray& out, QStringView value)
{
    appendFileText(out, value);
    out += "\r\n";
}
void line(QByteArray& out, int value)
{
    char digits[16];  // no temporary per value: a layout has thousands of them
    const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end - digits).append("\r\n", 2);
}

// Reads the fields of one record; the first unreadable value is kept as the reason, and the
// record's remaining lines are still read so that the next record starts where it belongs.
class RecordReader {
public:
    explicit RecordReader(LineValueReader& in) : m_in(in) {}
    int integer()
    {
        noteEnd();
        QByteArray bad;
        if (const std::optional<int> v = m_in.tryReadInt(m_reason.isEmpty() ? &bad : nullptr))
            return *v;
        // Bad values are common in a damaged file: only the first of a record is described.
        // (Put together in one piece: a damaged file has many of them.)
        if (m_reason.isEmpty())
            m_reason = QLatin1Char('\'') % QLatin1StringView(bad) % QLatin1StringView("' is not a valid integer value (line ")
                       % QString::number(m_in.wordLine()) % QLatin1Char(')');
        return 0;
    }
    QByteArrayView text()
    {
        noteEnd();
        return m_in.readLineView();
    }
    // A value the record can do without: one that is not a number or lies outside low..high is
    // replaced by `fallback` and noted (line and why) in `replaced`; the record is kept.
    int value(int low, int high, int fallback, const char* what, std::vector<std::pair<int, QString>>& replaced)
    {
        noteEnd();
        QByteArray bad;
        const std::optional<int> v = m_in.tryReadInt(&bad);
        if (v && *v >= low && *v <= high)
            return *v;
        if (m_cut)
            return fallback;  // the end of the file: the record is cut, not repaired
        replaced.emplace_back(m_in.wordLine(),
                              QStringLiteral("%1 '%2' is not in %3..%4, now %5")
                                  .arg(QLatin1String(what), v ? QString::number(*v) : QString::fromLatin1(bad))
                                  .arg(low)
                                  .arg(high)
                                  .arg(fallback));
        return fallback;
    }
    const QString& reason() const { return m_reason; }
    // The file ended before every field of the record was read, and nothing before that was bad.
    bool cut() const { return m_cut && m_cutIsTheReason; }
    void fail(const QString& reason)
    {
        if (m_reason.isEmpty())
            m_reason = reason;
    }

private:
    void noteEnd()
    {
        if (!m_cut && m_in.atEnd()) {
            m_cut = true;
            m_cutIsTheReason = m_reason.isEmpty();
            fail(QStringLiteral("the file ends at line %1, inside this record").arg(m_in.lineNumber() - 1));
        }
    }

    LineValueReader& m_in;
    QString m_reason;
    bool m_cut = false;
    bool m_cutIsTheReason = false;
};

// What a file that ends early lacks, e.g. "the file ends at line 700: element records 54 to 80 of 80
// are missing".
QString missingRecords(int line, const char* kind, int first, int count)
{
    const QString which = first == count ? QStringLiteral("%1 record %2 of %3 is missing").arg(QLatin1String(kind)).arg(first).arg(count)
                                         : QStringLiteral("%1 records %2 to %3 of %3 are missing")
                                               .arg(QLatin1String(kind))
                                               .arg(first)
                                               .arg(count);
    return QStringLiteral("the file ends at line %1: ").arg(line) + which;
}
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
        textLine(out, e.Protokoll);
    }
    line(out, static_cast<int>(labels.size()));
    for (const auto& t : labels) {
        textLine(out, t->Name);
        textLine(out, t->TextInfo);
        line(out, t->XText);
        line(out, t->YText);
        line(out, t->Textwkl);
        textLine(out, FontToString(t->TextFont, t->TextColor));
    }
    return out;
}

LayoutContent parseLayoutText(const QByteArray& text, LayoutGrid grid)
{
    LayoutContent c;
    LineValueReader in(text);
    c.count = in.readInt();  // not a number: not a layout
    if (c.count < 0)
        throw FileReadError("The element count " + std::to_string(c.count) + " in line 1 is negative");
    int records = 0;
    std::vector<int> firstLine;  // record number -> its first line
    std::vector<LayoutRecordProblem> cut;  // what a file that ends early lacks
    for (int k = 1; k <= c.count; ++k) {
        if (in.atEnd()) {
            cut.push_back({false, k, 0, missingRecords(in.lineNumber() - 1, "element", k, c.count)});
            break;
        }
        ++records;
        const int first = in.lineNumber();
        RecordReader r(in);
        auto e = std::make_unique<tPosEntry>();
        // Element number and cell say what the record is: without them it is left out, and so is a
        // record whose first line is no number (not a layout's record). Every other value that
        // cannot be is replaced alone.
        std::vector<std::pair<int, QString>> replaced;
        e->CompID = r.integer();
        e->Enummer = r.integer();
        e->Posx = r.integer();
        e->Posy = r.integer();
        e->Stellung = r.value(0, 3, 1, "state", replaced);
        e->Decod1 = r.value(0, MaxDecoderValue, 0, "decoder 1", replaced);
        e->Decod2 = r.value(0, MaxDecoderValue, 0, "decoder 2", replaced);
        e->Decod3 = r.value(0, MaxDecoderValue, 0, "decoder 3", replaced);
        e->Daten1 = r.value(0, MaxDecoderValue, 0, "data port 1", replaced);
        e->Daten2 = r.value(0, MaxDecoderValue, 0, "data port 2", replaced);
        e->Daten3 = r.value(0, MaxDecoderValue, 0, "data port 3", replaced);
        e->Fahrnr = r.value(0, 2048, 0, "route", replaced);
        const int protocolLine = in.lineNumber();
        e->Protokoll = fromFileText(r.text());
        if (r.reason().isEmpty() && e->Enummer <= 0)
            continue;
        if (r.cut()) {
            // A record cut short with a bad value before the cut is damaged, not just cut.
            if (!replaced.empty())
                c.skipped.push_back({false, k, first, replaced.front().second});
            else
                cut.push_back({false, k, first, r.reason()});
            records -= replaced.empty() ? 1 : 0;
            continue;
        }
        if (e->Enummer > 88)
            r.fail(QStringLiteral("element number %1 is not in 1..88").arg(e->Enummer));
        else if (!grid.holds(e->Posx, e->Posy))
            r.fail(QStringLiteral("position (%1, %2) is not a cell of the layout").arg(e->Posx).arg(e->Posy));
        if (!r.reason().isEmpty()) {
            c.skipped.push_back({false, k, first, r.reason()});
            continue;
        }
        if (e->Protokoll != QLatin1String("M") && e->Protokoll != QLatin1String("N")) {
            replaced.emplace_back(protocolLine, QStringLiteral("protocol '%1' is not M or N, now M").arg(e->Protokoll.left(20)));
            e->Protokoll = QStringLiteral("M");
        }
        for (auto& [line, why] : replaced)
            c.replaced.push_back({false, k, line, why});
        if (!replaced.empty())
            c.repairedRecords.push_back(k);
        e->CompID = k;
        if (firstLine.size() <= std::size_t(k))
            firstLine.resize(std::size_t(k) + 1, 0);
        firstLine[std::size_t(k)] = first;
        c.elements.push_back(std::move(e));
    }
    // Two records for one cell: the later one is what the picture showed and what a click reached,
    // so it stays and the earlier one is left out.
    // Every kept record lies on the grid, so a cell is one index into a flag per cell.
    const int columns = grid.columns(), rows = grid.rows();
    std::vector<char> taken(std::size_t(columns) * std::size_t(rows), 0);
    std::vector<std::unique_ptr<tPosEntry>> kept;
    kept.reserve(c.elements.size());
    for (auto it = c.elements.rbegin(); it != c.elements.rend(); ++it) {
        tPosEntry& e = **it;
        char& cell = taken[std::size_t(e.Posy / 27) * std::size_t(columns) + std::size_t(e.Posx / 27)];
        if (!cell) {
            cell = 1;
            kept.push_back(std::move(*it));
            continue;
        }
        c.skipped.push_back({false, e.CompID, firstLine[std::size_t(e.CompID)],
                             QStringLiteral("position (%1, %2) is taken again by a later record")
                                 .arg(e.Posx)
                                 .arg(e.Posy)});
    }
    c.elements.assign(std::make_move_iterator(kept.rbegin()), std::make_move_iterator(kept.rend()));
    std::stable_sort(c.skipped.begin(), c.skipped.end(),
                     [](const LayoutRecordProblem& a, const LayoutRecordProblem& b) { return a.record < b.record; });
    if (c.elements.empty() && !c.skipped.empty() && static_cast<int>(c.skipped.size()) == records)
        throw FileReadError("Not a layout file: none of its " + std::to_string(records)
                            + " element records can be read (" + c.skipped.front().reason.toStdString() + ")");

    c.skipped.insert(c.skipped.end(), cut.begin(), cut.end());
    const int countLine = in.lineNumber();
    if (in.atEnd()) {
        if (cut.empty() && !text.isEmpty())
            c.skipped.push_back({true, 0, 0,
                                 QStringLiteral("the file ends at line %1: the text-label count is missing")
                                     .arg(countLine - 1)});
        return c;
    }
    try {
        c.labelCount = in.readInt();
    } catch (const FileReadError& e) {
        c.skipped.push_back({true, 0, countLine, QString::fromStdString(e.what())});
        return c;
    }
    for (int t = 1; t <= c.labelCount; ++t) {
        if (in.atEnd()) {
            c.skipped.push_back({true, t, 0, missingRecords(in.lineNumber() - 1, "text-label", t, c.labelCount)});
            break;
        }
        const int first = in.lineNumber();
        RecordReader r(in);
        auto label = std::make_unique<TTextEntry>();
        label->Name = fromFileText(r.text());
        label->TextInfo = fromFileText(r.text());
        label->XText = r.integer();
        label->YText = r.integer();
        std::vector<std::pair<int, QString>> replaced;
        label->Textwkl = r.value(std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), 0, "angle", replaced);
        const int fontLine = in.lineNumber();
        const QString font = fromFileText(r.text());
        if (r.reason().isEmpty()) {
            try {
                StringToFont(font, label->TextFont, label->TextColor);
            } catch (const FontConversionError& e) {
                // The text stays, in the font a new label gets.
                replaced.emplace_back(fontLine, QString::fromStdString(e.what()) + QStringLiteral(" (\"%1\"), now the standard font").arg(font.left(60)));
                label->TextFont = TTextEntry().TextFont;
                label->TextColor = TTextEntry().TextColor;
            }
        }
        if (r.reason().isEmpty())
            for (auto& [line, why] : replaced)
                c.replaced.push_back({true, t, line, why});
        if (!r.reason().isEmpty()) {
            c.skipped.push_back({true, t, first, r.reason()});
            continue;
        }
        c.labels.push_back(std::move(label));
    }
    return c;
}

QString describeSkipped(const std::vector<LayoutRecordProblem>& skipped, int maxLines)
{
    QStringList lines;
    for (const LayoutRecordProblem& p : skipped) {
        if (static_cast<int>(lines.size()) == maxLines) {
            lines << QStringLiteral("... (%1)").arg(skipped.size());
            break;
        }
        const QString where = p.line > 0 ? QStringLiteral(" (line %1)").arg(p.line) : QString();
        if (p.label && p.record == 0)
            lines << QStringLiteral("Text labels%1: %2").arg(where, p.reason);
        else
            lines << QStringLiteral("%1 record %2%3: %4")
                         .arg(p.label ? QStringLiteral("Text label") : QStringLiteral("Element"))
                         .arg(p.record)
                         .arg(where, p.reason);
    }
    return lines.join(QLatin1Char('\n'));
}
