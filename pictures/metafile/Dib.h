// Device-independent bitmaps of metafile records, turned into BMP files (which the viewer's
// SVG renderer reads) and into their average colour (for pattern brushes, which it cannot draw).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace pictures::metafile {

// A device-independent bitmap kept as a BMP file.
struct Bitmap {
    std::string bmpFile;
    int width = 0;
    int height = 0;
};

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
};

// `info`: the BITMAPINFO (header and colour table); `bits`: the pixels. Nothing when the header
// is not one that can be read. With `alpha`, the fourth byte of 32-bit pixels is their opacity.
std::optional<Bitmap> BmpOfDib(std::span<const unsigned char> info,
                               std::span<const unsigned char> bits, bool alpha = false);

// A packed DIB: the header, the colour table and the pixels, one after the other.
std::optional<Bitmap> BmpOfPackedDib(std::span<const unsigned char> dib);

// The mean colour of an uncompressed bitmap of 1, 4, 8, 24 or 32 bits per pixel.
std::optional<Rgb> AverageColor(std::span<const unsigned char> info,
                                std::span<const unsigned char> bits);

} // namespace pictures::metafile
