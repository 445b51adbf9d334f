// The record chain of an EMF file: every record checked to lie within the file and to be
// sound in its framing before any is played.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pictures::metafile {

struct EmfRecord {
    std::uint32_t type = 0;
    std::span<const unsigned char> bytes; // the whole record, its type and size included
};

// The records from the header up to and including EMR_EOF; throws DecodeError when the chain
// is broken or cut short.
std::vector<EmfRecord> EmfRecords(std::span<const unsigned char> file);

} // namespace pictures::metafile
