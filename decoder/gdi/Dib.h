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
    int left = 0, top = 0; // of a part: where it lies in the whole bitmap
};

// Pixels of a bitmap, from its top left corner.
struct PixelRect {
    int left = 0, top = 0, width = 0, height = 0;
};

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
};

// `info`: the BITMAPINFO (header and colour table); `bits`: the pixels. Nothing when the header
// is not one that can be read. With `alpha`, the fourth byte of 32-bit pixels is their opacity.
std::optional<Bitmap> BmpOfDib(std::span<const unsigned char> info,
                               std::span<const unsigned char> bits, bool alpha = false);

// Only `part` of the bitmap when it can be cut out (uncompressed, 8 bits per pixel or more),
// else all of it.
std::optional<Bitmap> BmpOfDibPart(std::span<const unsigned char> info,
                                   std::span<const unsigned char> bits, bool alpha,
                                   const PixelRect& part);

// The width and height of the bitmap of `info`.
std::optional<PixelRect> DibSize(std::span<const unsigned char> info);

// A packed DIB: the header, the colour table and the pixels, one after the other.
std::optional<Bitmap> BmpOfPackedDib(std::span<const unsigned char> dib);

// The mean colour of an uncompressed bitmap of 1, 4, 8, 24 or 32 bits per pixel.
std::optional<Rgb> AverageColor(std::span<const unsigned char> info,
                                std::span<const unsigned char> bits);

} // namespace pictures::metafile
