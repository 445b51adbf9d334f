// Sets of non-overlapping boxes, the form EMF and EMF+ regions and clips take here (and what
// the canvas cuts to): combined by the region combine modes, with a bounded number of boxes.
#pragma once

#include "decoder/gdi/Clip.h"

#include <vector>

namespace pictures::metafile {

using Boxes = std::vector<Box>;

// Farther than any drawing reaches: the infinite region.
inline const Box kWholePlane{-1e15, -1e15, 1e15, 1e15};

// The combine modes: replace, intersect, union, xor, exclude, complement. Unknown modes
// replace. Past a few hundred boxes the result is the bounding box of them.
Boxes CombineBoxes(const Boxes& current, const Boxes& with, unsigned mode);

// The same area as `boxes`, which may overlap, in boxes that do not.
Boxes Disjoint(const Boxes& boxes);

// The smallest box holding all, or nothing when there are none.
bool BoundsOf(const Boxes& boxes, Box* bounds);
bool BoundsOf(const std::vector<Point>& points, Box* bounds);

} // namespace pictures::metafile
