#include "decoder/gdi/Dib.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace pictures::metafile {
namespace {

struct DibHeader {
    std::size_t infoSize = 0;
    int width = 0, height = 0, bitCount = 0;
    std::uint32_t compression = 0;
    std::size_t paletteEntry = 4;
    std::size_t colors = 0;     // entries of the colour table
    std::size_t tableBytes = 0; // colour table and bit-field masks
};

std::uint32_t U32(std::span<const unsigned char> b, std::size_t at) {
    return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 | std::uint32_t{b[at + 2]} << 16 |
           std::uint32_t{b[at + 3]} << 24;
}

std::uint16_t U16(std::span<const unsigned char> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

std::optional<DibHeader> ReadHeader(std::span<const unsigned char> info) {
    if (info.size() < 12)
        return std::nullopt;
    DibHeader h;
    h.infoSize = U32(info, 0);
    if (h.infoSize < 12 || h.infoSize > info.size())
        return std::nullopt;
    std::uint32_t colorsUsed = 0;
    if (h.infoSize == 12) {
        h.width = U16(info, 4);
        h.height = U16(info, 6);
        h.bitCount = U16(info, 10);
        h.paletteEntry = 3;
    } else {
        if (h.infoSize < 40)
            return std::nullopt;
        h.width = static_cast<std::int32_t>(U32(info, 4));
        h.height = static_cast<std::int32_t>(U32(info, 8));
        h.bitCount = U16(info, 14);
        h.compression = U32(info, 16);
        colorsUsed = U32(info, 32);
    }
    // Height compared, not negated: the most negative one has no opposite.
    if (h.width <= 0 || h.height == 0 || h.width > 65535 || h.height < -65535 || h.height > 65535 ||
        h.bitCount > 32 || colorsUsed > 65536)
        return std::nullopt;
    if (h.bitCount <= 8)
        h.colors = colorsUsed ? colorsUsed : std::size_t{1} << h.bitCount;
    else
        h.colors = colorsUsed;
    h.tableBytes = h.colors * h.paletteEntry;
    if (h.compression == 3 && h.infoSize == 40)
        h.tableBytes += 12; // BI_BITFIELDS masks follow the header
    return h;
}

} // namespace

std::optional<Bitmap> BmpOfDib(std::span<const unsigned char> info,
                               std::span<const unsigned char> bits, bool alpha) {
    const std::optional<DibHeader> h = ReadHeader(info);
    if (!h || h->tableBytes > info.size() - h->infoSize)
        return std::nullopt;
    std::string head(reinterpret_cast<const char*>(info.data()), h->infoSize + h->tableBytes);
    if (alpha && h->infoSize == 40 && h->bitCount == 32 && h->compression == 0) {
        // A version 4 header with an alpha mask: BMP readers take the fourth byte as opacity
        // only when a mask says so.
        head[0] = 108;
        head[16] = 3; // BI_BITFIELDS
        for (const std::uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u,
                                         0x73524742u}) // the masks, then LCS_sRGB
            for (int i = 0; i < 4; ++i)
                head += static_cast<char>((mask >> (8 * i)) & 0xFF);
        head.append(48, '\0'); // end points and gamma, unused under sRGB
    }
    const std::size_t headBytes = head.size();
    const std::size_t bitsOffset = 14 + headBytes;
    const std::size_t fileSize = bitsOffset + bits.size();
    if (fileSize > 0xFFFFFFFFu)
        return std::nullopt;
    std::string file = "BM";
    file.reserve(fileSize);
    for (const std::size_t v : {fileSize, std::size_t{0}, bitsOffset})
        for (int i = 0; i < 4; ++i)
            file += static_cast<char>((v >> (8 * i)) & 0xFF);
    file += head;
    file.append(reinterpret_cast<const char*>(bits.data()), bits.size());
    return Bitmap{std::move(file), h->width, std::abs(h->height)};
}

std::optional<Bitmap> BmpOfDibPart(std::span<const unsigned char> info,
                                   std::span<const unsigned char> bits, bool alpha,
                                   const PixelRect& part) {
    const std::optional<DibHeader> h = ReadHeader(info);
    if (!h || h->infoSize < 40 || h->bitCount < 8 || h->bitCount % 8 != 0 ||
        (h->compression != 0 && h->compression != 3) || h->tableBytes > info.size() - h->infoSize)
        return BmpOfDib(info, bits, alpha);
    const std::size_t width = static_cast<std::size_t>(h->width);
    const std::size_t height = static_cast<std::size_t>(std::abs(h->height));
    if (part.left < 0 || part.top < 0 || part.width <= 0 || part.height <= 0 ||
        static_cast<std::size_t>(part.left) + static_cast<std::size_t>(part.width) > width ||
        static_cast<std::size_t>(part.top) + static_cast<std::size_t>(part.height) > height ||
        (static_cast<std::size_t>(part.width) == width &&
         static_cast<std::size_t>(part.height) == height))
        return BmpOfDib(info, bits, alpha);
    const std::size_t pixel = static_cast<std::size_t>(h->bitCount) / 8;
    const std::size_t stride = (width * pixel + 3) / 4 * 4;
    if (height > bits.size() / stride)
        return BmpOfDib(info, bits, alpha);
    const std::size_t w = static_cast<std::size_t>(part.width);
    const std::size_t rows = static_cast<std::size_t>(part.height);
    const std::size_t newStride = (w * pixel + 3) / 4 * 4;
    std::vector<unsigned char> cut(newStride * rows, 0);
    const bool bottomUp = h->height > 0;
    for (std::size_t r = 0; r < rows; ++r) {
        const std::size_t from = static_cast<std::size_t>(part.top) + r;
        const std::size_t source = bottomUp ? height - 1 - from : from;
        const std::size_t target = bottomUp ? rows - 1 - r : r;
        const auto row =
            bits.subspan(source * stride + static_cast<std::size_t>(part.left) * pixel, w * pixel);
        std::copy(row.begin(), row.end(), cut.begin() + static_cast<long>(target * newStride));
    }
    std::vector<unsigned char> head(info.begin(), info.end());
    const auto put = [&head](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            head[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    put(4, static_cast<std::uint32_t>(part.width));
    put(8, static_cast<std::uint32_t>(bottomUp ? part.height : -part.height));
    put(20, 0); // the image size, which readers work out
    std::optional<Bitmap> bitmap = BmpOfDib(head, cut, alpha);
    if (bitmap) {
        bitmap->left = part.left;
        bitmap->top = part.top;
    }
    return bitmap;
}

std::optional<PixelRect> DibSize(std::span<const unsigned char> info) {
    const std::optional<DibHeader> h = ReadHeader(info);
    if (!h)
        return std::nullopt;
    return PixelRect{0, 0, h->width, std::abs(h->height)};
}

std::optional<Bitmap> BmpOfPackedDib(std::span<const unsigned char> dib) {
    const std::optional<DibHeader> h = ReadHeader(dib);
    if (!h || h->tableBytes > dib.size() - h->infoSize)
        return std::nullopt;
    const std::size_t headBytes = h->infoSize + h->tableBytes;
    return BmpOfDib(dib.first(headBytes), dib.subspan(headBytes));
}

std::optional<Rgb> AverageColor(std::span<const unsigned char> info,
                                std::span<const unsigned char> bits) {
    const std::optional<DibHeader> h = ReadHeader(info);
    if (!h || h->tableBytes > info.size() - h->infoSize || (h->compression != 0) ||
        (h->bitCount != 1 && h->bitCount != 4 && h->bitCount != 8 && h->bitCount != 24 &&
         h->bitCount != 32))
        return std::nullopt;
    const std::size_t width = static_cast<std::size_t>(h->width);
    const std::size_t height = static_cast<std::size_t>(std::abs(h->height));
    const std::size_t stride = (width * static_cast<std::size_t>(h->bitCount) + 31) / 32 * 4;
    if (height > bits.size() / stride)
        return std::nullopt;
    const auto table = info.subspan(h->infoSize);
    double r = 0, g = 0, b = 0;
    // Patterns are small; a large bitmap is sampled on a grid.
    const std::size_t stepX = width / 64 + 1, stepY = height / 64 + 1;
    std::size_t count = 0;
    for (std::size_t y = 0; y < height; y += stepY) {
        const auto row = bits.subspan(y * stride, stride);
        for (std::size_t x = 0; x < width; x += stepX) {
            std::size_t pr = 0, pg = 0, pb = 0;
            if (h->bitCount >= 24) {
                const std::size_t at = x * static_cast<std::size_t>(h->bitCount / 8);
                pb = row[at];
                pg = row[at + 1];
                pr = row[at + 2];
            } else {
                const std::size_t bit = x * static_cast<std::size_t>(h->bitCount);
                const unsigned byte = row[bit / 8];
                const unsigned index =
                    (byte >> (8 - h->bitCount - bit % 8)) & ((1u << h->bitCount) - 1);
                if (index >= h->colors)
                    continue;
                const auto entry = table.subspan(index * h->paletteEntry, 3);
                pb = entry[0];
                pg = entry[1];
                pr = entry[2];
            }
            r += static_cast<double>(pr);
            g += static_cast<double>(pg);
            b += static_cast<double>(pb);
            ++count;
        }
    }
    if (count == 0)
        return std::nullopt;
    const auto mean = [count](double sum) {
        return static_cast<std::uint8_t>(sum / static_cast<double>(count) + 0.5);
    };
    return Rgb{mean(r), mean(g), mean(b)};
}

} // namespace pictures::metafile
