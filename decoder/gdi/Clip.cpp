#include "decoder/gdi/Clip.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace pictures::metafile {
namespace {

// One edge of the box: the half-plane coordinate `axis` (0: x, 1: y) >= or <= `limit`.
struct Edge {
    int axis;
    double limit;
    bool keepGreater;
    bool Inside(const Point& p) const {
        const double v = axis == 0 ? p.x : p.y;
        return keepGreater ? v >= limit : v <= limit;
    }
    Point Cross(const Point& a, const Point& b) const {
        const double va = axis == 0 ? a.x : a.y, vb = axis == 0 ? b.x : b.y;
        const double t = (limit - va) / (vb - va);
        Point p{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
        (axis == 0 ? p.x : p.y) = limit;
        return p;
    }
};

std::vector<Edge> EdgesOf(const Box& box) {
    return {{0, box.x0, true}, {0, box.x1, false}, {1, box.y0, true}, {1, box.y1, false}};
}

} // namespace

// Sutherland-Hodgman against each edge of the box in turn.
std::vector<Point> ClipPolygon(const std::vector<Point>& polygon, const Box& box) {
    std::vector<Point> out = polygon;
    for (const Edge& edge : EdgesOf(box)) {
        if (out.empty())
            break;
        std::vector<Point> in = std::move(out);
        out.clear();
        Point previous = in.back();
        for (const Point& p : in) {
            const bool inside = edge.Inside(p);
            if (inside != edge.Inside(previous))
                out.push_back(edge.Cross(previous, p));
            if (inside)
                out.push_back(p);
            previous = p;
        }
    }
    return out.size() >= 3 ? out : std::vector<Point>{};
}

// Liang-Barsky for each segment; consecutive kept segments join into one part.
std::vector<std::vector<Point>> ClipPolyline(const std::vector<Point>& line, const Box& box) {
    std::vector<std::vector<Point>> parts;
    bool joined = false;
    for (std::size_t i = 1; i < line.size(); ++i) {
        const Point a = line[i - 1], b = line[i];
        const double dx = b.x - a.x, dy = b.y - a.y;
        double t0 = 0, t1 = 1;
        bool visible = true;
        for (const auto& [p, q] : {std::pair(-dx, a.x - box.x0), std::pair(dx, box.x1 - a.x),
                                   std::pair(-dy, a.y - box.y0), std::pair(dy, box.y1 - a.y)}) {
            if (p == 0) {
                visible = visible && q >= 0;
                continue;
            }
            const double t = q / p;
            if (p < 0)
                t0 = std::max(t0, t);
            else
                t1 = std::min(t1, t);
        }
        if (!visible || t0 > t1) {
            joined = false;
            continue;
        }
        const Point from{a.x + dx * t0, a.y + dy * t0}, to{a.x + dx * t1, a.y + dy * t1};
        if (!joined || t0 > 0)
            parts.push_back({from});
        parts.back().push_back(to);
        joined = t1 >= 1;
    }
    return parts;
}

} // namespace pictures::metafile
