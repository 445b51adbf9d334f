// libFuzzer target: one raster format's decoder on arbitrary bytes, as the decoder program opens
// a file and draws it, from the header to the pixels. FUZZ_FORMAT names the format.
#include "decoder/raster/RasterSource.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pictures;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // The program only hands a reader the bytes that look like its format.
    if (FormatOf(bytes) != Format::FUZZ_FORMAT)
        return 0;
    try {
        const RasterFileSource source(bytes, Format::FUZZ_FORMAT, QStringLiteral("fuzz"));
        // Small, so that every pixel decoder runs without each input costing a full-size draw.
        const QSize pixels = source.pixelSize();
        source.render(QSize(std::min(pixels.width(), 64), std::min(pixels.height(), 64)), {});
    } catch (const LoadError&) {
        // A refused file is a result, not a finding.
    }
    return 0;
}
