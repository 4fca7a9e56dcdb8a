#include "layout/TextCodec.h"

#include "base/Windows1252.h"

// Layout and route files keep their strings in Windows-1252.
QByteArray toFileText(QStringView s) { return toWindows1252(s); }
void appendFileText(QByteArray& out, QStringView s) { appendWindows1252(out, s); }
QString fromFileText(QByteArrayView b) { return fromWindows1252(b); }
