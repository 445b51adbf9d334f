// Device-independent bitmaps decoded by hand: Qt's reader refuses top-down and bitmask-header
// variants and leaves pixels that run-length or truncated data never reach uninitialised.
#include "decoder/raster/BmpReader.h"

#include "decoder/raster/RasterFormats.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace pictures {

namespace {

// Larger sides are the loader's to refuse as too large; these would not fit a QSize.
constexpr qint64 kMaxSide = std::numeric_limits<int>::max();

std::uint32_t U8(QByteArrayView b, qint64 at) {
    return at >= 0 && at < b.size() ? static_cast<std::uint8_t>(b[at]) : 0;
}
std::uint32_t U16(QByteArrayView b, qint64 at) {
    return U8(b, at) | U8(b, at + 1) << 8;
}
std::uint32_t U32(QByteArrayView b, qint64 at) {
    return U16(b, at) | U16(b, at + 2) << 16;
}

enum Compression : std::uint32_t { Rgb = 0, Rle8 = 1, Rle4 = 2, BitFields = 3, AlphaBitFields = 6 };

// One colour channel held under a bit mask, widened to 8 bits.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t max = 0;

    explicit Channel(std::uint32_t m = 0) : mask(m) {
        if (m) {
            shift = std::countr_zero(m);
            max = m >> shift;
            if (max & (max + 1))
                max = 0; // not one run of bits: ignored
        }
    }
    std::uint32_t operator()(std::uint32_t pixel, std::uint32_t absent) const {
        if (max == 255)
            return (pixel & mask) >> shift;
        return max ? ((pixel & mask) >> shift) * 255 / max : absent;
    }
};

struct Layout {
    qint64 width = 0, height = 0; // height of the picture, not counting an icon's mask
    bool topDown = false;
    int bits = 0;
    std::uint32_t compression = Rgb;
    Channel red, green, blue, alpha;
    std::vector<QRgb> palette;
    qint64 pixelsAt = 0; // offset of the pixel data in the bytes given
    QString problem;
};

QString Variant(const QString& what) {
    return QStringLiteral("unreadable BMP (%1)").arg(what);
}

// Reads the info header at `at`. `dataAt` is where the file header puts the pixels (0 for an
// icon, whose pixels follow the palette); it also ends a palette that is shorter than declared.
Layout ReadLayout(QByteArrayView b, qint64 at, qint64 dataAt, bool icon) {
    Layout l;
    const std::uint32_t size = U32(b, at);
    std::uint32_t planes = 1;
    qint64 storedHeight = 0;
    int entryBytes = 4;
    std::uint32_t coloursUsed = 0;
    if (size == 12) { // OS/2 1.x: 16-bit fields, three-byte palette entries
        l.width = U16(b, at + 4);
        storedHeight = static_cast<std::int16_t>(U16(b, at + 6));
        planes = U16(b, at + 8);
        l.bits = static_cast<int>(U16(b, at + 10));
        entryBytes = 3;
    } else if (size == 16 || size == 40 || size == 52 || size == 56 || size == 64 || size == 108 ||
               size == 124) {
        // Windows 3 and later, OS/2 2.x: fields past the header's own size count as zero.
        const auto field = [&](qint64 offset) {
            return offset + 4 <= size ? U32(b, at + offset) : 0;
        };
        l.width = static_cast<std::int32_t>(U32(b, at + 4));
        storedHeight = static_cast<std::int32_t>(U32(b, at + 8));
        planes = U16(b, at + 12);
        l.bits = static_cast<int>(U16(b, at + 14));
        l.compression = field(16);
        coloursUsed = field(32);
        if (size == 64 && (l.compression == 3 || l.compression == 4)) {
            l.problem = Variant(QStringLiteral("OS/2 compression %1").arg(l.compression));
            return l;
        }
        if (l.compression == BitFields || l.compression == AlphaBitFields) {
            // The masks follow a 40-byte header, and sit inside the larger ones.
            const qint64 masksAt = at + 40;
            l.red = Channel(U32(b, masksAt));
            l.green = Channel(U32(b, masksAt + 4));
            l.blue = Channel(U32(b, masksAt + 8));
            if (size >= 56 || l.compression == AlphaBitFields)
                l.alpha = Channel(U32(b, masksAt + 12));
            if (size == 40)
                at += l.compression == AlphaBitFields ? 16 : 12;
        }
    } else {
        l.problem = DamagedData();
        return l;
    }
    const qint64 paletteAt = at + size;
    if (icon)
        storedHeight /= 2;
    l.topDown = storedHeight < 0;
    l.height = std::abs(storedHeight);

    if (planes != 1 && !icon)
        l.problem = Variant(QStringLiteral("%1 planes").arg(planes));
    else if (l.compression == 4 || l.compression == 5)
        l.problem = Variant(l.compression == 4 ? QStringLiteral("JPEG inside")
                                               : QStringLiteral("PNG inside"));
    else if (l.compression > AlphaBitFields)
        l.problem = Variant(QStringLiteral("compression %1").arg(l.compression));
    else if (!(l.bits == 1 || l.bits == 2 || l.bits == 4 || l.bits == 8 || l.bits == 16 ||
               l.bits == 24 || l.bits == 32))
        l.problem = Variant(QStringLiteral("%1 bits a pixel").arg(l.bits));
    else if ((l.compression == Rle8 && l.bits != 8) || (l.compression == Rle4 && l.bits != 4) ||
             ((l.compression == BitFields || l.compression == AlphaBitFields) && l.bits != 16 &&
              l.bits != 32))
        l.problem =
            Variant(QStringLiteral("compression %1 at %2 bits").arg(l.compression).arg(l.bits));
    else if (l.width <= 0 || l.height <= 0 || l.width > kMaxSide || l.height > kMaxSide)
        l.problem = DamagedData();
    if (!l.problem.isEmpty())
        return l;

    if (l.compression == Rgb && l.bits == 16) {
        l.red = Channel(0x7C00), l.green = Channel(0x03E0), l.blue = Channel(0x001F);
    } else if (l.compression == Rgb && l.bits >= 24) {
        l.red = Channel(0xFF0000), l.green = Channel(0xFF00), l.blue = Channel(0xFF);
        if (icon && l.bits == 32)
            l.alpha = Channel(0xFF000000);
    }
    qint64 entries = 0;
    if (l.bits <= 8) {
        entries = qint64{1} << l.bits;
        if (coloursUsed > 0 && coloursUsed < entries)
            entries = coloursUsed;
        if (dataAt >= paletteAt) // OS/2 files often store fewer entries than their depth holds
            entries = std::min(entries, (dataAt - paletteAt) / entryBytes);
        for (qint64 i = 0; i < entries; ++i) {
            const qint64 e = paletteAt + i * entryBytes;
            l.palette.push_back(qRgb(int(U8(b, e + 2)), int(U8(b, e + 1)), int(U8(b, e))));
        }
    }
    l.pixelsAt = dataAt > 0 ? dataAt : paletteAt + entries * entryBytes;
    return l;
}

// Writes decoded pixels into a transparent canvas, stored row by stored row.
class Canvas {
public:
    explicit Canvas(const Layout& l)
        : l_(l), image_(int(l.width), int(l.height), QImage::Format_ARGB32) {
        image_.fill(Qt::transparent);
        bits_ = image_.bits();
    }
    bool isNull() const { return image_.isNull(); }
    QRgb* row(qint64 storedRow) {
        const qint64 y = l_.topDown ? storedRow : l_.height - 1 - storedRow;
        return reinterpret_cast<QRgb*>(bits_ + y * image_.bytesPerLine());
    }
    void put(qint64 x, qint64 storedRow, QRgb colour) {
        if (x >= 0 && x < l_.width && storedRow >= 0 && storedRow < l_.height)
            row(storedRow)[x] = colour;
    }
    QRgb index(std::uint32_t i) const {
        return i < l_.palette.size() ? l_.palette[i] : qRgb(0, 0, 0);
    }
    QImage& image() { return image_; }

private:
    const Layout& l_;
    QImage image_;
    uchar* bits_ = nullptr;
};

qint64 RowBytes(qint64 width, int bits) {
    return (width * bits + 31) / 32 * 4;
}

// Plain rows; false when the data ends before the last pixel.
bool DecodeRows(QByteArrayView b, const Layout& l, Canvas& canvas) {
    const qint64 stride = RowBytes(l.width, l.bits);
    const auto* data = reinterpret_cast<const uchar*>(b.data());
    const std::uint32_t indexMask = (1u << std::min(l.bits, 8)) - 1;
    for (qint64 row = 0; row < l.height; ++row) {
        const qint64 rowAt = l.pixelsAt + row * stride;
        const qint64 held = rowAt < b.size() ? (b.size() - rowAt) * 8 / l.bits : 0;
        const qint64 count = std::min(l.width, held);
        const uchar* in = data + std::min(rowAt, b.size());
        QRgb* out = canvas.row(row);
        for (qint64 x = 0; x < count; ++x) {
            if (l.bits <= 8) {
                const qint64 bit = x * l.bits;
                out[x] = canvas.index(in[bit / 8] >> (8 - l.bits - bit % 8) & indexMask);
                continue;
            }
            const uchar* p = in + x * (l.bits / 8);
            const std::uint32_t v = l.bits == 16 ? p[0] | p[1] << 8
                                    : l.bits == 24
                                        ? p[0] | p[1] << 8 | p[2] << 16
                                        : p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t{p[3]} << 24;
            out[x] = qRgba(int(l.red(v, 0)), int(l.green(v, 0)), int(l.blue(v, 0)),
                           int(l.alpha(v, 255)));
        }
        if (count < l.width)
            return false;
    }
    return true;
}

// Run-length coded rows. Pixels that skips, deltas and an early end pass over stay transparent;
// false when the data ends before the end-of-picture code.
bool DecodeRuns(QByteArrayView b, const Layout& l, Canvas& canvas) {
    const bool four = l.compression == Rle4;
    qint64 at = l.pixelsAt, x = 0, row = 0;
    const auto put = [&](std::uint32_t byte, qint64 i) {
        const std::uint32_t index = four ? (i % 2 ? byte & 15 : byte >> 4) : byte;
        canvas.put(x++, row, canvas.index(index));
    };
    while (row < l.height) {
        if (at + 2 > b.size())
            return false;
        const std::uint32_t count = U8(b, at), value = U8(b, at + 1);
        at += 2;
        if (count > 0) {
            for (std::uint32_t i = 0; i < count && x < l.width; ++i)
                put(value, i);
        } else if (value == 0) {
            x = 0, ++row;
        } else if (value == 1) {
            return true;
        } else if (value == 2) {
            if (at + 2 > b.size())
                return false;
            x += U8(b, at), row += U8(b, at + 1);
            at += 2;
        } else {
            const qint64 bytes = four ? (value + 1) / 2 : value;
            for (std::uint32_t i = 0; i < value; ++i) {
                const qint64 from = at + (four ? i / 2 : i);
                if (from >= b.size())
                    return false;
                if (x < l.width)
                    put(U8(b, from), i);
            }
            at += (bytes + 1) / 2 * 2; // absolute runs end on a 16-bit boundary
        }
    }
    return true;
}

Decoded Decode(QByteArrayView b, const Layout& l) {
    Decoded out;
    // The loader refuses such sides first; refused here too, so that no row offset below can
    // overflow whoever calls.
    if (l.width * l.height > kMaxDecodeBytes / 4) {
        out.problem = TooLargeToDraw(QSize(int(l.width), int(l.height)));
        return out;
    }
    Canvas canvas(l);
    if (canvas.isNull()) {
        out.problem = DamagedData();
        return out;
    }
    const bool whole = l.compression == Rle8 || l.compression == Rle4 ? DecodeRuns(b, l, canvas)
                                                                      : DecodeRows(b, l, canvas);
    if (!whole)
        out.problem = ShorterThanPicture();
    out.image = std::move(canvas.image());
    return out;
}

constexpr qint64 kFileHeaderBytes = 14;

Layout BmpLayout(QByteArrayView file) {
    if (file.size() < kFileHeaderBytes + 16) {
        Layout l;
        l.problem = ShorterThanPicture();
        return l;
    }
    qint64 dataAt = U32(file, 10);
    if (dataAt < kFileHeaderBytes + 12 || dataAt >= file.size())
        dataAt = 0; // a wrong offset: the pixels follow the palette
    return ReadLayout(file, kFileHeaderBytes, dataAt, false);
}

} // namespace

BitmapFacts BmpFacts(QByteArrayView file) {
    const Layout l = BmpLayout(file);
    return {QSize(int(l.width), int(l.height)), l.problem};
}

Decoded DecodeBmp(QByteArrayView file) {
    const Layout l = BmpLayout(file);
    if (!l.problem.isEmpty())
        return {{}, l.problem};
    return Decode(file, l);
}

BitmapFacts IconBitmapFacts(QByteArrayView dib) {
    const Layout l = ReadLayout(dib, 0, 0, true);
    return {QSize(int(l.width), int(l.height)), l.problem};
}

Decoded DecodeIconBitmap(QByteArrayView dib) {
    const Layout l = ReadLayout(dib, 0, 0, true);
    if (!l.problem.isEmpty())
        return {{}, l.problem};
    Decoded out = Decode(dib, l);
    if (out.image.isNull())
        return out;
    // The AND mask follows the colours: a set bit is a transparent pixel. A 32-bit icon carries
    // its own alpha and uses the mask only if that alpha is all zero.
    QImage& image = out.image;
    bool useMask = l.bits < 32;
    if (!useMask && out.problem.isEmpty()) {
        useMask = true;
        for (int y = 0; y < image.height() && useMask; ++y)
            for (int x = 0; x < image.width() && useMask; ++x)
                useMask = qAlpha(image.pixel(x, y)) == 0;
        if (useMask) // the alpha bytes are unused: take the colours as opaque
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    image.setPixel(x, y, image.pixel(x, y) | 0xFF000000);
    }
    if (!useMask)
        return out;
    const qint64 maskAt = l.pixelsAt + RowBytes(l.width, l.bits) * l.height;
    const qint64 stride = RowBytes(l.width, 1);
    for (qint64 row = 0; row < l.height; ++row) {
        const int y = int(l.topDown ? row : l.height - 1 - row);
        for (qint64 x = 0; x < l.width; ++x) {
            const qint64 at = maskAt + row * stride + x / 8;
            if (at >= dib.size()) {
                if (out.problem.isEmpty())
                    out.problem = ShorterThanPicture();
                return out;
            }
            if ((U8(dib, at) >> (7 - x % 8)) & 1)
                image.setPixel(int(x), y, qRgba(0, 0, 0, 0));
        }
    }
    return out;
}

} // namespace pictures
