#include "base/AppState.h"
#include "panel/Cbahn.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "layout/LineValueReader.h"
#include "base/TLok.h"
#include "panel/C_fahr.h"
#include "panel/LayoutPanel.h"
#include "panel/RouteFile.h"
#include "panel/RouteMode.h"
#include "base/ScriptedDialogs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <tuple>
#include <vector>

#include <gtest/gtest.h>

namespace {
using B = LayoutPanel::Button;
using Command = std::tuple<QString, int, int>;  // protocol, decoder, data port

struct Routes : ::testing::Test {
    AppState s;
    C_Position t;
    C_Element cat;
    ScriptedDialogs d;
    LayoutPanel p{s, t, cat, d};
    PanelCanvas canvas;
    C_fahr fahr{s};
    RouteMode mode{s, fahr, t, p, d};
    std::vector<Command> sent;
    bool sends = true;  // what accessoryOut answers: the command went out
    QTemporaryDir dir;

    void SetUp() override
    {
        s.WorkDir = QStringLiteral(QUARN_SOURCE_DIR "data/");
        s.Quarn_bitmap = QImage(980, 680, QImage::Format_RGB32);
        p.quarngraufaerben();
        p.elementeladen();
        p.panel = &canvas;
        p.resizePanel(600, 400);
        p.accessoryOut = [this](const QString& proto, int dec, int port) {
            sent.emplace_back(proto, dec, port);
            return sends;
        };
        fahr.attach(t, cat, p);
    }
    // Places element n at cell (x, y) with decoder/port pairs for states 1..3.
    tPosEntry& put(int n, int x, int y, int stellung = 1, std::array<int, 6> dec = {})
    {
        p.Quarnliste_eintragen(x, y, n);
        tPosEntry& e = *t.getEntryByKor(x, y);
        e.Stellung = stellung;
        std::tie(e.Decod1, e.Daten1, e.Decod2, e.Daten2, e.Decod3, e.Daten3) =
            std::tuple(dec[0], dec[1], dec[2], dec[3], dec[4], dec[5]);
        p.changeicon(stellung, x, y, n);
        return e;
    }
    void click(B b, int x, int y) { mode.mouseDown(b, x + 3, y + 3); }
    QImage icon(int n, int state)
    {
        return QImage(p.dataPath() + LayoutPanel::iconFileName(n, state)).convertToFormat(QImage::Format_RGB32);
    }
    QImage cell(int x, int y) const { return s.Quarn_bitmap.copy(x, y, 27, 27); }
    QImage shown(int x, int y) const { return canvas.surface.copy(x, y, 27, 27); }
};
}  // namespace

TEST_F(Routes, RecordingCyclesThroughTheStatesOfTheElementKind)
{
    put(14, 27, 27);          // two-state turnout
    put(19, 54, 27, 2);       // three-state turnout, now in state 2
    put(20, 81, 27);          // uncoupling track, kind 1
    put(21, 108, 27, 0);      // plain track with Stellung 0: taken as 1
    ASSERT_TRUE(mode.enter());
    EXPECT_EQ(s.Fahrstrasse, 1);
    const struct {
        int x, n;
        std::vector<int> positions;
    } cases[] = {{27, 14, {11, 12, 11}}, {54, 19, {12, 13, 11, 12}}, {81, 20, {11, 11}}, {108, 21, {11, 11}}};
    for (const auto& c : cases) {
        for (int expected : c.positions) {
            click(B::Left, c.x, 27);
            EXPECT_EQ(fahr.getstellung(1, c.x, 27), expected) << "element " << c.n;
            EXPECT_EQ(cell(c.x, 27), icon(c.n, expected)) << "element " << c.n;
        }
    }
    EXPECT_EQ(fahr.getnumerofEntries(), 4);  // repeated clicks never add a second element
    EXPECT_EQ(mode.labels.LabelFahrerst2, QStringLiteral("1"));
    EXPECT_EQ(mode.labels.LabelFahrerst4, QStringLiteral("4"));
    click(B::Left, 300, 300);  // empty cell: nothing
    EXPECT_EQ(fahr.getnumerofEntries(), 4);

    click(B::Right, 54, 27);  // removed and drawn in its own state again
    EXPECT_FALSE(fahr.fahrsuchen(1, 54, 27));
    EXPECT_EQ(cell(54, 27), icon(19, 2));
    EXPECT_EQ(mode.labels.LabelFahrerst4, QStringLiteral("3"));
}

TEST_F(Routes, ConnectSaveAndTheMessagesOfAnUnconnectedRoute)
{
    put(14, 27, 27);
    tPosEntry& button = put(66, 81, 0);
    s.Gleisbildname = QStringLiteral("r.pln");
    s.Gleisbildpfad = dir.path() + QLatin1Char('/');
    int routeWrites = 0;
    mode.saveRoutes = [&] { ++routeWrites; };
    ASSERT_TRUE(mode.enter());
    click(B::Left, 27, 27);

    EXPECT_FALSE(mode.save());  // not connected
    ASSERT_EQ(d.count(QStringLiteral("message")), 1);
    EXPECT_EQ(d.last(QStringLiteral("message"))->text, QStringLiteral("The route must be assigned to a switch button !"));
    EXPECT_EQ(d.last(QStringLiteral("message"))->caption, QStringLiteral("Error"));
    EXPECT_EQ(d.last(QStringLiteral("message"))->icon, UserDialogs::Icon::None);
    EXPECT_EQ(routeWrites, 0);

    mode.connectClicked();
    click(B::Left, 27, 27);  // not a route switch: still connecting, nothing recorded
    EXPECT_EQ(s.Verbinden, 1);
    EXPECT_EQ(fahr.getstellung(1, 27, 27), 11);
    click(B::Left, 81, 0);
    EXPECT_EQ(s.Verbinden, 2);
    EXPECT_EQ(button.Fahrnr, 1);
    EXPECT_EQ(cell(81, 0), icon(66, 11));
    click(B::Left, 27, 27);  // connected: clicks no longer record
    EXPECT_EQ(fahr.getstellung(1, 27, 27), 11);

    EXPECT_TRUE(mode.save());
    EXPECT_EQ(s.Verbinden, 0);
    EXPECT_EQ(routeWrites, 1);
    EXPECT_TRUE(QFile::exists(s.Gleisbildpfad + s.Gleisbildname));
    EXPECT_EQ(cell(27, 27), icon(14, 1));  // normal icons again, switch released
    EXPECT_EQ(cell(81, 0), icon(66, 1));
}

TEST_F(Routes, SaveThatCannotWriteStaysInRouteModeWithTheConnection)
{
    put(66, 81, 0);
    s.Gleisbildname = QStringLiteral("r.pln");
    s.Gleisbildpfad = dir.path() + QStringLiteral("/missing/");
    ASSERT_TRUE(mode.enter());
    mode.connectClicked();
    click(B::Left, 81, 0);
    EXPECT_FALSE(mode.save());
    EXPECT_EQ(d.count(QStringLiteral("error")), 1);
    EXPECT_EQ(s.Verbinden, 2);
}

TEST_F(Routes, SettingSendsInRecordingOrderAndReleasingSendsNothing)
{
    tPosEntry& a = put(14, 27, 27, 1, {1, 1, 1, 2, 0, 0});
    tPosEntry& b = put(19, 54, 27, 1, {4, 1, 4, 2, 4, 3});
    put(20, 81, 27, 1, {5, 1, 0, 0, 0, 0});  // kind 1: drawn, never switched by a route
    a.Protokoll = QStringLiteral("N");
    tPosEntry& button = put(88, 108, 0);
    ASSERT_TRUE(mode.enter());
    click(B::Left, 54, 27);  // 11
    click(B::Left, 54, 27);  // 12
    click(B::Left, 54, 27);  // 13
    click(B::Left, 27, 27);  // 11
    click(B::Left, 27, 27);  // 12
    click(B::Left, 81, 27);
    mode.connectClicked();
    click(B::Left, 108, 0);
    mode.cancel();  // the connection stays in memory
    ASSERT_EQ(button.Fahrnr, 1);
    s.clearModes();
    s.Betrieb = true;

    mode.routeSwitchClick(button);
    const std::vector<Command> expected{{QStringLiteral("M"), 4, 3}, {QStringLiteral("N"), 1, 2}};
    EXPECT_EQ(sent, expected);
    EXPECT_TRUE(s.Knopf[1]);
    EXPECT_EQ(s.Fahrstrasse, 1);
    EXPECT_EQ(a.Stellung, 2);  // the railway is where the route put it
    EXPECT_EQ(b.Stellung, 3);
    EXPECT_EQ(cell(54, 27), icon(19, 13));
    EXPECT_EQ(cell(27, 27), icon(14, 12));
    EXPECT_EQ(shown(27, 27), icon(14, 12));
    EXPECT_EQ(cell(108, 0), icon(88, 11));

    sent.clear();
    mode.routeSwitchClick(button);
    EXPECT_TRUE(sent.empty());
    EXPECT_FALSE(s.Knopf[1]);
    EXPECT_EQ(cell(54, 27), icon(19, 3));  // released: unmarked, where the railway is
    EXPECT_EQ(cell(27, 27), icon(14, 2));
    EXPECT_EQ(cell(108, 0), icon(88, 1));

    // Commands that do not go out set nothing: no marking, the states stay, the status says why.
    QString said;
    p.statusText = [&](const QString& t) { said = t; };
    a.Stellung = 1, b.Stellung = 1;
    p.changeicon(1, 54, 27, 19);
    p.changeicon(1, 27, 27, 14);
    sends = false;
    mode.routeSwitchClick(button);
    EXPECT_FALSE(s.Knopf[1]);
    EXPECT_EQ(a.Stellung, 1);
    EXPECT_EQ(b.Stellung, 1);
    EXPECT_EQ(cell(54, 27), icon(19, 1));
    EXPECT_EQ(cell(27, 27), icon(14, 1));
    EXPECT_EQ(cell(108, 0), icon(88, 1));
    EXPECT_TRUE(said.contains(QStringLiteral("not set"))) << said.toStdString();
}

TEST_F(Routes, ASetRouteIsRedrawnWhereTheRailwayIsNotWhereAChangedRecordingSays)
{
    tPosEntry& a = put(14, 27, 27, 1, {1, 1, 1, 2, 0, 0});
    tPosEntry& button = put(88, 108, 0);
    ASSERT_TRUE(mode.enter());
    click(B::Left, 27, 27);  // 11
    click(B::Left, 27, 27);  // 12
    mode.connectClicked();
    click(B::Left, 108, 0);
    mode.cancel();
    s.clearModes();
    s.Betrieb = true;
    mode.routeSwitchClick(button);
    ASSERT_TRUE(s.Knopf[1]);
    ASSERT_EQ(a.Stellung, 2);

    // An undo brings back a recording of the turnout in state 1: the railway still has state 2.
    for (auto& r : fahr.Fahrlist)
        r->Stellung = 11;
    p.redrawAll();
    fahr.redrawShownRoute();
    EXPECT_EQ(cell(27, 27), icon(14, 12));
    EXPECT_EQ(cell(108, 0), icon(88, 11));
    EXPECT_EQ(a.Stellung, 2);
}

TEST_F(Routes, RouteSwitchWithoutRouteOrWithAnImpossibleNumber)
{
    tPosEntry& button = put(66, 81, 0);
    mode.routeSwitchClick(button);
    ASSERT_EQ(d.count(QStringLiteral("message")), 1);
    EXPECT_EQ(d.last(QStringLiteral("message"))->icon, UserDialogs::Icon::Information);
    EXPECT_EQ(d.last(QStringLiteral("message"))->text, QStringLiteral("The route must be assigned to a switch button !"));

    for (int r : {2049, 70000, -3}) {  // e.g. from a hand-edited layout file
        button.Fahrnr = r;
        mode.routeSwitchClick(button);
        EXPECT_TRUE(d.last(QStringLiteral("message"))->text.startsWith(QStringLiteral("Route number %1 is outside").arg(r)));
    }
    EXPECT_EQ(d.count(QStringLiteral("message")), 4);
    EXPECT_TRUE(sent.empty());
}

TEST_F(Routes, RouteNumbersStayWithinKnopf)
{
    EXPECT_EQ(s.Knopf.size(), 2049u);
    tPosEntry& button = put(66, 81, 0);
    button.Fahrnr = 7;  // a switch of a route whose file is gone
    ASSERT_TRUE(mode.enter());
    EXPECT_EQ(s.Fahrstrasse, 8);  // never a number a route switch already uses

    fahr.Anz_strassen = C_fahr::MaxRoute - 1;
    ASSERT_TRUE(mode.enter());
    EXPECT_EQ(s.Fahrstrasse, C_fahr::MaxRoute);
    mode.createPlus();
    mode.deletePlus();
    EXPECT_EQ(s.Fahrstrasse, C_fahr::MaxRoute);
    mode.cancel();
    EXPECT_EQ(fahr.Anz_strassen, C_fahr::MaxRoute);
    EXPECT_FALSE(mode.enter());
    EXPECT_EQ(d.count(QStringLiteral("message")), 3);
    EXPECT_EQ(d.last(QStringLiteral("message"))->text.left(34), QStringLiteral("Route number 2049 is outside the r"));
}

TEST_F(Routes, PlusMinusDeleteAndTheRouteFileOfTwoRoutes)
{
    put(14, 27, 27);
    put(15, 54, 27);
    tPosEntry& button = put(66, 81, 0);
    s.DateinameohneEndung = QStringLiteral("two");
    ASSERT_TRUE(mode.enter());
    click(B::Left, 27, 27);
    click(B::Left, 54, 27);
    mode.cancel();
    ASSERT_TRUE(mode.enter());
    EXPECT_EQ(s.Fahrstrasse, 3);  // Cancel used up number 2
    mode.createMinus();
    click(B::Left, 54, 27);
    click(B::Left, 54, 27);
    EXPECT_EQ(mode.labels.LabelFahrerst2, QStringLiteral("2"));
    EXPECT_EQ(cell(54, 27), icon(15, 12));
    mode.createMinus();  // route 1 shown, route 2 in normal icons
    EXPECT_EQ(cell(54, 27), icon(15, 11));
    EXPECT_EQ(mode.labels.LabelFahrerst4, QStringLiteral("2"));
    mode.createMinus();  // stays at 1
    EXPECT_EQ(s.Fahrstrasse, 1);

    fahr.Anz_strassen = 2;
    const QByteArray text = writeRouteText(fahr);
    EXPECT_EQ(text, QByteArray("3\r\n1\r\n14\r\n27\r\n27\r\n11\r\n1\r\n15\r\n54\r\n27\r\n11\r\n"
                               "2\r\n15\r\n54\r\n27\r\n12\r\n2\r\n"));
    EXPECT_EQ(text.count("\r\n"), 17);

    button.Fahrnr = 1;
    s.Knopf[1] = true;
    int routeWrites = 0;
    mode.saveRoutes = [&] { ++routeWrites; };
    mode.deleteRoute();
    EXPECT_EQ(fahr.readgleisnr(1), 0);
    EXPECT_EQ(fahr.readgleisnr(2), 1);
    EXPECT_EQ(button.Fahrnr, 0);
    EXPECT_FALSE(s.Knopf[1]);
    EXPECT_EQ(routeWrites, 1);
}

TEST(RouteFile, ReadsBackWhatWasWritten)
{
    AppState s;
    C_fahr a(s), b(s);
    a.fahreintragen(3, 14, 27, 54, 12);
    a.fahreintragen(1, 19, 0, 0, 13);
    a.Anz_strassen = 5;
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/x.dat");
    writeRouteFile(path, a);
    ASSERT_EQ(readRouteFile(path, b), RouteFileRead::Read);
    EXPECT_EQ(b.Anz_strassen, 5);
    ASSERT_EQ(b.getnumerofEntries(), 2);
    EXPECT_EQ(b.getEntryByNum(0)->Fahrnr, 3);
    EXPECT_EQ(b.getEntryByNum(0)->Ypos, 54);
    EXPECT_EQ(b.getEntryByNum(1)->Stellung, 13);
    EXPECT_EQ(readRouteFile(dir.path() + QStringLiteral("/none.dat"), b), RouteFileRead::Missing);
    EXPECT_EQ(b.getnumerofEntries(), 0);
    EXPECT_EQ(b.Anz_strassen, 0);

    // A counter below the stored routes is raised, so new routes never merge into old ones.
    const RouteFileContent c = readRouteText("1\r\n9\r\n14\r\n0\r\n0\r\n11\r\n2\r\n");
    applyRouteContent(b, c);
    EXPECT_EQ(b.Anz_strassen, 9);
    EXPECT_EQ(readRouteText("").elements.size(), 0u);  // an empty file: no routes
}

TEST(RouteFile, AFileWithoutAUsableCountIsRefusedAndChangesNothing)
{
    const char* damaged[] = {
        "abc\r\n",            // not a number
        "-1\r\n0\r\n",        // negative count
        "99999999\r\n1\r\n",  // a count the file cannot hold
    };
    AppState s;
    C_fahr f(s);
    f.fahreintragen(1, 14, 27, 27, 11);
    f.Anz_strassen = 1;
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/bad.dat");
    for (const char* text : damaged) {
        EXPECT_THROW(readRouteText(text), FileReadError) << text;
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(text);
        out.close();
        EXPECT_THROW(readRouteFile(path, f), FileReadError) << text;
        EXPECT_EQ(f.getnumerofEntries(), 1) << text;
        EXPECT_EQ(f.Anz_strassen, 1) << text;
    }
}

TEST(RouteFile, ADamagedElementLosesItsRouteOnlyAndItsLinesAreNamed)
{
    // Route 1: two turnouts; route 2: one turnout. Record k (1-based) starts at line 2 + 5 (k - 1).
    const auto text = [](const char* damagedRecord2) {
        return QByteArray("3\r\n1\r\n14\r\n27\r\n27\r\n11\r\n") + damagedRecord2
               + "2\r\n15\r\n81\r\n27\r\n12\r\n2\r\n";
    };
    struct Case {
        const char* what;
        QByteArray file;
        std::vector<int> routesKept;  // route numbers of the elements read, in order
        QList<int> lines;
        int counter;
    };
    const Case cases[] = {
        {"position 14", text("1\r\n15\r\n54\r\n27\r\n14\r\n"), {2}, {11}, 2},
        {"a lost route's number is not handed out again",
         QByteArray("1\r\n7\r\n14\r\n27\r\n27\r\n19\r\n2\r\n"), {}, {6}, 7},
        {"element 99", text("1\r\n99\r\n54\r\n27\r\n11\r\n"), {2}, {8}, 2},
        {"not a number", text("1\r\n15\r\nx\r\n27\r\n11\r\n"), {2}, {9}, 2},
        {"between cells", text("1\r\n15\r\n54\r\n30\r\n11\r\n"), {2}, {10}, 2},
        {"outside the picture", text("1\r\n15\r\n999\r\n27\r\n11\r\n"), {2}, {9}, 2},
        {"route 2049", text("2049\r\n15\r\n54\r\n27\r\n11\r\n"), {1, 2}, {7}, 2},
        {"last column and row", text("1\r\n15\r\n972\r\n675\r\n11\r\n"), {1, 1, 2}, {}, 2},
        {"counter 5000",
         QByteArray("1\r\n1\r\n14\r\n27\r\n27\r\n11\r\n5000\r\n"), {1}, {7}, 1},
        {"text after the counter",
         QByteArray("1\r\n1\r\n14\r\n27\r\n27\r\n11\r\n1\r\n7\r\n"), {1}, {8}, 1},
        {"cut: the last route may lack elements", QByteArray("2\r\n1\r\n14\r\n27\r\n27\r\n11\r\n"), {}, {7}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RouteFileContent content;
        ASSERT_NO_THROW(content = readRouteText(c.file));
        std::vector<int> routes;
        for (const C_fahrelement& e : content.elements)
            routes.push_back(e.Fahrnr);
        EXPECT_EQ(routes, c.routesKept);
        EXPECT_EQ(content.replacedLines, c.lines);
        EXPECT_EQ(content.problems.isEmpty(), c.lines.isEmpty()) << content.problems.join(QLatin1Char('\n')).toStdString();
        AppState s;
        C_fahr f(s);
        applyRouteContent(f, content);
        EXPECT_EQ(f.Anz_strassen, c.counter);
    }
}

TEST_F(Routes, OpeningALayoutReadsItsRoutesAndKeepsADamagedFile)
{
    TLok lok;
    Cbahn bahn(s, t, cat, lok, d);
    put(14, 27, 27);
    ASSERT_TRUE(QDir().mkpath(dir.path() + QStringLiteral("/Layouts")));
    s.WorkDir = dir.path() + QLatin1Char('/');
    s.DateinameohneEndung = QStringLiteral("Demo");
    struct UseFahr {
        C_fahr* saved;
        explicit UseFahr(C_fahr& f) : saved(Fahr) { Fahr = &f; }
        ~UseFahr() { Fahr = saved; }
    } use(fahr);
    fahr.fahreintragen(2, 14, 27, 27, 12);
    fahr.Anz_strassen = 2;
    bahn.fahrspeichern();
    EXPECT_EQ(bahn.routeFilePath(), dir.path() + QStringLiteral("/Layouts/Demo.dat"));

    fahr.Fahrlist.clear();
    fahr.Anz_strassen = 0;
    s.Knopf[2] = true;
    bahn.fahrladen();
    EXPECT_EQ(fahr.getstellung(2, 27, 27), 12);
    EXPECT_EQ(fahr.Anz_strassen, 2);
    EXPECT_FALSE(s.Knopf[2]);

    // A damaged value: its route is left out, the lines are named, the file as it was is kept and
    // the rest written anew.
    const QByteArray damaged("2\r\n2\r\n14\r\n27\r\n27\r\n12\r\n3\r\nx\r\n27\r\n27\r\n11\r\n3\r\n");
    const auto put = [&](const QByteArray& bytes) {
        QFile f(bahn.routeFilePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    put(damaged);
    const QString note = bahn.fahrladen();
    EXPECT_EQ(fahr.getstellung(2, 27, 27), 12);
    EXPECT_EQ(fahr.readgleisnr(3), 0);
    EXPECT_EQ(fahr.Anz_strassen, 3);
    EXPECT_EQ(t.getNumbofEntries(), 1);  // the layout is not touched
    EXPECT_TRUE(note.contains(QStringLiteral("(lines 8):"))) << note.toStdString();
    EXPECT_TRUE(note.contains(QStringLiteral("Route 3:"))) << note.toStdString();
    const QString bakPath = bahn.routeFilePath() + QStringLiteral(".bak");
    EXPECT_TRUE(note.contains(QDir::toNativeSeparators(bakPath))) << note.toStdString();
    QFile bak(bakPath);
    ASSERT_TRUE(bak.open(QIODevice::ReadOnly));
    EXPECT_EQ(bak.readAll(), damaged);
    QFile now(bahn.routeFilePath());
    ASSERT_TRUE(now.open(QIODevice::ReadOnly));
    EXPECT_EQ(now.readAll(), QByteArray("1\r\n2\r\n14\r\n27\r\n27\r\n12\r\n3\r\n"));

    // Without a usable count nothing can be read: no routes, the file kept, the error thrown.
    put("x\r\n");
    EXPECT_THROW(bahn.fahrladen(), FileReadError);
    EXPECT_EQ(fahr.getnumerofEntries(), 0);
    EXPECT_TRUE(QFile::exists(bakPath + QStringLiteral("2")));
}

// A route switch that looks released sets its route; one that looks pressed releases it; the
// picture of every switch is its route's state, whatever was set before.
TEST_F(Routes, ARouteSwitchThatLooksReleasedSetsItsRoute)
{
    put(14, 27, 27, 1, {1, 1, 1, 2, 0, 0});
    put(14, 54, 27, 1, {2, 1, 2, 2, 0, 0});
    tPosEntry& one = put(88, 108, 0);
    tPosEntry& two = put(88, 135, 0);
    // Route 1 throws the first turnout, route 2 the second.
    fahr.fahreintragen(1, 14, 27, 27, 12);
    fahr.fahreintragen(2, 14, 54, 27, 12);
    one.Fahrnr = 1;
    two.Fahrnr = 2;
    s.Betrieb = true;
    struct Step {
        tPosEntry* clicked;
        bool set1, set2;  // afterwards
        bool sends;       // the click sends the route's command
    };
    const Step steps[] = {
        {&one, true, false, true},  {&two, false, true, true},  // route 2 after route 1: set, not released
        {&one, true, false, true},  {&one, false, false, false}, {&one, true, false, true},
        {&two, false, true, true},  {&two, false, false, false}, {&two, false, true, true},
    };
    int i = 0;
    for (const Step& st : steps) {
        SCOPED_TRACE(i++);
        sent.clear();
        mode.routeSwitchClick(*st.clicked);
        const bool set1 = st.set1, set2 = st.set2;
        EXPECT_EQ(s.Knopf[1], set1);
        EXPECT_EQ(s.Knopf[2], set2);
        EXPECT_EQ(cell(108, 0), icon(88, set1 ? 11 : 1));
        EXPECT_EQ(cell(135, 0), icon(88, set2 ? 11 : 1));
        EXPECT_EQ(!sent.empty(), st.sends);
    }
}
