#include "decoder/gdi/Charsets.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace pictures::metafile {
namespace {

const char* CodepageOf(unsigned charset) {
    switch (charset) {
    case 77:
        return "MACINTOSH";
    case 128:
        return "CP932";
    case 129:
        return "CP949";
    case 134:
        return "CP936";
    case 136:
        return "CP950";
    case 161:
        return "CP1253";
    case 162:
        return "CP1254";
    case 163:
        return "CP1258";
    case 177:
        return "CP1255";
    case 178:
        return "CP1256";
    case 186:
        return "CP1257";
    case 204:
        return "CP1251";
    case 222:
        return "CP874";
    case 238:
        return "CP1250";
    case 255:
        return "CP437";
    default:
        return "CP1252";
    }
}

constexpr unsigned kCharsets[] = {0,   77,  128, 129, 134, 136, 161, 162,
                                  163, 177, 178, 186, 204, 222, 238, 255};

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

} // namespace

CodePages::CodePages() {
    for (const unsigned charset : kCharsets)
        converters_.emplace_back(CodepageOf(charset), iconv_open("UTF-8", CodepageOf(charset)));
}

CodePages::~CodePages() {
    for (const auto& [name, cd] : converters_)
        if (cd != kNoConverter)
            iconv_close(cd);
}

std::string CodePages::ToUtf8(std::string_view text, unsigned charset) const {
    if (text.empty())
        return {};
    const char* name = CodepageOf(charset);
    const auto found = std::find_if(converters_.begin(), converters_.end(), [name](const auto& c) {
        return std::strcmp(c.first, name) == 0;
    });
    std::string out;
    if (found != converters_.end() && found->second != kNoConverter) {
        iconv_t cd = found->second;
        iconv(cd, nullptr, nullptr, nullptr, nullptr); // back to the initial shift state
        std::string in(text);
        out.resize(in.size() * 4 + 8);
        char* src = in.data();
        std::size_t srcLeft = in.size();
        char* dst = out.data();
        std::size_t dstLeft = out.size();
        while (srcLeft > 0) {
            if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<std::size_t>(-1))
                break;
            if (errno != EILSEQ && errno != EINVAL)
                break;
            // Skip a byte the code page does not define.
            ++src;
            --srcLeft;
        }
        out.resize(out.size() - dstLeft);
        return out;
    }
    for (const unsigned char c : text)
        AppendUtf8(out, c);
    return out;
}

std::string Utf16ToUtf8(std::span<const unsigned char> bytes, bool stopAtZero) {
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        std::uint32_t c = bytes[i] | bytes[i + 1] << 8;
        if (c == 0 && stopAtZero)
            break;
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
            const std::uint32_t low = bytes[i + 2] | bytes[i + 3] << 8;
            if (low < 0xDC00 || low >= 0xE000)
                continue;
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c < 0xE000) {
            continue;
        }
        AppendUtf8(out, c);
    }
    return out;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace pictures::metafile
