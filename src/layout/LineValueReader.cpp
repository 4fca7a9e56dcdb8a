#include "layout/LineValueReader.h"

#include "base/LineSeparators.h"

#include <algorithm>
#include <charconv>
#include <limits>

int LineValueReader::readInt()
{
    QByteArray bad;
    const std::optional<int> value = tryReadInt(&bad);
    if (!value)
        throw FileReadError("'" + bad.toStdString() + "' is not a valid integer value (line " + std::to_string(m_wordLine) + ")");
    return *value;
}

std::optional<int> LineValueReader::tryReadInt(QByteArray* bad)
{
    const char* const data = m_text.constData();
    const qsizetype size = m_text.size();
    qsizetype pos = m_pos;
    while (pos < size) {
        const unsigned char kind = LineSeparators::kindOf(data[pos]);
        if (!kind)
            break;
        m_line += kind >> 1;  // a line end counts a line
        ++pos;
    }
    m_pos = pos;
    m_wordLine = m_line;
    if (pos >= size)
        return 0;
    // The word (at most 32 characters), read as a plain decimal number on the way: the common case,
    // a number that fits, needs no second pass; anything else goes through the full conversion below.
    const qsizetype start = pos;
    const qsizetype limit = std::min(size, start + 32);
    const bool negative = data[pos] == '-';
    if (negative)
        ++pos;
    const qsizetype firstDigit = pos;
    unsigned value = 0;
    bool digitsOnly = true;
    while (pos < limit) {
        const char c = data[pos];
        if (LineSeparators::kindOf(c))
            break;
        const unsigned digit = static_cast<unsigned char>(c) - unsigned('0');
        digitsOnly &= digit < 10;
        value = value * 10 + digit;  // wraps harmlessly when the word is no short number
        ++pos;
    }
    m_pos = pos;
    const char* const first = data + start;
    const char* const last = data + pos;
    // The line is used up also when it holds no number, so a reader that goes on after the error
    // stays at the start of the next line.
    skipRestOfLine();
    const qsizetype digits = pos - firstDigit;
    if (digitsOnly && digits >= 1 && digits <= 9)
        return negative ? -static_cast<int>(value) : static_cast<int>(value);
    long long wide = 0;
    const auto [end, error] = std::from_chars(first, last, wide, 10);
    if (error != std::errc() || end != last || wide < std::numeric_limits<int>::min()
        || wide > std::numeric_limits<int>::max()) {
        if (bad)
            *bad = QByteArray(first, last - first);
        return std::nullopt;
    }
    return static_cast<int>(wide);
}

QByteArrayView LineValueReader::readLineView()
{
    if (m_pos >= m_text.size())
        return {};
    qsizetype end = m_text.indexOf('\n', m_pos);
    if (end < 0)
        end = m_text.size();
    QByteArrayView line(m_text.constData() + m_pos, end - m_pos);
    if (line.endsWith('\r'))
        line.chop(1);
    m_pos = end + 1;
    ++m_line;
    return line;
}

void LineValueReader::skipRestOfLine()
{
    const char* const data = m_text.constData();
    const qsizetype size = m_text.size();
    if (m_pos < size && data[m_pos] == '\r' && m_pos + 1 < size && data[m_pos + 1] == '\n') {
        m_pos += 2;  // the usual line end right after the value
        ++m_line;
        return;
    }
    const qsizetype end = m_text.indexOf('\n', m_pos);
    if (end < 0) {
        m_pos = m_text.size();
    } else {
        m_pos = end + 1;
        ++m_line;
    }
}
