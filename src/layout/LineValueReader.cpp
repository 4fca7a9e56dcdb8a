#include "layout/LineValueReader.h"

#include <limits>

int LineValueReader::readInt()
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
    if (m_pos >= m_text.size())
        return 0;
    const qsizetype start = m_pos;
    while (m_pos < m_text.size() && m_pos - start < 32) {
        const char c = m_text[m_pos];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            break;
        ++m_pos;
    }
    // The common case, a plain decimal number that fits, is read here directly; anything else goes
    // through the full conversion below, which also words the error.
    {
        const char* p = m_text.constData() + start;
        const char* const end = m_text.constData() + m_pos;
        const bool negative = *p == '-';
        if (negative)
            ++p;
        if (p < end && end - p <= 9) {
            int value = 0;
            while (p < end && *p >= '0' && *p <= '9')
                value = value * 10 + (*p++ - '0');
            if (p == end) {
                skipRestOfLine();
                return negative ? -value : value;
            }
        }
    }
    const QByteArray token = m_text.mid(start, m_pos - start);
    const int line = m_line;
    // The line is used up also when it holds no number, so a reader that goes on after the error
    // stays at the start of the next line.
    skipRestOfLine();
    bool ok = false;
    const long long value = token.toLongLong(&ok, 10);
    if (!ok || token.startsWith('+') || value < std::numeric_limits<int>::min()
        || value > std::numeric_limits<int>::max()) {
        throw FileReadError("'" + token.left(32).toStdString() + "' is not a valid integer value (line "
                            + std::to_string(line) + ")");
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
