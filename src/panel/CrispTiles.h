#pragma once
// Sharp element pictures at any size. A 27 x 27 tile of the panel that is exactly one of the
// element pictures as the icon generator draws them is recognised, and the same picture is drawn
// anew at the size asked for. Any other tile (grey ground, a text, an icon file the user painted
// himself) is not recognised: the caller shows it scaled as it is.

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QPoint>

class CrispTiles {
public:
    // The tile of `source` whose top-left corner is `at`, drawn at size x size pixels; a null image
    // when the tile is not whole inside `source` or is not an element picture.
    QImage crisp(const QImage& source, QPoint at, int size);

    // Element number and state of the tile, or {0, 0} when it is not an element picture.
    QPoint recognise(const QImage& source, QPoint at);

private:
    void learn();
    bool m_learned = false;
    QHash<QByteArray, QPoint> m_known;  // tile pixels -> (element number, state)
    int m_drawnSize = 0;
    QHash<int, QImage> m_drawn;  // element number * 100 + state -> picture at m_drawnSize
};
