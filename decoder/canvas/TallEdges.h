// Path data with its tall edges cut into shorter collinear pieces. Qt's antialiasing rasterizer
// works in bands of a few dozen pixel rows and walks every edge row by row for each band, so an
// edge spanning the whole picture costs in proportion to the square of the drawing's height;
// it skips the pieces that miss a band at once.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pictures::metafile {

// `d` with every straight edge taller than `maxRise` cut into pieces no taller; none when no
// edge is that tall, or when `d` uses more than moves, lines and closes with absolute
// coordinates.
std::optional<std::string> CutTallEdges(std::string_view d, double maxRise);

} // namespace pictures::metafile
