#include "base/AppState.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "layout/LineValueReader.h"
#include "panel/LayoutPanel.h"
#include "base/ScriptedDialogs.h"

#include <QDir>
#include <QPainter>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <set>
#include <tuple>

#include <gtest/gtest.h>

#include "common/FileSizeLimit.h"

namespace {
using B = LayoutPanel::Button;

struct Fixture : ::testing::Test {
    AppState s;
    C_Position t;
    C_Element cat;
    ScriptedDialogs d;
    LayoutPanel p{s, t, cat, d};
    PanelCanvas canvas;
    QTemporaryDir dir;

    void SetUp() override
    {
        s.WorkDir = QStringLiteral(QUARN_SOURCE_DIR "data/");
        s.Quarn_bitmap = QImage(980, 680, QImage::Format_RGB32);
        p.quarngraufaerben();
        p.elementeladen();
        p.panel = &canvas;
        p.resizePanel(600, 400);
    }
    void select(int n)  // palette click on element n
    {
        p.paletteMouseDown(B::Left, cat.get_posx(n - 1) + 3, cat.get_posy(n - 1) + 3);
        ASSERT_EQ(s.Comp_nr, n);
    }
    void place(int n, int X, int Y)
    {
        select(n);
        p.designMouseDown(B::Left, false, X, Y);
        p.mouseDownDone(X, Y);
        p.mouseUp(false, X, Y);
    }
    QImage icon(int n, int state) { return QImage(p.dataPath() + LayoutPanel::iconFileName(n, state)).convertToFormat(QImage::Format_RGB32); }
    // The picture as opening the table from a file would draw it.
    QImage fromTable()
    {
        QImage img(980, 680, QImage::Format_RGB32);
        img.fill(QColor(0xC0, 0xC0, 0xC0));
        QPainter painter(&img);
        for (int i = 0; i < t.getNumbofEntries(); ++i) {
            const tPosEntry* e = t.getEntryByNum(i);
            painter.drawImage(QPoint(e->Posx, e->Posy), icon(e->Enummer, std::max(1, e->Stellung)));
        }
        return img;
    }
    // No two entries share a cell, and every entry is a placeable element on a cell of the grid.
    void expectSoundTable()
    {
        std::set<std::pair<int, int>> cells;
        for (int i = 0; i < t.getNumbofEntries(); ++i) {
            const tPosEntry* e = t.getEntryByNum(i);
            EXPECT_TRUE(cells.insert({e->Posx, e->Posy}).second) << "two elements at " << e->Posx << "," << e->Posy;
            EXPECT_TRUE(e->Enummer >= 1 && e->Enummer <= 88) << e->Enummer;
            EXPECT_TRUE(e->Posx >= 0 && e->Posy >= 0 && e->Posx < 980 && e->Posy < 680)
                << e->Posx << "," << e->Posy;
        }
    }
    void drag(bool shift, QPoint from, std::vector<QPoint> via, bool releaseShift = true)
    {
        p.designMouseDown(B::Left, shift, from.x(), from.y());
        p.mouseDownDone(from.x(), from.y());
        for (const QPoint& m : via)
            p.designMouseMove(true, shift, m.x(), m.y());
        const QPoint to = via.empty() ? from : via.back();
        p.mouseUp(shift && releaseShift, to.x(), to.y());
    }
};
}  // namespace

TEST_F(Fixture, EditorLayoutSavesAndReopensToTheSamePicture)
{
    place(21, 0, 0);     // row and column 0
    place(14, 30, 5);
    place(19, 60, 0);
    place(65, 0, 30);
    s.Hpos_alt = 27;     // scrolled: panel (30, 60) is layout (54, 54)
    place(14, 30, 60);
    s.Hpos_alt = 0;
    EXPECT_EQ(t.getEntryByKor(54, 54)->Enummer, 14);
    s.LabelFont = QFont(QStringLiteral("DejaVu Sans"), 9);
    s.LabelFont.setBold(true);
    d.textAnswers.push_back(QStringLiteral("Bahnhof Nord"));
    p.textMouseDown(B::Left, 100, 120);
    ASSERT_EQ(s.Textliste.size(), 1u);
    EXPECT_EQ(s.Textliste[0]->Name, QStringLiteral("Gtextlabel0"));
    p.gleisbildspeichern(QStringLiteral("drawn.pln"), dir.path() + QLatin1Char('/'));
    const QImage drawn = s.Quarn_bitmap.copy();

    AppState s2;
    s2.WorkDir = s.WorkDir;
    C_Position t2;
    LayoutPanel p2(s2, t2, cat, d);
    p2.quarngraufaerben();
    p2.gleisbildladen(QStringLiteral("drawn.pln"), dir.path() + QLatin1Char('/'));
    EXPECT_EQ(t2.getNumbofEntries(), 5);
    EXPECT_EQ(t2.getEntryByKor(0, 0)->Enummer, 21);
    EXPECT_EQ(s2.TextLabelNr, 1);
    EXPECT_TRUE(s2.Quarn_bitmap == drawn);
    EXPECT_EQ(s.Quarn_bitmap.copy(0, 0, 27, 27), icon(21, 1));
}

TEST_F(Fixture, OccupiedCellDeleteAndTextRules)
{
    place(21, 40, 40);
    place(14, 40, 40);  // occupied
    EXPECT_EQ(d.count(QStringLiteral("message")), 1);
    EXPECT_EQ(d.last(QStringLiteral("message"))->text.left(24), QStringLiteral("The element could not pl"));
    EXPECT_EQ(t.getEntryByKor(27, 27)->Enummer, 21);
    p.textMouseDown(B::Left, 40, 40);  // occupied: no dialog
    EXPECT_EQ(d.count(QStringLiteral("input")), 0);
    d.textAnswers.push_back(QString());  // OK on an empty text
    p.textMouseDown(B::Left, 100, 100);
    EXPECT_TRUE(s.Textliste.empty());
    p.designMouseDown(B::Right, false, 40, 40);
    EXPECT_EQ(t.getNumbofEntries(), 0);
    QImage grey(27, 27, QImage::Format_RGB32);
    grey.fill(QColor(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(s.Quarn_bitmap.copy(27, 27, 27, 27), grey);
    EXPECT_EQ(canvas.surface.copy(27, 27, 27, 27), grey);
}

TEST_F(Fixture, GroupMoveOneCellPerEvent)
{
    place(21, 0, 0);
    place(21, 27, 0);
    place(14, 54, 27);
    p.paletteMouseDown(B::Right, 1, 1);
    for (int x : {0, 27, 27, 54}) {
        const int y = x == 54 ? 27 : 0;
        p.designMouseDown(B::Left, true, x + 2, y + 2);
        p.mouseDownDone(x + 2, y + 2);
        p.mouseUp(true, x + 2, y + 2);
    }
    ASSERT_EQ(s.Movelist.size(), 3u);  // the second click on (27, 0) added nothing
    p.designMouseDown(B::Left, true, 2, 2);
    p.mouseDownDone(2, 2);
    p.designMouseMove(true, true, 2 + 54, 2);  // two cells in one event: one cell
    p.mouseUp(true, 56, 2);
    EXPECT_EQ(t.getEntryByNum(0)->Posx, 27);
    EXPECT_EQ(t.getEntryByNum(1)->Posx, 54);
    EXPECT_EQ(t.getEntryByNum(2)->Posx, 81);
    EXPECT_EQ(t.getEntryByNum(2)->Posy, 27);
    EXPECT_EQ(s.Quarn_bitmap.copy(81, 27, 27, 27), icon(14, 1));
}

TEST_F(Fixture, IconRulesAndScrolling)
{
    const QImage before = s.Quarn_bitmap.copy();
    p.changeicon(1, 0, 0, 0);
    p.changeicon(1, 0, 0, 89);
    EXPECT_TRUE(s.Quarn_bitmap == before);
    p.changeicon(0, 27, 27, 14);
    EXPECT_EQ(s.Quarn_bitmap.copy(27, 27, 27, 27), icon(14, 1));
    EXPECT_THROW(p.changeicon(5, 0, 0, 14), IconLoadError);
    p.change_2_icon(5, 0, 0, 14);  // no such icon: silently nothing
    EXPECT_EQ(canvas.surface.copy(0, 0, 27, 27), before.copy(0, 0, 27, 27));
    p.change_2_icon(20, 0, 0, 14);  // above 13: state 1
    EXPECT_EQ(canvas.surface.copy(0, 0, 27, 27), icon(14, 1));
    EXPECT_EQ(s.Quarn_bitmap.copy(0, 0, 27, 27), before.copy(0, 0, 27, 27));  // panel only
    EXPECT_EQ(p.VScrollBarChange(100), 81);
    EXPECT_EQ(s.Vpos_alt, 81);
    p.changeicon(2, 27 + 27, 54 + 81, 14);
    p.HScrollBarChange(27);
    p.VScrollBarChange(54);
    EXPECT_EQ(s.Quarn_bitmap.copy(54, 135, 27, 27), icon(14, 2));
    EXPECT_EQ(canvas.surface.copy(27, 81, 27, 27), icon(14, 2));
}

TEST_F(Fixture, FailedOpenAndFailedSaveLeaveFilesAlone)
{
    place(21, 0, 0);
    const QString folder = dir.path() + QLatin1Char('/');
    p.gleisbildspeichern(QStringLiteral("keep.pln"), folder);
    QFile f(folder + QStringLiteral("keep.pln"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray saved = f.readAll();
    f.close();
    QFile bad(folder + QStringLiteral("bad.pln"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("2\r\n9\r\n21\r\n0\r\n0\r\n1\r\nx\r\n");
    bad.close();
    EXPECT_THROW(p.gleisbildladen(QStringLiteral("bad.pln"), folder), FileReadError);
    EXPECT_THROW(p.gleisbildladen(QStringLiteral("missing.pln"), folder), FileReadError);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2);
    EXPECT_THROW(p.gleisbildspeichern(QStringLiteral("keep.pln"), folder + QStringLiteral("no/such/")), FileReadError);
    EXPECT_THROW(p.gleisbildspeichern(QString(), folder), FileReadError);
    place(22, 27, 27);  // a layout that changed since, and a disk that fills up while it is saved
    {
        testsupport::FileSizeLimit full(static_cast<rlim_t>(saved.size() / 2));
        EXPECT_THROW(p.gleisbildspeichern(QStringLiteral("keep.pln"), folder), FileReadError);
    }
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), saved);
}

TEST_F(Fixture, DemoLayoutOpensWithEveryKindOfElement)
{
    std::vector<std::tuple<QString, int, int>> sent;
    p.accessoryOut = [&](const QString& proto, int decoder, int port) {
        sent.emplace_back(proto, decoder, port);
        return true;
    };
    p.gleisbildladen(QStringLiteral("Demo.pln"), p.layoutPath());
    std::set<int> kinds;
    bool detectorWithAddress = false;
    for (int i = 0; i < t.getNumbofEntries(); ++i) {
        const tPosEntry* e = t.getEntryByNum(i);
        kinds.insert(cat.get_art(e->Enummer - 1) * 100 + e->Enummer);
        if ((e->Enummer == 65 || e->Enummer == 87) && e->Decod1 > 0 && e->Daten1 > 0)
            detectorWithAddress = true;
    }
    auto has = [&](int n) { return std::any_of(kinds.begin(), kinds.end(), [n](int k) { return k % 100 == n; }); };
    for (int n : {14, 19, 1, 20, 22, 65, 66, 88, 12})
        EXPECT_TRUE(has(n)) << n;
    EXPECT_TRUE(detectorWithAddress);
    EXPECT_GE(s.Textliste.size(), 3u);
    EXPECT_FALSE(sent.empty());  // decoder addresses are filled in
    for (const auto& c : sent)
        EXPECT_GT(std::get<2>(c), 0);
}

TEST_F(Fixture, DragCarriesTheElementAndStateZeroDrawsStateOne)
{
    place(21, 0, 0);  // Geloescht is false after a placement
    select(14);
    p.designMouseDown(B::Left, false, 30, 30);
    p.mouseDownDone(30, 30);
    p.designMouseMove(true, false, 60, 30);
    p.designMouseMove(true, false, 90, 30);
    p.mouseUp(false, 90, 30);
    EXPECT_EQ(t.getEntryByKor(27, 27), nullptr);
    ASSERT_NE(t.getEntryByKor(81, 27), nullptr);
    EXPECT_EQ(t.getEntryByKor(81, 27)->Enummer, 14);
    QImage grey(27, 27, QImage::Format_RGB32);
    grey.fill(QColor(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(s.Quarn_bitmap.copy(27, 27, 27, 27), grey);   // cells passed over are restored
    EXPECT_EQ(s.Quarn_bitmap.copy(54, 27, 27, 27), grey);
    EXPECT_EQ(s.Quarn_bitmap.copy(81, 27, 27, 27), icon(14, 1));

    const QString folder = dir.path() + QLatin1Char('/');
    QFile f(folder + QStringLiteral("zero.pln"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("1\r\n1\r\n14\r\n135\r\n135\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\nM\r\n0\r\n");
    f.close();
    p.gleisbildladen(QStringLiteral("zero.pln"), folder);
    EXPECT_EQ(t.getEntryByKor(135, 135)->Stellung, 0);
    EXPECT_EQ(s.Quarn_bitmap.copy(135, 135, 27, 27), icon(14, 1));
    EXPECT_EQ(s.TextLabelNr, -1);
}

TEST_F(Fixture, DraggingAPlacedElementMovesItWithItsDataAndThePictureFollows)
{
    place(14, 27, 27);
    t.getEntryByKor(27, 27)->Decod1 = 7;
    t.getEntryByKor(27, 27)->Daten1 = 3;
    place(19, 108, 27);
    p.paletteMouseDown(B::Right, 0, 0);  // nothing chosen: a drag moves what lies under the mouse
    drag(false, {30, 30}, {{60, 30}, {90, 30}});
    EXPECT_EQ(t.getEntryByKor(27, 27), nullptr);
    ASSERT_NE(t.getEntryByKor(81, 27), nullptr);
    EXPECT_EQ(t.getEntryByKor(81, 27)->Enummer, 14);
    EXPECT_EQ(t.getEntryByKor(81, 27)->Decod1, 7);
    EXPECT_EQ(t.getNumbofEntries(), 2);
    EXPECT_EQ(s.Quarn_bitmap, fromTable());

    // Onto an occupied cell: refused with message 109, both stay where they were.
    drag(false, {85, 30}, {{112, 30}});
    EXPECT_EQ(d.count(QStringLiteral("message")), 1);
    EXPECT_EQ(t.getEntryByKor(81, 27)->Enummer, 14);
    EXPECT_EQ(t.getEntryByKor(108, 27)->Enummer, 19);
    expectSoundTable();
    EXPECT_EQ(s.Quarn_bitmap, fromTable());

    // A palette element dragged over a placed one is placed where it is let go; the one passed
    // over keeps its cell and its picture.
    select(21);
    drag(false, {85, 30}, {{140, 30}});
    EXPECT_EQ(t.getEntryByKor(81, 27)->Enummer, 14);
    EXPECT_EQ(t.getEntryByKor(135, 27)->Enummer, 21);
    expectSoundTable();
    EXPECT_EQ(s.Quarn_bitmap, fromTable());
}

TEST_F(Fixture, NothingChosenInThePalettePlacesNothing)
{
    drag(false, {30, 30}, {{60, 30}});             // nothing was ever chosen
    p.paletteMouseDown(B::Left, 10, 112);         // a palette cell without an element
    EXPECT_EQ(s.Comp_nr, 0);
    EXPECT_FALSE(s.Symbol);
    drag(false, {100, 100}, {{140, 100}});
    drag(false, {200, 100}, {});
    EXPECT_EQ(t.getNumbofEntries(), 0);
    EXPECT_EQ(d.count(QStringLiteral("message")), 0);
    EXPECT_EQ(s.Quarn_bitmap, fromTable());
    place(14, 57, 30);                             // the cells are free
    EXPECT_EQ(t.getEntryByKor(54, 27)->Enummer, 14);
}

TEST_F(Fixture, AGroupMovesOnlyOntoFreeCellsInsideTheLayout)
{
    place(14, 0, 27);
    place(19, 27, 27);
    place(21, 81, 27);
    place(22, 27, 0);
    drag(true, {5, 30}, {});
    drag(true, {30, 30}, {});
    // Two cells to the right: the second step would put 19 onto 21 and is refused.
    drag(true, {30, 30}, {{60, 30}, {90, 30}, {120, 30}});
    EXPECT_EQ(t.getEntryByKor(27, 27)->Enummer, 14);
    EXPECT_EQ(t.getEntryByKor(54, 27)->Enummer, 19);
    EXPECT_EQ(t.getEntryByKor(81, 27)->Enummer, 21);
    expectSoundTable();
    EXPECT_EQ(s.Quarn_bitmap, fromTable());
    // Up is blocked by 22 for 14's partner only after one step; left stops at the edge.
    drag(true, {60, 30}, {{30, 30}, {3, 30}, {3, 3}});
    EXPECT_EQ(t.getEntryByKor(0, 27)->Enummer, 14);
    EXPECT_EQ(t.getEntryByKor(27, 27)->Enummer, 19);
    drag(true, {30, 30}, {{3, 30}, {3, 3}}, false);  // no way out; the group ends with the release
    EXPECT_TRUE(s.Movelist.empty());
    drag(true, {30, 3}, {});
    drag(true, {30, 3}, {{60, 3}}, false);  // Shift let go before the button: the move is still entered
    EXPECT_EQ(t.getEntryByKor(27, 0), nullptr);
    EXPECT_EQ(t.getEntryByKor(54, 0)->Enummer, 22);
    EXPECT_EQ(t.getEntryByKor(0, 27)->Enummer, 14);
    expectSoundTable();
    EXPECT_EQ(s.Quarn_bitmap, fromTable());
    // The group at the right and bottom edges: into the last, partly shown column and row, no further.
    place(14, 945, 648);
    s.Movelist.clear();
    drag(true, {950, 650}, {});
    drag(true, {950, 650}, {{980, 650}, {980, 679}, {1010, 679}, {1010, 710}});
    ASSERT_NE(t.getEntryByKor(972, 675), nullptr);
    EXPECT_EQ(t.getEntryByKor(972, 675)->Enummer, 14);
    expectSoundTable();
    EXPECT_EQ(s.Quarn_bitmap, fromTable());
}

TEST_F(Fixture, TheLastColumnAndRowTakeElementsAndKeepThemThroughSaveAndOpen)
{
    // 980 = 36 x 27 + 8 and 680 = 25 x 27 + 5: the last cells show 8 and 5 pixels of their icon.
    place(14, 975, 10);
    place(19, 10, 677);
    place(21, 979, 679);
    for (const auto& [x, y, n] : {std::tuple{972, 0, 14}, std::tuple{0, 675, 19}, std::tuple{972, 675, 21}}) {
        ASSERT_NE(t.getEntryByKor(x, y), nullptr) << x << "," << y;
        EXPECT_EQ(t.getEntryByKor(x, y)->Enummer, n);
    }
    EXPECT_EQ(s.Quarn_bitmap.copy(972, 0, 8, 27), icon(14, 1).copy(0, 0, 8, 27));
    EXPECT_EQ(d.count(QStringLiteral("message")), 0);
    p.gleisbildspeichern(QStringLiteral("edge.pln"), dir.path() + QLatin1Char('/'));

    AppState s2;
    s2.WorkDir = s.WorkDir;
    C_Position t2;
    LayoutPanel p2(s2, t2, cat, d);
    p2.quarngraufaerben();
    p2.gleisbildladen(QStringLiteral("edge.pln"), dir.path() + QLatin1Char('/'));
    EXPECT_EQ(t2.getNumbofEntries(), 3);
    ASSERT_NE(t2.getEntryByKor(972, 675), nullptr);
    EXPECT_EQ(t2.getEntryByKor(972, 675)->Enummer, 21);
    EXPECT_EQ(s2.Quarn_bitmap, s.Quarn_bitmap);
    EXPECT_EQ(d.count(QStringLiteral("message")), 0);
    // Cells beyond the picture stay refused.
    EXPECT_FALSE(p.inGrid(999, 0));
    EXPECT_FALSE(p.inGrid(0, 702));
}
