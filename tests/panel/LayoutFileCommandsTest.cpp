#include "base/AppState.h"
#include "panel/Cbahn.h"  // its panel operations forward to LayoutPanel
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "panel/LayoutFileCommands.h"
#include "panel/LayoutHistory.h"
#include "panel/LayoutPanel.h"
#include "panel/PanelGeometry.h"
#include "base/ScriptedDialogs.h"

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

    // A label whose font text cannot be read keeps its text in the standard font, with a message.
    QFile bad(folder() + QStringLiteral("bad.pln"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("1\r\n1\r\n21\r\n0\r\n0\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\nM\r\n1\r\nL\r\nT\r\n0\r\n0\r\n0\r\nArial\r\n");
    bad.close();
    d.textAnswers.push_back(folder() + QStringLiteral("bad.pln"));
    const auto o = c.Oeffnen1Click();
    EXPECT_TRUE(o.done);
    EXPECT_EQ(d.count(QStringLiteral("error")), 0);
    ASSERT_NE(d.last(QStringLiteral("message")), nullptr);
    EXPECT_TRUE(d.last(QStringLiteral("message"))->text.contains(QStringLiteral("Text label record 1 (line 21): Invalid string to font conversion")))
        << d.last(QStringLiteral("message"))->text.toStdString();
    EXPECT_TRUE(d.last(QStringLiteral("message"))->text.contains(folder() + QStringLiteral("bad.pln.bak")))
        << d.last(QStringLiteral("message"))->text.toStdString();
    EXPECT_EQ(t.getNumbofEntries(), 1);
    ASSERT_EQ(s.Textliste.size(), 1u);
    EXPECT_EQ(s.Textliste[0]->TextInfo, QStringLiteral("T"));
    EXPECT_EQ(d.last(QStringLiteral("open"))->text, QStringLiteral("Open layout"));

    d.textAnswers.push_back(folder() + QStringLiteral("Erst.pln"));
    s.Hpos_alt = 54;
    EXPECT_TRUE(c.Oeffnen1Click().enterOperateMode);
    EXPECT_EQ(s.Hpos_alt, 0);
}

TEST_F(Commands, AFailedOpenLeavesTheOpenLayoutItsNameAndItsFileAlone)
{
    for (int k = 0; k < 3; ++k)
        p.Quarnliste_eintragen(27 * k, 0, 21);
    d.textAnswers.push_back(folder() + QStringLiteral("Drei"));  // typed without an extension
    ASSERT_TRUE(c.Speichernals1Click().done);
    EXPECT_EQ(s.Gleisbildname, QStringLiteral("Drei.pln"));
    QFile saved(folder() + QStringLiteral("Drei.pln"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray before = saved.readAll();
    saved.close();
    const QImage picture = s.Quarn_bitmap;

    const QByteArray record = "9\r\n99\r\n0\r\n0\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\nM\r\n";
    const struct {
        const char* name;
        QByteArray text;
    } bad[] = {{"picture.pln", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)},
               {"unusable.pln", "2\r\n" + record + record},
               {"routes.dat", "1\r\n1\r\n14\r\n27\r\n27\r\n11\r\n1\r\n"}};
    for (const auto& b : bad) {
        SCOPED_TRACE(b.name);
        QFile f(folder() + QLatin1String(b.name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(b.text);
        f.close();
        const int messages = int(d.shown.size());
        d.textAnswers.push_back(folder() + QLatin1String(b.name));
        EXPECT_FALSE(c.Oeffnen1Click().done);
        EXPECT_EQ(int(d.shown.size()), messages + 2);  // the dialog and one error
        EXPECT_EQ(s.Gleisbildname, QStringLiteral("Drei.pln"));
        EXPECT_EQ(s.DateinameohneEndung, QStringLiteral("Drei"));
        EXPECT_EQ(t.getNumbofEntries(), 3);
        EXPECT_EQ(s.Quarn_bitmap, picture);
    }
    ASSERT_TRUE(c.Speichern1Click().done);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), before);
}

TEST_F(Commands, ABadRecordIsNamedAndTheRestOpens)
{
    const QByteArray good = "9\r\n21\r\n0\r\n0\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\nM\r\n";
    const QByteArray over = "9\r\n90\r\n27\r\n0\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\nM\r\n";
    const QByteArray last = "9\r\n14\r\n54\r\n0\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\nM\r\n";
    QFile f(folder() + QStringLiteral("drei.pln"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("3\r\n" + good + over + last + "0\r\n");
    f.close();
    d.textAnswers.push_back(f.fileName());
    const auto r = c.Oeffnen1Click();
    EXPECT_TRUE(r.done && r.enterOperateMode);
    EXPECT_EQ(r.windowTitle, QStringLiteral("QUARN   Layout: drei.pln"));
    EXPECT_EQ(t.getNumbofEntries(), 2);
    EXPECT_EQ(t.getEntryByKor(54, 0)->CompID, 3);
    ASSERT_EQ(d.count(QStringLiteral("message")), 1);
    const QString text = d.last(QStringLiteral("message"))->text;
    EXPECT_TRUE(text.contains(QStringLiteral("drei.pln"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Element record 2 (line 15): element number 90 is not in 1..88")))
        << text.toStdString();
    EXPECT_EQ(s.Quarn_bitmap.copy(27, 0, 27, 27).pixelColor(13, 13), QColor(0xC0, 0xC0, 0xC0));
}

TEST_F(Commands, ALayoutThatEndsEarlyIsNamedWithWhatIsMissingAndCountsAsChanged)
{
    LayoutHistory history(s, t, p, nullptr);
    c.history = &history;
    QFile demo(QStringLiteral(QUARN_SOURCE_DIR "data/Layouts/Demo.pln"));
    ASSERT_TRUE(demo.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = demo.readAll().split('\n');
    ASSERT_GT(lines.size(), 700);
    const int announced = lines[0].trimmed().toInt();
    ASSERT_GT(13 * announced + 1, 700) << "the demo is to be cut inside its elements";
    QFile f(folder() + QStringLiteral("Demo.pln"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(lines.mid(0, 700).join('\n') + '\n');
    f.close();

    d.textAnswers.push_back(f.fileName());
    const auto r = c.Oeffnen1Click();
    EXPECT_TRUE(r.done);
    EXPECT_EQ(t.getNumbofEntries(), 53);  // the 53 records before line 700
    ASSERT_EQ(d.count(QStringLiteral("message")), 1);
    const QString text = d.last(QStringLiteral("message"))->text;
    EXPECT_TRUE(text.contains(QStringLiteral("Demo.pln"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("the file ends at line 700, inside this record"))) << text.toStdString();
    EXPECT_TRUE(history.modified());  // a "Save" would write half a layout: it is asked about

    // Another "Open" asks first; cancelling keeps the half layout and its file as they are.
    d.choiceAnswers.push_back(2);
    d.textAnswers.push_back(f.fileName());
    EXPECT_FALSE(c.Oeffnen1Click().done);
    EXPECT_EQ(d.count(QStringLiteral("choice")), 1);

    // A whole file opens unchanged.
    d.textAnswers.clear();
    d.choiceAnswers = {1};  // discard
    d.textAnswers.push_back(demo.fileName());
    EXPECT_TRUE(c.Oeffnen1Click().done);
    EXPECT_EQ(t.getNumbofEntries(), announced);
    EXPECT_FALSE(history.modified()) << d.last(QStringLiteral("message"))->text.toStdString();
}

TEST_F(Commands, FileDialogsGetFiltersTheyReadAndNamesGetTheLayoutExtension)
{
    EXPECT_EQ(LayoutFileCommands::OpenFilter(), QStringLiteral("Quarn Layout Files (*.pln);;All Files (*)"));
    EXPECT_EQ(LayoutFileCommands::NewFilter(), QStringLiteral("Quarn files (*.pln);;All Files (*)"));
    d.textAnswers.push_back(folder() + QStringLiteral("Anlage"));
    EXPECT_TRUE(c.Neu1Click().done);
    EXPECT_EQ(s.Gleisbildname, QStringLiteral("Anlage.pln"));
    EXPECT_EQ(s.DateinameohneEndung, QStringLiteral("Anlage"));
    d.textAnswers.push_back(folder() + QStringLiteral("Anlage.v2.pln"));
    EXPECT_TRUE(c.Speichernals1Click().done);
    EXPECT_EQ(s.Gleisbildname, QStringLiteral("Anlage.v2.pln"));
    d.textAnswers.push_back(folder() + QStringLiteral("notes.txt"));
    EXPECT_FALSE(c.Oeffnen1Click().done);
    EXPECT_EQ(s.Gleisbildname, QStringLiteral("Anlage.v2.pln"));
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
