#include "decoder/wmf/WmfRecords.h"

#include "decoder/gdi/Decoded.h"

#include <algorithm>
#include <optional>
#include <utility>

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

std::vector<RegionScan> ReadRegion(std::span<const unsigned char> p) {
    std::vector<RegionScan> scans;
    if (p.size() < 22)
        return scans;
    const std::size_t count = ReadU16(p, 10);
    std::size_t at = 22;
    for (std::size_t scan = 0; scan < count && p.size() >= at + 6; ++scan) {
        const std::size_t coordinates = ReadU16(p, at);
        if (coordinates % 2 != 0 || p.size() < at + 8 + 2 * coordinates)
            break;
        RegionScan s{ReadS16(p, at + 2), ReadS16(p, at + 4), {}};
        for (std::size_t i = 0; i < coordinates; i += 2)
            s.spans.emplace_back(ReadS16(p, at + 6 + 2 * i), ReadS16(p, at + 8 + 2 * i));
        scans.push_back(std::move(s));
        at += 8 + 2 * coordinates;
    }
    return scans;
}

namespace {

using Words = std::vector<std::uint16_t>;

std::uint16_t Word(int value) {
    return static_cast<std::uint16_t>(value);
}

// A poly-polygon without its empty polygons, which make libwmf drop the whole record; nothing
// when it has none.
std::optional<Words> WithoutEmptyPolygons(std::span<const unsigned char> params) {
    const std::size_t polygons = params.size() >= 2 ? ReadU16(params, 0) : 0;
    if (params.size() < 2 + 2 * polygons)
        return std::nullopt;
    Words counts;
    for (std::size_t i = 0; i < polygons; ++i)
        if (const std::uint16_t n = ReadU16(params, 2 + 2 * i); n != 0)
            counts.push_back(n);
    if (counts.size() == polygons)
        return std::nullopt;
    Words out{static_cast<std::uint16_t>(counts.size())};
    out.insert(out.end(), counts.begin(), counts.end());
    for (std::size_t at = 2 + 2 * polygons; at + 1 < params.size(); at += 2)
        out.push_back(ReadU16(params, at));
    return out;
}

// A region as libwmf's reader expects it, from the scans that are well formed: libwmf refuses
// the whole file over one odd count or mismatched delimiter. Nothing when it is sound already.
std::optional<Words> SoundRegion(std::span<const unsigned char> params) {
    const std::vector<RegionScan> scans = ReadRegion(params);
    Words body;
    int left = 0, top = 0, right = 0, bottom = 0;
    std::size_t widest = 0;
    for (const RegionScan& s : scans) {
        const auto coordinates = static_cast<std::uint16_t>(2 * s.spans.size());
        body.insert(body.end(), {coordinates, Word(s.top), Word(s.bottom)});
        for (const auto& [l, r] : s.spans)
            body.insert(body.end(), {Word(l), Word(r)});
        body.push_back(coordinates);
        widest = std::max<std::size_t>(widest, coordinates);
    }
    if (!scans.empty()) {
        left = right = scans.front().spans.empty() ? 0 : scans.front().spans.front().first;
        for (const RegionScan& s : scans)
            for (const auto& [l, r] : s.spans) {
                left = std::min(left, l);
                right = std::max(right, r);
            }
        top = scans.front().top;
        bottom = scans.back().bottom;
    }
    Words out{0,
              6,
              0,
              0,
              Word(static_cast<int>(22 + 2 * body.size())),
              static_cast<std::uint16_t>(scans.size()),
              static_cast<std::uint16_t>(widest),
              Word(left),
              Word(top),
              Word(right),
              Word(bottom)};
    out.insert(out.end(), body.begin(), body.end());
    // Sound: the same scans, the same count, the delimiters matching.
    if (params.size() >= 22 && ReadU16(params, 10) == scans.size()) {
        std::size_t at = 22;
        bool same = true;
        for (std::size_t i = 0; i < body.size() && same; ++i, at += 2)
            same = at + 1 < params.size() && ReadU16(params, at) == body[i];
        if (same)
            return std::nullopt;
    }
    return out;
}

constexpr std::uint16_t kCreateRegion = 0x06FF;
constexpr std::uint16_t kDeleteObject = 0x01F0;
constexpr std::uint16_t kCreatesObject[] = {0x02FA, 0x02FB, 0x02FC,       0x0142,
                                            0x01F9, 0x00F7, kCreateRegion};
// Records naming objects by their slot, and how many slots each names first.
constexpr std::pair<std::uint16_t, std::size_t> kUsesObjects[] = {
    {0x012D, 1}, // SELECTOBJECT
    {0x012C, 1}, // SELECTCLIPREGION
    {0x0234, 1}, // SELECTPALETTE
    {0x01F0, 1}, // DELETEOBJECT
    {0x012B, 1}, // PAINTREGION
    {0x012A, 1}, // INVERTREGION
    {0x0228, 2}, // FILLREGION region, brush
    {0x0429, 2}, // FRAMEREGION region, brush
};

// Whether the record names a slot that holds no object: one never made, or deleted. libwmf
// refuses the whole file over it; GDI ignores the call.
bool NamesEmptySlot(std::uint16_t function, std::span<const unsigned char> params,
                    const std::vector<bool>& slots) {
    for (const auto& [uses, count] : kUsesObjects) {
        if (uses != function)
            continue;
        for (std::size_t i = 0; i < count; ++i)
            if (params.size() < 2 * i + 2 || ReadU16(params, 2 * i) >= slots.size() ||
                !slots[ReadU16(params, 2 * i)])
                return true;
    }
    return false;
}

} // namespace

std::vector<unsigned char> RepairRecords(std::span<const unsigned char> b, std::size_t start) {
    std::vector<unsigned char> out(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(start));
    const auto putU16 = [&out](std::uint16_t v) {
        out.push_back(static_cast<unsigned char>(v & 0xFF));
        out.push_back(static_cast<unsigned char>(v >> 8));
    };
    std::vector<bool> slots; // in use; libwmf takes the lowest free one
    std::size_t at = start;  // past the last record walked
    for (const auto& [function, params] : ReadRecords(b, start)) {
        const auto begin = static_cast<std::size_t>(params.data() - b.data()) - 6;
        at = begin + 6 + params.size();
        if (NamesEmptySlot(function, params, slots))
            continue;
        if (std::find(std::begin(kCreatesObject), std::end(kCreatesObject), function) !=
            std::end(kCreatesObject)) {
            const auto free = std::find(slots.begin(), slots.end(), false);
            if (free == slots.end())
                slots.push_back(true);
            else
                *free = true;
        } else if (function == kDeleteObject) {
            slots[ReadU16(params, 0)] = false;
        }
        const std::optional<Words> fixed = function == kPolyPolygon ? WithoutEmptyPolygons(params)
                                           : function == kCreateRegion ? SoundRegion(params)
                                                                       : std::nullopt;
        if (!fixed) {
            out.insert(out.end(), b.begin() + static_cast<std::ptrdiff_t>(begin),
                       b.begin() + static_cast<std::ptrdiff_t>(at));
        } else {
            const auto newWords = static_cast<std::uint32_t>(3 + fixed->size());
            putU16(static_cast<std::uint16_t>(newWords & 0xFFFF));
            putU16(static_cast<std::uint16_t>(newWords >> 16));
            putU16(function);
            for (const std::uint16_t w : *fixed)
                putU16(w);
        }
    }
    out.insert(out.end(), b.begin() + static_cast<std::ptrdiff_t>(std::min(at, b.size())), b.end());
    // libwmf refuses an object beyond the table the header sizes; some writers count short.
    const std::size_t objects = start - kStandardHeaderSize + 10;
    if (out.size() >= start && slots.size() > ReadU16(out, objects) && slots.size() <= 0xFFFF) {
        out[objects] = static_cast<unsigned char>(slots.size() & 0xFF);
        out[objects + 1] = static_cast<unsigned char>(slots.size() >> 8);
    }
    return out;
}

void CheckHeader(std::span<const unsigned char> file, std::size_t start) {
    if (file.size() < start)
        throw DecodeError("the file is not a valid WMF picture");
    const std::size_t header = start - kStandardHeaderSize;
    const std::size_t wordsAfterHeader = (file.size() - start) / 2;
    if ((ReadU16(file, header + 12) | std::uint32_t{ReadU16(file, header + 14)} << 16) >
        wordsAfterHeader)
        throw DecodeError("the file has a corrupt header");
    // The file's size field is only a hint (writers count the placeable header in it, or not);
    // what matters is whether the records reach their end record within the file.
    std::size_t at = start;
    while (true) {
        if (file.size() - at < 6)
            throw DecodeError("the file is cut short");
        const std::uint32_t words = ReadU16(file, at) | std::uint32_t{ReadU16(file, at + 2)} << 16;
        if (ReadU16(file, at + 4) == 0 || words < 3)
            return; // the end record, or one libwmf refuses by itself
        if (words > (file.size() - at) / 2)
            throw DecodeError("the file is cut short");
        at += std::size_t{words} * 2;
    }
}

void SetSizeFields(std::vector<unsigned char>& file, std::size_t start,
                   std::span<const Record> records) {
    const std::size_t header = start - kStandardHeaderSize;
    const auto put = [&file](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = static_cast<unsigned char>(value >> (8 * i));
    };
    std::uint32_t largest = 3;
    for (const Record& r : records)
        largest = std::max<std::uint32_t>(largest, 3 + r.params.size() / 2);
    put(header + 12, largest);
    // In words, from the standard header on; files are far smaller than 2^32 words.
    put(header + 6, static_cast<std::uint32_t>((file.size() - header) / 2));
}

} // namespace pictures::metafile
