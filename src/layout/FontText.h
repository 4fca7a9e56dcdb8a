#pragma once
// Label fonts as text: "face,size,BIUS,colour", e.g. "MS Sans Serif,8,1000,clBlack". Colours are
// values in blue-green-red order; system colours carry 0x80000000 plus their index.

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>
#include <stdexcept>

struct FontConversionError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The point size taken for a font text whose size is 0 or below.
constexpr int DefaultPointSize = 8;

QString FontToString(const QFont& font, std::uint32_t colour);
// Sets face, size, style and colour from a font text; throws FontConversionError.
void StringToFont(QStringView text, QFont& font, std::uint32_t& colour);

QString ColorToString(std::uint32_t colour);
std::optional<std::uint32_t> StringToColor(QStringView text);
// The colour a value stands for on screen (system colours in their usual look).
QColor toQColor(std::uint32_t colour);
