// Reading of the EMF+ objects other than images: brushes, pens, paths, regions, fonts and
// string formats.
#include "decoder/emfplus/EmfPlusObjects.h"

#include "decoder/gdi/Boxes.h"
#include "decoder/gdi/Charsets.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace pictures::metafile {
namespace {

enum ObjectType : unsigned {
    kBrush = 1,
    kPen = 2,
    kPath = 3,
    kRegion = 4,
    kImage = 5,
    kFont = 6,
    kStringFormat = 7,
    kImageAttributes = 8,
};

constexpr int kMaxRegionDepth = 32;

// `p` weighted `weight` in four, `q` the rest.
Argb Average(Argb p, Argb q, int weight = 2) {
    const auto mean = [weight](std::uint8_t a, std::uint8_t b) {
        return static_cast<std::uint8_t>((a * weight + b * (4 - weight) + 2) / 4);
    };
    return {mean(p.a, q.a), mean(p.r, q.r), mean(p.g, q.g), mean(p.b, q.b)};
}

EmfPlusPen ReadPen(const LittleEndian& b) {
    EmfPlusPen pen;
    const std::uint32_t flags = b.U32(8);
    pen.unit = b.U32(12);
    pen.width = std::abs(b.FiniteF32(16));
    std::size_t at = 20;
    if (flags & 0x01)
        at += 24; // a transform of the pen's shape, left out
    if (flags & 0x02)
        pen.startCap = b.S32(at), at += 4;
    if (flags & 0x04)
        pen.endCap = b.S32(at), at += 4;
    if (flags & 0x08)
        pen.join = b.U32(at), at += 4;
    if (flags & 0x10)
        pen.miterLimit = std::clamp(b.FiniteF32(at), 1.0, 100.0), at += 4;
    if (flags & 0x20)
        pen.style = b.S32(at), at += 4;
    if (flags & 0x40)
        pen.dashedCap = b.S32(at), at += 4;
    if (flags & 0x80)
        at += 4; // dash offset
    if (flags & 0x100) {
        const std::uint32_t count = b.U32(at);
        at += 4;
        b.Span(at, std::size_t{count} * 4);
        for (std::uint32_t i = 0; i < count && i < 32; ++i)
            pen.dashes.push_back(std::abs(b.FiniteF32(at + 4 * i)));
        at += std::size_t{count} * 4;
    }
    if (flags & 0x200)
        at += 4; // alignment
    if (flags & 0x400) {
        const std::uint32_t count = b.U32(at);
        b.Span(at + 4, std::size_t{count} * 4);
        at += 4 + std::size_t{count} * 4;
    }
    for (const std::uint32_t cap : {0x800u, 0x1000u})
        if (flags & cap) {
            const std::uint32_t size = b.U32(at);
            b.Span(at + 4, size);
            at += 4 + std::size_t{size};
        }
    pen.color = ReadEmfPlusBrush(b, at).color;
    return pen;
}

// The boxes of the region node at `at`; `end` becomes the offset after it.
Boxes ReadRegionNode(const LittleEndian& b, std::size_t at, std::size_t* end, int depth) {
    if (depth > kMaxRegionDepth)
        throw DecodeError("the file has a corrupt record");
    const std::uint32_t type = b.U32(at);
    at += 4;
    switch (type) {
    case 0x10000000: { // a rectangle
        const double x = b.FiniteF32(at), y = b.FiniteF32(at + 4);
        const double w = b.FiniteF32(at + 8), h = b.FiniteF32(at + 12);
        *end = at + 16;
        return CombineBoxes(
            {}, {{std::min(x, x + w), std::min(y, y + h), std::max(x, x + w), std::max(y, y + h)}},
            0);
    }
    case 0x10000001: { // a path, taken as its bounding box
        const std::uint32_t length = b.U32(at);
        const LittleEndian path(b.Span(at + 4, length));
        std::size_t pathEnd = 0;
        const EmfPlusPath p = ReadEmfPlusPath(path, 0, &pathEnd);
        *end = at + 4 + length;
        if (p.points.empty())
            return {};
        Box box{p.points[0].x, p.points[0].y, p.points[0].x, p.points[0].y};
        for (const Point& q : p.points)
            box = {std::min(box.x0, q.x), std::min(box.y0, q.y), std::max(box.x1, q.x),
                   std::max(box.y1, q.y)};
        return CombineBoxes({}, {box}, 0);
    }
    case 0x10000002:
        *end = at;
        return {};
    case 0x10000003:
        *end = at;
        return {kWholePlane};
    default:
        if (type < 1 || type > 5)
            throw DecodeError("the file has a corrupt record");
        std::size_t middle = 0;
        const Boxes left = ReadRegionNode(b, at, &middle, depth + 1);
        const Boxes right = ReadRegionNode(b, middle, end, depth + 1);
        return CombineBoxes(left, right, type);
    }
}

EmfPlusBrush ReadLinearGradient(const LittleEndian& b, std::size_t at) {
    const std::uint32_t flags = b.U32(at);
    EmfPlusGradient g;
    g.wrap = b.S32(at + 4);
    g.x = b.FiniteF32(at + 8);
    g.y = b.FiniteF32(at + 12);
    g.w = b.FiniteF32(at + 16);
    g.h = b.FiniteF32(at + 20);
    const Argb start = Argb::FromU32(b.U32(at + 24)), end = Argb::FromU32(b.U32(at + 28));
    std::size_t optional = at + 40;
    if (flags & 0x02) {
        g.transform = {b.F32(optional),      b.F32(optional + 4),  b.F32(optional + 8),
                       b.F32(optional + 12), b.F32(optional + 16), b.F32(optional + 20)};
        optional += 24;
    }
    // Preset colours, or blend factors between the two colours, at positions along the axis.
    if (flags & 0x0C) {
        const std::size_t count = b.U32(optional);
        b.Span(optional + 4, count * 8);
        for (std::size_t i = 0; i < std::min<std::size_t>(count, 64); ++i) {
            const double position = std::clamp(b.FiniteF32(optional + 4 + 4 * i), 0.0, 1.0);
            const std::size_t value = optional + 4 + 4 * count + 4 * i;
            if (flags & 0x04) {
                g.stops.emplace_back(position, Argb::FromU32(b.U32(value)));
            } else {
                const double f = std::clamp(b.FiniteF32(value), 0.0, 1.0);
                const auto mix = [f](std::uint8_t p, std::uint8_t q) {
                    return static_cast<std::uint8_t>(std::lround(p + (q - p) * f));
                };
                g.stops.emplace_back(position, Argb{mix(start.a, end.a), mix(start.r, end.r),
                                                    mix(start.g, end.g), mix(start.b, end.b)});
            }
        }
    }
    if (g.stops.empty())
        g.stops = {{0.0, start}, {1.0, end}};
    return {Average(start, end), g};
}

// The centre colour, shading into the first surrounding colour at the boundary's bounds.
EmfPlusBrush ReadPathGradient(const LittleEndian& b, std::size_t at) {
    const std::uint32_t flags = b.U32(at);
    EmfPlusGradient g;
    g.radial = true;
    g.wrap = b.S32(at + 4);
    const Argb centre = Argb::FromU32(b.U32(at + 8));
    g.centreX = b.FiniteF32(at + 12);
    g.centreY = b.FiniteF32(at + 16);
    const std::size_t colors = b.U32(at + 20);
    b.Span(at + 24, colors * 4);
    const Argb edge = colors ? Argb::FromU32(b.U32(at + 24)) : centre;
    std::size_t next = at + 24 + colors * 4;
    std::vector<Point> boundary;
    if (flags & 0x01) { // a path
        const std::size_t size = b.U32(next);
        const LittleEndian path(b.Span(next + 4, size));
        std::size_t end = 0;
        boundary = ReadEmfPlusPath(path, 0, &end).points;
        next += 4 + size;
    } else {
        boundary = ReadEmfPlusPoints(b, next + 4, b.U32(next), false, false, &next);
    }
    if (flags & 0x02)
        g.transform = {b.F32(next),      b.F32(next + 4),  b.F32(next + 8),
                       b.F32(next + 12), b.F32(next + 16), b.F32(next + 20)};
    const EmfPlusBrush plain{Average(centre, edge), std::nullopt};
    if (boundary.empty())
        return plain;
    Box box{boundary[0].x, boundary[0].y, boundary[0].x, boundary[0].y};
    for (const Point& p : boundary)
        box = {std::min(box.x0, p.x), std::min(box.y0, p.y), std::max(box.x1, p.x),
               std::max(box.y1, p.y)};
    g = {box.x0,    box.y0,    box.x1 - box.x0, box.y1 - box.y0, true,
         g.centreX, g.centreY, g.transform,     g.wrap,          {{0.0, centre}, {1.0, edge}}};
    return {plain.color, g};
}

// A texture's average colour, or a neutral tint when its image is not a bitmap of pixels.
Argb ReadTextureColor(const LittleEndian& b, std::size_t at) {
    const std::size_t image = at + 8 + (b.U32(at) & 0x02 ? 24 : 0);
    if (b.U32(image + 4) != 1)
        return {128, 128, 128, 128};
    const EmfPlusImage bitmap = ReadEmfPlusBitmap(b, image + 8);
    if (bitmap.pixels.empty())
        return {128, 128, 128, 128};
    std::array<std::uint64_t, 4> sum{};
    for (const std::uint32_t p : bitmap.pixels)
        for (int i = 0; i < 4; ++i)
            sum[static_cast<std::size_t>(i)] += (p >> (24 - 8 * i)) & 0xFF;
    const auto mean = [&](int i) {
        return static_cast<std::uint8_t>(sum[static_cast<std::size_t>(i)] / bitmap.pixels.size());
    };
    return {mean(0), mean(1), mean(2), mean(3)};
}

EmfPlusFont ReadFont(const LittleEndian& b) {
    EmfPlusFont font;
    font.emSize = std::abs(b.FiniteF32(4));
    font.unit = b.U32(8);
    font.style = b.S32(12);
    font.family = ReadUtf16(b, 24, b.U32(20), true);
    return font;
}

} // namespace

std::string ReadUtf16(const LittleEndian& b, std::size_t at, std::size_t count, bool toNul) {
    return Utf16ToUtf8(b.Span(at, count * 2), toNul);
}

EmfPlusBrush ReadEmfPlusBrush(const LittleEndian& b, std::size_t at) {
    const std::uint32_t type = b.U32(at + 4);
    const std::size_t data = at + 8;
    switch (type) {
    case 0: // solid
        return {Argb::FromU32(b.U32(data)), std::nullopt};
    case 1: // hatch: thin lines of the fore colour over the back colour
        return {Average(Argb::FromU32(b.U32(data + 4)), Argb::FromU32(b.U32(data + 8)), 1),
                std::nullopt};
    case 2:
        return {ReadTextureColor(b, data), std::nullopt};
    case 3:
        return ReadPathGradient(b, data);
    case 4:
        return ReadLinearGradient(b, data);
    default:
        throw DecodeError("the file has a corrupt record");
    }
}

std::vector<Point> ReadEmfPlusPoints(const LittleEndian& b, std::size_t at, std::size_t count,
                                     bool compressed, bool relative, std::size_t* end) {
    std::vector<Point> points;
    if (relative) {
        // Two bytes a point at the least.
        if (count > (b.Size() - std::min(at, b.Size())) / 2)
            throw DecodeError("the file has a corrupt record");
        points.reserve(count);
        double x = 0, y = 0;
        const auto next = [&b, &at]() {
            const std::uint8_t first = b.U8(at);
            if (!(first & 0x80)) {
                ++at;
                return static_cast<double>(static_cast<std::int8_t>(first << 1) >> 1);
            }
            const int value = ((first & 0x7F) << 8) | b.U8(at + 1);
            at += 2;
            return static_cast<double>(value >= 0x4000 ? value - 0x8000 : value);
        };
        for (std::size_t i = 0; i < count; ++i) {
            x += next();
            y += next();
            points.push_back({x, y});
        }
    } else {
        const std::size_t size = compressed ? 4 : 8;
        if (count > (b.Size() - std::min(at, b.Size())) / size)
            throw DecodeError("the file has a corrupt record");
        points.reserve(count);
        for (std::size_t i = 0; i < count; ++i, at += size)
            points.push_back(compressed ? Point{double(b.S16(at)), double(b.S16(at + 2))}
                                        : Point{b.FiniteF32(at), b.FiniteF32(at + 4)});
    }
    if (end)
        *end = at;
    return points;
}

EmfPlusPath ReadEmfPlusPath(const LittleEndian& b, std::size_t at, std::size_t* end) {
    EmfPlusPath path;
    const std::uint32_t count = b.U32(at + 4);
    const std::uint32_t flags = b.U32(at + 8);
    std::size_t types = 0;
    path.points =
        ReadEmfPlusPoints(b, at + 12, count, flags & kCompressed, flags & kRelative, &types);
    path.types.reserve(count);
    if (flags & 0x1000) { // run-length encoded types
        while (path.types.size() < count) {
            const std::uint8_t run = b.U8(types) & 0x3F;
            std::uint8_t type = b.U8(types + 1);
            if (b.U8(types) & 0x80)
                type = static_cast<std::uint8_t>((type & 0xF8) | 3);
            for (unsigned i = 0; i < run && path.types.size() < count; ++i)
                path.types.push_back(type);
            types += 2;
        }
    } else {
        const auto bytes = b.Span(types, count);
        path.types.assign(bytes.begin(), bytes.end());
        types += count;
    }
    *end = (types + 3) / 4 * 4;
    return path;
}

std::optional<EmfPlusObject> ReadEmfPlusObject(unsigned type, std::span<const unsigned char> data) {
    const LittleEndian b(data);
    std::size_t end = 0;
    switch (type) {
    case kBrush:
        return ReadEmfPlusBrush(b, 0);
    case kPen:
        if (b.U32(4) != 0)
            throw DecodeError("the file has a corrupt record");
        return ReadPen(b);
    case kPath:
        return ReadEmfPlusPath(b, 0, &end);
    case kRegion:
        return EmfPlusRegion{ReadRegionNode(b, 8, &end, 0)};
    case kImage:
        if (b.U32(4) != 1)
            return std::nullopt; // metafiles inside are not drawn
        return ReadEmfPlusBitmap(b, 8);
    case kFont:
        return ReadFont(b);
    case kStringFormat:
        return EmfPlusStringFormat{b.U32(4), b.U32(12), b.U32(16)};
    case kImageAttributes:
        return EmfPlusImageAttributes{};
    default:
        return std::nullopt;
    }
}

} // namespace pictures::metafile
