#include "layout/LineValueReader.h"

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
        const char c = data[pos];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++pos;
        } else if (c == '\n') {
            ++pos;
            ++m_line;
        } else {
            break;
        }
    }
    m_pos = pos;
    m_wordLine = m_line;
    if (pos >= size)
        return 0;
    const qsizetype start = pos;
    const qsizetype limit = std::min(size, start + 32);
    while (pos < limit) {
        const char c = data[pos];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            break;
        ++pos;
    }
    m_pos = pos;
    const char* const first = data + start;
    const char* const last = data + pos;
    // The line is used up also when it holds no number, so a reader that goes on after the error
    // stays at the start of the next line.
    skipRestOfLine();
    // The common case, a plain decimal number that fits, is read here directly; anything else goes
    // through the full conversion below.
    {
        const char* p = first;
        const bool negative = *p == '-';
        if (negative)
            ++p;
        if (p < last && last - p <= 9) {
            int value = 0;
            while (p < last && *p >= '0' && *p <= '9')
                value = value * 10 + (*p++ - '0');
            if (p == last)
                return negative ? -value : value;
        }
    }
    long long value = 0;
    const auto [end, error] = std::from_chars(first, last, value, 10);
    if (error != std::errc() || end != last || value < std::numeric_limits<int>::min()
        || value > std::numeric_limits<int>::max()) {
        if (bad)
            *bad = QByteArray(first, last - first);
        return std::nullopt;
    }
    return static_cast<int>(value);
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
