#include "base/ParameterFile.h"

#include "base/AppState.h"
#include "base/FileReplace.h"
#include "base/LineSeparators.h"
#include "base/TLok.h"

#include "base/Windows1252.h"

#include <QByteArrayView>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <charconv>
#include <initializer_list>
#include <limits>
#include <optional>

namespace ParameterFile {

namespace {

QString decodeString(QByteArrayView bytes)
{
    return fromWindows1252(bytes);
}

void appendString(QByteArray& out, const QString& text)
{
    const qsizetype start = out.size();
    appendWindows1252(out, text);
    // A line break inside a value would shift every later line of the file (rare: looked for first).
    if (out.indexOf('\r', start) >= 0 || out.indexOf('\n', start) >= 0) {
        for (qsizetype i = start; i < out.size(); ++i)
            if (out[i] == '\r' || out[i] == '\n')
                out[i] = ' ';
    }
    out.append("\r\n", 2);
}

// Reads values the way the file was always read: an integer skips blanks and line breaks, takes
// one word of at most 32 characters and drops the rest of its line; a string takes the rest of
// the current line. At the end of the text an integer is 0 and a string is empty.
class LineReader {
public:
    explicit LineReader(const QByteArray& text) : m_text(text)
    {
        // A Ctrl-Z ends a text file.
        const qsizetype eof = m_text.indexOf('\x1a');
        if (eof >= 0)
            m_text.truncate(eof);
    }

    // The number, or nothing when the word is not one; `line` is the file line it stood on and
    // `pastEnd` tells that the text ended before it (the number is then 0).
    std::optional<int> readInt(int& line, bool& pastEnd)
    {
        const char* const text = m_text.constData();
        const qsizetype n = m_text.size();
        while (m_pos < n && isBlankOrBreak(text[m_pos]))
            advance();
        line = m_line;
        pastEnd = m_pos >= n;
        if (pastEnd)
            return 0;
        const qsizetype start = m_pos;
        while (m_pos < n && !isBlankOrBreak(text[m_pos]))
            ++m_pos;
        const QByteArrayView word(text + start, m_pos - start);  // no copy: 500 of these per file
        skipRestOfLine();
        bool ok = false;
        const int value = word.size() <= 32 ? word.toInt(&ok, 10) : 0;
        if (!ok)
            return std::nullopt;
        return value;
    }

    // The view points into the text being read; `line` as for readInt, and the text ended before
    // the string when `pastEnd`.
    QByteArrayView readString(int& line, bool& pastEnd)
    {
        const qsizetype n = m_text.size();
        line = m_line;
        pastEnd = m_pos >= n;
        if (pastEnd)
            return {};
        qsizetype end = m_text.indexOf('\n', m_pos);
        if (end < 0)
            end = n;
        QByteArrayView value(m_text.constData() + m_pos, end - m_pos);
        if (value.endsWith('\r'))
            value.chop(1);
        m_pos = end < n ? end + 1 : n;
        ++m_line;
        return value;
    }

    bool atEnd() const
    {
        qsizetype p = m_pos;
        while (p < m_text.size() && isBlankOrBreak(m_text.at(p)))
            ++p;
        return p >= m_text.size();
    }

private:
    static bool isBlankOrBreak(char c) { return LineSeparators::kindOf(c) != 0; }

    void advance()
    {
        m_line += LineSeparators::kindOf(m_text.at(m_pos)) >> 1;  // a line end counts a line
        ++m_pos;
    }

    void skipRestOfLine()
    {
        const qsizetype end = m_text.indexOf('\n', m_pos);
        m_pos = end < 0 ? m_text.size() : end + 1;
        ++m_line;
    }

    QByteArray m_text;
    qsizetype m_pos = 0;
    int m_line = 1;  // file line of m_pos
};

// Notes the file lines whose value could not be used, so the caller can say which were replaced.
class FieldReader {
public:
    explicit FieldReader(const QByteArray& text) : m_in(text) {}
    std::optional<int> integer()
    {
        const std::optional<int> value = m_in.readInt(m_line, m_pastEnd);
        countPastEnd();
        if (!value)
            m_badLines.push_back(m_line);
        return value;
    }
    // A number in low..high; one that is not a number, lies outside or is missing because the text
    // ended is noted and gives nothing.
    std::optional<int> ranged(int low, int high)
    {
        const std::optional<int> value = integer();
        if (!value)
            return value;
        if (!m_pastEnd && *value >= low && *value <= high)
            return value;
        m_badLines.push_back(m_line);
        return std::nullopt;
    }
    // Whether only blanks and line breaks are left: a line added after the file's first layout
    // that is not there reads as its default.
    bool atEnd() const { return m_in.atEnd(); }
    QString string()
    {
        const QString value = decodeString(m_in.readString(m_line, m_pastEnd));
        countPastEnd();
        return value;
    }
    // Any string; one missing because the text ended is noted and gives nothing.
    std::optional<QString> text()
    {
        const QString value = string();
        if (!m_pastEnd)
            return value;
        m_badLines.push_back(m_line);
        return std::nullopt;
    }
    // A string that must be one of `allowed`; another one, or one missing because the text ended,
    // is noted and gives nothing.
    std::optional<QString> oneOf(std::initializer_list<const char*> allowed)
    {
        const QString value = string();
        if (!m_pastEnd)
            for (const char* a : allowed)
                if (value == QLatin1String(a))
                    return value;
        m_badLines.push_back(m_line);
        return std::nullopt;
    }
    QString optionalString(const QString& absent) { return m_in.atEnd() ? absent : string(); }
    // The file line of the value read last (after the end of the text: the line it would have had),
    // and whether the text had ended before it.
    int line() const { return m_line; }
    bool pastEnd() const { return m_pastEnd; }
    void replaced(int line) { m_badLines.push_back(line); }
    QList<int> badLines() const
    {
        QList<int> lines = m_badLines;
        std::sort(lines.begin(), lines.end());
        lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
        return lines;
    }

private:
    // After the end every value reads on the line after the last: count them on from there.
    void countPastEnd()
    {
        if (m_pastEnd)
            m_line += m_missing++;
    }
    LineReader m_in;
    QList<int> m_badLines;
    int m_line = 0;
    int m_missing = 0;
    bool m_pastEnd = false;
};

}  // namespace

QString dataPath(const AppState& main)
{
    return main.locations().dataFolder();
}

QString layoutPath(const AppState& main)
{
    return main.locations().layouts;
}

QString filePath(const AppState& main)
{
    return main.locations().parameterFile();
}

QList<int> read(const QByteArray& text, AppState& main, TLok& lok)
{
    FieldReader in(text);
    // A value outside its range (a file cut short reads 0, a hand-edited one anything) or one that
    // is not a number takes the start value instead: a language 0 would leave every caption and
    // message empty. Only lines that are in the file count as replaced.
    const auto ranged = [&in](int low, int high, int fallback) {
        const std::optional<int> v = in.ranged(low, high);
        return v && *v >= low && *v <= high ? *v : fallback;
    };
    // A loco value that is not a number or lies outside its range leaves what the table holds.
    const auto set = [&in](TLok& table, int l, int low, int high, void (TLok::*setter)(int, int)) {
        if (const std::optional<int> v = in.ranged(low, high))
            (table.*setter)(l, *v);
    };
    main.Ipport = ranged(1, 65535, 12345);
    main.Iphostchar = in.string();
    if (main.Iphostchar.trimmed().isEmpty()) {
        in.replaced(in.line());
        main.Iphostchar = QStringLiteral("localhost");
    }
    main.Infoport_an = ranged(0, 1, 0);
    const std::optional<int> version = in.ranged(73, 80);
    main.SrcpVer = version == 73 || version == 80 ? *version : 73;
    if (version && *version != 73 && *version != 80)
        in.replaced(in.line());
    main.Lang_id = ranged(1, 7, 1);
    main.Joy_Mode = ranged(0, 1, 0);
    main.Showassist = ranged(0, 1, 1);
    main.Monitorpower = ranged(0, 1, 0);
    main.Autopower = ranged(0, 1, 0);
    // Devices sit on buses 1 to 100; bus 0 is the server's own.
    main.BusGlMM = ranged(1, MaxBus, 1);
    main.BusGlNMRA_S = ranged(1, MaxBus, 2);
    main.BusGlNMRA_L = ranged(1, MaxBus, 3);
    main.BusGaMM = ranged(1, MaxBus, 5);
    main.BusGaNMRA = ranged(1, MaxBus, 6);
    main.BusS88 = ranged(1, MaxBus, 8);
    main.Buspower = ranged(1, MaxBus, 1);

    // What each loco field may hold; a function code is one of 0..20 (10 and more: switched on), as
    // the throttle's pictures know them.
    const std::initializer_list<const char*> protocols{"M1", "M2", "M3", "M4", "M5", "NB",
                                                       "N1", "N2", "N3", "N4", "N5"};
    const std::initializer_list<const char*> buttonFunctions{"Direction", "Func", "F1", "F2",
                                                             "F3", "F4", "keine"};
    using Jbfunc = void (TLok::*)(int, const QString&);
    for (int l = 0; l < TLok::Count; ++l) {
        if (const std::optional<QString> p = in.oneOf(protocols))
            lok.set_protocol(l, *p);
        const std::optional<int> protType = in.ranged(0, 7);
        if (protType && *protType >= 0 && *protType <= 7)
            lok.set_protocolbase(l, static_cast<std::uint8_t>(*protType));
        set(lok, l, 1, 6, &TLok::set_protversion);
        if (const std::optional<QString> name = in.text())
            lok.set_name(l, *name);
        set(lok, l, -1, MaxAddress, &TLok::set_addr);
        set(lok, l, 1, MaxBus, &TLok::set_Busnr);
        set(lok, l, -1, 1, &TLok::set_direction);
        set(lok, l, 0, MaxSpeed, &TLok::set_speed);
        const int speedLine = in.line();
        set(lok, l, 1, MaxSpeed, &TLok::set_speedmax);
        if (lok.get_speed(l) > lok.get_speedmax(l)) {  // faster than the loco's top: standing
            in.replaced(speedLine);
            lok.set_speed(l, 0);
        }
        set(lok, l, 0, 4, &TLok::set_nrof);
        Dekod_Funcs f = lok.get_F(l);
        for (int i = 0; i < 32; ++i) {
            const std::optional<int> read = in.ranged(0, 20);
            if (!read)
                continue;
            int code = *read;
            if (code > 10)
                code -= 10;
            f[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(code);
        }
        lok.set_F(l, f);
        set(lok, l, 0, 20, &TLok::set_jb1);
        set(lok, l, 0, 20, &TLok::set_jb2);
        set(lok, l, 0, 20, &TLok::set_jb3);
        set(lok, l, 0, 20, &TLok::set_jb4);
        for (const Jbfunc setter : {&TLok::set_jb1func, &TLok::set_jb2func, &TLok::set_jb3func, &TLok::set_jb4func})
            if (const std::optional<QString> func = in.oneOf(buttonFunctions))
                (lok.*setter)(l, *func);
    }
    // Added later, after the loco records; files written before read as the default (on).
    {
        const std::optional<int> v = in.atEnd() ? std::optional<int>(1) : in.ranged(0, 1);
        main.Autoreconnect = v && *v >= 0 && *v <= 1 ? *v : 1;
    }
    // The phone server, added later still: off, port 12090, every address, no allow list, 8 clients.
    const auto optionalRanged = [&in](int low, int high, int fallback) {
        const std::optional<int> v = in.atEnd() ? std::optional<int>(fallback) : in.ranged(low, high);
        return v && *v >= low && *v <= high ? *v : fallback;
    };
    main.PhoneServerOn = optionalRanged(0, 1, 0);
    main.PhoneServerPort = optionalRanged(1, 65535, 12090);
    main.PhoneServerAddress = in.optionalString(QString()).trimmed();
    main.PhoneServerAllow = in.optionalString(QString()).trimmed();
    main.PhoneServerLimit = optionalRanged(1, 64, 8);
    // Power on again after a reconnect, added after the phone server: off in older files.
    main.Poweronreconnect = optionalRanged(0, 1, 0);
    // The limit per address, added after the others: older files read as 4.
    main.PhoneServerPerAddress = optionalRanged(1, 64, 4);
    return in.badLines();
}

QByteArray write(const AppState& main, const TLok& lok)
{
    QByteArray out;
    out.reserve(4096);
    const auto integer = [&out](int v) {
        char digits[16];
        const auto end = std::to_chars(digits, digits + sizeof digits, v).ptr;
        out.append(digits, end - digits).append("\r\n", 2);
    };
    const auto string = [&out](const QString& s) { appendString(out, s); };

    integer(main.Ipport);
    string(main.Iphostchar);
    integer(main.Infoport_an);
    integer(main.SrcpVer);
    integer(main.Lang_id);
    integer(main.Joy_Mode);
    integer(main.Showassist);
    integer(main.Monitorpower);
    integer(main.Autopower);
    integer(main.BusGlMM);
    integer(main.BusGlNMRA_S);
    integer(main.BusGlNMRA_L);
    integer(main.BusGaMM);
    integer(main.BusGaNMRA);
    integer(main.BusS88);
    integer(main.Buspower);

    for (int l = 0; l < TLok::Count; ++l) {
        string(lok.get_protocol(l));
        integer(lok.get_protocolbase(l));
        integer(lok.get_protvers(l));
        string(lok.get_name(l));
        integer(lok.get_addr(l));
        integer(lok.get_busnr(l));
        integer(lok.get_direction(l));
        integer(lok.get_speed(l));
        integer(lok.get_speedmax(l));
        integer(lok.get_nrof(l));
        const Dekod_Funcs f = lok.get_F(l);
        for (int i = 0; i < 32; ++i)
            integer(f[static_cast<std::size_t>(i)]);
        integer(lok.get_jb1(l));
        integer(lok.get_jb2(l));
        integer(lok.get_jb3(l));
        integer(lok.get_jb4(l));
        string(lok.get_jb1func(l));
        string(lok.get_jb2func(l));
        string(lok.get_jb3func(l));
        string(lok.get_jb4func(l));
    }
    integer(main.Autoreconnect);
    integer(main.PhoneServerOn);
    integer(main.PhoneServerPort);
    string(main.PhoneServerAddress);
    string(main.PhoneServerAllow);
    integer(main.PhoneServerLimit);
    integer(main.Poweronreconnect);
    integer(main.PhoneServerPerAddress);
    return out;
}

QString describeLines(const QList<int>& lines)
{
    QStringList parts;
    for (qsizetype i = 0; i < lines.size();) {
        qsizetype j = i;
        while (j + 1 < lines.size() && lines[j + 1] == lines[j] + 1)
            ++j;
        if (j - i >= 2) {
            parts << QStringLiteral("%1-%2").arg(lines[i]).arg(lines[j]);
        } else {
            for (qsizetype k = i; k <= j; ++k)
                parts << QString::number(lines[k]);
        }
        i = j + 1;
    }
    return parts.join(QStringLiteral(", "));
}

QList<int> load(const QString& path, AppState& main, TLok& lok)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()).toStdString());
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Error(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()).toStdString());
    file.close();
    return read(text, main, lok);
}

void save(const QString& path, const AppState& main, const TLok& lok)
{
    const QByteArray text = write(main, lok);
    const QString error = replaceFileContents(path, text);
    if (!error.isEmpty())
        throw Error(QStringLiteral("The parameter file %1 could not be written: %2").arg(path, error).toStdString());
}

}  // namespace ParameterFile
