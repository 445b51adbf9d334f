#include "decoder/emf/EmfRecords.h"

#include "decoder/gdi/LittleEndian.h"

namespace pictures::metafile {
namespace {

constexpr std::uint32_t kEmrHeader = 1;
constexpr std::uint32_t kEmrEof = 14;

} // namespace

std::vector<EmfRecord> EmfRecords(std::span<const unsigned char> file) {
    const LittleEndian b(file);
    std::vector<EmfRecord> records;
    std::size_t at = 0;
    while (true) {
        if (!b.Has(at, 8))
            throw DecodeError("the file is cut short");
        const std::uint32_t type = b.U32(at);
        const std::uint32_t size = b.U32(at + 4);
        if (size < 8 || size % 4 != 0)
            throw DecodeError("the file has a corrupt record");
        if (!b.Has(at, size))
            throw DecodeError("the file is cut short");
        if (at != 0 && type == kEmrHeader)
            throw DecodeError("the file has a corrupt record");
        records.push_back({type, file.subspan(at, size)});
        at += size;
        if (type == kEmrEof)
            return records;
    }
}

} // namespace pictures::metafile
