#include "pictures/RasterFormats.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace pictures {

namespace {

QString Truncated() {
    return QStringLiteral("the file ends before the picture does (truncated)");
}

std::uint32_t U8(QByteArrayView bytes, qsizetype at) {
    if (at < 0 || at >= bytes.size())
        return 0;
    return static_cast<std::uint8_t>(bytes[at]);
}

// Little-endian fields; a field past the end reads as 0, which every caller treats as absent.
std::uint32_t U16(QByteArrayView bytes, qsizetype at) {
    if (at < 0 || at + 2 > bytes.size())
        return 0;
    return U8(bytes, at) | (U8(bytes, at + 1) << 8);
}

std::uint32_t U32(QByteArrayView bytes, qsizetype at) {
    if (at < 0 || at + 4 > bytes.size())
        return 0;
    return U16(bytes, at) | (U16(bytes, at + 2) << 16);
}

bool StartsWith(QByteArrayView bytes, QByteArrayView prefix) {
    return bytes.size() >= prefix.size() && bytes.first(prefix.size()) == prefix;
}

// Walks the markers to the end-of-image marker. Entropy-coded data needs no parsing: inside it
// 0xFF is only ever followed by a stuffed zero or a restart marker, which are stepped over.
QString JpegIncompleteReason(QByteArrayView bytes) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    qsizetype at = 2; // past the start-of-image marker
    while (at < size) {
        const void* found = std::memchr(data + at, 0xFF, static_cast<std::size_t>(size - at));
        if (!found)
            break;
        at = static_cast<const unsigned char*>(found) - data;
        while (at < size && data[at] == 0xFF)
            ++at; // fill bytes
        if (at >= size)
            break;
        const unsigned char marker = data[at++];
        if (marker == 0xD9)
            return {};
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue; // no length follows these
        if (at + 2 > size)
            break;
        const qsizetype length = qsizetype{data[at]} << 8 | data[at + 1];
        if (length < 2)
            return QStringLiteral("damaged JPEG data (bad segment length)");
        at += length;
    }
    return Truncated();
}

// Skips a chain of GIF data sub-blocks; false when the file ends inside it.
bool SkipGifSubBlocks(QByteArrayView bytes, qsizetype& at) {
    while (at < bytes.size()) {
        const qsizetype length = U8(bytes, at++);
        if (length == 0)
            return true;
        at += length;
    }
    return false;
}

qsizetype GifColourTableSize(std::uint32_t packed) {
    return (packed & 0x80) ? qsizetype{3} << ((packed & 7) + 1) : 0;
}

// Qt decodes the first frame only, so that frame's data is all that must be whole.
QString GifIncompleteReason(QByteArrayView bytes) {
    qsizetype at = 13 + GifColourTableSize(U8(bytes, 10));
    while (at < bytes.size()) {
        const auto block = U8(bytes, at++);
        if (block == 0x21) { // extension: label, then sub-blocks
            ++at;
            if (!SkipGifSubBlocks(bytes, at))
                break;
        } else if (block == 0x2C) { // image descriptor
            const auto packed = U8(bytes, at + 8);
            at += 9 + GifColourTableSize(packed) + 1; // descriptor, colours, LZW code size
            return SkipGifSubBlocks(bytes, at) ? QString() : Truncated();
        } else if (block == 0x3B) {
            return {}; // no image at all: the decoder says so itself
        } else {
            return QStringLiteral("damaged GIF data (unknown block 0x%1)")
                .arg(block, 2, 16, QLatin1Char('0'));
        }
    }
    return Truncated();
}

QString BmpIncompleteReason(QByteArrayView bytes) {
    const qint64 dataOffset = U32(bytes, 10);
    const auto headerSize = U32(bytes, 14);
    qint64 width = 0;
    qint64 height = 0;
    qint64 bits = 0;
    std::uint32_t compression = 0;
    qint64 dataSize = 0;
    if (headerSize == 12) { // OS/2 core header
        width = U16(bytes, 18);
        height = U16(bytes, 20);
        bits = U16(bytes, 24);
    } else if (headerSize >= 40) {
        width = std::abs(static_cast<std::int32_t>(U32(bytes, 18)));
        height = std::abs(static_cast<std::int32_t>(U32(bytes, 22)));
        bits = U16(bytes, 28);
        compression = U32(bytes, 30);
        dataSize = U32(bytes, 34);
    } else {
        return {}; // a header Qt rejects on its own
    }
    qint64 needed = 0;
    if (compression == 0 || compression == 3 || compression == 6) { // plain rows
        if (width == 0 || height == 0)
            return {};
        const qint64 rowBytes = (width * bits + 31) / 32 * 4;
        needed = dataOffset + rowBytes * (height - 1) + (width * bits + 7) / 8;
    } else if (dataSize > 0) { // run-length coded: trust the stated size
        needed = dataOffset + dataSize;
    }
    return bytes.size() < needed ? Truncated() : QString();
}

QString IcoIncompleteReason(QByteArrayView bytes, int index) {
    const qsizetype entry = 6 + qsizetype{16} * index;
    if (entry + 16 > bytes.size())
        return Truncated();
    const qint64 end = qint64{U32(bytes, entry + 12)} + U32(bytes, entry + 8);
    return bytes.size() < end ? Truncated() : QString();
}

} // namespace

std::optional<Format> FormatOf(QByteArrayView bytes) {
    if (StartsWith(bytes, "GIF87a") || StartsWith(bytes, "GIF89a"))
        return Format::Gif;
    if (StartsWith(bytes, "\xFF\xD8\xFF"))
        return Format::Jpeg;
    if (StartsWith(bytes, "BM"))
        return Format::Bmp;
    if (StartsWith(bytes, QByteArrayView("\x00\x00\x01\x00", 4)))
        return Format::Ico;
    if (U32(bytes, 0) == 0x9AC6CDD7) // placeable metafile key
        return Format::Wmf;
    if (bytes.size() >= 18 && (U16(bytes, 0) == 1 || U16(bytes, 0) == 2) && U16(bytes, 2) == 9)
        return Format::Wmf; // in memory or on disk, header of nine words
    if (U32(bytes, 0) == 1 && U32(bytes, 40) == 0x464D4520)
        return Format::Emf;
    return std::nullopt;
}

QByteArray QtFormatName(Format format) {
    switch (format) {
    case Format::Gif:
        return "gif";
    case Format::Jpeg:
        return "jpeg";
    case Format::Bmp:
        return "bmp";
    case Format::Ico:
        return "ico";
    case Format::Wmf:
    case Format::Emf:
        break;
    }
    return {};
}

const char* FormatName(Format format) {
    switch (format) {
    case Format::Gif:
        return "GIF";
    case Format::Jpeg:
        return "JPEG";
    case Format::Bmp:
        return "BMP";
    case Format::Ico:
        return "ICO";
    case Format::Wmf:
        return "WMF";
    case Format::Emf:
        return "EMF";
    }
    return "";
}

QSize GifScreenSize(QByteArrayView bytes) {
    return QSize(static_cast<int>(U16(bytes, 6)), static_cast<int>(U16(bytes, 8)));
}

int LargestIconIndex(QByteArrayView bytes) {
    const int count = static_cast<int>(U16(bytes, 4));
    int best = 0;
    qint64 bestPixels = -1;
    std::uint32_t bestBits = 0;
    for (int i = 0; i < count; ++i) {
        const qsizetype entry = 6 + qsizetype{16} * i;
        if (entry + 16 > bytes.size())
            break;
        const qint64 width = U8(bytes, entry) ? U8(bytes, entry) : 256; // 0 stands for 256
        const qint64 height = U8(bytes, entry + 1) ? U8(bytes, entry + 1) : 256;
        const auto bits = U16(bytes, entry + 6);
        if (width * height > bestPixels || (width * height == bestPixels && bits > bestBits)) {
            best = i;
            bestPixels = width * height;
            bestBits = bits;
        }
    }
    return best;
}

QString IncompleteReason(Format format, QByteArrayView bytes, int imageIndex) {
    switch (format) {
    case Format::Jpeg:
        return JpegIncompleteReason(bytes);
    case Format::Gif:
        return GifIncompleteReason(bytes);
    case Format::Bmp:
        return BmpIncompleteReason(bytes);
    case Format::Ico:
        return IcoIncompleteReason(bytes, imageIndex);
    case Format::Wmf:
    case Format::Emf:
        break;
    }
    return {};
}

} // namespace pictures
