// What the viewer and its metafile helper (lumbrik-metafile) say to each other; both sides
// include this file, and the helper includes nothing else from the viewer.
//
// The viewer starts the helper with one argument naming the kind (--wmf or --emf), writes the
// whole file to its standard input and closes it. The helper answers on standard output with
//     lumbrik-metafile 1\n
//     size <width> <height>\n     natural size in hundredths of a millimetre
//     svg <byte count>\n
//     <exactly that many bytes: an SVG document whose viewBox is the whole picture>
// and exit status 0; or with a one-line reason on standard error and a non-zero status.
#pragma once

#include <cstddef>
#include <string_view>

namespace pictures::metafile {

inline constexpr std::string_view kHelperMagic = "lumbrik-metafile 1";
inline constexpr std::string_view kWmfArgument = "--wmf";
inline constexpr std::string_view kEmfArgument = "--emf";

enum HelperExit : int {
    kDecoded = 0,
    kUnreadable = 1,
    kBadUsage = 2,
    kOutOfMemory = 3,
    kUnsealed = 4
};

// Larger inputs are refused before any decoding.
inline constexpr std::size_t kMaxInputBytes = std::size_t{64} << 20;
// The answer stays well within what the viewer can draw within a frame or two: the SVG's size
// and its number of elements are capped.
inline constexpr std::size_t kMaxAnswerBytes = std::size_t{32} << 20;
inline constexpr std::size_t kMaxAnswerElements = 200'000;
// A side longer than 10 m (in hundredths of a millimetre) is a corrupt header, not a drawing.
inline constexpr double kMaxNaturalSide = 1'000'000.0;

} // namespace pictures::metafile
