#include "decoder/emfplus/EmfPlusGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pictures::metafile {
namespace {

constexpr int kMaxSteps = 256;

double Length(Point p) {
    return std::hypot(p.x, p.y);
}

} // namespace

// Steps by the curve's second differences: the error of a polyline of n steps is about
// 3/4 of the largest second difference over n squared.
void Flattener::Bezier(Point p0, Point p1, Point p2, Point p3, std::vector<Point>& out) {
    const double dd = std::max(Length({p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y}),
                               Length({p1.x - 2 * p2.x + p3.x, p1.y - 2 * p2.y + p3.y}));
    double wanted = std::ceil(std::sqrt(0.75 * dd / tolerance_));
    if (!std::isfinite(wanted))
        wanted = 1;
    const int steps = static_cast<int>(std::clamp<double>(
        std::min<double>(wanted, static_cast<double>(budget_ / 4)), 1, kMaxSteps));
    budget_ -= std::min<std::size_t>(budget_, static_cast<std::size_t>(steps));
    for (int i = 1; i <= steps; ++i) {
        const double t = double(i) / steps, u = 1 - t;
        const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
        out.push_back(
            {a * p0.x + b * p1.x + c * p2.x + d * p3.x, a * p0.y + b * p1.y + c * p2.y + d * p3.y});
    }
}

std::vector<Figure> Flattener::Path(const EmfPlusPath& path) {
    std::vector<Figure> figures;
    const std::size_t count = std::min(path.points.size(), path.types.size());
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t type = path.types[i];
        const Point p = toDocument_.Map(path.points[i]);
        if ((type & 7) == 0 || figures.empty() || figures.back().closed) {
            figures.push_back({{p}, false});
        } else if ((type & 7) == 3 && i + 2 < count && !figures.back().points.empty()) {
            Bezier(figures.back().points.back(), p, toDocument_.Map(path.points[i + 1]),
                   toDocument_.Map(path.points[i + 2]), figures.back().points);
            i += 2;
        } else {
            figures.back().points.push_back(p);
        }
        if (path.types[i] & 0x80)
            figures.back().closed = true;
    }
    return figures;
}

Figure Flattener::Lines(const std::vector<Point>& points, bool closed) {
    Figure figure{{}, closed};
    figure.points.reserve(points.size());
    for (const Point& p : points)
        figure.points.push_back(toDocument_.Map(p));
    return figure;
}

Figure Flattener::Beziers(const std::vector<Point>& points) {
    Figure figure;
    if (points.empty())
        return figure;
    figure.points.push_back(toDocument_.Map(points[0]));
    for (std::size_t i = 1; i + 2 < points.size(); i += 3)
        Bezier(figure.points.back(), toDocument_.Map(points[i]), toDocument_.Map(points[i + 1]),
               toDocument_.Map(points[i + 2]), figure.points);
    return figure;
}

Figure Flattener::Arc(double x, double y, double w, double h, double start, double sweep,
                      bool pie) {
    Figure figure{{}, pie};
    const double rx = w / 2, ry = h / 2, cx = x + rx, cy = y + ry;
    sweep = std::clamp(sweep, -360.0, 360.0);
    // Steps whose chords stray less than the tolerance from the transformed ellipse.
    const double radius =
        std::max(Length(toDocument_.MapVector({rx, 0})), Length(toDocument_.MapVector({0, ry})));
    const double step = std::sqrt(8 * tolerance_ / std::max(radius, tolerance_));
    const double turn = std::abs(sweep) * std::numbers::pi / 180;
    double wanted = std::ceil(turn / step);
    if (!std::isfinite(wanted))
        wanted = 4;
    const int steps = static_cast<int>(std::clamp(wanted, 4.0, 4.0 * kMaxSteps));
    // Angles of an ellipse are those of the circle it was stretched from, as GDI+ takes them.
    const auto at = [&](double degrees) {
        const double t = degrees * std::numbers::pi / 180;
        const double across = std::hypot(ry * std::cos(t), rx * std::sin(t));
        const double r = across > 0 ? std::abs(rx * ry) / across : 0;
        return toDocument_.Map({cx + r * std::cos(t), cy + r * std::sin(t)});
    };
    if (pie && std::abs(sweep) < 360)
        figure.points.push_back(toDocument_.Map({cx, cy}));
    for (int i = 0; i <= steps; ++i)
        figure.points.push_back(at(start + sweep * i / steps));
    if (std::abs(sweep) >= 360)
        figure.closed = true;
    return figure;
}

Figure Flattener::Curve(const std::vector<Point>& points, double tension, bool closed) {
    Figure figure{{}, closed};
    const std::size_t n = points.size();
    if (n < 2)
        return figure;
    std::vector<Point> p;
    p.reserve(n);
    for (const Point& q : points)
        p.push_back(toDocument_.Map(q));
    // Each point's tangent runs parallel to the line through its neighbours.
    const double k = 0.3 * (std::isfinite(tension) ? std::clamp(tension, 0.0, 10.0) : 0.5);
    const auto neighbour = [&](std::ptrdiff_t i) {
        if (closed)
            return p[static_cast<std::size_t>((i + std::ptrdiff_t(n)) % std::ptrdiff_t(n))];
        return p[static_cast<std::size_t>(std::clamp<std::ptrdiff_t>(i, 0, std::ptrdiff_t(n) - 1))];
    };
    figure.points.push_back(p[0]);
    const std::size_t segments = closed ? n : n - 1;
    for (std::size_t s = 0; s < segments; ++s) {
        const auto i = static_cast<std::ptrdiff_t>(s);
        const Point a = neighbour(i), b = neighbour(i + 1);
        const Point before = neighbour(i - 1), after = neighbour(i + 2);
        const Point c1{a.x + k * (b.x - before.x), a.y + k * (b.y - before.y)};
        const Point c2{b.x - k * (after.x - a.x), b.y - k * (after.y - a.y)};
        Bezier(a, c1, c2, b, figure.points);
    }
    return figure;
}

} // namespace pictures::metafile
