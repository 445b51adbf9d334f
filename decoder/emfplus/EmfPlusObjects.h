// The objects of the EMF+ object table (brushes, pens, paths, regions, fonts, images, string
// formats) read from their serialized form; reads past the data throw DecodeError.
#pragma once

#include "decoder/gdi/Clip.h"
#include "decoder/emfplus/EmfPlusState.h"
#include "decoder/gdi/LittleEndian.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace pictures::metafile {

struct Argb {
    std::uint8_t a = 255, r = 0, g = 0, b = 0;
    static Argb FromU32(std::uint32_t v) {
        return {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
    }
};

// A linear gradient: colours along the x axis of the rectangle x, y, w, h of brush space,
// which `transform` maps to world units. A radial one (a path gradient): from the centre
// point outwards to the ellipse in that rectangle.
struct EmfPlusGradient {
    double x = 0, y = 0, w = 1, h = 1;
    bool radial = false;
    double centreX = 0, centreY = 0;
    Matrix transform;
    std::int32_t wrap = 0; // tile, flip x, flip y, flip both, clamp
    std::vector<std::pair<double, Argb>> stops;
};

// Hatches and textures are drawn in one colour, their average; so is any brush of a pen.
struct EmfPlusBrush {
    Argb color;
    std::optional<EmfPlusGradient> gradient;
};

struct EmfPlusPen {
    double width = 1;
    std::uint32_t unit = 0;
    Argb color;
    std::int32_t startCap = 0, endCap = 0;
    std::uint32_t join = 0;
    double miterLimit = 10;
    std::int32_t style = 0;     // solid, dash, dot, dash-dot, dash-dot-dot, custom
    std::vector<double> dashes; // custom dashes, in pen widths
    std::int32_t dashedCap = 0;
};

// Points and their types as a graphics path keeps them.
struct EmfPlusPath {
    std::vector<Point> points;
    std::vector<std::uint8_t> types;
};

// Regions combined as boxes in world units; none at all: the empty region.
struct EmfPlusRegion {
    std::vector<Box> boxes;
};

struct EmfPlusFont {
    double emSize = 0;
    std::uint32_t unit = 0;
    std::int32_t style = 0; // bold 1, italic 2, underline 4, strikeout 8
    std::string family;     // UTF-8
};

// A bitmap: decoded pixels (ARGB, top row first), or a compressed file passed on as it is.
struct EmfPlusImage {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    std::string mime; // of `file`, when compressed
    std::string file;
};

struct EmfPlusStringFormat {
    std::uint32_t flags = 0;
    std::uint32_t align = 0; // near, center, far
    std::uint32_t lineAlign = 0;
};

struct EmfPlusImageAttributes {};

using EmfPlusObject =
    std::variant<std::monostate, EmfPlusBrush, EmfPlusPen, EmfPlusPath, EmfPlusRegion, EmfPlusFont,
                 EmfPlusImage, EmfPlusStringFormat, EmfPlusImageAttributes>;

// The object of `type` (the object record's type field) in `data`; nothing for types not kept.
std::optional<EmfPlusObject> ReadEmfPlusObject(unsigned type, std::span<const unsigned char> data);

// A brush at `at`.
EmfPlusBrush ReadEmfPlusBrush(const LittleEndian& b, std::size_t at);
// A path at `at`, `end` becomes the offset after it.
EmfPlusPath ReadEmfPlusPath(const LittleEndian& b, std::size_t at, std::size_t* end);

// Flags of drawing records and paths that say how their points are stored.
constexpr unsigned kCompressed = 0x4000; // 16-bit integer coordinates
constexpr unsigned kRelative = 0x0800;   // points as offsets from the one before

// `count` points at `at`: floats, 16-bit integers (compressed) or relative offsets.
std::vector<Point> ReadEmfPlusPoints(const LittleEndian& b, std::size_t at, std::size_t count,
                                     bool compressed, bool relative, std::size_t* end = nullptr);

// The bitmap's data after its header: pixels in one of GDI+'s formats, or a compressed file.
EmfPlusImage ReadEmfPlusBitmap(const LittleEndian& b, std::size_t at);

// UTF-16 text of `count` units at `at` as UTF-8; stops at a NUL when `toNul`.
std::string ReadUtf16(const LittleEndian& b, std::size_t at, std::size_t count, bool toNul);

// A PNG file of the image's pixels within the given rectangle (clamped to the image).
std::string EncodePng(const EmfPlusImage& image, int x, int y, int width, int height);

} // namespace pictures::metafile
