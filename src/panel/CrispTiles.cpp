#include "panel/CrispTiles.h"

#include "panel/ElementArt.h"

namespace {
constexpr int Tile = 27;

// The tile's pixels as bytes (RGB only), or an empty array when it is not whole inside the picture
// or has one colour all over (the ground, which needs no sharp drawing).
QByteArray tileKey(const QImage& img, QPoint at)
{
    if (img.format() != QImage::Format_RGB32 && img.format() != QImage::Format_ARGB32)
        return {};
    if (!img.rect().contains(QRect(at, QSize(Tile, Tile))))
        return {};
    QByteArray key(Tile * Tile * 4, Qt::Uninitialized);
    auto* out = reinterpret_cast<quint32*>(key.data());
    const quint32 first = reinterpret_cast<const quint32*>(img.constScanLine(at.y()))[at.x()] & 0xFFFFFFu;
    bool uniform = true;
    for (int y = 0; y < Tile; ++y) {
        const auto* row = reinterpret_cast<const quint32*>(img.constScanLine(at.y() + y)) + at.x();
        for (int x = 0; x < Tile; ++x) {
            const quint32 px = row[x] & 0xFFFFFFu;
            uniform = uniform && px == first;
            *out++ = px;
        }
    }
    return uniform ? QByteArray() : key;
}
}  // namespace

void CrispTiles::learn()
{
    m_learned = true;
    for (int n = 1; n <= 88; ++n) {
        const int states = icongen::elementInfo(n).iconStates;
        for (int s = 1; s <= states; ++s)
            for (int state : {s, 10 + s}) {
                const QByteArray key = tileKey(icongen::drawElement(n, state), QPoint(0, 0));
                if (!key.isEmpty() && !m_known.contains(key))
                    m_known.insert(key, QPoint(n, state));
            }
    }
}

QPoint CrispTiles::recognise(const QImage& source, QPoint at)
{
    const QByteArray key = tileKey(source, at);
    if (key.isEmpty())
        return {};
    if (!m_learned)
        learn();
    return m_known.value(key);
}

QImage CrispTiles::crisp(const QImage& source, QPoint at, int size)
{
    const QPoint which = recognise(source, at);
    if (which.x() == 0 || size <= 0)
        return {};
    if (size != m_drawnSize) {
        m_drawn.clear();
        m_drawnSize = size;
    }
    const int id = which.x() * 100 + which.y();
    auto it = m_drawn.find(id);
    if (it == m_drawn.end())
        it = m_drawn.insert(id, icongen::drawElement(which.x(), which.y(), size));
    return *it;
}
