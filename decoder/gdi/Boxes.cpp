#include "decoder/gdi/Boxes.h"

#include <algorithm>

namespace pictures::metafile {
namespace {

constexpr std::size_t kMaxBoxes = 1000;

bool Empty(const Box& b) {
    return !(b.x0 < b.x1 && b.y0 < b.y1);
}

Boxes Intersect(const Boxes& a, const Boxes& b) {
    Boxes out;
    for (const Box& p : a)
        for (const Box& q : b) {
            const Box r{std::max(p.x0, q.x0), std::max(p.y0, q.y0), std::min(p.x1, q.x1),
                        std::min(p.y1, q.y1)};
            if (!Empty(r))
                out.push_back(r);
        }
    return out;
}

// `a` without `b`: up to four boxes (above, below, left, right of `b`).
void SubtractOne(const Box& a, const Box& b, Boxes& out) {
    if (b.x0 >= a.x1 || b.x1 <= a.x0 || b.y0 >= a.y1 || b.y1 <= a.y0) {
        out.push_back(a);
        return;
    }
    const double top = std::max(a.y0, b.y0), bottom = std::min(a.y1, b.y1);
    for (const Box& r : {Box{a.x0, a.y0, a.x1, top}, Box{a.x0, bottom, a.x1, a.y1},
                         Box{a.x0, top, std::max(a.x0, b.x0), bottom},
                         Box{std::min(a.x1, b.x1), top, a.x1, bottom}})
        if (!Empty(r))
            out.push_back(r);
}

Boxes Subtract(const Boxes& a, const Boxes& b) {
    Boxes left = a;
    for (const Box& q : b) {
        Boxes next;
        for (const Box& p : left)
            SubtractOne(p, q, next);
        left = std::move(next);
        if (left.size() > kMaxBoxes)
            break;
    }
    return left;
}

Boxes Unite(const Boxes& a, const Boxes& b) {
    Boxes out = a;
    for (const Box& q : Subtract(b, a))
        out.push_back(q);
    return out;
}

} // namespace

Boxes Disjoint(const Boxes& boxes) {
    Boxes out;
    for (const Box& b : boxes)
        if (!Empty(b))
            out = Unite(out, {b});
    return out;
}

bool BoundsOf(const Boxes& boxes, Box* bounds) {
    if (boxes.empty())
        return false;
    Box r = boxes.front();
    for (const Box& b : boxes)
        r = {std::min(r.x0, b.x0), std::min(r.y0, b.y0), std::max(r.x1, b.x1),
             std::max(r.y1, b.y1)};
    *bounds = r;
    return true;
}

bool BoundsOf(const std::vector<Point>& points, Box* bounds) {
    if (points.empty())
        return false;
    Box r{points.front().x, points.front().y, points.front().x, points.front().y};
    for (const Point& p : points)
        r = {std::min(r.x0, p.x), std::min(r.y0, p.y), std::max(r.x1, p.x), std::max(r.y1, p.y)};
    *bounds = r;
    return true;
}

Boxes CombineBoxes(const Boxes& current, const Boxes& with, unsigned mode) {
    Boxes out;
    switch (mode) {
    case 1:
        out = Intersect(current, with);
        break;
    case 2:
        out = Unite(current, with);
        break;
    case 3:
        out = Unite(Subtract(current, with), Subtract(with, current));
        break;
    case 4:
        out = Subtract(current, with);
        break;
    case 5:
        out = Subtract(with, current);
        break;
    default:
        for (const Box& b : with)
            if (!Empty(b))
                out.push_back(b);
    }
    if (out.size() > kMaxBoxes) {
        Box bounds;
        BoundsOf(out, &bounds);
        out = {bounds};
    }
    return out;
}

} // namespace pictures::metafile
