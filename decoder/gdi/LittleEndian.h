// Bounds-checked little-endian reads from a record's bytes: a read past the end throws
// DecodeError, so that a short record can never be read beyond.
#pragma once

#include "decoder/gdi/Decoded.h"

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

namespace pictures::metafile {

class LittleEndian {
public:
    explicit LittleEndian(std::span<const unsigned char> bytes) : bytes_(bytes) {}

    std::size_t Size() const { return bytes_.size(); }
    bool Has(std::size_t at, std::size_t count) const {
        return at <= bytes_.size() && count <= bytes_.size() - at;
    }
    // `count` bytes from `at`; throws when they are not all there.
    std::span<const unsigned char> Span(std::size_t at, std::size_t count) const {
        if (!Has(at, count))
            throw DecodeError("the file has a corrupt record");
        return bytes_.subspan(at, count);
    }
    std::uint8_t U8(std::size_t at) const { return Span(at, 1)[0]; }
    std::uint16_t U16(std::size_t at) const {
        const auto b = Span(at, 2);
        return static_cast<std::uint16_t>(b[0] | b[1] << 8);
    }
    std::uint32_t U32(std::size_t at) const {
        const auto b = Span(at, 4);
        return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
               std::uint32_t{b[3]} << 24;
    }
    std::int16_t S16(std::size_t at) const { return static_cast<std::int16_t>(U16(at)); }
    std::int32_t S32(std::size_t at) const { return static_cast<std::int32_t>(U32(at)); }
    float F32(std::size_t at) const { return std::bit_cast<float>(U32(at)); }
    // A float, or 0 when it is not finite: a broken file's numbers must not poison the
    // arithmetic after.
    double FiniteF32(std::size_t at) const {
        const float value = F32(at);
        return std::isfinite(value) ? value : 0.0;
    }

private:
    std::span<const unsigned char> bytes_;
};

} // namespace pictures::metafile
