#include "base/ParameterFile.h"

#include "base/AppState.h"
#include "base/FileReplace.h"
#include "base/LineSeparators.h"
#include "base/TLok.h"

#include "base/Windows1252.h"

#include <QByteArrayView>
#include <QFile>

#include <charconv>
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

    // The number, or nothing when the word is not one; `line` is then the file line it stood on.
    std::optional<int> readInt(int& line)
    {
        const char* const text = m_text.constData();
        const qsizetype n = m_text.size();
        while (m_pos < n && isBlankOrBreak(text[m_pos]))
            advance();
        line = m_line;
        if (m_pos >= n)
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

    // The view points into the text being read.
    QByteArrayView readString()
    {
        const qsizetype n = m_text.size();
        if (m_pos >= n)
            return {};
        qsizetype end = m_text.indexOf('\n', m_pos);
        if (end < 0)
            end = n;
        QByteArrayView line(m_text.constData() + m_pos, end - m_pos);
        if (line.endsWith('\r'))
            line.chop(1);
        m_pos = end < n ? end + 1 : n;
        ++m_line;
        return line;
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

// Notes the file lines whose value could not be read, so the caller can say which were replaced.
class FieldReader {
public:
    explicit FieldReader(const QByteArray& text) : m_in(text) {}
    std::optional<int> integer()
    {
        int line = 0;
        const std::optional<int> value = m_in.readInt(line);
        if (!value)
            m_badLines.push_back(line);
        return value;
    }
    // An integer of a line added after the file's first layout: `absent` when the file ends before it.
    std::optional<int> optionalInteger(int absent) { return m_in.atEnd() ? absent : integer(); }
    QString string() { return decodeString(m_in.readString()); }
    QString optionalString(const QString& absent) { return m_in.atEnd() ? absent : string(); }
    const QList<int>& badLines() const { return m_badLines; }

private:
    LineReader m_in;
    QList<int> m_badLines;
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
    // message empty.
    const auto ranged = [&in](int low, int high, int fallback) {
        const std::optional<int> v = in.integer();
        return v && *v >= low && *v <= high ? *v : fallback;
    };
    // A loco value that is not a number leaves what the table holds.
    const auto set = [&in](TLok& table, int l, void (TLok::*setter)(int, int)) {
        if (const std::optional<int> v = in.integer())
            (table.*setter)(l, *v);
    };
    constexpr int Max = std::numeric_limits<int>::max();
    main.Ipport = ranged(1, 65535, 12345);
    main.Iphostchar = in.string();
    if (main.Iphostchar.trimmed().isEmpty())
        main.Iphostchar = QStringLiteral("localhost");
    main.Infoport_an = ranged(0, 1, 0);
    const int version = in.integer().value_or(73);
    main.SrcpVer = version == 73 || version == 80 ? version : 73;
    main.Lang_id = ranged(1, 7, 1);
    main.Joy_Mode = ranged(0, 1, 0);
    main.Showassist = ranged(0, 1, 1);
    main.Monitorpower = ranged(0, 1, 0);
    main.Autopower = ranged(0, 1, 0);
    main.BusGlMM = ranged(1, Max, 1);
    main.BusGlNMRA_S = ranged(1, Max, 2);
    main.BusGlNMRA_L = ranged(1, Max, 3);
    main.BusGaMM = ranged(1, Max, 5);
    main.BusGaNMRA = ranged(1, Max, 6);
    main.BusS88 = ranged(1, Max, 8);
    main.Buspower = ranged(1, Max, 1);

    for (int l = 0; l < TLok::Count; ++l) {
        lok.set_protocol(l, in.string());
        const std::optional<int> protType = in.integer();
        if (protType && *protType >= 0 && *protType <= 7)
            lok.set_protocolbase(l, static_cast<std::uint8_t>(*protType));
        set(lok, l, &TLok::set_protversion);
        lok.set_name(l, in.string());
        set(lok, l, &TLok::set_addr);
        set(lok, l, &TLok::set_Busnr);
        set(lok, l, &TLok::set_direction);
        set(lok, l, &TLok::set_speed);
        set(lok, l, &TLok::set_speedmax);
        set(lok, l, &TLok::set_nrof);
        Dekod_Funcs f = lok.get_F(l);
        for (int i = 0; i < 32; ++i) {
            const std::optional<int> read = in.integer();
            if (!read)
                continue;
            int code = *read;
            if (code > 10)
                code -= 10;
            f[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(code);
        }
        lok.set_F(l, f);
        set(lok, l, &TLok::set_jb1);
        set(lok, l, &TLok::set_jb2);
        set(lok, l, &TLok::set_jb3);
        set(lok, l, &TLok::set_jb4);
        lok.set_jb1func(l, in.string());
        lok.set_jb2func(l, in.string());
        lok.set_jb3func(l, in.string());
        lok.set_jb4func(l, in.string());
    }
    // Added later, after the loco records; files written before read as the default (on).
    main.Autoreconnect = in.optionalInteger(1).value_or(1);
    // The phone server, added later still: off, port 12090, every address, no allow list, 8 clients.
    const auto optionalRanged = [&in](int low, int high, int fallback) {
        const std::optional<int> v = in.optionalInteger(fallback);
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
