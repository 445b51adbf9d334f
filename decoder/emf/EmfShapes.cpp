// Shapes of EMF records: lines, polygons, Béziers, rectangles, ellipses, arcs, pies, chords,
// pixels and regions, flattened in logical units and mapped to the document's, so that world
// transforms of any kind apply to them.
#include "decoder/emf/EmfPlayer.h"

#include "decoder/canvas/SvgText.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace pictures::metafile {
namespace {

constexpr double kTau = 2 * std::numbers::pi;

} // namespace

std::vector<Point> EmfPlayer::ReadPoints(const LittleEndian& b, std::size_t at, std::size_t count,
                                         bool small) const {
    const std::size_t each = small ? 4 : 8;
    if (count > b.Size() / each || !b.Has(at, count * each))
        throw DecodeError("the file has a corrupt record");
    std::vector<Point> points;
    points.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t p = at + i * each;
        points.push_back(small ? Point{double(b.S16(p)), double(b.S16(p + 2))}
                               : Point{double(b.S32(p)), double(b.S32(p + 4))});
    }
    return points;
}

int EmfPlayer::Segments(double radius) const {
    constexpr int kLeast = 8, kMost = 256;
    const Matrix& m = state_.ToDocument();
    const double scale = std::max(std::hypot(m.a, m.b), std::hypot(m.c, m.d));
    const double pixels = radius * scale * pixelsPerUnit_;
    if (!(pixels > 0))
        return kLeast;
    // A chord of a circle of radius r over angle a strays r a^2 / 8 from it: keep that under a
    // quarter pixel over a full turn.
    const double n = 2 * std::numbers::pi / std::sqrt(2 / std::max(pixels, 1e-9));
    return static_cast<int>(std::clamp(std::ceil(n), double(kLeast), double(kMost)));
}

std::vector<Point> EmfPlayer::AngleArc(double cx, double cy, double radius, double start,
                                       double sweep) const {
    const double turns = std::min(std::abs(sweep) / kTau, 1.0);
    const int n = std::max(2, static_cast<int>(std::ceil(Segments(radius) * turns)));
    std::vector<Point> points;
    for (int i = 0; i <= n; ++i) {
        const double t = start + sweep * i / n;
        points.push_back(Doc(cx + radius * std::cos(t), cy - radius * std::sin(t)));
    }
    return points;
}

std::vector<Point> EmfPlayer::Arc(double l, double t, double r, double b, double startX,
                                  double startY, double endX, double endY) const {
    const double cx = (l + r) / 2, cy = (t + b) / 2, rx = std::abs(r - l) / 2,
                 ry = std::abs(b - t) / 2;
    if (rx == 0 || ry == 0)
        return {Doc(l, t), Doc(r, b)};
    const double a0 = std::atan2((cy - startY) / ry, (startX - cx) / rx);
    const double a1 = std::atan2((cy - endY) / ry, (endX - cx) / rx);
    double sweep = std::fmod(a1 - a0 + 2 * kTau, kTau);
    if (sweep < 1e-9)
        sweep = kTau;
    if (state_.Current().clockwise)
        sweep -= kTau;
    // Along an ellipse of radii rx, ry: a circle of the larger one is fine enough.
    const int n = std::max(
        2, static_cast<int>(std::ceil(Segments(std::max(rx, ry)) * std::abs(sweep) / kTau)));
    std::vector<Point> points;
    for (int i = 0; i <= n; ++i) {
        const double a = a0 + sweep * i / n;
        points.push_back(Doc(cx + rx * std::cos(a), cy - ry * std::sin(a)));
    }
    return points;
}

std::vector<Point> EmfPlayer::EllipseRing(double l, double t, double r, double b) const {
    std::vector<Point> ring = Arc(l, t, r, b, r, (t + b) / 2, r, (t + b) / 2);
    if (ring.size() > 2)
        ring.pop_back();
    return ring;
}

std::vector<Point> EmfPlayer::RoundRectRing(double l, double t, double r, double b, double w,
                                            double h) const {
    if (l > r)
        std::swap(l, r);
    if (t > b)
        std::swap(t, b);
    const double rx = std::min(std::abs(w), r - l) / 2, ry = std::min(std::abs(h), b - t) / 2;
    if (rx == 0 || ry == 0)
        return {Doc(l, t), Doc(r, t), Doc(r, b), Doc(l, b)};
    const int n = std::max(2, Segments(std::max(rx, ry)) / 4);
    std::vector<Point> ring;
    const double corners[4][3] = {
        {r - rx, t + ry, 0}, {l + rx, t + ry, 1}, {l + rx, b - ry, 2}, {r - rx, b - ry, 3}};
    for (const auto& [cx, cy, quarter] : corners)
        for (int i = 0; i <= n; ++i) {
            const double a = (quarter + double(i) / n) * kTau / 4;
            ring.push_back(Doc(cx + rx * std::cos(a), cy - ry * std::sin(a)));
        }
    return ring;
}

void EmfPlayer::Beziers(const std::vector<Point>& c, std::vector<Point>& out) const {
    for (std::size_t i = 0; i + 3 <= c.size(); i += 3) {
        const Point p0 = out.empty() ? c[i] : out.back();
        const Point p1 = c[i], p2 = c[i + 1], p3 = c[i + 2];
        // Uniform steps stray at most 3/4 of the second differences over n^2.
        const double d = std::max(std::hypot(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y),
                                  std::hypot(p1.x - 2 * p2.x + p3.x, p1.y - 2 * p2.y + p3.y)) *
                         pixelsPerUnit_;
        const int n = static_cast<int>(std::clamp(std::ceil(std::sqrt(3 * d)), 1.0, 64.0));
        for (int k = 1; k <= n; ++k) {
            const double t = double(k) / n, u = 1 - t;
            out.push_back(
                {u * u * u * p0.x + 3 * u * u * t * p1.x + 3 * u * t * t * p2.x + t * t * t * p3.x,
                 u * u * u * p0.y + 3 * u * u * t * p1.y + 3 * u * t * t * p2.y +
                     t * t * t * p3.y});
        }
    }
}

bool EmfPlayer::PlayShape(const EmfRecord& record) {
    const LittleEndian b(record.bytes);
    const auto doc = [this](const std::vector<Point>& logical) {
        std::vector<Point> out;
        out.reserve(logical.size());
        for (const Point& p : logical)
            out.push_back(Doc(p.x, p.y));
        return out;
    };
    const auto rect = [&b](std::size_t at) {
        return std::array<double, 4>{double(b.S32(at)), double(b.S32(at + 4)),
                                     double(b.S32(at + 8)), double(b.S32(at + 12))};
    };
    EmfDc& s = state_.Current();
    switch (record.type) {
    case 2:
    case 85: { // POLYBEZIER
        const auto points = doc(ReadPoints(b, 28, b.U32(24), record.type == 85));
        if (points.empty())
            break;
        std::vector<Point> line{points.front()};
        Beziers({points.begin() + 1, points.end()}, line);
        Draw({{line, false}}, false, true);
        break;
    }
    case 3:
    case 86: // POLYGON
        Draw({{doc(ReadPoints(b, 28, b.U32(24), record.type == 86)), true}}, true, true);
        break;
    case 4:
    case 87: // POLYLINE
        Draw({{doc(ReadPoints(b, 28, b.U32(24), record.type == 87)), false}}, false, true);
        break;
    case 5:
    case 88: { // POLYBEZIERTO
        const auto logical = ReadPoints(b, 28, b.U32(24), record.type == 88);
        if (logical.size() < 3)
            break;
        std::vector<Point> line{Doc(s.position.x, s.position.y)};
        Beziers(doc(logical), line);
        if (building_)
            ContinueFigure({line.begin() + 1, line.end()});
        else
            Draw({{line, false}}, false, true);
        s.position = logical[logical.size() - logical.size() % 3 - 1];
        break;
    }
    case 6:
    case 89: // POLYLINETO
        LinesTo(ReadPoints(b, 28, b.U32(24), record.type == 89));
        break;
    case 54: // LINETO
        LinesTo({{double(b.S32(8)), double(b.S32(12))}});
        break;
    case 7:
    case 8:
    case 90:
    case 91: { // POLYPOLYLINE, POLYPOLYGON
        const bool small = record.type >= 90;
        const bool closed = record.type == 8 || record.type == 91;
        const std::uint32_t polygons = b.U32(24), total = b.U32(28);
        if (polygons > b.Size() / 4 || total > b.Size() / 4)
            throw DecodeError("the file has a corrupt record");
        const std::size_t pointsAt = 32 + std::size_t{polygons} * 4;
        const std::vector<Point> all = doc(ReadPoints(b, pointsAt, total, small));
        std::vector<Figure> figures;
        std::size_t used = 0;
        for (std::uint32_t i = 0; i < polygons; ++i) {
            const std::size_t count = b.U32(32 + std::size_t{i} * 4);
            if (count > all.size() - used)
                break;
            figures.push_back(
                {{all.begin() + long(used), all.begin() + long(used + count)}, closed});
            used += count;
        }
        Draw(std::move(figures), closed, true);
        break;
    }
    case 42: { // ELLIPSE
        const auto [l, t, r, bt] = rect(8);
        Draw({{EllipseRing(l, t, r, bt), true}}, true, true);
        break;
    }
    case 43: { // RECTANGLE
        const auto [l, t, r, bt] = rect(8);
        Draw({{{Doc(l, t), Doc(r, t), Doc(r, bt), Doc(l, bt)}, true}}, true, true);
        break;
    }
    case 44: { // ROUNDRECT
        const auto [l, t, r, bt] = rect(8);
        Draw({{RoundRectRing(l, t, r, bt, b.S32(24), b.S32(28)), true}}, true, true);
        break;
    }
    case 45:
    case 46:
    case 47:
    case 55: { // ARC, CHORD, PIE, ARCTO
        const auto [l, t, r, bt] = rect(8);
        std::vector<Point> arc = Arc(l, t, r, bt, b.S32(24), b.S32(28), b.S32(32), b.S32(36));
        if (record.type == 55) {
            // From the current position to the arc's start, then along it.
            if (building_) {
                ContinueFigure(arc);
            } else {
                arc.insert(arc.begin(), Doc(s.position.x, s.position.y));
                Draw({{arc, false}}, false, true);
            }
            const double cx = (l + r) / 2, cy = (t + bt) / 2, rx = std::abs(r - l) / 2,
                         ry = std::abs(bt - t) / 2;
            const double a1 = std::atan2(rx > 0 && ry > 0 ? (cy - b.S32(36)) / ry : 0,
                                         rx > 0 ? (b.S32(32) - cx) / rx : 1);
            s.position = {cx + rx * std::cos(a1), cy - ry * std::sin(a1)};
            break;
        }
        if (record.type == 47)
            arc.push_back(Doc((l + r) / 2, (t + bt) / 2));
        Draw({{arc, record.type != 45}}, record.type != 45, true);
        break;
    }
    case 41: { // ANGLEARC
        const double cx = b.S32(8), cy = b.S32(12), radius = b.U32(16);
        const double start = b.F32(20), sweep = b.F32(24);
        if (!(std::abs(start) < 1e6) || !(std::abs(sweep) < 1e6) || radius > 1e9)
            break;
        const double a0 = start * std::numbers::pi / 180,
                     a1 = (start + sweep) * std::numbers::pi / 180;
        const std::vector<Point> arc =
            AngleArc(cx, cy, radius, a0, std::clamp(a1 - a0, -kTau, kTau));
        if (building_) {
            ContinueFigure(arc);
        } else {
            std::vector<Point> line{Doc(s.position.x, s.position.y)};
            line.insert(line.end(), arc.begin(), arc.end());
            Draw({{line, false}}, false, true);
        }
        s.position = {cx + radius * std::cos(a1), cy - radius * std::sin(a1)};
        break;
    }
    case 56:
    case 92: { // POLYDRAW
        const bool small = record.type == 92;
        const std::uint32_t count = b.U32(24);
        const auto logical = ReadPoints(b, 28, count, small);
        const auto types = b.Span(28 + std::size_t{count} * (small ? 4 : 8), count);
        std::vector<Figure> figures;
        Point from = Doc(s.position.x, s.position.y);
        for (std::size_t i = 0; i < count; ++i) {
            const Point p = Doc(logical[i].x, logical[i].y);
            const unsigned type = types[i] & 6;
            if (type == 6 || figures.empty())
                figures.push_back({{type == 6 ? p : from}, false});
            if (type == 2) {
                figures.back().points.push_back(p);
            } else if (type == 4 && i + 2 < count) {
                Beziers({p, Doc(logical[i + 1].x, logical[i + 1].y),
                         Doc(logical[i + 2].x, logical[i + 2].y)},
                        figures.back().points);
                i += 2;
            }
            if (types[i] & 1)
                figures.back().closed = true;
            from = figures.back().points.back();
            s.position = logical[i];
        }
        Draw(std::move(figures), false, true);
        break;
    }
    case 15: { // SETPIXELV: a device pixel's square
        const Point p = Doc(b.S32(8), b.S32(12));
        const double side = state_.DeviceMapping().sx;
        const Rgb c = ColorRefAt(b, 16);
        FillBox(p.x, p.y, side, side, " fill=\"" + HexColor(c.r, c.g, c.b) + "\"");
        break;
    }
    case 71:
    case 72:
    case 74: { // FILLRGN, FRAMERGN, PAINTRGN
        const std::size_t dataAt = record.type == 71 ? 32 : record.type == 72 ? 40 : 28;
        const std::uint32_t dataSize = b.U32(24);
        if (dataSize < 32 || !b.Has(dataAt, dataSize))
            break;
        const std::uint32_t count = b.U32(dataAt + 8);
        if (count > (dataSize - 32) / 16)
            break;
        const Brush kept = s.brush;
        const Pen keptPen = s.pen;
        if (record.type != 74) {
            // The brush of the record, by handle; one not in the table leaves the current one.
            state_.Select(b.U32(28));
        }
        std::vector<Figure> boxes;
        for (std::uint32_t i = 0; i < count; ++i) {
            const auto [l, t, r, bt] = rect(dataAt + 32 + std::size_t{i} * 16);
            boxes.push_back({{Doc(l, t), Doc(r, t), Doc(r, bt), Doc(l, bt)}, true});
        }
        if (record.type == 72) {
            // Framed with the brush's colour, the frame drawn as an outline.
            s.pen = Pen{};
            s.pen.color = s.brush.color;
            Draw(std::move(boxes), false, true);
        } else {
            Draw(std::move(boxes), true, false);
        }
        s.brush = kept;
        s.pen = keptPen;
        break;
    }
    default:
        return false;
    }
    return true;
}

} // namespace pictures::metafile
