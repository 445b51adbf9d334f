// Icons decoded entry by entry: Qt's reader ignores the AND mask of bitmaps below 32 bits and
// trusts the directory's size over the bitmap's own.
#include "decoder/raster/IcoReader.h"

#include "decoder/raster/RasterFormats.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <optional>

namespace pictures {

namespace {

struct Entry {
    QByteArrayView data; // what the file holds of the entry
    bool cut = false;    // the file ends before the entry does
    bool png = false;
};

qint64 U32(QByteArrayView b, qint64 at) {
    if (at < 0 || at + 4 > b.size())
        return -1;
    const auto* p = reinterpret_cast<const unsigned char*>(b.data() + at);
    return qint64{p[0]} | qint64{p[1]} << 8 | qint64{p[2]} << 16 | qint64{p[3]} << 24;
}

std::optional<Entry> Chosen(QByteArrayView file) {
    const qint64 entry = 6 + qint64{16} * LargestIconIndex(file);
    const qint64 length = U32(file, entry + 8), offset = U32(file, entry + 12);
    if (file.size() < 6 || (file[4] == 0 && file[5] == 0) || length <= 0 || offset < 0 ||
        offset >= file.size())
        return std::nullopt;
    Entry e;
    e.data = file.sliced(offset, std::min(length, file.size() - offset));
    e.cut = offset + length > file.size();
    e.png = e.data.startsWith(QByteArrayView("\x89PNG", 4));
    return e;
}

struct PngReader {
    QByteArray bytes;
    QBuffer buffer;
    QImageReader reader;
    explicit PngReader(QByteArrayView data) : bytes(data.toByteArray()), buffer(&bytes) {
        buffer.open(QIODevice::ReadOnly);
        reader.setDevice(&buffer);
        reader.setFormat("png");
        reader.setAutoDetectImageFormat(false);
    }
};

} // namespace

BitmapFacts IcoFacts(QByteArrayView file) {
    const std::optional<Entry> e = Chosen(file);
    if (!e)
        return {{},
                file.size() < 22 && file.size() >= 6 && (file[4] || file[5]) ? ShorterThanPicture()
                                                                             : DamagedData()};
    if (!e->png)
        return IconBitmapFacts(e->data);
    PngReader png(e->data);
    const QSize size = png.reader.size();
    return {size, size.isEmpty() ? DamagedData() : QString()};
}

Decoded DecodeIco(QByteArrayView file) {
    const std::optional<Entry> e = Chosen(file);
    if (!e)
        return {{}, DamagedData()};
    Decoded out;
    if (e->png) {
        PngReader png(e->data);
        const QImage image = png.reader.read();
        if (image.isNull())
            out.problem = e->cut ? ShorterThanPicture() : DamagedData();
        else
            out.image = image.convertToFormat(QImage::Format_ARGB32);
    } else {
        out = DecodeIconBitmap(e->data);
    }
    if (out.problem.isEmpty() && e->cut)
        out.problem = ShorterThanPicture();
    return out;
}

} // namespace pictures
