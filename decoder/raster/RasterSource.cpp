#include "decoder/raster/RasterSource.h"

#include "decoder/raster/BmpReader.h"
#include "decoder/raster/ColourProfile.h"
#include "decoder/raster/GifCanvas.h"
#include "decoder/raster/IcoReader.h"
#include "decoder/raster/JpegDecode.h"

#include <QBuffer>
#include <QImageIOHandler>
#include <QImageReader>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <optional>

namespace pictures {

namespace {

// Past these a header is taken for a lie or a bomb, before anything is allocated: what the
// decoder will hold at once, counted as it allocates it.
constexpr qint64 kMaxSide = 65535;
constexpr qint64 kBytesPerDecodedPixel = 4;

[[noreturn]] void Fail(const QString& fileName, const QString& reason) {
    throw LoadError((fileName + QStringLiteral(": ") + reason).toStdString());
}

qint64 Area(QSize size) {
    return qint64{size.width()} * size.height();
}

// What decoding needs at once: the whole picture for formats without scaled decoding; for JPEG
// (given its frame header) the smallest scaled output, plus every coefficient when the file
// makes libjpeg keep them. In floating point: a BMP may claim sides whose bytes overflow an
// integer, and the figure stays exact up to 2^53 bytes.
double DecodeBytes(QSize stored, const std::optional<JpegFrame>& jpeg) {
    if (!jpeg)
        return double(Area(stored)) * kBytesPerDecodedPixel;
    const qint64 smallest =
        Area(QSize((stored.width() + 7) / 8, (stored.height() + 7) / 8)) * kBytesPerDecodedPixel;
    return double(smallest +
                  (jpeg->buffersCoefficients ? Area(jpeg->size) * jpeg->components * 2 : 0));
}

void CheckLimits(const QString& fileName, Format format, QSize size,
                 const std::optional<JpegFrame>& jpeg = {}) {
    qint64 limit = kMaxDecodeBytes;
    // Qt decodes a GIF whole under its own allocation limit, which may be lower: a setting of
    // the whole process, left as it is.
    const qint64 qtLimit = qint64{QImageReader::allocationLimit()} << 20;
    if (format == Format::Gif && qtLimit > 0)
        limit = std::min(limit, qtLimit);
    const double needed = DecodeBytes(size, jpeg);
    if (size.width() > kMaxSide || size.height() > kMaxSide || needed > double(limit))
        Fail(
            fileName,
            QStringLiteral("too large to draw (%1 MB)").arg(qint64(std::ceil(needed / (1 << 20)))));
}

// Turned upright as the Exif orientation says; 5 to 8 swap the sides.
QImage Upright(const QImage& image, int orientation) {
    switch (orientation) {
    case 2:
        return image.mirrored(true, false);
    case 3:
        return image.mirrored(true, true);
    case 4:
        return image.mirrored(false, true);
    case 5:
        return image.transformed(QTransform().rotate(90)).mirrored(true, false);
    case 6:
        return image.transformed(QTransform().rotate(90));
    case 7:
        return image.transformed(QTransform().rotate(90)).mirrored(false, true);
    case 8:
        return image.transformed(QTransform().rotate(270));
    default:
        return image;
    }
}

// One reader per use: readers keep decoding state, and the bytes are shared, not copied.
struct Reader {
    QBuffer buffer;
    QImageReader reader;

    Reader(const QByteArray& bytes, Format format) {
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        reader.setDevice(&buffer);
        reader.setFormat(QtFormatName(format));
        reader.setAutoDetectImageFormat(false);
        reader.setAutoTransform(false); // JPEG orientation is read here, of any integer type
    }
};

// Drawn pictures come in the two formats that paint fastest.
QImage ForPainting(const QImage& image) {
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
}

// Converted before scaling: QImage::scaled() scales a 1-bit image without smoothing and with a
// black-and-white palette in place of its own.
QImage Fill(const QImage& image, QSize size) {
    const QImage converted = ForPainting(image);
    if (converted.size() == size)
        return converted;
    return converted.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

RasterFileSource::RasterFileSource(QByteArray bytes, Format format, QString fileName)
    : bytes_(std::move(bytes)), format_(format), fileName_(std::move(fileName)) {
    QSize stored;
    if (format_ == Format::Bmp || format_ == Format::Ico) {
        const BitmapFacts facts = format_ == Format::Bmp ? BmpFacts(bytes_) : IcoFacts(bytes_);
        if (!facts.problem.isEmpty())
            Fail(fileName_, facts.problem);
        stored = facts.size;
    } else {
        Reader r(bytes_, format_);
        stored = r.reader.canRead() ? r.reader.size() : QSize();
        if (!stored.isValid() || stored.isEmpty())
            Fail(fileName_, IncompleteReason(format_, bytes_).isEmpty() ? DamagedData()
                                                                        : ShorterThanPicture());
    }
    if (format_ == Format::Jpeg) {
        CheckLimits(fileName_, format_, stored, JpegFrameOf(bytes_));
        orientation_ = JpegOrientation(bytes_);
    } else {
        CheckLimits(fileName_, format_, stored);
    }
    if (format_ == Format::Gif)
        CheckLimits(fileName_, format_, GifScreenSize(bytes_));
    upright_ = transposed() ? stored.transposed() : stored;
}

const RasterFileSource::Facts& RasterFileSource::facts() const {
    std::call_once(factsRead_, [this] {
        facts_.incomplete = IncompleteReason(format_, bytes_);
        if (format_ == Format::Bmp)
            facts_.bmpSpace = RgbColourSpace(BmpEmbeddedProfile(bytes_));
    });
    return facts_;
}

Rendering RasterFileSource::render(QSize size, const std::stop_token& stop) const {
    if (size.isEmpty())
        return {};
    if (format_ == Format::Jpeg)
        return renderJpeg(size, stop);
    Decoded decoded;
    if (format_ == Format::Bmp || format_ == Format::Ico) {
        decoded = format_ == Format::Bmp ? DecodeBmp(bytes_) : DecodeIco(bytes_);
    } else {
        Reader r(bytes_, format_);
        const QImage image = r.reader.read();
        decoded.image = FirstFrameOnScreen(image, bytes_);
        decoded.problem = facts().incomplete;
        if (image.isNull() && decoded.problem.isEmpty())
            decoded.problem = DamagedData();
    }
    Rendering rendering;
    // Converted at the size drawn, where it costs least.
    const QColorSpace space =
        format_ == Format::Bmp ? facts().bmpSpace : decoded.image.colorSpace();
    if (!decoded.image.isNull())
        rendering.image = ToSrgb(Fill(decoded.image, size), space);
    if (!decoded.problem.isEmpty())
        rendering.error = fileName_ + QStringLiteral(": ") + decoded.problem;
    return rendering;
}

// Decoded at the smallest DCT scale that covers `size`, reduced by area averaging, and turned
// upright and into sRGB only once it is small.
Rendering RasterFileSource::renderJpeg(QSize size, const std::stop_token& stop) const {
    const QSize stored = transposed() ? size.transposed() : size;
    const JpegDecoding jpeg = DecodeJpeg(bytes_, stored, stop);
    QString problem = facts().incomplete;
    if (problem.isEmpty() && !jpeg.error.isEmpty())
        problem = DamagedData();
    Rendering rendering;
    if (!jpeg.image.isNull())
        rendering.image = ToSrgb(Upright(Fill(jpeg.image, stored), orientation_),
                                 RgbColourSpace(jpeg.iccProfile));
    if (!problem.isEmpty())
        rendering.error = fileName_ + QStringLiteral(": ") + problem;
    return rendering;
}

} // namespace pictures
