#pragma once
// The layout file: element count, 13-line element records, label count, 6-line label records; one
// value per line, lines ended by CR LF.

#include "base/PositionTable.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

class C_Position;

QByteArray writeLayoutText(const C_Position& table, const std::vector<std::unique_ptr<TTextEntry>>& labels);

// A record that the reader could not use and left out.
struct LayoutRecordProblem {
    bool label = false;  // a text-label record, otherwise an element record
    int record = 0;      // 1-based number of the record among its kind
    int line = 0;        // line of the file where the record starts
    QString reason;
};

// What a layout text holds, read completely before anything of the program is touched.
struct LayoutContent {
    int count = 0;       // N, the element count the file states
    int labelCount = 0;  // T, the label count the file states
    std::vector<std::unique_ptr<tPosEntry>> elements;  // kept records; CompID = record number
    std::vector<std::unique_ptr<TTextEntry>> labels;
    std::vector<LayoutRecordProblem> skipped;
    // Values replaced in records that were kept (one entry per line), and the element records
    // (CompID) they belong to: nothing is sent for those when the layout is opened.
    std::vector<LayoutRecordProblem> replaced;
    std::vector<int> repairedRecords;
    QString backup;  // where the file as it was is kept, when the reader left out or replaced anything
};

// The largest decoder number or data port the reader takes; a larger one is taken as damage.
constexpr int MaxDecoderValue = 4096;

// The cells an element may take: corners that are multiples of 27 inside a picture of width x
// height pixels. The last column and row lie partly outside the picture (980 = 36 x 27 + 8): their
// cells hold elements all the same, as the picture shows and a click reaches their visible part.
struct LayoutGrid {
    int width = 980;
    int height = 680;
    bool holds(int x, int y) const
    {
        return x >= 0 && y >= 0 && x % 27 == 0 && y % 27 == 0 && x < width && y < height;
    }
    int columns() const { return width > 0 ? (width + 26) / 27 : 0; }
    int rows() const { return height > 0 ? (height + 26) / 27 : 0; }
};

// Reads a layout text. Records with element number 0 or below are left out silently; a record
// that cannot be used (an element number or a cell that is not a number, an element number above
// 88, a cell outside the grid or one that an earlier record already took, a label whose position
// is not a number) is left out and listed in `skipped`, and the rest is
// read. A value a kept record can do without is replaced alone and listed in `replaced`: a state
// outside 0..3 becomes 1, a decoder number or data port outside 0..MaxDecoderValue becomes 0 (no
// decoder), a route outside 0..2048 becomes 0, a protocol other than "M" or "N" becomes "M", a
// label's angle that is not a number 0 and a font text that cannot be read the standard font. The end of the text reads as 0
// or empty, but a text that ends before the records it announces, inside a record or before the
// label count lists what is missing in `skipped`. Throws FileReadError when the text is not a layout at all: its element count is not a
// number or negative, or it states records of which not one could be used.
LayoutContent parseLayoutText(const QByteArray& text, LayoutGrid grid = {});

// One line per skipped record, e.g. "Element record 3 (line 28): ...".
QString describeSkipped(const std::vector<LayoutRecordProblem>& skipped, int maxLines = 10);
