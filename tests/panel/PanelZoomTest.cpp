// The panel's zoom through the real widget: what it shows at 100 % and 200 %, and the editor driven
// by the mouse at 150 %.
#include "base/AppState.h"
#include "base/ScriptedDialogs.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "panel/ElementArt.h"
#include "panel/widgets/PanelView.h"

#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

struct ZoomFixture : ::testing::Test {
    AppState s;
    C_Position t;
    C_Element cat;
    ScriptedDialogs d;
    std::unique_ptr<LayoutPanel> p;
    QWidget window;
    PanelView* view = nullptr;

    void SetUp() override
    {
        s.WorkDir = QStringLiteral(QUARN_SOURCE_DIR "data/");
        p = std::make_unique<LayoutPanel>(s, t, cat, d);
        p->quarngraufaerben();
        p->elementeladen();
        window.resize(700, 500);
        view = new PanelView(s, *p, d, &window);
        view->setGeometry(0, 0, 640, 480);
        window.show();
    }
    void TearDown() override { delete view; }

    void place(int n, int state, int x, int y)
    {
        p->Quarnliste_eintragen(x, y, n);
        t.getEntryByKor(x, y)->Stellung = state;
        p->changeicon(state, x, y, n);
    }
    QImage shot() const { return view->grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

// The same picture at every pixel (alpha ignored).
bool samePixels(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if ((a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF))
                return false;
    return true;
}

TEST_F(ZoomFixture, AtFullSizeThePanelShowsThePicturePixelForPixel)
{
    place(14, 1, 27, 27);
    place(66, 11, 54, 27);
    place(7, 2, 81, 54);
    const QImage img = shot();
    EXPECT_EQ(view->cellPixels(), 27);
    EXPECT_TRUE(samePixels(img.copy(0, 0, 270, 135), s.Quarn_bitmap.copy(0, 0, 270, 135)));
}

TEST_F(ZoomFixture, AtDoubleSizeElementsAreDrawnSharpAndOtherPixelsAreDoubled)
{
    place(14, 2, 27, 27);
    place(19, 3, 54, 27);
    place(66, 11, 81, 27);
    // A cell whose picture is not an element picture (say an icon the user painted himself) is
    // shown as it is, each pixel twice as wide and high.
    QImage own(27, 27, QImage::Format_RGB32);
    own.fill(QColor(10, 200, 30));
    own.setPixel(3, 4, qRgb(255, 0, 0));
    p->drawAtCell(own, 108, 27);
    view->setZoomPercent(200);
    ASSERT_EQ(view->cellPixels(), 54);
    const QImage img = shot();
    const struct { int n, state, x; } drawn[] = {{14, 2, 27}, {19, 3, 54}, {66, 11, 81}};
    for (const auto& e : drawn) {
        SCOPED_TRACE(e.n);
        const QImage cell = img.copy(e.x * 2, 54, 54, 54);
        EXPECT_TRUE(samePixels(cell, icongen::drawElement(e.n, e.state, 54)));
        // and it is the 27-pixel picture, only finer: scaled back down it differs little
        const QImage small = cell.scaled(27, 27, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const QImage orig = s.Quarn_bitmap.copy(e.x, 27, 27, 27);
        long diff = 0;
        for (int y = 0; y < 27; ++y)
            for (int x = 0; x < 27; ++x)
                diff += std::abs(qGray(small.pixel(x, y)) - qGray(orig.pixel(x, y)));
        EXPECT_LT(diff / (27 * 27), 20);
    }
    EXPECT_TRUE(samePixels(img.copy(216, 54, 54, 54), own.scaled(54, 54)));
    // the grey ground stays grey
    EXPECT_EQ(img.pixel(500, 400) & 0xFFFFFF, 0xC0C0C0u);
}

TEST_F(ZoomFixture, AtOneAndAHalfTheEditorPlacesMovesAndDeletesWhereTheMouseIs)
{
    view->setZoomPercent(150);
    const int cell = view->cellPixels();  // 41: the nearest whole pixel to 40.5
    ASSERT_EQ(cell, 41);
    auto at = [cell](int col, int row) { return QPoint(col * cell + cell / 2, row * cell + cell / 2); };
    s.Quarnerstellen = true;
    s.Symbol = true;
    s.Comp_nr = 14;
    s.Cache = p->iconImage(1, 14);
    QTest::mouseClick(view, Qt::LeftButton, {}, at(5, 3));
    ASSERT_NE(t.getEntryByKor(5 * 27, 3 * 27), nullptr);
    EXPECT_EQ(t.getEntryByKor(5 * 27, 3 * 27)->Enummer, 14);
    // the first and last pixel of a cell belong to it
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(7 * cell, 1 * cell));
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(9 * cell - 1, 2 * cell - 1));
    EXPECT_NE(t.getEntryByKor(7 * 27, 27), nullptr);
    EXPECT_NE(t.getEntryByKor(8 * 27, 27), nullptr);
    EXPECT_EQ(t.getNumbofEntries(), 3);

    // drag the element from (5, 3) to (2, 6)
    s.Symbol = false;
    QTest::mousePress(view, Qt::LeftButton, {}, at(5, 3));
    QMouseEvent move(QEvent::MouseMove, QPointF(at(2, 6)), view->mapToGlobal(QPointF(at(2, 6))), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &move);
    QTest::mouseRelease(view, Qt::LeftButton, {}, at(2, 6));
    EXPECT_EQ(t.getEntryByKor(5 * 27, 3 * 27), nullptr);
    ASSERT_NE(t.getEntryByKor(2 * 27, 6 * 27), nullptr);
    EXPECT_EQ(t.getEntryByKor(2 * 27, 6 * 27)->Enummer, 14);

    // the right button deletes
    QTest::mouseClick(view, Qt::RightButton, {}, at(7, 1));
    EXPECT_EQ(t.getEntryByKor(7 * 27, 27), nullptr);

    // what is shown is where it was clicked: the moved element's cell holds its sharp picture
    const QImage img = shot();
    EXPECT_TRUE(samePixels(img.copy(2 * cell, 6 * cell, cell, cell), icongen::drawElement(14, 1, cell)));
}

TEST_F(ZoomFixture, ScrolledAndZoomedAClickLandsOnTheLayoutCellUnderTheMouse)
{
    QScrollBar h(Qt::Horizontal, &window), v(Qt::Vertical, &window);
    view->attachScrollBars(&h, &v);
    view->setZoomPercent(200);
    h.setValue(27 * 4);
    v.setValue(27 * 2);
    s.Quarnerstellen = true;
    s.Symbol = true;
    s.Comp_nr = 11;
    s.Cache = p->iconImage(1, 11);
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(54 * 3 + 10, 54 * 1 + 10));
    EXPECT_NE(t.getEntryByKor(27 * 7, 27 * 3), nullptr);
}

TEST_F(ZoomFixture, ControlAndTheWheelZoomInStepsThePlainWheelDoesNot)
{
    auto wheel = [this](int dy, Qt::KeyboardModifiers mods) {
        QWheelEvent ev(QPointF(100, 100), view->mapToGlobal(QPointF(100, 100)), QPoint(), QPoint(0, dy),
                       Qt::NoButton, mods, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &ev);
    };
    int told = 0;
    view->zoomChanged = [&told](int percent) { told = percent; };
    wheel(120, Qt::ControlModifier);
    EXPECT_EQ(view->zoomPercent(), 110);
    EXPECT_EQ(told, 110);
    wheel(-240, Qt::ControlModifier);
    EXPECT_EQ(view->zoomPercent(), 90);
    wheel(120, Qt::NoModifier);
    EXPECT_EQ(view->zoomPercent(), 90);
    wheel(60, Qt::ControlModifier);  // half a notch of a fine wheel: nothing yet
    EXPECT_EQ(view->zoomPercent(), 90);
    wheel(60, Qt::ControlModifier);
    EXPECT_EQ(view->zoomPercent(), 100);
    for (int i = 0; i < 30; ++i)
        view->zoomOut();
    EXPECT_EQ(view->zoomPercent(), 25);
}

}  // namespace
