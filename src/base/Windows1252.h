#pragma once
// Conversion between QString and Windows-1252, the 8-bit code page of the program's text files
// (parameter file, layout and route files) and of its message texts.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Encodes text as Windows-1252. A character the code page cannot hold becomes one '?'.
QByteArray toWindows1252(QStringView text);
// The same, appended to `out` (no temporary for every string of a file being written).
void appendWindows1252(QByteArray& out, QStringView text);

// Decodes Windows-1252 bytes. Every byte maps to a character; the five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control characters of the same value, so
// any byte sequence survives fromWindows1252 followed by toWindows1252 unchanged.
QString fromWindows1252(QByteArrayView bytes);

// True when toWindows1252(text) loses nothing.
bool isWindows1252(QStringView text);
