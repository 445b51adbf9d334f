// The bounds every metafile decode keeps, whatever the file claims.
#pragma once

#include <cstddef>

namespace pictures::metafile {

// Larger inputs are refused before any decoding.
inline constexpr std::size_t kMaxInputBytes = std::size_t{64} << 20;
// The drawing stays well within what can be drawn within a frame or two: the SVG's size and
// its number of elements are capped.
inline constexpr std::size_t kMaxAnswerBytes = std::size_t{32} << 20;
inline constexpr std::size_t kMaxAnswerElements = 200'000;
// A side longer than 10 m (in hundredths of a millimetre) is a corrupt header, not a drawing.
inline constexpr double kMaxNaturalSide = 1'000'000.0;

} // namespace pictures::metafile
