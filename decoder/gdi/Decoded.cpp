#include "decoder/gdi/Decoded.h"

#include "decoder/Limits.h"

#include <algorithm>
#include <cmath>

namespace pictures::metafile {

void CheckNaturalSize(double width, double height) {
    if (!(width > 0) || !(height > 0))
        throw DecodeError("the header gives the picture an empty or negative size");
    if (!std::isfinite(width) || !std::isfinite(height) || width > kMaxNaturalSide ||
        height > kMaxNaturalSide)
        throw DecodeError("the header claims an implausibly large picture");
}

std::size_t AnswerBudget(std::size_t inputBytes) {
    // A bitmap grows by a third in base64; drawing records, whose parameters are a few bytes
    // each, into tens of bytes of SVG.
    constexpr std::size_t kPerInputByte = 24, kBase = 1 << 20;
    return std::min(kMaxAnswerBytes, kBase + kPerInputByte * inputBytes);
}

} // namespace pictures::metafile
