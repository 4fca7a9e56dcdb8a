// The quick ways of decoding an icon and of drawing it into a picture must give exactly the
// pixels that the image reader and QPainter give.
#include "base/BmpDecode.h"
#include "panel/TileBlit.h"

#include <QDir>
#include <QFile>
#include <QPainter>

#include <gtest/gtest.h>

namespace {
const QString DataDir = QStringLiteral(QUARN_SOURCE_DIR "data/Data/");

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
}  // namespace

TEST(IconDecode, EveryShippedBitmapDecodesAsTheImageReaderDecodesIt)
{
    const QStringList files = QDir(DataDir).entryList({QStringLiteral("*.bmp")}, QDir::Files);
    ASSERT_GT(files.size(), 300);
    int plain = 0;
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray bytes = fileBytes(DataDir + name);
        const QImage quick = decodePlainBmp(bytes);
        if (quick.isNull())
            continue;  // another form: the image reader decodes it
        ++plain;
        const QImage reference = QImage(DataDir + name).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(quick.format(), reference.format());
        EXPECT_EQ(quick, reference);
        EXPECT_EQ(quick.dotsPerMeterX(), reference.dotsPerMeterX());
        EXPECT_EQ(quick.dotsPerMeterY(), reference.dotsPerMeterY());
    }
    EXPECT_EQ(plain, files.size());  // the icons are all of the plain form
}

TEST(IconDecode, OtherFormsAreLeftToTheImageReader)
{
    const QByteArray good = fileBytes(DataDir + QStringLiteral("Icon0101.bmp"));
    ASSERT_FALSE(decodePlainBmp(good).isNull());
    auto changed = [&](int at, char value) {
        QByteArray b = good;
        b[at] = value;
        return b;
    };
    EXPECT_TRUE(decodePlainBmp(QByteArray()).isNull());
    EXPECT_TRUE(decodePlainBmp(good.left(good.size() - 1)).isNull());  // rows missing
    EXPECT_TRUE(decodePlainBmp(changed(0, 'X')).isNull());             // not "BM"
    EXPECT_TRUE(decodePlainBmp(changed(28, 8)).isNull());              // 8 bits per pixel
    EXPECT_TRUE(decodePlainBmp(changed(30, 1)).isNull());              // run-length compressed
    EXPECT_TRUE(decodePlainBmp(changed(25, char(0xFF))).isNull());     // negative height: rows top-down
}

TEST(IconDraw, DrawingATileGivesThePixelsQPainterGives)
{
    QImage tile(27, 27, QImage::Format_RGB32);
    for (int y = 0; y < 27; ++y)
        for (int x = 0; x < 27; ++x)
            tile.setPixel(x, y, qRgb(x * 9, y * 9, (x * y) % 256));
    QImage ground(100, 80, QImage::Format_RGB32);
    ground.fill(QColor(0xC0, 0xC0, 0xC0));
    // Inside, on every edge, over every corner, and wholly outside.
    const QPoint places[] = {{0, 0}, {27, 27}, {73, 53}, {80, 10}, {10, 70}, {-5, 10}, {10, -20},
                             {-26, -26}, {99, 79}, {-27, 0}, {100, 0}, {0, 80}, {60, -30}};
    for (const QPoint at : places) {
        SCOPED_TRACE(QStringLiteral("(%1, %2)").arg(at.x()).arg(at.y()).toStdString());
        QImage quick = ground, reference = ground;
        const QRect drawn = drawTile(quick, at, tile);
        {
            QPainter p(&reference);
            p.drawImage(at, tile);
        }
        EXPECT_EQ(quick, reference);
        EXPECT_EQ(drawn, QRect(at, tile.size()).intersected(ground.rect()));
    }
    // Another format is drawn by QPainter itself.
    QImage argb(100, 80, QImage::Format_ARGB32_Premultiplied), argbRef;
    argb.fill(Qt::transparent);
    argbRef = argb;
    drawTile(argb, {5, 5}, tile);
    {
        QPainter p(&argbRef);
        p.drawImage(QPoint(5, 5), tile);
    }
    EXPECT_EQ(argb, argbRef);
}
