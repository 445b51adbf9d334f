#include "pictures/metafile/EmfState.h"

#include "pictures/metafile/LittleEndian.h"

#include <algorithm>
#include <cmath>

namespace pictures::metafile {
namespace {

// Hundredths of a millimetre per logical unit of the fixed mapping modes, from MM_LOMETRIC.
constexpr double kFixedModeMm[] = {0.1, 0.01, 0.254, 0.0254, 25.4 / 1440};
constexpr std::size_t kMaxObjects = 65536;
constexpr std::size_t kMaxSaved = 4096;

Rgb ColorAt(const LittleEndian& b, std::size_t at) {
    return {b.U8(at), b.U8(at + 1), b.U8(at + 2)};
}

Pen StockPen(Rgb color, unsigned style) {
    Pen pen;
    pen.color = color;
    pen.style = style;
    return pen;
}

Brush StockBrush(Brush::Kind kind, std::uint8_t grey) {
    return {kind, {grey, grey, grey}, 0};
}

Affine ReadXform(const LittleEndian& b, std::size_t at) {
    Affine m{b.F32(at),      b.F32(at + 4),  b.F32(at + 8),
             b.F32(at + 12), b.F32(at + 16), b.F32(at + 20)};
    // A transform of non-finite or absurd numbers is dropped rather than spread into every point.
    for (const double v : {m.a, m.b, m.c, m.d, m.e, m.f})
        if (!(std::abs(v) < 1e12))
            return {};
    return m;
}

} // namespace

Affine Affine::Then(const Affine& n) const {
    return {n.a * a + n.c * b, n.b * a + n.d * b,       n.a * c + n.c * d,
            n.b * c + n.d * d, n.a * e + n.c * f + n.e, n.b * e + n.d * f + n.f};
}

Box DocumentBox(const Affine& m, double x0, double y0, double x1, double y1) {
    const Point corners[] = {m({x0, y0}), m({x1, y0}), m({x0, y1}), m({x1, y1})};
    Box box{corners[0].x, corners[0].y, corners[0].x, corners[0].y};
    for (const Point& p : corners) {
        box.x0 = std::min(box.x0, p.x);
        box.y0 = std::min(box.y0, p.y);
        box.x1 = std::max(box.x1, p.x);
        box.y1 = std::max(box.y1, p.y);
    }
    return box;
}

std::string Utf16ToUtf8(std::span<const unsigned char> bytes) {
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        std::uint32_t c = bytes[i] | bytes[i + 1] << 8;
        if (c == 0)
            break;
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
            const std::uint32_t low = bytes[i + 2] | bytes[i + 3] << 8;
            if (low < 0xDC00 || low >= 0xE000)
                continue;
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c < 0xE000) {
            continue;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

EmfState::EmfState(const EmfHeader& header)
    : device_(DocumentMapping(header)), pixelsPerMmX_(header.devicePixelsX / header.deviceMmX),
      pixelsPerMmY_(header.devicePixelsY / header.deviceMmY) {
    Update();
}

void EmfState::Update() {
    // Page space to device pixels.
    double sx = 1, sy = 1;
    const EmfDc& s = dc_;
    if (s.mapMode >= 2 && s.mapMode <= 6) {
        const double mm = kFixedModeMm[s.mapMode - 2];
        sx = mm * pixelsPerMmX_;
        sy = -mm * pixelsPerMmY_;
    } else if (s.mapMode == 7 || s.mapMode == 8) {
        sx = s.windowExt.x != 0 ? s.viewportExt.x / s.windowExt.x : 1;
        sy = s.windowExt.y != 0 ? s.viewportExt.y / s.windowExt.y : 1;
        if (s.mapMode == 7) {
            const double m = std::min(std::abs(sx), std::abs(sy));
            sx = std::copysign(m, sx);
            sy = std::copysign(m, sy);
        }
    }
    if (!(std::abs(sx) < 1e12) || !(std::abs(sy) < 1e12))
        sx = sy = 1;
    const Affine page{
        sx, 0, 0, sy, s.viewportOrg.x - s.windowOrg.x * sx, s.viewportOrg.y - s.windowOrg.y * sy};
    const Affine device{device_.sx, 0, 0, device_.sy, device_.ox, device_.oy};
    toDocument_ = dc_.world.Then(page).Then(device);
}

void EmfState::CreateObject(std::uint32_t index, int kind, const Pen& pen, const Brush& brush,
                            const Font& font) {
    if (index == 0 || index >= kMaxObjects)
        return;
    if (objects_.size() <= index)
        objects_.resize(index + 1);
    objects_[index] = {kind, pen, brush, font};
}

void EmfState::Select(std::uint32_t handle) {
    if (handle & 0x80000000u) {
        switch (handle & 0x7FFFFFFFu) {
        case 0:
            dc_.brush = StockBrush(Brush::Kind::Solid, 255);
            break;
        case 1:
            dc_.brush = StockBrush(Brush::Kind::Solid, 192);
            break;
        case 2:
            dc_.brush = StockBrush(Brush::Kind::Solid, 128);
            break;
        case 3:
            dc_.brush = StockBrush(Brush::Kind::Solid, 64);
            break;
        case 4:
            dc_.brush = StockBrush(Brush::Kind::Solid, 0);
            break;
        case 5:
            dc_.brush = StockBrush(Brush::Kind::Null, 0);
            break;
        case 6:
            dc_.pen = StockPen({255, 255, 255}, 0);
            break;
        case 7:
            dc_.pen = StockPen({0, 0, 0}, 0);
            break;
        case 8:
            dc_.pen = StockPen({0, 0, 0}, 5);
            break;
        case 10:
        case 11:
        case 12:
        case 13:
        case 14:
        case 16:
        case 17:
            dc_.font = Font{};
            break;
        default:
            break;
        }
        return;
    }
    // A handle never created, or deleted since, selects nothing.
    if (handle >= objects_.size())
        return;
    const Object& o = objects_[handle];
    if (o.kind == 1)
        dc_.pen = o.pen;
    else if (o.kind == 2)
        dc_.brush = o.brush;
    else if (o.kind == 3)
        dc_.font = o.font;
}

bool EmfState::Play(const EmfRecord& record) {
    const LittleEndian b(record.bytes);
    const auto point = [&b](std::size_t at) {
        return Point{static_cast<double>(b.S32(at)), static_cast<double>(b.S32(at + 4))};
    };
    switch (record.type) {
    case 9:
        dc_.windowExt = point(8);
        break;
    case 10:
        dc_.windowOrg = point(8);
        break;
    case 11:
        dc_.viewportExt = point(8);
        break;
    case 12:
        dc_.viewportOrg = point(8);
        break;
    case 17:
        dc_.mapMode = b.S32(8);
        break;
    case 18:
        dc_.bkMode = b.U32(8);
        break;
    case 19:
        dc_.polyFill = b.U32(8);
        break;
    case 20:
        dc_.rop2 = b.U32(8);
        break;
    case 22:
        dc_.textAlign = b.U32(8);
        break;
    case 24:
        dc_.textColor = ColorAt(b, 8);
        break;
    case 25:
        dc_.bkColor = ColorAt(b, 8);
        break;
    case 27:
        dc_.position = point(8);
        break;
    case 31:
    case 32: { // SCALEVIEWPORTEXTEX, SCALEWINDOWEXTEX
        const double xNum = b.S32(8), xDen = b.S32(12), yNum = b.S32(16), yDen = b.S32(20);
        if (xDen == 0 || yDen == 0)
            break;
        Point& ext = record.type == 31 ? dc_.viewportExt : dc_.windowExt;
        ext = {ext.x * xNum / xDen, ext.y * yNum / yDen};
        break;
    }
    case 33:
        if (saved_.size() < kMaxSaved)
            saved_.push_back(dc_);
        break;
    case 34: { // RESTOREDC: negative, relative to the top of the stack
        const std::int32_t relative = b.S32(8);
        if (relative >= 0 ||
            static_cast<std::size_t>(-static_cast<std::int64_t>(relative)) > saved_.size())
            break;
        saved_.resize(saved_.size() -
                      static_cast<std::size_t>(-static_cast<std::int64_t>(relative)) + 1);
        dc_ = saved_.back();
        saved_.pop_back();
        break;
    }
    case 35:
        dc_.world = ReadXform(b, 8);
        break;
    case 36: {
        const Affine x = ReadXform(b, 8);
        switch (b.U32(32)) {
        case 1:
            dc_.world = {};
            break;
        case 2:
            dc_.world = x.Then(dc_.world);
            break;
        case 3:
            dc_.world = dc_.world.Then(x);
            break;
        case 4:
            dc_.world = x;
            break;
        default:
            break;
        }
        break;
    }
    case 37:
        Select(b.U32(8));
        break;
    case 38: { // CREATEPEN
        Pen pen;
        pen.style = b.U32(12);
        pen.width = b.S32(16);
        pen.color = ColorAt(b, 24);
        CreateObject(b.U32(8), 1, pen, {}, {});
        break;
    }
    case 95: { // EXTCREATEPEN
        Pen pen;
        pen.style = b.U32(28);
        pen.width = b.U32(32);
        pen.color = ColorAt(b, 40);
        if ((pen.style & 0xF) == 7) {
            const std::uint32_t count = b.U32(48);
            if (count <= 16 && b.Has(52, std::size_t{count} * 4))
                for (std::uint32_t i = 0; i < count; ++i)
                    pen.dashes.push_back(b.U32(52 + 4 * i));
        }
        if (!b.Has(0, 36) || b.U32(36) == 1) // BS_NULL: draws nothing
            pen.style = (pen.style & ~0xFu) | 5;
        CreateObject(b.U32(8), 1, pen, {}, {});
        break;
    }
    case 39: { // CREATEBRUSHINDIRECT
        Brush brush;
        const std::uint32_t style = b.U32(12);
        brush.kind = style == 1   ? Brush::Kind::Null
                     : style == 2 ? Brush::Kind::Hatched
                                  : Brush::Kind::Solid;
        brush.color = ColorAt(b, 16);
        brush.hatch = b.U32(20);
        CreateObject(b.U32(8), 2, {}, brush, {});
        break;
    }
    case 93:
    case 94: { // CREATEMONOBRUSH, CREATEDIBPATTERNBRUSHPT: their average colour
        Brush brush;
        brush.kind = Brush::Kind::Pattern;
        const std::uint32_t offBmi = b.U32(16), cbBmi = b.U32(20), offBits = b.U32(24),
                            cbBits = b.U32(28);
        std::optional<Rgb> mean;
        if (b.Has(offBmi, cbBmi) && b.Has(offBits, cbBits))
            mean = AverageColor(b.Span(offBmi, cbBmi), b.Span(offBits, cbBits));
        brush.color = mean.value_or(Rgb{128, 128, 128});
        CreateObject(b.U32(8), 2, {}, brush, {});
        break;
    }
    case 82: { // EXTCREATEFONTINDIRECTW
        Font font;
        font.height = b.S32(12);
        font.escapement = b.S32(20);
        font.weight = b.S32(28);
        font.italic = b.U8(32) != 0;
        font.underline = b.U8(33) != 0;
        font.strikeOut = b.U8(34) != 0;
        font.charset = b.U8(35);
        font.pitchAndFamily = b.U8(39);
        font.face = Utf16ToUtf8(b.Span(40, std::min<std::size_t>(64, b.Size() - 40)));
        CreateObject(b.U32(8), 3, {}, {}, font);
        break;
    }
    case 40: { // DELETEOBJECT: the slot is free, and its handle selects nothing from now on
        const std::uint32_t handle = b.U32(8);
        if (handle < objects_.size())
            objects_[handle] = {};
        break;
    }
    case 49: // CREATEPALETTE: an object the drawing never uses, but its handle is taken
        CreateObject(b.U32(8), 4, {}, {}, {});
        break;
    case 57:
        dc_.clockwise = b.U32(8) == 2;
        break;
    case 58:
        dc_.miterLimit = b.U32(8);
        break;
    case 29:
    case 30: { // EXCLUDECLIPRECT, INTERSECTCLIPRECT
        const Box box = DocumentBox(toDocument_, b.S32(8), b.S32(12), b.S32(16), b.S32(20));
        if (record.type == 30)
            IntersectClip({box});
        else
            CombineClip({box}, 4);
        break;
    }
    case 26: { // OFFSETCLIPRGN, by logical units
        if (!dc_.clip)
            break;
        const Point o = toDocument_.Linear(b.S32(8), b.S32(12));
        for (Box& box : *dc_.clip)
            box = {box.x0 + o.x, box.y0 + o.y, box.x1 + o.x, box.y1 + o.y};
        break;
    }
    case 75: { // EXTSELECTCLIPRGN: a region in device pixels
        const std::uint32_t mode = b.U32(12);
        const std::uint32_t dataSize = b.U32(8);
        if (mode == 5 && dataSize < 32) {
            dc_.clip.reset(); // RGN_COPY of no region: no clipping
            break;
        }
        if (dataSize < 32 || !b.Has(16, dataSize))
            break;
        const std::uint32_t count = b.U32(16 + 8);
        if (count > (dataSize - 32) / 16)
            break;
        std::vector<Box> boxes;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::size_t at = 48 + std::size_t{i} * 16;
            const Point p = device_(b.S32(at), b.S32(at + 4));
            const Point q = device_(b.S32(at + 8), b.S32(at + 12));
            boxes.push_back(
                {std::min(p.x, q.x), std::min(p.y, q.y), std::max(p.x, q.x), std::max(p.y, q.y)});
        }
        CombineClip(boxes, mode);
        break;
    }
    default:
        return false;
    }
    Update();
    return true;
}

} // namespace pictures::metafile
