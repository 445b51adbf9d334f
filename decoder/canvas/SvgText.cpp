#include "decoder/canvas/SvgText.h"

#include <array>
#include <charconv>
#include <cmath>

namespace pictures::metafile {

std::string Num(double value) {
    if (!std::isfinite(value))
        return "0";
    // Drawing coordinates come from floats; more digits would only bloat the document.
    std::array<char, 32> buffer{};
    const auto [end, ec] =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), static_cast<float>(value));
    if (ec != std::errc{})
        return "0";
    return std::string(buffer.data(), end);
}

std::string HexColor(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text = "#";
    for (const std::uint8_t c : {r, g, b}) {
        text += digits[c >> 4];
        text += digits[c & 15];
    }
    return text;
}

std::string XmlEscape(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (const char ch : utf8) {
        switch (ch) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            if (static_cast<unsigned char>(ch) < 0x20 && ch != '\t' && ch != '\n' && ch != '\r')
                break;
            out += ch;
        }
    }
    return out;
}

std::string Base64(std::string_view bytes) {
    static constexpr char table[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const auto n = (std::uint32_t{static_cast<unsigned char>(bytes[i])} << 16) |
                       (std::uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8) |
                       std::uint32_t{static_cast<unsigned char>(bytes[i + 2])};
        out += table[(n >> 18) & 63];
        out += table[(n >> 12) & 63];
        out += table[(n >> 6) & 63];
        out += table[n & 63];
    }
    if (i < bytes.size()) {
        std::uint32_t n = std::uint32_t{static_cast<unsigned char>(bytes[i])} << 16;
        if (i + 1 < bytes.size())
            n |= std::uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8;
        out += table[(n >> 18) & 63];
        out += table[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? table[(n >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

} // namespace pictures::metafile
