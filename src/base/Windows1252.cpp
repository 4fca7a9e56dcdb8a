#include "base/Windows1252.h"

#include <QStringAlgorithms>

#include <array>
#include <optional>

namespace {

// Characters of the bytes 0x80..0x9F; the undefined bytes keep their own value.
constexpr std::array<char16_t, 32> HighControlRange = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

std::optional<char> byteFor(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (std::size_t i = 0; i < HighControlRange.size(); ++i) {
        if (HighControlRange[i] == c)
            return static_cast<char>(0x80 + i);
    }
    return std::nullopt;
}

}  // namespace

// Both directions fill a result of the final size in one pass: the readers and writers convert
// every string of a file (hundreds per layout or catalogue). Most strings are plain ASCII, the same
// in every code page: those take Qt's own conversion.
QByteArray toWindows1252(QStringView text) {
    if (text.isEmpty())
        return {};
    if (QtPrivate::isAscii(text))
        return text.toLatin1();
    QByteArray out;
    appendWindows1252(out, text);
    return out;
}

void appendWindows1252(QByteArray& out, QStringView text) {
    if (text.isEmpty())
        return;
    const qsizetype start = out.size();
    out.resize(start + text.size());
    char* const first = out.data() + start;
    char* d = first;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80) {
            *d++ = static_cast<char>(c);
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate()) {
            *d++ = '?';  // one character outside the basic plane, one replacement
            ++i;
            continue;
        }
        *d++ = byteFor(c).value_or('?');
    }
    out.truncate(start + (d - first));
}

QString fromWindows1252(QByteArrayView bytes) {
    if (bytes.isEmpty())
        return {};
    if (QtPrivate::isAscii(QLatin1StringView(bytes)))
        return QString::fromLatin1(bytes);
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* d = out.data();
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        *d++ = QChar(u >= 0x80 && u <= 0x9F ? HighControlRange[u - 0x80] : char16_t(u));
    }
    return out;
}

bool isWindows1252(QStringView text) {
    if (QtPrivate::isAscii(text))
        return true;
    for (const QChar c : text) {
        if (!byteFor(c.unicode()))
            return false;
    }
    return true;
}
