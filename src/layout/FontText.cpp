#include "layout/FontText.h"

#include <array>
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

QString ColorToString(std::uint32_t colour)
{
    for (const auto& c : ColourNames)
        if (c.value == colour)
            return QString::fromLatin1(c.name);
    return QStringLiteral("$%1").arg(colour, 8, 16, QLatin1Char('0')).toUpper();
}

std::optional<std::uint32_t> StringToColor(const QString& text)
{
    for (const auto& c : ColourNames)
        if (text.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0)
            return c.value;
    bool ok = false;
    if (text.startsWith(QLatin1Char('$'))) {
        const QString hex = text.mid(1);
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
    return QStringLiteral("%1,%2,%3%4%5%6,%7")
        .arg(font.family())
        .arg(size)
        .arg(font.bold() ? 1 : 0)
        .arg(font.italic() ? 1 : 0)
        .arg(font.underline() ? 1 : 0)
        .arg(font.strikeOut() ? 1 : 0)
        .arg(ColorToString(colour));
}

void StringToFont(const QString& text, QFont& font, std::uint32_t& colour)
{
    QString rest = text;
    qsizetype comma = rest.indexOf(QLatin1Char(','));
    if (comma < 0)
        invalid();
    const QString face = rest.left(comma);
    rest.remove(0, comma + 1);
    comma = rest.indexOf(QLatin1Char(','));
    if (comma < 0)
        invalid();
    bool ok = false;
    int size = rest.left(comma).toInt(&ok, 10);
    if (!ok || size > 1000)
        throw FontConversionError("'" + rest.left(comma).toStdString() + "' is not a valid font size");
    if (size <= 0)
        size = DefaultPointSize;  // earlier versions wrote -1 for a font chosen by pixel height
    rest.remove(0, comma + 1);
    if (rest.size() < 5 || rest[4] != QLatin1Char(','))
        invalid();
    const auto c = StringToColor(rest.mid(5));
    if (!c)
        throw FontConversionError("'" + rest.mid(5).toStdString() + "' is not a valid colour");
    font.setFamily(face);
    font.setPointSize(size);
    font.setBold(rest[0] == QLatin1Char('1'));
    font.setItalic(rest[1] == QLatin1Char('1'));
    font.setUnderline(rest[2] == QLatin1Char('1'));
    font.setStrikeOut(rest[3] == QLatin1Char('1'));
    colour = *c;
}
