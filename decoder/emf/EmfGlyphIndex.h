// Glyph indices of EMF and EMF+ text, which only the font can map: read in the order of the
// common TrueType fonts, where the printable ASCII glyphs sit 29 below their codes.
#pragma once

#include <optional>

namespace pictures::metafile {

// The printable ASCII character of glyph `index` (3 is the space), or nothing.
inline std::optional<char> AsciiOfGlyphIndex(unsigned index) {
    if (index < 3 || index > 0x7E - 29)
        return std::nullopt;
    return static_cast<char>(index + 29);
}

} // namespace pictures::metafile
