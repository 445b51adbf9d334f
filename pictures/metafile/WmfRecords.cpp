#include "pictures/metafile/WmfRecords.h"

#include "pictures/metafile/Decoded.h"

#include <algorithm>

namespace pictures::metafile {
namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::uint16_t kPolyPolygon = 0x0538;

} // namespace

std::optional<Placeable> ReadPlaceable(std::span<const unsigned char> b) {
    if (b.size() < kPlaceableSize ||
        (ReadU16(b, 0) | std::uint32_t{ReadU16(b, 2)} << 16) != kPlaceableKey)
        return std::nullopt;
    Placeable p;
    p.box = {static_cast<double>(ReadS16(b, 6)), static_cast<double>(ReadS16(b, 8)),
             static_cast<double>(ReadS16(b, 10)), static_cast<double>(ReadS16(b, 12))};
    p.unitsPerInch = ReadU16(b, 14);
    return p;
}

std::vector<Record> ReadRecords(std::span<const unsigned char> b, std::size_t start) {
    std::vector<Record> records;
    std::size_t at = start;
    while (b.size() >= at + 6) {
        const std::uint32_t words = ReadU16(b, at) | std::uint32_t{ReadU16(b, at + 2)} << 16;
        const std::uint16_t function = ReadU16(b, at + 4);
        if (words < 3 || function == 0 || words > (b.size() - at) / 2)
            break;
        records.push_back({function, b.subspan(at + 6, (words - 3) * 2)});
        at += std::size_t{words} * 2;
    }
    return records;
}

std::vector<unsigned char> WithoutEmptyPolygons(std::span<const unsigned char> b,
                                                std::size_t start) {
    std::vector<unsigned char> out(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(start));
    std::size_t at = start;
    const auto putU16 = [&out](std::uint16_t v) {
        out.push_back(static_cast<unsigned char>(v & 0xFF));
        out.push_back(static_cast<unsigned char>(v >> 8));
    };
    while (b.size() >= at + 6) {
        const std::uint32_t words = ReadU16(b, at) | std::uint32_t{ReadU16(b, at + 2)} << 16;
        const std::uint16_t function = ReadU16(b, at + 4);
        if (words < 3 || function == 0 || words > (b.size() - at) / 2)
            break;
        const auto params = b.subspan(at + 6, (std::size_t{words} - 3) * 2);
        const std::size_t polygons = params.size() >= 2 ? ReadU16(params, 0) : 0;
        bool rewrite = false;
        if (function == kPolyPolygon && params.size() >= 2 + 2 * polygons) {
            for (std::size_t i = 0; i < polygons; ++i)
                rewrite = rewrite || ReadU16(params, 2 + 2 * i) == 0;
        }
        if (!rewrite) {
            out.insert(out.end(), b.begin() + static_cast<std::ptrdiff_t>(at),
                       b.begin() + static_cast<std::ptrdiff_t>(at + std::size_t{words} * 2));
        } else {
            std::vector<std::uint16_t> counts;
            for (std::size_t i = 0; i < polygons; ++i)
                if (const std::uint16_t n = ReadU16(params, 2 + 2 * i); n != 0)
                    counts.push_back(n);
            const auto points = params.subspan(2 + 2 * polygons);
            const std::uint32_t newWords = 3 + 1 + static_cast<std::uint32_t>(counts.size()) +
                                           static_cast<std::uint32_t>(points.size() / 2);
            putU16(static_cast<std::uint16_t>(newWords & 0xFFFF));
            putU16(static_cast<std::uint16_t>(newWords >> 16));
            putU16(function);
            putU16(static_cast<std::uint16_t>(counts.size()));
            for (const std::uint16_t n : counts)
                putU16(n);
            out.insert(out.end(), points.begin(), points.end());
        }
        at += std::size_t{words} * 2;
    }
    out.insert(out.end(), b.begin() + static_cast<std::ptrdiff_t>(std::min(at, b.size())), b.end());
    return out;
}

void CheckHeader(std::span<const unsigned char> file, std::size_t start) {
    if (file.size() < start)
        throw DecodeError("the file is not a valid WMF picture");
    const std::size_t header = start - kStandardHeaderSize;
    const auto u32 = [&file](std::size_t at) {
        return ReadU16(file, at) | std::uint32_t{ReadU16(file, at + 2)} << 16;
    };
    const std::size_t wordsAfterHeader = (file.size() - start) / 2;
    if (u32(header + 12) > wordsAfterHeader)
        throw DecodeError("the file has a corrupt header");
    // Some writers count the placeable header in the file's size.
    if (u32(header + 6) > file.size() / 2)
        throw DecodeError("the file is truncated");
}

void SetLargestRecord(std::vector<unsigned char>& file, std::size_t start) {
    std::uint32_t largest = 3;
    for (const Record& r : ReadRecords(file, start))
        largest = std::max<std::uint32_t>(largest, 3 + r.params.size() / 2);
    for (int i = 0; i < 4; ++i)
        file[start - kStandardHeaderSize + 12 + i] = static_cast<unsigned char>(largest >> (8 * i));
}

} // namespace pictures::metafile
