#include "base/BmpDecode.h"

#include <cstdint>
#include <cstring>

namespace {
std::uint32_t u32(const uchar* p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24; }
std::int32_t s32(const uchar* p) { return std::int32_t(u32(p)); }
std::uint16_t u16(const uchar* p) { return std::uint16_t(p[0] | p[1] << 8); }
}  // namespace

QImage decodePlainBmp(const QByteArray& file)
{
    constexpr int FileHeader = 14, InfoHeader = 40;
    if (file.size() < FileHeader + InfoHeader)
        return {};
    const auto* d = reinterpret_cast<const uchar*>(file.constData());
    const std::uint32_t offset = u32(d + 10);
    const uchar* info = d + FileHeader;
    const std::int32_t width = s32(info + 4), height = s32(info + 8);
    if (d[0] != 'B' || d[1] != 'M' || u32(info) != InfoHeader || u16(info + 12) != 1 || u16(info + 14) != 24
        || u32(info + 16) != 0 || width <= 0 || height <= 0 || width > 4096 || height > 4096
        || offset < FileHeader + InfoHeader)
        return {};
    const std::size_t stride = (std::size_t(width) * 3 + 3) & ~std::size_t(3);
    if (std::size_t(file.size()) < offset + stride * std::size_t(height))
        return {};
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    const std::int32_t dpmX = s32(info + 24), dpmY = s32(info + 28);
    if (dpmX > 0)
        image.setDotsPerMeterX(dpmX);
    if (dpmY > 0)
        image.setDotsPerMeterY(dpmY);
    uchar* const bits = image.bits();
    const qsizetype bytesPerLine = image.bytesPerLine();
    for (int y = 0; y < height; ++y) {
        const uchar* src = d + offset + stride * std::size_t(height - 1 - y);  // rows are stored bottom-up
        auto* dst = reinterpret_cast<std::uint32_t*>(bits + bytesPerLine * y);
        for (int x = 0; x < width; ++x, src += 3)
            dst[x] = 0xFF000000u | std::uint32_t(src[2]) << 16 | std::uint32_t(src[1]) << 8 | src[0];
    }
    return image;
}
