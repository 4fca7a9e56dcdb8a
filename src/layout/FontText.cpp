#include "layout/FontText.h"

#include <array>
#include <charconv>
#include <utility>

namespace {

struct NamedColour {
    const char* name;
    std::uint32_t value;
};

constexpr std::uint32_t Sys = 0x80000000u;

// The platform's table of named colours, in its own order.
constexpr std::array<NamedColour, 45> ColourNames{{
    {"clBlack", 0x000000}, {"clMaroon", 0x000080}, {"clGreen", 0x008000}, {"clOlive", 0x008080},
    {"clNavy", 0x800000}, {"clPurple", 0x800080}, {"clTeal", 0x808000}, {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0}, {"clRed", 0x0000FF}, {"clLime", 0x00FF00}, {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000}, {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00}, {"clWhite", 0xFFFFFF},
    {"clMoneyGreen", 0xC0DCC0}, {"clSkyBlue", 0xF0CAA6}, {"clCream", 0xF0FBFF}, {"clMedGray", 0xA4A0A0},
    {"clScrollBar", Sys + 0}, {"clBackground", Sys + 1}, {"clActiveCaption", Sys + 2},
    {"clInactiveCaption", Sys + 3}, {"clMenu", Sys + 4}, {"clWindow", Sys + 5}, {"clWindowFrame", Sys + 6},
    {"clMenuText", Sys + 7}, {"clWindowText", Sys + 8}, {"clCaptionText", Sys + 9},
    {"clActiveBorder", Sys + 10}, {"clInactiveBorder", Sys + 11}, {"clAppWorkSpace", Sys + 12},
    {"clHighlight", Sys + 13}, {"clHighlightText", Sys + 14}, {"clBtnFace", Sys + 15},
    {"clBtnShadow", Sys + 16}, {"clGrayText", Sys + 17}, {"clBtnText", Sys + 18},
    {"clInactiveCaptionText", Sys + 19}, {"clBtnHighlight", Sys + 20}, {"cl3DDkShadow", Sys + 21},
    {"cl3DLight", Sys + 22}, {"clInfoText", Sys + 23}, {"clInfoBk", Sys + 24},
}};

// How the system colours look (classic desktop scheme), blue-green-red.
constexpr std::array<std::uint32_t, 25> SystemLook{
    0xC8C8C8, 0x000000, 0x6A240A, 0x808080, 0xC0C0C0, 0xFFFFFF, 0x000000, 0x000000, 0x000000,
    0xFFFFFF, 0xC0C0C0, 0xC0C0C0, 0x808080, 0x6A240A, 0xFFFFFF, 0xC0C0C0, 0x808080, 0x808080,
    0x000000, 0xC0C0C0, 0xFFFFFF, 0x404040, 0xC0C0C0, 0x000000, 0xE1FFFF};

[[noreturn]] void invalid() { throw FontConversionError("Invalid string to font conversion"); }

}  // namespace

namespace {

// Appends the colour's name, or "$" and eight upper-case hex digits for a value without one.
void appendColour(QString& out, std::uint32_t colour)
{
    for (const auto& c : ColourNames)
        if (c.value == colour) {
            out += QLatin1StringView(c.name);
            return;
        }
    static constexpr char Hex[] = "0123456789ABCDEF";
    char text[9] = {'$'};
    for (int i = 0; i < 8; ++i)
        text[1 + i] = Hex[(colour >> (28 - 4 * i)) & 15];
    out += QLatin1StringView(text, 9);
}

}  // namespace

QString ColorToString(std::uint32_t colour)
{
    QString out;
    appendColour(out, colour);
    return out;
}

std::optional<std::uint32_t> StringToColor(QStringView text)
{
    for (const auto& c : ColourNames)
        if (text.compare(QLatin1StringView(c.name), Qt::CaseInsensitive) == 0)
            return c.value;
    bool ok = false;
    if (text.startsWith(u'$')) {
        const QStringView hex = text.mid(1);
        if (hex.isEmpty() || hex.size() > 8)
            return std::nullopt;
        const uint v = hex.toUInt(&ok, 16);
        if (ok)
            return v;
        return std::nullopt;
    }
    const int v = text.toInt(&ok, 10);
    if (ok)
        return static_cast<std::uint32_t>(v);
    return std::nullopt;
}

QColor toQColor(std::uint32_t colour)
{
    if ((colour & 0xFF000000u) == Sys && (colour & 0xFFFFFFu) < SystemLook.size())
        colour = SystemLook[colour & 0xFFFFFFu];
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

QString FontToString(const QFont& font, std::uint32_t colour)
{
    // A font chosen by pixel height has no point size (-1); it is stored by the size it has on a
    // screen of 96 dots per inch, which every reader takes.
    int size = font.pointSize() > 0 ? font.pointSize() : qRound(font.pointSizeF());
    if (size <= 0 && font.pixelSize() > 0)
        size = qRound(font.pixelSize() * 72.0 / 96.0);
    if (size <= 0)
        size = DefaultPointSize;
    // Built in one piece: every label of a layout is written this way.
    const QString family = font.family();
    QString out;
    out.reserve(family.size() + 40);
    out += family;
    char digits[16];
    const char* end = std::to_chars(digits, digits + sizeof digits, size).ptr;
    out += u',';
    out += QLatin1StringView(digits, end - digits);
    out += u',';
    for (const bool on : {font.bold(), font.italic(), font.underline(), font.strikeOut()})
        out += on ? u'1' : u'0';
    out += u',';
    appendColour(out, colour);
    return out;
}

void StringToFont(QStringView text, QFont& font, std::uint32_t& colour)
{
    qsizetype comma = text.indexOf(u',');
    if (comma < 0)
        invalid();
    const QStringView face = text.left(comma);
    QStringView rest = text.mid(comma + 1);
    comma = rest.indexOf(u',');
    if (comma < 0)
        invalid();
    bool ok = false;
    int size = rest.left(comma).toInt(&ok, 10);
    if (!ok || size > 1000)
        throw FontConversionError("'" + rest.left(comma).toString().toStdString() + "' is not a valid font size");
    if (size <= 0)
        size = DefaultPointSize;  // earlier versions wrote -1 for a font chosen by pixel height
    rest = rest.mid(comma + 1);
    if (rest.size() < 5 || rest[4] != u',')
        invalid();
    const auto c = StringToColor(rest.mid(5));
    if (!c)
        throw FontConversionError("'" + rest.mid(5).toString().toStdString() + "' is not a valid colour");
    font.setFamily(face.toString());
    font.setPointSize(size);
    font.setBold(rest[0] == u'1');
    font.setItalic(rest[1] == u'1');
    font.setUnderline(rest[2] == u'1');
    font.setStrikeOut(rest[3] == u'1');
    colour = *c;
}
