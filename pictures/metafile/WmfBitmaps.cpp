// Bitmaps of WMF records: libwmf hands over device-independent bitmaps, kept as BMP files and
// drawn as SVG images.
#include "pictures/metafile/WmfDevice.h"

#include <libwmf/macro.h>

#include <cmath>

namespace pictures::metafile {

void WmfDevice::BitmapRead(wmfBMP_Read_t* b) {
    b->bmp.data = nullptr;
    if (!b->buffer || b->length < 16)
        return;
    const std::span<const unsigned char> dib(b->buffer, static_cast<std::size_t>(b->length));
    const auto u32 = [&dib](std::size_t at) {
        return ReadU16(dib, at) | std::uint32_t{ReadU16(dib, at + 2)} << 16;
    };
    const std::uint32_t infoSize = u32(0);
    if (infoSize < 12 || infoSize > dib.size())
        return;
    int width = 0, height = 0, bitCount = 0;
    std::uint32_t compression = 0, colorsUsed = 0;
    std::size_t paletteEntry = 4;
    if (infoSize == 12) {
        width = ReadU16(dib, 4);
        height = ReadU16(dib, 6);
        bitCount = ReadU16(dib, 10);
        paletteEntry = 3;
    } else {
        if (infoSize < 40)
            return;
        width = static_cast<std::int32_t>(u32(4));
        height = static_cast<std::int32_t>(u32(8));
        bitCount = ReadU16(dib, 14);
        compression = u32(16);
        colorsUsed = u32(32);
    }
    if (width <= 0 || height == 0 || width > 65535 || std::abs(height) > 65535 || bitCount > 32)
        return;
    std::size_t palette = 0;
    if (bitCount <= 8)
        palette = (colorsUsed ? colorsUsed : 1u << bitCount) * paletteEntry;
    else if (colorsUsed)
        palette = std::size_t{colorsUsed} * paletteEntry;
    if (compression == 3 && infoSize == 40)
        palette += 12; // BI_BITFIELDS masks follow the header
    const std::size_t bitsOffset = 14 + infoSize + palette;
    const std::size_t fileSize = dib.size() + 14;
    if (bitsOffset > fileSize)
        return;
    std::string file = "BM";
    for (const std::size_t v : {fileSize, std::size_t{0}, bitsOffset})
        for (int i = 0; i < 4; ++i)
            file += static_cast<char>((v >> (8 * i)) & 0xFF);
    file.append(reinterpret_cast<const char*>(dib.data()), dib.size());
    Bitmap& bitmap = bitmaps.emplace_back(Bitmap{std::move(file), width, std::abs(height)});
    b->bmp.width = static_cast<U16>(bitmap.width);
    b->bmp.height = static_cast<U16>(bitmap.height);
    b->bmp.data = &bitmap;
}

void WmfDevice::BitmapDraw(wmfBMP_Draw_t* b) {
    Frame(b->dc);
    const auto* bitmap = static_cast<const Bitmap*>(b->bmp.data);
    if (!bitmap || b->crop.w == 0 || b->crop.h == 0)
        return;
    // Only the cropped part is wanted: scale the whole bitmap so that part fills the target.
    const double pw = std::abs(b->pixel_width), ph = std::abs(b->pixel_height);
    const Rect target = Rect{b->pt.x, b->pt.y, b->pt.x + b->pixel_width * b->crop.w,
                             b->pt.y + b->pixel_height * b->crop.h}
                            .Normalized();
    const Rect whole = Rect{X(target.x0 - b->crop.x * pw), Y(target.y0 - b->crop.y * ph),
                            X(target.x0 + (bitmap->width - b->crop.x) * pw),
                            Y(target.y0 + (bitmap->height - b->crop.y) * ph)};
    svg_.Add("<image x=\"" + Num(whole.x0) + "\" y=\"" + Num(whole.y0) + "\" width=\"" +
             Num(whole.Width()) + "\" height=\"" + Num(whole.Height()) +
             "\" preserveAspectRatio=\"none\" xlink:href=\"data:image/bmp;base64," +
             Base64(bitmap->bmpFile) + "\"/>\n");
}

} // namespace pictures::metafile
