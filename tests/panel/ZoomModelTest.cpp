// The parts of the panel's zoom that need no window: sharp element pictures, zoom steps, fitting
// the layout and the side file that keeps the zoom of a layout.
#include "base/AppState.h"
#include "base/PositionTable.h"
#include "layout/C_Position.h"
#include "panel/CrispTiles.h"
#include "panel/ElementArt.h"
#include "panel/LayoutPanel.h"
#include "panel/ViewZoom.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QImage rgb(const QImage& img) { return img.convertToFormat(QImage::Format_RGB32); }

// The shipped icons are the element art at 27 pixels, so the panel can tell them and draw them
// sharp at any size.
TEST(ZoomModel, EveryShippedElementIconIsTheElementArtAndIsRecognised)
{
    const QDir data(QStringLiteral(QUARN_SOURCE_DIR "data/Data"));
    CrispTiles crisp;
    int checked = 0;
    for (int n = 1; n <= 88; ++n)
        for (int state : {1, 2, 3, 11, 12, 13}) {
            const QString name = LayoutPanel::iconFileName(n, state);
            if (!data.exists(name))
                continue;
            SCOPED_TRACE(name.toStdString());
            const QImage file = rgb(QImage(data.filePath(name)));
            const QImage art = rgb(icongen::drawElement(n, state));
            ASSERT_EQ(file.size(), QSize(27, 27));
            EXPECT_EQ(file, art);
            const QPoint which = crisp.recognise(file, QPoint(0, 0));
            // two elements may look alike; then the sharp picture is the same one
            EXPECT_EQ(rgb(icongen::drawElement(which.x(), which.y())), file);
            ++checked;
        }
    EXPECT_GT(checked, 88 * 2);
}

TEST(ZoomModel, TilesThatAreNoElementPictureOrLieOutsideAreNotRecognised)
{
    CrispTiles crisp;
    QImage picture(100, 60, QImage::Format_RGB32);
    picture.fill(QColor(0xC0, 0xC0, 0xC0));
    EXPECT_TRUE(crisp.crisp(picture, QPoint(27, 27), 54).isNull());  // plain ground
    const QImage art = icongen::drawElement(14, 2);
    for (int y = 0; y < 27; ++y)
        for (int x = 0; x < 27; ++x)
            picture.setPixel(27 + x, 27 + y, art.pixel(x, y));
    const QImage sharp = crisp.crisp(picture, QPoint(27, 27), 54);
    ASSERT_FALSE(sharp.isNull());
    EXPECT_EQ(sharp.size(), QSize(54, 54));
    EXPECT_EQ(rgb(sharp), rgb(icongen::drawElement(14, 2, 54)));
    EXPECT_TRUE(crisp.crisp(picture, QPoint(81, 27), 54).isNull());  // not whole inside
    picture.setPixel(30, 30, qRgb(1, 2, 3));                          // one pixel painted over
    EXPECT_TRUE(crisp.crisp(picture, QPoint(27, 27), 54).isNull());
}

TEST(ZoomModel, StepsStayInsideTheLimits)
{
    EXPECT_EQ(ViewZoom::stepIn(100), 110);
    EXPECT_EQ(ViewZoom::stepOut(100), 90);
    EXPECT_EQ(ViewZoom::stepIn(140), 150);  // from between two steps to the next one
    EXPECT_EQ(ViewZoom::stepOut(140), 125);
    EXPECT_EQ(ViewZoom::stepIn(400), 400);
    EXPECT_EQ(ViewZoom::stepOut(25), 25);
    EXPECT_EQ(ViewZoom::clampPercent(1000), 400);
    EXPECT_EQ(ViewZoom::clampPercent(-5), 25);
}

TEST(ZoomModel, FitLayoutTakesTheUsedCellsAndTexts)
{
    AppState s;
    C_Position t;
    EXPECT_EQ(ViewZoom::usedArea(s, t), QRect(0, 0, 980, 680));  // empty: the whole picture
    auto add = [&t](int x, int y) {
        auto e = std::make_unique<tPosEntry>();
        e->Posx = x;
        e->Posy = y;
        e->Enummer = 14;
        t.addEntry(std::move(e));
    };
    add(54, 81);
    add(270, 135);
    EXPECT_EQ(ViewZoom::usedArea(s, t), QRect(54, 81, 243, 81));
    auto label = std::make_unique<TTextEntry>();
    label->TextInfo = QStringLiteral("Station");
    label->XText = 30;
    label->YText = 200;
    s.Textliste.push_back(std::move(label));
    const QRect withText = ViewZoom::usedArea(s, t);
    EXPECT_EQ(withText.left(), 27);
    EXPECT_EQ(withText.top(), 81);
    EXPECT_GE(withText.bottom(), 200);
    // 243 x 81 into 486 x 400: twice as large (the width decides)
    EXPECT_EQ(ViewZoom::fitPercent(QSize(486, 400), QRect(54, 81, 243, 81)), 200);
    EXPECT_EQ(ViewZoom::fitPercent(QSize(4000, 4000), QRect(0, 0, 27, 27)), 400);
    EXPECT_EQ(ViewZoom::fitPercent(QSize(100, 100), QRect(0, 0, 980, 680)), 25);
}

TEST(ZoomModel, TheZoomIsKeptBesideTheLayoutAndOddSideFilesMeanFullSize)
{
    QTemporaryDir dir;
    const QString layout = dir.filePath(QStringLiteral("Bahnhof.pln"));
    EXPECT_EQ(ViewZoom::sideFile(layout), dir.filePath(QStringLiteral("Bahnhof.zoom")));
    EXPECT_EQ(ViewZoom::load(layout), 100);  // a layout from before the zoom
    EXPECT_EQ(ViewZoom::save(layout, 150), QString());
    EXPECT_EQ(ViewZoom::load(layout), 150);
    EXPECT_FALSE(QFile::exists(layout));  // the layout file itself is not touched
    const struct { const char* text; int percent; } cases[] = {
        {"abc\r\n", 100}, {"", 100}, {"5\r\n", 100}, {"9999\r\n", 100}, {"75", 75}, {" 200 \r\n", 200}};
    for (const auto& c : cases) {
        QFile f(ViewZoom::sideFile(layout));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(c.text);
        f.close();
        EXPECT_EQ(ViewZoom::load(layout), c.percent) << c.text;
    }
    // a side file that cannot be written is reported, not thrown
    EXPECT_NE(ViewZoom::save(dir.filePath(QStringLiteral("no/such/folder/x.pln")), 100), QString());
}

}  // namespace
