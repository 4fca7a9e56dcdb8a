// Undo and redo of the changes that are not made by dragging on the panel: texts, decoder and S88
// assignments, routes recorded and deleted; and what undo leaves alone.
#include "base/AppState.h"
#include "panel/Cbahn.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "layout/LayoutFile.h"
#include "base/TLok.h"
#include "panel/C_fahr.h"
#include "panel/LayoutHistory.h"
#include "panel/LayoutPanel.h"
#include "panel/RouteMode.h"
#include "base/ScriptedDialogs.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
using B = LayoutPanel::Button;

struct History : ::testing::Test {
    AppState s;
    C_Position t;
    C_Element cat;
    TLok lok;
    ScriptedDialogs d;
    Cbahn bahn{s, t, cat, lok, d};
    LayoutPanel& p = bahn.trackPanel();
    C_fahr fahr{s};
    RouteMode mode{s, fahr, t, p, d};
    LayoutHistory h{s, t, p, &fahr};
    int routeWrites = 0;

    void SetUp() override
    {
        s.WorkDir = QStringLiteral(QUARN_SOURCE_DIR "data/");
        s.Quarn_bitmap = QImage(980, 680, QImage::Format_RGB32);
        p.quarngraufaerben();
        p.elementeladen();
        fahr.attach(t, cat, p);
        p.history = &h;
        h.routesRestored = [this] { ++routeWrites; };
    }
    void place(int n, int X, int Y)
    {
        p.paletteMouseDown(B::Left, cat.get_posx(n - 1) + 3, cat.get_posy(n - 1) + 3);
        p.designMouseDown(B::Left, false, X, Y);
        p.mouseDownDone(X, Y);
        p.mouseUp(false, X, Y);
    }
    QByteArray text() const { return writeLayoutText(t, s.Textliste); }
    QByteArray routes() const
    {
        QByteArray out;
        for (const auto& r : fahr.Fahrlist)
            out += QByteArray::number(r->Fahrnr) + ":" + QByteArray::number(r->Xpos) + "," + QByteArray::number(r->Ypos)
                   + "=" + QByteArray::number(r->Stellung) + " ";
        return out;
    }
};
}  // namespace

TEST_F(History, TextsAndDecoderAndS88AssignmentsAreStepsOfTheirOwn)
{
    s.Quarnerstellen = true;
    place(14, 30, 30);
    place(65, 60, 30);
    const QByteArray placed = text();
    const QImage placedPicture = s.Quarn_bitmap;
    s.Quarnerstellen = false;
    s.Text = true;
    d.textAnswers.push_back(QStringLiteral("Nord"));
    p.textMouseDown(B::Left, 3, 90);
    ASSERT_EQ(s.Textliste.size(), 1u);
    const QByteArray labelled = text();
    s.Text = false;
    s.Decoder = true;
    bahn.decoderClick(27, 27);
    ASSERT_TRUE(bahn.decoderPanelSave({"3", "3", "", "5", "6", ""}, 1));
    s.Decoder = false;
    s.S88config = true;
    bahn.s88Click(54, 27);
    ASSERT_TRUE(bahn.decoderPanelSave({"2", "", "", "16", "", ""}, 0));
    const QByteArray assigned = text();
    s.S88config = false;
    s.Text = true;
    p.textMouseDown(B::Right, 3, 90);
    EXPECT_TRUE(s.Textliste.empty());
    EXPECT_EQ(h.stack().count(), 6);

    ASSERT_TRUE(h.undo());  // the label is back
    EXPECT_EQ(text(), assigned);
    EXPECT_EQ(s.Textliste.size(), 1u);
    ASSERT_TRUE(h.undo());  // S88
    EXPECT_EQ(t.getEntryByKor(54, 27)->Decod1, 0);
    EXPECT_EQ(t.getEntryByKor(27, 27)->Protokoll, QStringLiteral("N"));
    ASSERT_TRUE(h.undo());  // decoder
    EXPECT_EQ(text(), labelled);
    ASSERT_TRUE(h.undo());  // text
    EXPECT_EQ(text(), placed);
    EXPECT_EQ(s.Quarn_bitmap, placedPicture);
    ASSERT_TRUE(h.redo());
    ASSERT_TRUE(h.redo());
    ASSERT_TRUE(h.redo());
    EXPECT_EQ(text(), assigned);
    EXPECT_EQ(routeWrites, 0);
}

TEST_F(History, ARecordedRouteAndADeletedRouteAreOneStepEach)
{
    s.Quarnerstellen = true;
    place(14, 30, 30);
    place(88, 60, 30);
    s.Quarnerstellen = false;
    s.Gleisbildname = QStringLiteral("r.pln");
    QTemporaryDir dir;
    s.Gleisbildpfad = dir.path() + QLatin1Char('/');
    const QByteArray before = text();

    s.Fahrstrasseerstellen = true;
    ASSERT_TRUE(mode.enter());
    mode.mouseDown(B::Left, 30, 30);
    mode.mouseDown(B::Left, 30, 30);  // second state
    EXPECT_FALSE(h.undo()) << "no undo while a route is being recorded";
    mode.connectClicked();
    mode.mouseDown(B::Left, 60, 30);
    ASSERT_TRUE(mode.save());
    s.Fahrstrasseerstellen = false;
    const QByteArray recorded = routes();
    EXPECT_FALSE(recorded.isEmpty());
    EXPECT_FALSE(h.modified()) << "saving a route writes the layout";
    EXPECT_EQ(t.getEntryByKor(54, 27)->Fahrnr, 1);

    s.Fahrstrasseerstellen = true;
    ASSERT_TRUE(mode.enter());
    s.Fahrstrasse = 1;
    mode.deleteRoute();
    mode.cancel();
    s.Fahrstrasseerstellen = false;
    EXPECT_TRUE(routes().isEmpty());

    ASSERT_TRUE(h.undo());  // the deletion
    EXPECT_EQ(routes(), recorded);
    EXPECT_EQ(routeWrites, 1);
    ASSERT_TRUE(h.undo());  // the recording, with the route switch's route number
    EXPECT_TRUE(routes().isEmpty());
    EXPECT_EQ(text(), before);
    EXPECT_TRUE(h.modified());
    EXPECT_EQ(routeWrites, 2);
    ASSERT_TRUE(h.redo());
    EXPECT_EQ(routes(), recorded);
    EXPECT_EQ(t.getEntryByKor(54, 27)->Fahrnr, 1);
    ASSERT_TRUE(h.redo());
    EXPECT_TRUE(routes().isEmpty());
    EXPECT_EQ(t.getEntryByKor(54, 27)->Fahrnr, 0);  // deleting a route frees its switch
}

TEST_F(History, UndoKeepsTheStatesTheAccessoriesHaveNowAndStopsAtOpen)
{
    s.Quarnerstellen = true;
    place(14, 30, 30);
    place(21, 60, 30);
    t.getEntryByKor(27, 27)->Stellung = 2;  // switched in operate mode: not a step
    EXPECT_EQ(h.stack().count(), 2);
    ASSERT_TRUE(h.undo());
    EXPECT_EQ(t.getEntryByKor(27, 27)->Stellung, 2);
    EXPECT_EQ(t.getNumbofEntries(), 1);
    h.clear();
    EXPECT_FALSE(h.undo());
    EXPECT_FALSE(h.modified());
}
