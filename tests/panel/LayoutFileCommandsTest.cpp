#include "app/AppState.h"
#include "app/Cbahn.h"  // its panel operations forward to LayoutPanel
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "panel/LayoutFileCommands.h"
#include "panel/LayoutPanel.h"
#include "panel/PanelGeometry.h"
#include "ui/ScriptedDialogs.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
struct Commands : ::testing::Test {
    AppState s;
    C_Position t;
    C_Element cat;
    ScriptedDialogs d;
    LayoutPanel p{s, t, cat, d};
    LayoutFileCommands c{s, p, d};
    QTemporaryDir dir;
    QString folder() const { return dir.path() + QLatin1Char('/'); }
    void SetUp() override
    {
        s.WorkDir = QStringLiteral(QUARN_SOURCE_DIR "data/");
        s.Infostring = QStringLiteral("QUARN");
        p.quarngraufaerben();
        p.elementeladen();
    }
};
}  // namespace

TEST_F(Commands, NewThenSaveWritesOnlyWhatWasPlaced)
{
    p.Quarnliste_eintragen(0, 0, 21);
    d.textAnswers.push_back(folder() + QStringLiteral("Neu.pln"));
    const auto r = c.Neu1Click();
    EXPECT_TRUE(r.done && r.enterDesignMode && r.enableLayoutMenus);
    EXPECT_EQ(r.windowTitle, QStringLiteral("QUARN   Layout: Neu.pln"));
    EXPECT_EQ(d.last(QStringLiteral("save"))->text, QStringLiteral("Create new layout file"));
    EXPECT_EQ(t.getNumbofEntries(), 0);
    EXPECT_EQ(s.DateinameohneEndung, QStringLiteral("Neu"));
    p.Quarnliste_eintragen(27, 27, 14);
    EXPECT_TRUE(c.Speichern1Click().done);
    QFile f(folder() + QStringLiteral("Neu.pln"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().startsWith("1\r\n0\r\n14\r\n27\r\n27\r\n"));
}

TEST_F(Commands, OtherExtensionChangesOnlyTheNames)
{
    p.Quarnliste_eintragen(0, 0, 21);
    d.textAnswers.push_back(folder() + QStringLiteral("x.PLN"));
    EXPECT_FALSE(c.Neu1Click().done);
    EXPECT_EQ(s.Gleisbildname, QStringLiteral("x.PLN"));
    EXPECT_EQ(t.getNumbofEntries(), 1);
}

TEST_F(Commands, SaveWithoutNameAsksAndOpenReportsErrors)
{
    p.Quarnliste_eintragen(0, 0, 21);
    d.textAnswers.push_back(std::nullopt);  // cancelled
    EXPECT_FALSE(c.Speichern1Click().done);
    EXPECT_EQ(d.last(QStringLiteral("save"))->text, QStringLiteral("Save with new name"));
    d.textAnswers.push_back(folder() + QStringLiteral("Erst.pln"));
    const auto r = c.Speichern1Click();
    EXPECT_TRUE(r.done && r.enterOperateMode);
    EXPECT_EQ(s.Gleisbildname, QStringLiteral("Erst.pln"));
    EXPECT_TRUE(QFile::exists(folder() + QStringLiteral("Erst.pln")));

    QFile bad(folder() + QStringLiteral("bad.pln"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("1\r\n1\r\n21\r\n0\r\n0\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\nM\r\n1\r\nL\r\nT\r\n0\r\n0\r\n0\r\nArial\r\n");
    bad.close();
    d.textAnswers.push_back(folder() + QStringLiteral("bad.pln"));
    const auto o = c.Oeffnen1Click();
    EXPECT_FALSE(o.done);
    EXPECT_EQ(d.count(QStringLiteral("error")), 1);
    EXPECT_EQ(d.last(QStringLiteral("error"))->text, QStringLiteral("Invalid string to font conversion"));
    EXPECT_EQ(t.getNumbofEntries(), 1);  // read before the error: kept
    EXPECT_EQ(d.last(QStringLiteral("open"))->text, QStringLiteral("Open layout"));

    d.textAnswers.push_back(folder() + QStringLiteral("Erst.pln"));
    s.Hpos_alt = 54;
    EXPECT_TRUE(c.Oeffnen1Click().enterOperateMode);
    EXPECT_EQ(s.Hpos_alt, 0);
}

TEST(PanelGeometryTest, SmallWindowGetsScrollBars)
{
    const PanelGeometry g = FormResize(800, 565, 20, 113, 800);
    EXPECT_TRUE(g.hScrollNeeded);
    EXPECT_TRUE(g.vScrollNeeded);
    EXPECT_EQ(g.panel, QRect(1, 1, 800 - 20 - 17, 565 - 113 - 20 - 17));
    EXPECT_EQ(g.vScroll, QRect(783, 1, 17, 565 - 113 - 17));
    EXPECT_EQ(g.hScroll.top(), 565 - 20 - 17);
    const PanelGeometry big = FormResize(1400, 1000, 20, 113, 1400);
    EXPECT_FALSE(big.hScrollNeeded || big.vScrollNeeded);
    EXPECT_EQ(big.panel, QRect(1, 1, 980, 680));
}
