#include "pictures/RasterSource.h"

#include "pictures/ColourProfile.h"
#include "pictures/JpegDecode.h"

#include <QBuffer>
#include <QImageIOHandler>
#include <QImageReader>

namespace pictures {

namespace {

// Past these a header is taken for a lie or a bomb, before anything is allocated.
constexpr qint64 kMaxSide = 65535;
constexpr qint64 kMaxPixels = qint64{1} << 28;
constexpr qint64 kBytesPerDecodedPixel = 4;

[[noreturn]] void Fail(const QString& fileName, const QString& reason) {
    throw LoadError((fileName + QStringLiteral(": ") + reason).toStdString());
}

QString TooLarge(QSize size) {
    return QStringLiteral("picture too large (%1 x %2 pixels)")
        .arg(size.width())
        .arg(size.height());
}

bool ExceedsLimits(QSize size, bool decodedWhole) {
    const qint64 width = size.width();
    const qint64 height = size.height();
    if (width > kMaxSide || height > kMaxSide || width * height > kMaxPixels)
        return true;
    // A format without scaled decoding is decoded at full size, which Qt refuses past its
    // allocation limit: better said at once than on every drawing.
    const qint64 limitMb = QImageReader::allocationLimit();
    return decodedWhole && limitMb > 0 &&
           width * height * kBytesPerDecodedPixel > limitMb * 1024 * 1024;
}

QString DecodeFailure(const QImageReader& reader, Format format) {
    const QString what = QStringLiteral("cannot be decoded as %1").arg(FormatName(format));
    if (reader.error() == QImageReader::UnknownError)
        return what;
    return what + QStringLiteral(" (") + reader.errorString() + QStringLiteral(")");
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

// The orientation a file asks for, applied as Qt's readers do: mirrored first, then turned.
QImage Upright(const QImage& image, QImageIOHandler::Transformations orientation) {
    QImage upright = image.mirrored(orientation.testFlag(QImageIOHandler::TransformationMirror),
                                    orientation.testFlag(QImageIOHandler::TransformationFlip));
    if (orientation.testFlag(QImageIOHandler::TransformationRotate90))
        upright = upright.transformed(QTransform().rotate(90));
    return upright;
}

} // namespace

RasterFileSource::RasterFileSource(QByteArray bytes, Format format, QString fileName)
    : bytes_(std::move(bytes)), format_(format), fileName_(std::move(fileName)) {
    Reader r(bytes_, format_);
    if (!r.reader.canRead())
        Fail(fileName_, DecodeFailure(r.reader, format_));
    if (format_ == Format::Ico) {
        imageIndex_ = LargestIconIndex(bytes_);
        if (imageIndex_ > 0 && !r.reader.jumpToImage(imageIndex_))
            Fail(fileName_, DecodeFailure(r.reader, format_));
    }
    const QSize stored = r.reader.size();
    if (!stored.isValid() || stored.isEmpty())
        Fail(fileName_, DecodeFailure(r.reader, format_));
    const bool decodedWhole = format_ != Format::Jpeg;
    if (ExceedsLimits(stored, decodedWhole))
        Fail(fileName_, TooLarge(stored));
    if (format_ == Format::Gif && ExceedsLimits(GifScreenSize(bytes_), decodedWhole))
        Fail(fileName_, TooLarge(GifScreenSize(bytes_)));
    orientation_ = r.reader.transformation();
    transposed_ = orientation_.testFlag(QImageIOHandler::TransformationRotate90);
    upright_ = transposed_ ? stored.transposed() : stored;
}

Rendering RasterFileSource::render(QSize size) const {
    if (size.isEmpty())
        return {};
    if (format_ == Format::Jpeg)
        return renderJpeg(size);
    Reader r(bytes_, format_);
    r.reader.setAutoTransform(true);
    if (imageIndex_ > 0)
        r.reader.jumpToImage(imageIndex_);
    // Scaled decoding (JPEG's DCT scaling) works on the stored picture, which is turned upright
    // only afterwards.
    if (r.reader.supportsOption(QImageIOHandler::ScaledSize))
        r.reader.setScaledSize(transposed_ ? size.transposed() : size);
    const QImage decoded = r.reader.read();

    QString problem = IncompleteReason(format_, bytes_, imageIndex_);
    if (decoded.isNull() && problem.isEmpty())
        problem = DecodeFailure(r.reader, format_);
    Rendering rendering;
    // Converted at the size drawn, where it costs least.
    const QColorSpace space =
        format_ == Format::Bmp ? RgbColourSpace(BmpEmbeddedProfile(bytes_)) : decoded.colorSpace();
    if (!decoded.isNull())
        rendering.image = ToSrgb(Fill(decoded, size), space);
    if (!problem.isEmpty())
        rendering.error = fileName_ + QStringLiteral(": ") + problem;
    return rendering;
}

// Decoded at the smallest DCT scale that covers `size`, reduced by area averaging, and turned
// upright and into sRGB only once it is small.
Rendering RasterFileSource::renderJpeg(QSize size) const {
    const QSize stored = transposed_ ? size.transposed() : size;
    const JpegDecoding jpeg = DecodeJpeg(bytes_, stored);
    QString problem = IncompleteReason(format_, bytes_, 0);
    if (problem.isEmpty() && !jpeg.error.isEmpty())
        problem = (jpeg.image.isNull() ? QStringLiteral("cannot be decoded as JPEG (")
                                       : QStringLiteral("damaged JPEG data (")) +
                  jpeg.error + QLatin1Char(')');
    Rendering rendering;
    if (!jpeg.image.isNull())
        rendering.image = ToSrgb(Upright(Fill(jpeg.image, stored), orientation_),
                                 RgbColourSpace(jpeg.iccProfile));
    if (!problem.isEmpty())
        rendering.error = fileName_ + QStringLiteral(": ") + problem;
    return rendering;
}

ImageSource::ImageSource(const QImage& image) : image_(ForPainting(image)) {}

Rendering ImageSource::render(QSize size) const {
    if (size.isEmpty() || image_.isNull())
        return {};
    return {Fill(image_, size), {}};
}

} // namespace pictures
