#include "decoder/emf/EmfState.h"

#include "decoder/gdi/LittleEndian.h"

#include <algorithm>
#include <cmath>

namespace pictures::metafile {
namespace {

// Hundredths of a millimetre per logical unit of the fixed mapping modes, from MM_LOMETRIC.
constexpr double kFixedModeMm[] = {0.1, 0.01, 0.254, 0.0254, 25.4 / 1440};
constexpr std::size_t kMaxSaved = 4096;

Matrix ReadXform(const LittleEndian& b, std::size_t at) {
    Matrix m{b.F32(at),      b.F32(at + 4),  b.F32(at + 8),
             b.F32(at + 12), b.F32(at + 16), b.F32(at + 20)};
    // A transform of non-finite or absurd numbers is dropped rather than spread into every point.
    for (const double v : {m.a, m.b, m.c, m.d, m.e, m.f})
        if (!(std::abs(v) < 1e12))
            return {};
    return m;
}

} // namespace

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
    const Matrix page{
        sx, 0, 0, sy, s.viewportOrg.x - s.windowOrg.x * sx, s.viewportOrg.y - s.windowOrg.y * sy};
    toDocument_ = dc_.world.Then(page).Then(device_.ToMatrix());
}

bool EmfState::Play(const EmfRecord& record) {
    const LittleEndian b(record.bytes);
    const auto point = [&b](std::size_t at) {
        return Point{static_cast<double>(b.S32(at)), static_cast<double>(b.S32(at + 4))};
    };
    if (PlayObject(record))
        return true;
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
        dc_.textColor = ColorRefAt(b, 8);
        break;
    case 25:
        dc_.bkColor = ColorRefAt(b, 8);
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
        const Matrix x = ReadXform(b, 8);
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
        const Point o = toDocument_.MapVector({double(b.S32(8)), double(b.S32(12))});
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
