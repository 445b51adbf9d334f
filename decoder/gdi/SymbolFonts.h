// Symbol fonts (Symbol, MT Extra, Euclid Symbol and Extra, Wingdings) place their own glyphs at
// the codes of an 8-bit character set; their text is mapped to Unicode by each font's table.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pictures::metafile {

// The UTF-8 text of `bytes` in the symbol font named `face`, or nothing when `face` is no
// symbol font known here. Codes a table lacks go to the private use area at U+F000, where
// symbol fonts also place their glyphs, so that the font itself draws them where present.
std::optional<std::string> SymbolFontToUtf8(std::string_view face, std::string_view bytes);

} // namespace pictures::metafile
