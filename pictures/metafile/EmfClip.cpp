// The EMF player's clipping region, kept as boxes that do not overlap (which is what the
// canvas cuts to): intersection, union, difference and exclusive-or of such regions.
#include "pictures/metafile/EmfState.h"

#include <algorithm>

namespace pictures::metafile {
namespace {

// Beyond this many boxes a region is taken as its bounding box.
constexpr std::size_t kMaxBoxes = 2000;
// No clipping, as a region: wider than any drawing's margin.
constexpr Box kEverywhere{-1e15, -1e15, 1e15, 1e15};

bool Empty(const Box& b) {
    return !(b.x0 < b.x1 && b.y0 < b.y1);
}

Box Intersection(const Box& a, const Box& b) {
    return {std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
}

// The parts of `a` outside `r`.
void Subtract(const Box& a, const Box& r, std::vector<Box>& out) {
    const Box i = Intersection(a, r);
    if (Empty(i)) {
        out.push_back(a);
        return;
    }
    for (const Box& part : {Box{a.x0, a.y0, a.x1, i.y0}, Box{a.x0, i.y1, a.x1, a.y1},
                            Box{a.x0, i.y0, i.x0, i.y1}, Box{i.x1, i.y0, a.x1, i.y1}})
        if (!Empty(part))
            out.push_back(part);
}

std::vector<Box> Minus(std::vector<Box> region, const std::vector<Box>& taken) {
    for (const Box& r : taken) {
        std::vector<Box> left;
        for (const Box& a : region)
            Subtract(a, r, left);
        region = std::move(left);
        if (region.size() > kMaxBoxes)
            break;
    }
    return region;
}

std::vector<Box> Disjoint(const std::vector<Box>& boxes) {
    std::vector<Box> out;
    for (const Box& b : boxes) {
        if (Empty(b))
            continue;
        std::vector<Box> fresh = Minus({b}, out);
        out.insert(out.end(), fresh.begin(), fresh.end());
        if (out.size() > kMaxBoxes)
            break;
    }
    return out;
}

std::vector<Box> Bounded(std::vector<Box> region) {
    if (region.size() <= kMaxBoxes)
        return region;
    Box all = region.front();
    for (const Box& b : region)
        all = {std::min(all.x0, b.x0), std::min(all.y0, b.y0), std::max(all.x1, b.x1),
               std::max(all.y1, b.y1)};
    return {all};
}

} // namespace

void EmfState::IntersectClip(const std::vector<Box>& boxes) {
    CombineClip(boxes, 1);
}

void EmfState::CombineClip(const std::vector<Box>& boxes, unsigned mode) {
    const std::vector<Box> b = Disjoint(boxes);
    const std::vector<Box> a = dc_.clip ? *dc_.clip : std::vector<Box>{kEverywhere};
    std::vector<Box> result;
    switch (mode) {
    case 1: // RGN_AND
        for (const Box& x : a)
            for (const Box& y : b)
                if (const Box i = Intersection(x, y); !Empty(i))
                    result.push_back(i);
        break;
    case 2: // RGN_OR
        result = a;
        for (const Box& x : Minus(b, a))
            result.push_back(x);
        break;
    case 3: { // RGN_XOR
        result = Minus(a, b);
        for (const Box& x : Minus(b, a))
            result.push_back(x);
        break;
    }
    case 4: // RGN_DIFF
        result = Minus(a, b);
        break;
    case 5: // RGN_COPY
        result = b;
        break;
    default:
        return;
    }
    dc_.clip = Bounded(std::move(result));
}

std::vector<Box> EmfState::CanvasClip() const {
    if (!dc_.clip)
        return {};
    if (dc_.clip->empty())
        return {{-1e15, -1e15, -1e15, -1e15}}; // clipped away: nothing is drawn
    return *dc_.clip;
}

} // namespace pictures::metafile
