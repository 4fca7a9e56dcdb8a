#include "base/AppState.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "layout/FontText.h"
#include "layout/LayoutFile.h"
#include "layout/LineValueReader.h"
#include "panel/LayoutPanel.h"
#include "base/ScriptedDialogs.h"

#include <QFile>
#include <QFileInfo>

#include <climits>

#include <gtest/gtest.h>

namespace {
const QString DataDir = QStringLiteral(QUARN_SOURCE_DIR "data/Data/");

QByteArray catalogueText()
{
    QFile f(DataDir + QStringLiteral("Elemente1.dat"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}
}  // namespace

TEST(Catalogue, FileHas88RecordsOnThePaletteGridWithFixedRolesAndIcons)
{
    const QByteArray text = catalogueText();
    EXPECT_EQ(text.count("\r\n"), 1056);
    EXPECT_EQ(text.count('\n'), 1056);
    C_Element cat;
    cat.readCatalogue(text);
    for (int i = 0; i < 88; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(cat.get_nummer(i), i + 1);
        EXPECT_EQ(cat.get_posx(i), 1 + 28 * (i % 22));
        EXPECT_EQ(cat.get_posy(i), 1 + 28 * (i / 22));
        const int kind = cat.get_art(i);
        ASSERT_GE(kind, 0);
        ASSERT_LE(kind, 3);
        const QStringList icons{cat.get_i01(i), cat.get_i02(i), cat.get_i03(i)};
        for (int s = 1; s <= std::max(kind, 1); ++s) {
            const QString name = QStringLiteral("Icon%1%2.bmp").arg(i + 1, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'));
            EXPECT_EQ(icons[s - 1], name);
            EXPECT_EQ(QImage(DataDir + name).size(), QSize(27, 27)) << name.toStdString();
            const QString route = LayoutPanel::iconFileName(i + 1, 10 + s);
            EXPECT_TRUE(QFileInfo::exists(DataDir + route)) << route.toStdString();
        }
    }
    for (int n : {20, 42, 64, 86}) EXPECT_EQ(cat.get_art(n - 1), 1) << n;  // uncoupling tracks
    EXPECT_EQ(cat.get_art(22 - 1), 1);                                     // emergency stop
    for (int n : {65, 87, 66, 88}) EXPECT_EQ(cat.get_art(n - 1), 0) << n;  // detectors, route switches
    for (int n : {65, 87}) EXPECT_TRUE(QFileInfo::exists(DataDir + LayoutPanel::iconFileName(n, 2)));
    for (int n : {66, 88}) EXPECT_TRUE(QFileInfo::exists(DataDir + LayoutPanel::iconFileName(n, 11)));
    EXPECT_EQ(cat.get_art(14 - 1), 2);  // turnout
    EXPECT_EQ(cat.get_art(19 - 1), 3);  // three-way turnout
    EXPECT_EQ(cat.get_art(1 - 1), 2);   // signal
    EXPECT_EQ(cat.get_art(21 - 1), 0);  // straight track
    EXPECT_EQ(cat.get_name(14 - 1), QStringLiteral("Turnout, horizontally"));
}

TEST(Catalogue, AValueThatDoesNotFitIsReplacedAloneAndItsLineNamed)
{
    QList<QByteArray> lines = catalogueText().split('\n');
    lines[0] = "1\r";
    lines[12 * 1 + 0] = "zwei\r";   // element 2's number
    lines[12 * 13 + 2] = "30\r";    // element 14's palette x: no cell origin
    lines[12 * 18 + 4] = "7\r";     // element 19's kind
    C_Element cat;
    EXPECT_EQ(cat.readCatalogue(lines.join('\n')), (QList<int>{13, 159, 221}));
    EXPECT_EQ(cat.get_nummer(1), 2);
    EXPECT_EQ(cat.get_posx(13), 1 + 28 * 13);
    EXPECT_EQ(cat.get_art(18), 0);  // never switched
    EXPECT_EQ(cat.get_art(13), 2);  // the rest is read
    EXPECT_EQ(cat.get_i01(1), QStringLiteral("Icon0201.bmp"));
    EXPECT_TRUE(cat.readCatalogue(catalogueText()).isEmpty());
}

TEST(PositionTable, LookupAndDeleteByCellAndIndex)
{
    C_Position t;
    EXPECT_EQ(t.addEntry(nullptr), -1);
    for (int id : {1, 2, 3}) {
        auto e = std::make_unique<tPosEntry>();
        C_Position::initializeEntry(id, *e);
        e->Posx = id == 3 ? 54 : 27;
        e->Posy = 0;
        EXPECT_EQ(t.addEntry(std::move(e)), 0);
    }
    EXPECT_EQ(t.getEntryByKor(27, 0)->CompID, 2);  // the later one
    EXPECT_EQ(t.getEntryByNum(3), nullptr);
    EXPECT_EQ(t.getEntryByNum(-1), nullptr);
    EXPECT_EQ(t.delEntry(27, 0), 0);  // removes the earlier one
    EXPECT_EQ(t.getNumbofEntries(), 2);
    EXPECT_EQ(t.getEntryByNum(0)->CompID, 2);
    EXPECT_EQ(t.delEntry(81, 81), -1);
    tPosEntry e;
    e.Stellung = 3;
    e.Protokoll = QStringLiteral("N");
    C_Position::initializeEntry(7, e);
    EXPECT_EQ(e.CompID, 7);
    EXPECT_EQ(e.Stellung, 1);
    EXPECT_EQ(e.Protokoll, QStringLiteral("M"));
}

TEST(PositionTable, CellSnappingAndPaletteHitTest)
{
    EXPECT_EQ(LayoutPanel::sollkoord(53), 27);
    EXPECT_EQ(LayoutPanel::sollkoord(54), 54);
    EXPECT_EQ(LayoutPanel::sollkoord(0), 0);
    AppState s;
    C_Position t;
    C_Element cat;
    cat.readCatalogue(catalogueText());
    ScriptedDialogs d;
    LayoutPanel p(s, t, cat, d);
    EXPECT_EQ(p.compsuchen(29, 1), 2);
    EXPECT_EQ(p.compsuchen(30, 1), 0);
    EXPECT_EQ(p.compsuchen(113, 1), 5);
}

TEST(FontText, ConvertsFacesStylesAndColours)
{
    QFont f;
    std::uint32_t c = 0;
    StringToFont(QStringLiteral("Arial,12,0110,$00FF0000"), f, c);
    EXPECT_EQ(f.family(), QStringLiteral("Arial"));
    EXPECT_EQ(f.pointSize(), 12);
    EXPECT_FALSE(f.bold());
    EXPECT_TRUE(f.italic());
    EXPECT_TRUE(f.underline());
    EXPECT_FALSE(f.strikeOut());
    EXPECT_EQ(c, 0x00FF0000u);
    EXPECT_EQ(toQColor(c), QColor(0, 0, 255));  // blue-green-red order
    EXPECT_EQ(FontToString(f, c), QStringLiteral("Arial,12,0110,clBlue"));
    StringToFont(QStringLiteral("MS Sans Serif,8,1000,clBlack"), f, c);
    EXPECT_EQ(FontToString(f, c), QStringLiteral("MS Sans Serif,8,1000,clBlack"));
    StringToFont(QStringLiteral("Arial,9,0001,clWindowText"), f, c);
    EXPECT_EQ(c, 0x80000008u);
    EXPECT_EQ(FontToString(f, c), QStringLiteral("Arial,9,0001,clWindowText"));
    EXPECT_EQ(ColorToString(0x00123456), QStringLiteral("$00123456"));

    for (const char* bad : {"Arial", "Arial,12", "Arial,12,011,clBlack", "Arial,x,0000,clBlack",
                            "Arial,12,0000,clNoSuchColour", "Comic, Sans,10,0000,clBlack", ""}) {
        SCOPED_TRACE(bad);
        QFont g;
        std::uint32_t gc = 0;
        EXPECT_THROW(StringToFont(QString::fromLatin1(bad), g, gc), FontConversionError);
    }
}

TEST(LineReader, IntegersAndLines)
{
    const QByteArray text("  12 rest\r\n\r\n-3\r\nhello\r\n");
    LineValueReader in(text);
    EXPECT_EQ(in.readInt(), 12);
    EXPECT_EQ(in.readInt(), -3);
    EXPECT_EQ(in.readLine(), QByteArray("hello"));
    EXPECT_EQ(in.readInt(), 0);  // end of text
    EXPECT_EQ(in.readLine(), QByteArray());
    const QByteArray bad("1x\r\n");
    LineValueReader b(bad);
    EXPECT_THROW(b.readInt(), FileReadError);
}

// Lines end in CR LF, LF or the end of the text; a line read without a copy is the same line.
TEST(LineReader, LinesEndAnyWayAndReadAlikeWithoutACopy)
{
    const QByteArray text("a\r\nb c\n\r\nlast");
    LineValueReader copies(text), views(text);
    for (const char* expected : {"a", "b c", "", "last"}) {
        EXPECT_EQ(copies.readLine(), QByteArray(expected));
        EXPECT_EQ(views.readLineView(), QByteArrayView(expected));
    }
    EXPECT_TRUE(views.atEnd());
    EXPECT_TRUE(views.readLineView().isEmpty());
    EXPECT_EQ(views.lineNumber(), copies.lineNumber());
}

// Short plain numbers take a quicker way than the rest; both must give what the full conversion
// gives, and the line after a value must be the next one read.
TEST(LineReader, EveryNumberFormReadsAsTheFullConversionReadsIt)
{
    for (const char* token : {"0", "-0", "007", "5", "-5", "123456789", "-123456789", "999999999", "1234567890",
                              "2147483647", "-2147483648", "2147483648", "-2147483649", "+5", "-", "--5", "5-",
                              "1x", "x1", "0x10", "12345678901234567890123456789012345", "٣"}) {
        SCOPED_TRACE(token);
        const QByteArray t(token);
        bool ok = false;
        const long long expected = t.toLongLong(&ok, 10);
        const bool valid = ok && !t.startsWith('+') && expected >= INT_MIN && expected <= INT_MAX;
        for (const char* end : {"\r\n", "\n", " rest\r\n", ""}) {
            const QByteArray text = *end ? t + end + "77\r\n" : t;  // "": the value ends the text
            LineValueReader in(text);
            if (valid) {
                EXPECT_EQ(in.readInt(), expected);
            } else {
                EXPECT_THROW(in.readInt(), FileReadError);
            }
            if (*end) {
                EXPECT_EQ(in.readInt(), 77);
            }
        }
    }
}

namespace {
void addElement(C_Position& t, int id, int n, int x, int y, int state = 1)
{
    auto e = std::make_unique<tPosEntry>();
    C_Position::initializeEntry(id, *e);
    e->Enummer = n;
    e->Posx = x;
    e->Posy = y;
    e->Stellung = state;
    t.addEntry(std::move(e));
}
}  // namespace

TEST(LayoutFile, WritesTheExactFormat)
{
    C_Position t;
    std::vector<std::unique_ptr<TTextEntry>> labels;
    EXPECT_EQ(writeLayoutText(t, labels), QByteArray("0\r\n0\r\n"));
    addElement(t, 4, 14, 0, 0, 2);
    t.getEntryByNum(0)->Decod1 = 3;
    t.getEntryByNum(0)->Daten1 = 1;
    t.getEntryByNum(0)->Decod2 = 3;
    t.getEntryByNum(0)->Daten2 = 2;
    t.getEntryByNum(0)->Protokoll = QStringLiteral("N");
    auto label = std::make_unique<TTextEntry>();
    label->Name = QStringLiteral("Gtextlabel0");
    label->TextInfo = QStringLiteral("Bahnhof");
    label->XText = 27;
    label->YText = 0;
    label->TextFont = QFont(QStringLiteral("Arial"), 10);
    label->TextFont.setBold(true);
    label->TextColor = 0x80000008u;
    labels.push_back(std::move(label));
    EXPECT_EQ(writeLayoutText(t, labels),
              QByteArray("1\r\n4\r\n14\r\n0\r\n0\r\n2\r\n3\r\n3\r\n0\r\n1\r\n2\r\n0\r\n0\r\nN\r\n"
                         "1\r\nGtextlabel0\r\nBahnhof\r\n27\r\n0\r\n0\r\nArial,10,1000,clWindowText\r\n"));
}

TEST(LayoutFile, ReadsRecordsRenumbersAndSkipsEmptyElements)
{
    const QByteArray text("3\r\n"
                          "9\r\n0\r\n27\r\n27\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\nM\r\n"
                          "9\r\n21\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\nM\r\n"
                          "9\r\n14\r\n54\r\n0\r\n2\r\n1\r\n1\r\n0\r\n1\r\n2\r\n0\r\n5\r\nN\r\n"
                          "1\r\nGtextlabel3\r\nHalt\r\n0\r\n27\r\n0\r\nArial,12,0110,$00FF0000\r\n");
    const LayoutContent c = parseLayoutText(text);
    ASSERT_EQ(c.elements.size(), 2u);
    EXPECT_EQ(c.elements[0]->CompID, 2);  // record numbers, not the stored values
    EXPECT_EQ(c.elements[0]->Posx, 0);     // coordinate 0 is kept
    EXPECT_EQ(c.elements[1]->CompID, 3);
    EXPECT_EQ(c.elements[1]->Fahrnr, 5);
    EXPECT_EQ(c.elements[1]->Protokoll, QStringLiteral("N"));
    ASSERT_EQ(c.labels.size(), 1u);
    EXPECT_TRUE(c.labels[0]->TextFont.italic());
    EXPECT_EQ(c.labels[0]->TextColor, 0x00FF0000u);
    EXPECT_EQ(c.count, 3);
    EXPECT_EQ(c.labelCount, 1);
    EXPECT_TRUE(c.skipped.empty());  // element 0 is left out without a word
}

TEST(LayoutFile, ABadRecordIsLeftOutABadValueReplacedAndBothNamedWhileTheRestIsRead)
{
    const QByteArray good = "9\r\n21\r\n0\r\n0\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\nM\r\n";
    const QByteArray last = "9\r\n14\r\n54\r\n27\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\nM\r\n";
    auto record = [](const char* enummer, const char* x, const char* y, const char* state, const char* decod1 = "0",
                     const char* protocol = "M") {
        return QByteArray("9\r\n") + enummer + "\r\n" + x + "\r\n" + y + "\r\n" + state + "\r\n" + decod1
               + "\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n" + protocol + "\r\n";
    };
    struct Case {
        const char* what;
        QByteArray middle;     // record 2 of 3
        QByteArray labels;     // after the elements
        int elements;          // kept
        int labelsKept;
        const char* skipped;   // why record 2 (or the label) was left out; "" for none
        const char* replaced;  // the line and value replaced in a kept record; "" for none
    };
    const Case cases[] = {
        {"non-number cell", record("14", "zwei", "0", "1"), "0\r\n", 2, 0, "'zwei' is not a valid integer", ""},
        {"element 89", record("89", "27", "0", "1"), "0\r\n", 2, 0, "element number 89", ""},
        {"left of the grid", record("14", "-27", "0", "1"), "0\r\n", 2, 0, "position (-27, 0)", ""},
        {"below the grid", record("14", "0", "702", "1"), "0\r\n", 2, 0, "position (0, 702)", ""},
        {"between cells", record("14", "30", "0", "1"), "0\r\n", 2, 0, "position (30, 0)", ""},
        {"label count", record("14", "27", "0", "1"), "drei\r\n", 3, 0, "'drei'", ""},

        {"non-number decoder", record("14", "27", "0", "1", "zwei"), "0\r\n", 3, 0, "",
         "Element record 2 (line 20): decoder 1 'zwei' is not in 0..4096, now 0"},
        {"decoder far out", record("14", "27", "0", "1", "99999"), "0\r\n", 3, 0, "",
         "Element record 2 (line 20): decoder 1 '99999' is not in 0..4096, now 0"},
        {"state 4", record("14", "27", "0", "4"), "0\r\n", 3, 0, "", "Element record 2 (line 19): state '4' is not in 0..3, now 1"},
        {"protocol", record("14", "27", "0", "1", "0", "X"), "0\r\n", 3, 0, "",
         "Element record 2 (line 27): protocol 'X' is not M or N, now M"},
        {"bad font", record("14", "27", "0", "1"), "2\r\nL\r\nT\r\n0\r\n0\r\n0\r\nArial;12\r\nM\r\nU\r\n0\r\n0\r\n0\r\nArial,9,0000,clBlack\r\n",
         3, 2, "", "Text label record 1 (line 47): Invalid string to font conversion"},

        {"last column and row", record("14", "972", "675", "1"), "0\r\n", 3, 0, "", ""},
        {"element 0", record("0", "0", "0", "1"), "0\r\n", 2, 0, "", ""},
        {"pixel font of earlier versions", record("14", "27", "0", "1"), "1\r\nL\r\nT\r\n0\r\n0\r\n0\r\nArial,-1,0000,clBlack\r\n",
         3, 1, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LayoutContent content;
        ASSERT_NO_THROW(content = parseLayoutText("3\r\n" + good + c.middle + last + c.labels));
        EXPECT_EQ(static_cast<int>(content.elements.size()), c.elements);
        EXPECT_EQ(static_cast<int>(content.labels.size()), c.labelsKept);
        ASSERT_FALSE(content.elements.empty());
        EXPECT_EQ(content.elements.back()->Enummer, 14);  // the record after the bad one is read
        EXPECT_EQ(content.elements.back()->Posx, 54);
        EXPECT_EQ(content.elements.back()->CompID, 3);
        if (*c.skipped) {
            ASSERT_EQ(content.skipped.size(), 1u);
            EXPECT_TRUE(content.skipped[0].reason.contains(QLatin1String(c.skipped)))
                << content.skipped[0].reason.toStdString();
            const QString text = describeSkipped(content.skipped);
            if (!content.skipped[0].label) {
                EXPECT_TRUE(text.startsWith(QStringLiteral("Element record 2 (line 15): "))) << text.toStdString();
            }
        } else {
            EXPECT_TRUE(content.skipped.empty()) << describeSkipped(content.skipped).toStdString();
        }
        if (*c.replaced) {
            EXPECT_TRUE(describeSkipped(content.replaced).startsWith(QLatin1String(c.replaced)))
                << describeSkipped(content.replaced).toStdString();
            // Nothing is sent for an element whose decoder, state or protocol was guessed.
            if (!content.replaced[0].label) {
                EXPECT_EQ(content.repairedRecords, std::vector<int>{2});
            }
        } else {
            EXPECT_TRUE(content.replaced.empty()) << describeSkipped(content.replaced).toStdString();
            EXPECT_TRUE(content.repairedRecords.empty());
        }
    }
}

TEST(LayoutFile, TheLastColumnAndRowRoundTrip)
{
    // 980 x 680 pixels: the last cells start at 972 and 675 and show 8 and 5 pixels.
    C_Position t;
    const std::pair<int, int> corners[] = {{972, 0}, {0, 675}, {972, 675}, {945, 648}};
    for (const auto& [x, y] : corners) {
        auto e = std::make_unique<tPosEntry>();
        C_Position::initializeEntry(t.getNumbofEntries() + 1, *e);
        e->Enummer = 14;
        e->Posx = x;
        e->Posy = y;
        e->Stellung = 2;
        e->Decod1 = 7;
        e->Daten1 = 1;
        t.addEntry(std::move(e));
    }
    const QByteArray text = writeLayoutText(t, {});
    LayoutContent c = parseLayoutText(text);
    EXPECT_TRUE(c.skipped.empty()) << describeSkipped(c.skipped).toStdString();
    ASSERT_EQ(c.elements.size(), std::size(corners));
    for (std::size_t i = 0; i < std::size(corners); ++i) {
        EXPECT_EQ(c.elements[i]->Posx, corners[i].first);
        EXPECT_EQ(c.elements[i]->Posy, corners[i].second);
        EXPECT_EQ(c.elements[i]->Stellung, 2);
    }
    C_Position back;
    for (auto& e : c.elements)
        back.addEntry(std::move(e));
    EXPECT_EQ(writeLayoutText(back, {}), text);
    // One cell further lies outside the picture.
    EXPECT_FALSE(LayoutGrid{}.holds(999, 0));
    EXPECT_FALSE(LayoutGrid{}.holds(0, 702));
    EXPECT_TRUE(LayoutGrid{}.holds(972, 675));
}

TEST(LayoutFile, OfTwoRecordsForOneCellTheLaterOneStays)
{
    auto record = [](const char* enummer, const char* x) {
        return QByteArray("9\r\n") + enummer + "\r\n" + x + "\r\n0\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\nM\r\n";
    };
    const LayoutContent c = parseLayoutText("4\r\n" + record("21", "0") + record("14", "27") + record("20", "0")
                                            + record("19", "54") + "0\r\n");
    ASSERT_EQ(c.elements.size(), 3u);
    EXPECT_EQ(c.elements[0]->Enummer, 14);
    EXPECT_EQ(c.elements[1]->Enummer, 20);  // drawn last, so it was the one the user saw
    EXPECT_EQ(c.elements[1]->CompID, 3);
    EXPECT_EQ(c.elements[2]->Enummer, 19);
    ASSERT_EQ(c.skipped.size(), 1u);
    EXPECT_EQ(describeSkipped(c.skipped),
              QStringLiteral("Element record 1 (line 2): position (0, 0) is taken again by a later record"));
}

TEST(LayoutFile, TextThatIsNotALayoutIsRefusedWhole)
{
    const QByteArray bad = "9\r\n99\r\n0\r\n0\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\nM\r\n";
    for (const QByteArray& text : {QByteArray("\x89PNG\r\n\x1a\n"), QByteArray("-1\r\n0\r\n"), "2\r\n" + bad + bad,
                                   QByteArray("1\r\nrouten\r\n")}) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_THROW(parseLayoutText(text), FileReadError);
    }
    for (const QByteArray& text : {QByteArray(""), QByteArray("0\r\n0\r\n")}) {
        LayoutContent c;
        EXPECT_NO_THROW(c = parseLayoutText(text));
        EXPECT_TRUE(c.elements.empty() && c.skipped.empty());
    }
    LayoutContent c;
    EXPECT_NO_THROW(c = parseLayoutText("2000000000\r\n"));
    EXPECT_TRUE(c.elements.empty());
    EXPECT_EQ(describeSkipped(c.skipped), QStringLiteral("Element record 1: the file ends at line 1: element "
                                                         "records 1 to 2000000000 of 2000000000 are missing"));
}

TEST(LayoutFile, AFileThatEndsEarlySaysWhatIsMissing)
{
    auto record = [](int x) {
        return "9\r\n14\r\n" + QByteArray::number(x) + "\r\n0\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\nM\r\n";
    };
    const QByteArray three = "3\r\n" + record(0) + record(27) + record(54);
    const QByteArray label = "L\r\nHalt\r\n0\r\n27\r\n0\r\nArial,12,0110,$00FF0000\r\n";
    struct Case {
        const char* what;
        QByteArray text;
        int elements;
        int labels;
        const char* missing;  // describeSkipped of it
    };
    const Case cases[] = {
        {"between element records", "3\r\n" + record(0) + record(27), 2, 0,
         "Element record 3: the file ends at line 27: element record 3 of 3 is missing"},
        {"fewer records than announced", "5\r\n" + record(0), 1, 0,
         "Element record 2: the file ends at line 14: element records 2 to 5 of 5 are missing"},
        {"inside an element record", three.left(three.indexOf("54\r\n") + 4), 2, 0,
         "Element record 3 (line 28): the file ends at line 30, inside this record"},
        {"before the label count", three, 3, 0,
         "Text labels: the file ends at line 40: the text-label count is missing"},
        {"between label records", three + "3\r\n" + label, 3, 1,
         "Text label record 2: the file ends at line 47: text-label records 2 to 3 of 3 are missing"},
        {"inside a label record", three + "1\r\n" + label.left(label.indexOf("Arial")), 3, 0,
         "Text label record 1 (line 42): the file ends at line 46, inside this record"},
        {"whole", three + "1\r\n" + label, 3, 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LayoutContent content;
        ASSERT_NO_THROW(content = parseLayoutText(c.text));
        EXPECT_EQ(static_cast<int>(content.elements.size()), c.elements);
        EXPECT_EQ(static_cast<int>(content.labels.size()), c.labels);
        EXPECT_EQ(describeSkipped(content.skipped), QString::fromUtf8(c.missing));
    }
}

TEST(LayoutFile, APixelSizedFontIsWrittenWithAPointSizeThatReadsBack)
{
    C_Position t;
    std::vector<std::unique_ptr<TTextEntry>> labels;
    auto label = std::make_unique<TTextEntry>();
    label->Name = QStringLiteral("Gtextlabel0");
    label->TextInfo = QStringLiteral("Nord");
    label->TextFont = QFont(QStringLiteral("Arial"));
    label->TextFont.setPixelSize(16);
    labels.push_back(std::move(label));
    const QByteArray text = writeLayoutText(t, labels);
    EXPECT_TRUE(text.endsWith("Arial,12,0000,clBlack\r\n")) << text.toStdString();
    const LayoutContent back = parseLayoutText(text);
    ASSERT_EQ(back.labels.size(), 1u);
    EXPECT_EQ(back.labels[0]->TextFont.pointSize(), 12);
}
