#include "decoder/raster/RasterFormats.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace pictures {

namespace {

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
            return DamagedData();
        at += length;
    }
    return ShorterThanPicture();
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
            return SkipGifSubBlocks(bytes, at) ? QString() : ShorterThanPicture();
        } else if (block == 0x3B) {
            return {}; // no image at all: the decoder says so itself
        } else {
            return DamagedData();
        }
    }
    return ShorterThanPicture();
}

std::uint32_t Be16(QByteArrayView bytes, qsizetype at) {
    return U8(bytes, at) << 8 | U8(bytes, at + 1);
}

// The Exif block of the APP1 segment, or empty.
QByteArrayView ExifOf(QByteArrayView bytes) {
    qsizetype at = 2;
    while (at + 4 <= bytes.size() && U8(bytes, at) == 0xFF) {
        const auto marker = U8(bytes, at + 1);
        const qsizetype length = Be16(bytes, at + 2);
        if (marker == 0xDA || marker == 0xD9 || length < 2)
            break;
        if (marker == 0xE1 && length >= 8 &&
            bytes.sliced(at + 4).startsWith(QByteArrayView("Exif\0\0", 6)))
            return bytes.sliced(at + 10, std::min(length - 8, bytes.size() - at - 10));
        at += 2 + length;
    }
    return {};
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

QString IncompleteReason(Format format, QByteArrayView bytes) {
    if (format == Format::Jpeg)
        return JpegIncompleteReason(bytes);
    if (format == Format::Gif)
        return GifIncompleteReason(bytes);
    return {};
}

QString ShorterThanPicture() {
    return QStringLiteral("the file is cut short");
}

QString DamagedData() {
    return QStringLiteral("damaged picture data");
}

QString TooLargeToDraw(QSize pixels) {
    return QStringLiteral("too large (%1 x %2)")
        .arg(pixels.width())
        .arg(pixels.height());
}

QRect GifFirstFrame(QByteArrayView bytes) {
    qsizetype at = 13 + GifColourTableSize(U8(bytes, 10));
    while (at < bytes.size()) {
        const auto block = U8(bytes, at++);
        if (block == 0x2C)
            return QRect(int(U16(bytes, at)), int(U16(bytes, at + 2)), int(U16(bytes, at + 4)),
                         int(U16(bytes, at + 6)));
        if (block != 0x21)
            break;
        ++at;
        if (!SkipGifSubBlocks(bytes, at))
            break;
    }
    return {};
}

int JpegOrientation(QByteArrayView bytes) {
    const QByteArrayView tiff = ExifOf(bytes);
    const bool big = tiff.startsWith("MM");
    if (!big && !tiff.startsWith("II"))
        return 1;
    const auto u16 = [&](qsizetype at) { return big ? Be16(tiff, at) : U16(tiff, at); };
    const auto u32 = [&](qsizetype at) {
        return big ? Be16(tiff, at) << 16 | Be16(tiff, at + 2) : U32(tiff, at);
    };
    const qsizetype ifd = u32(4);
    const auto count = u16(ifd);
    for (std::uint32_t i = 0; i < count; ++i) {
        const qsizetype entry = ifd + 2 + qsizetype{12} * i;
        if (entry + 12 > tiff.size())
            break;
        if (u16(entry) != 0x0112)
            continue;
        std::uint32_t value = 0;
        switch (u16(entry + 2)) { // the value sits at the start of its field, whatever its size
        case 1:                   // BYTE
        case 6:                   // SBYTE
            value = U8(tiff, entry + 8);
            break;
        case 3: // SHORT
        case 8: // SSHORT
            value = u16(entry + 8);
            break;
        case 4: // LONG
        case 9: // SLONG
            value = u32(entry + 8);
            break;
        default:
            break;
        }
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

JpegFrame JpegFrameOf(QByteArrayView bytes) {
    JpegFrame frame;
    qsizetype at = 2;
    while (at + 4 <= bytes.size()) {
        if (U8(bytes, at) != 0xFF) {
            break;
        }
        const auto marker = U8(bytes, at + 1);
        if (marker == 0xFF) {
            ++at; // fill byte
            continue;
        }
        const qsizetype length = Be16(bytes, at + 2);
        const bool sof =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (sof) {
            frame.size = QSize(int(Be16(bytes, at + 7)), int(Be16(bytes, at + 5)));
            frame.components = int(U8(bytes, at + 9));
            // Progressive Huffman or arithmetic, plain or differential.
            frame.buffersCoefficients = (marker & 3) == 2;
        } else if (marker == 0xDA) {
            // libjpeg keeps the whole picture's coefficients when the first scan does not hold
            // every component.
            if (int(U8(bytes, at + 4)) < frame.components)
                frame.buffersCoefficients = true;
            break;
        }
        if (length < 2)
            break;
        at += 2 + length;
    }
    return frame;
}

} // namespace pictures
