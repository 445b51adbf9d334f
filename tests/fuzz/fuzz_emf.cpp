// libFuzzer target: the EMF decoder of the metafile helper on arbitrary bytes.
#include "decoder/gdi/Charsets.h"
#include "decoder/gdi/Decoded.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The helper opens its converters before decoding.
    static const pictures::metafile::CodePages codePages;
    std::vector<unsigned char> bytes(data, data + size);
    try {
        pictures::metafile::DecodeEmf(bytes, codePages);
    } catch (const std::exception&) {
        // A refused file is a result, not a finding.
    }
    return 0;
}
