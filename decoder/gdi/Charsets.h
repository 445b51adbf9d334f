// Metafile text to UTF-8: code pages by font character set, with every converter opened before
// the helper seals itself (opening one later would need the file system).
#pragma once

#include <iconv.h>

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pictures::metafile {

class CodePages {
public:
    // Opens the converters of every character set metafiles use.
    CodePages();
    ~CodePages();
    CodePages(const CodePages&) = delete;
    CodePages& operator=(const CodePages&) = delete;

    // `text` in the code page of a font of character set `charset`; bytes it does not define
    // are dropped. Without a converter it is read as Latin-1.
    std::string ToUtf8(std::string_view text, unsigned charset) const;

private:
    std::vector<std::pair<const char*, iconv_t>> converters_;
};

// Appends the code point, encoded as UTF-8.
void AppendUtf8(std::string& out, char32_t c);

// UTF-16 little-endian to UTF-8, up to a terminating zero when `stopAtZero`; unpaired
// surrogates are dropped.
std::string Utf16ToUtf8(std::span<const unsigned char> bytes, bool stopAtZero = true);

} // namespace pictures::metafile
