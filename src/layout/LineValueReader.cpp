#include "layout/LineValueReader.h"

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
    while (m_pos < m_text.size()) {
        const char c = m_text[m_pos];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++m_pos;
        } else if (c == '\n') {
            ++m_pos;
            ++m_line;
        } else {
            break;
        }
    }
    m_wordLine = m_line;
    if (m_pos >= m_text.size())
        return 0;
    const qsizetype start = m_pos;
    while (m_pos < m_text.size() && m_pos - start < 32) {
        const char c = m_text[m_pos];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            break;
        ++m_pos;
    }
    const char* first = m_text.constData() + start;
    const char* last = m_text.constData() + m_pos;
    // The line is used up also when it holds no number, so a reader that goes on after the error
    // stays at the start of the next line.
    skipRestOfLine();
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

QByteArray LineValueReader::readLine()
{
    if (m_pos >= m_text.size())
        return {};
    qsizetype end = m_text.indexOf('\n', m_pos);
    if (end < 0)
        end = m_text.size();
    QByteArray line = m_text.mid(m_pos, end - m_pos);
    if (line.endsWith('\r'))
        line.chop(1);
    m_pos = end + 1;
    ++m_line;
    return line;
}

void LineValueReader::skipRestOfLine()
{
    const qsizetype end = m_text.indexOf('\n', m_pos);
    if (end < 0) {
        m_pos = m_text.size();
    } else {
        m_pos = end + 1;
        ++m_line;
    }
}
