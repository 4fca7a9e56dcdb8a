#pragma once
// Decodes the plain form of a Windows bitmap that the element icons use (uncompressed, 24 bits per
// pixel, rows bottom-up) straight into a 32-bit RGB picture. Any other form gives a null picture,
// and the caller decodes the file the general way.

#include <QByteArray>
#include <QImage>

QImage decodePlainBmp(const QByteArray& file);
