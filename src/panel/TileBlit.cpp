#include "panel/TileBlit.h"

#include <QPainter>

#include <cstring>

QRect drawTile(QImage& target, QPoint at, const QImage& tile)
{
    const QRect drawn = QRect(at, tile.size()).intersected(target.rect());
    if (drawn.isEmpty())
        return drawn;
    if (target.format() != QImage::Format_RGB32 || tile.format() != QImage::Format_RGB32) {
        QPainter p(&target);
        p.drawImage(at, tile);
        return drawn;
    }
    const int fromX = drawn.x() - at.x(), fromY = drawn.y() - at.y();
    const std::size_t bytes = std::size_t(drawn.width()) * 4;
    const qsizetype toStride = target.bytesPerLine(), fromStride = tile.bytesPerLine();
    uchar* to = target.bits() + toStride * drawn.y() + std::size_t(drawn.x()) * 4;
    const uchar* from = tile.constBits() + fromStride * fromY + std::size_t(fromX) * 4;
    for (int row = 0; row < drawn.height(); ++row, to += toStride, from += fromStride)
        std::memcpy(to, from, bytes);
    return drawn;
}
