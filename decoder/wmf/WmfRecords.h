// WMF records as the file holds them: the headers, the record chain libwmf plays, and the
// repairs made before libwmf sees the file.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace pictures::metafile {

inline constexpr std::size_t kPlaceableSize = 22;
inline constexpr std::size_t kStandardHeaderSize = 18;

inline std::uint16_t ReadU16(std::span<const unsigned char> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

inline std::int16_t ReadS16(std::span<const unsigned char> b, std::size_t at) {
    return static_cast<std::int16_t>(ReadU16(b, at));
}

struct Rect {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    double Width() const { return x1 - x0; }
    double Height() const { return y1 - y0; }
    bool operator==(const Rect&) const = default;
    Rect Normalized() const {
        return {std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
    }
    bool IsUsable() const {
        return std::isfinite(x0) && std::isfinite(y0) && std::isfinite(x1) && std::isfinite(y1) &&
               Width() > 0 && Height() > 0;
    }
};

struct Placeable {
    Rect box; // logical units
    double unitsPerInch = 0;
};

std::optional<Placeable> ReadPlaceable(std::span<const unsigned char> b);

// One record of the metafile, as libwmf's player walks them.
struct Record {
    std::uint16_t function = 0;
    std::span<const unsigned char> params;
};

// The records in the order libwmf plays them, from the end of the headers to the end record.
std::vector<Record> ReadRecords(std::span<const unsigned char> b, std::size_t start);

// One scan of a region record: rectangles from `top` to `bottom`, each spanning (left, right).
struct RegionScan {
    int top = 0, bottom = 0;
    std::vector<std::pair<int, int>> spans;
};

// The well-formed scans of a region record's parameters, up to the first that is not.
std::vector<RegionScan> ReadRegion(std::span<const unsigned char> params);

// The file with the records libwmf mishandles rewritten: poly-polygons without their empty
// polygons (libwmf drops the whole record), regions with only their well-formed scans, records
// naming an empty or deleted slot left out, and the object table as large as the records need
// (libwmf refuses the file otherwise).
std::vector<unsigned char> RepairRecords(std::span<const unsigned char> b, std::size_t start);

// libwmf allocates for the header's largest record before it reads one: a header that claims
// more than the file holds is refused (DecodeError) before libwmf sees it, and so is a record
// chain that the file ends before its end record.
void CheckHeader(std::span<const unsigned char> file, std::size_t start);

// Gives the header the sizes the file really has: its largest record, which libwmf checks the
// records against, and its own size. `records` are the file's as ReadRecords gives them.
void SetSizeFields(std::vector<unsigned char>& file, std::size_t start,
                   std::span<const Record> records);

} // namespace pictures::metafile
