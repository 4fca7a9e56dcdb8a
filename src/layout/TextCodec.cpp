#include "layout/TextCodec.h"

// Latin-1 until the shared Windows-1252 converter is available; both agree on every character the
// editor offers except the 0x80..0x9F block.
QByteArray toFileText(const QString& s) { return s.toLatin1(); }
QString fromFileText(const QByteArray& b) { return QString::fromLatin1(b); }
