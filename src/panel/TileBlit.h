#pragma once
// Copies a picture into another at a point, clipped to the target: what QPainter::drawImage does
// for an opaque picture, done as a plain copy of rows when both are 32-bit RGB.

#include <QImage>
#include <QPoint>
#include <QRect>

// Returns the part of the target that was drawn (empty when the tile lies outside).
QRect drawTile(QImage& target, QPoint at, const QImage& tile);
