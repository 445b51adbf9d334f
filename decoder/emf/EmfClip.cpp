// The EMF player's clipping region, kept as boxes that do not overlap (which is what the
// canvas cuts to): intersection, union, difference and exclusive-or of such regions.
#include "decoder/emf/EmfState.h"

#include "decoder/gdi/Boxes.h"

#include <algorithm>

namespace pictures::metafile {

void EmfState::IntersectClip(const std::vector<Box>& boxes) {
    CombineClip(boxes, 1);
}

void EmfState::CombineClip(const std::vector<Box>& boxes, unsigned mode) {
    // RGN_AND, RGN_OR, RGN_XOR and RGN_DIFF are the combine modes of the same numbers;
    // RGN_COPY replaces.
    constexpr unsigned kAnd = 1, kCopy = 5, kReplace = 0;
    if (mode < kAnd || mode > kCopy)
        return;
    const Boxes current = dc_.clip ? *dc_.clip : Boxes{kWholePlane};
    dc_.clip = CombineBoxes(current, Disjoint(boxes), mode == kCopy ? kReplace : mode);
}

std::vector<Box> EmfState::CanvasClip() const {
    if (!dc_.clip)
        return {};
    if (dc_.clip->empty())
        return {{-1e15, -1e15, -1e15, -1e15}}; // clipped away: nothing is drawn
    return *dc_.clip;
}

} // namespace pictures::metafile
