// Small helpers for writing SVG text: numbers, colours, escaping, base64.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pictures::metafile {

// Shortest text that reads back as the same float; non-finite values become 0.
std::string Num(double value);

std::string HexColor(std::uint8_t r, std::uint8_t g, std::uint8_t b);

// Escapes for use inside an attribute or element; drops characters XML 1.0 forbids.
std::string XmlEscape(std::string_view utf8);

std::string Base64(std::string_view bytes);

} // namespace pictures::metafile
