// The raster picture loader: formats told by content, natural sizes, orientation, drawing at a
// size, and clean failures for files that are not pictures or are damaged.
#include "pictures/LoadPicture.h"
#include "pictures/RenderService.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

using pictures::LoadPicture;
using pictures::Picture;
using pictures::Rendering;

namespace {

constexpr double kHundredthsOfMmPerPixel = 2540.0 / 96.0;

QByteArray Encode(const QImage& image, const char* format, bool progressive = false) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(95);
    writer.setProgressiveScanWrite(progressive);
    if (!writer.write(image))
        qFatal("cannot write a %s sample: %s", format, qPrintable(writer.errorString()));
    return bytes;
}

// A file under tests/data, or an absolute path (the system's profiles: scripts/setup.sh).
QByteArray TestData(const char* name) {
    QFile file(name[0] == '/' ? QString::fromLatin1(name)
                              : QStringLiteral(LUMBRIK_TEST_DATA "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    return file.readAll();
}

// Little-endian fields, as BMP, ICO and Exif headers hold them.
template <typename... Fields> QByteArray Le(Fields... fields) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    (out << ... << fields);
    return bytes;
}

// A picture whose top-left quarter is marked, so that where it lands shows how it was drawn.
QImage Marked(QSize size, QColor mark, QColor background) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(background);
    QPainter(&image).fillRect(QRect(QPoint(0, 0), size / 2), mark);
    return image;
}

// An APP1 Exif segment holding the orientation tag alone, spliced in after the SOI marker; the
// tag is a SHORT (type 3) as the standard says, or a LONG (4) or SLONG (9) as some writers do.
QByteArray WithExifOrientation(const QByteArray& jpeg, int orientation, quint16 type = 3) {
    const QByteArray value =
        type == 3 ? Le(quint16(orientation), quint16(0)) : Le(qint32(orientation));
    const QByteArray payload = QByteArray("Exif\0\0II*\0", 10) +
                               Le(quint32(8), quint16(1), quint16(0x0112), type, quint32(1)) +
                               value + Le(quint32(0));
    const int length = int(payload.size()) + 2;
    return jpeg.left(2) + "\xFF\xE1" + char(length >> 8) + char(length) + payload + jpeg.mid(2);
}

QByteArray QtBmp(const QImage& image, int bits) {
    const QByteArray bytes = Encode(image, "bmp");
    if (qFromLittleEndian<quint16>(bytes.constData() + 28) != bits)
        qFatal("Qt did not write a %d-bit BMP", bits);
    return bytes;
}

struct BmpForm {
    int header = 40; // 12: OS/2; 52 and 56: bit masks inside the header
    bool topDown = false;
    int paletteSize = 0; // entries written for an indexed image; 0: the image's own table
};

// Rows of `bits` per pixel, as the format stores them: palette indices, 5-5-5, 5-6-5 (the masks
// of the longer headers), 8-8-8 or 8-8-8-8.
QByteArray BmpRows(const QImage& image, int bits, bool topDown, bool masks) {
    const int rowBytes = (image.width() * bits + 31) / 32 * 4;
    QByteArray rows;
    for (int i = 0; i < image.height(); ++i) {
        const int y = topDown ? i : image.height() - 1 - i;
        QByteArray row(rowBytes, '\0');
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (bits <= 8) {
                const int bit = x * bits;
                row[bit / 8] = char(row[bit / 8] | image.pixelIndex(x, y) << (8 - bits - bit % 8));
            } else if (bits == 16) {
                const quint16 v =
                    masks ? (qRed(p) >> 3) << 11 | (qGreen(p) >> 2) << 5 | qBlue(p) >> 3
                          : (qRed(p) >> 3) << 10 | (qGreen(p) >> 3) << 5 | qBlue(p) >> 3;
                row.replace(x * 2, 2, Le(v));
            } else {
                row.replace(x * bits / 8, bits / 8, Le(quint32(p)).left(bits / 8));
            }
        }
        rows += row;
    }
    return rows;
}

QByteArray HandMadeBmp(const QImage& image, int bits, BmpForm form = {}) {
    const bool masks = form.header >= 52 && bits >= 16;
    QList<QRgb> colours = bits <= 8 ? image.colorTable() : QList<QRgb>();
    if (form.paletteSize)
        colours.resize(form.paletteSize);
    QByteArray palette;
    for (const QRgb c : colours)
        palette += form.header == 12 ? Le(quint8(qBlue(c)), quint8(qGreen(c)), quint8(qRed(c)))
                                     : Le(quint32(c & 0xFFFFFF));
    const QByteArray rows = BmpRows(image, bits, form.topDown, masks);
    QByteArray info;
    const qint32 height = form.topDown ? -image.height() : image.height();
    if (form.header == 12) {
        info = Le(quint32(12), quint16(image.width()), qint16(height), quint16(1), quint16(bits));
    } else {
        info = Le(quint32(form.header), qint32(image.width()), height, quint16(1), quint16(bits),
                  quint32(masks ? 3 : 0), quint32(rows.size()), quint32(3780), quint32(3780),
                  quint32(colours.size()), quint32(0));
        if (masks)
            info += bits == 16 ? Le(quint32(0xF800), quint32(0x07E0), quint32(0x001F))
                               : Le(quint32(0xFF0000), quint32(0xFF00), quint32(0xFF));
        if (form.header == 56)
            info += Le(quint32(bits == 32 ? 0xFF000000 : 0));
    }
    const quint32 offset = 14 + info.size() + palette.size();
    return "BM" + Le(quint32(offset + rows.size()), quint32(0), offset) + info + palette + rows;
}

// An icon of one bitmap, below 32 bits, whose AND mask makes the transparent pixels of `image`
// transparent; the directory may claim another size.
QByteArray HandMadeIco(const QImage& image, QSize claimed) {
    const QByteArray colours = BmpRows(image, 24, false, false);
    QImage mask(image.size(), QImage::Format_Mono);
    mask.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            mask.setPixel(x, y, qAlpha(image.pixel(x, y)) == 0);
    const QByteArray bitmap =
        Le(quint32(40), qint32(image.width()), qint32(2 * image.height()), quint16(1), quint16(24),
           quint32(0), quint32(0), quint32(0), quint32(0), quint32(0), quint32(0)) +
        colours + BmpRows(mask, 1, false, false);
    return Le(quint16(0), quint16(1), quint16(1), quint8(claimed.width()), quint8(claimed.height()),
              quint8(0), quint8(0), quint16(1), quint16(24), quint32(bitmap.size()), quint32(22)) +
           bitmap;
}

// A GIF of `screen` whose one frame `frame` is all the first palette colour (red); `pixels`
// limits how many of its pixels the data holds. Each code is a literal, with a clear code before
// every second one so that codes stay 3 bits wide.
QByteArray HandMadeGif(QSize screen, QRect frame, int pixels = -1) {
    QByteArray gif = "GIF89a" + Le(quint16(screen.width()), quint16(screen.height()), quint8(0x81),
                                   quint8(1), quint8(0)); // 4 colours, background green
    gif += QByteArray("\xFF\0\0\0\xFF\0\0\0\xFF\xFF\xFF\xFF", 12);
    gif += ',' +
           Le(quint16(frame.x()), quint16(frame.y()), quint16(frame.width()),
              quint16(frame.height()), quint8(0)) +
           '\x02';
    QByteArray data;
    quint32 accumulator = 0;
    int bits = 0;
    const auto code = [&](quint32 c) {
        accumulator |= c << bits;
        for (bits += 3; bits >= 8; bits -= 8, accumulator >>= 8)
            data += char(accumulator & 0xFF);
    };
    const int total = pixels < 0 ? frame.width() * frame.height() : pixels;
    for (int i = 0; i < total; ++i) {
        if (i % 2 == 0)
            code(4);
        code(0);
    }
    if (pixels < 0)
        code(5);
    if (bits)
        data += char(accumulator & 0xFF);
    for (qsizetype at = 0; at < data.size(); at += 255)
        gif += char(std::min<qsizetype>(255, data.size() - at)) + data.mid(at, 255);
    return pixels < 0 ? gif + QByteArray("\0;", 2) : gif;
}

// Qt writes one image per ICO; several are joined here under one directory. An image marked
// true is stored as PNG, as large icons usually are.
QByteArray IcoOf(const QList<std::pair<QImage, bool>>& images) {
    QByteArray directory = Le(quint16(0), quint16(1), quint16(images.size()));
    QByteArray bodies;
    for (const auto& [image, png] : images) {
        const QByteArray single = Encode(image.convertToFormat(QImage::Format_ARGB32), "ico");
        const QByteArray body =
            png ? Encode(image, "png")
                : single.mid(qFromLittleEndian<quint32>(single.constData() + 18),
                             qFromLittleEndian<quint32>(single.constData() + 14));
        directory += single.mid(6, 8) + // width, height, colours, reserved, planes, bits
                     Le(quint32(body.size()), quint32(6 + 16 * images.size() + bodies.size()));
        bodies += body;
    }
    return directory + bodies;
}

// An 8-bit run-length coded BMP of `size` with a red and blue palette, holding `stream` as is.
QByteArray RleBmp(QSize size, const QByteArray& stream) {
    return "BM" +
           Le(quint32(62 + stream.size()), quint32(0), quint32(62), quint32(40),
              qint32(size.width()), qint32(size.height()), quint16(1), quint16(8), quint32(1),
              quint32(stream.size()), quint32(0), quint32(0), quint32(2), quint32(0),
              quint32(0xFF0000), quint32(0x0000FF)) +
           stream;
}

// A small JPEG whose frame header claims another size; `split` makes its first scan hold one
// component of three, as a multi-scan baseline file does.
QByteArray JpegClaiming(QSize size, bool progressive, bool split = false) {
    QByteArray jpeg = Encode(Marked({16, 16}, Qt::red, Qt::white), "jpeg", progressive);
    if (split) {
        const qsizetype sos = jpeg.indexOf("\xFF\xDA");
        const QByteArray one =
            QByteArray("\xFF\xDA\0\x08\x01", 5) + jpeg.mid(sos + 5, 2) + QByteArray("\0\x3F\0", 3);
        jpeg.replace(sos, 2 + (quint8(jpeg[sos + 2]) << 8 | quint8(jpeg[sos + 3])), one);
    }
    const qsizetype sof = jpeg.indexOf(progressive ? "\xFF\xC2" : "\xFF\xC0");
    jpeg[sof + 5] = char(size.height() >> 8), jpeg[sof + 6] = char(size.height());
    jpeg[sof + 7] = char(size.width() >> 8), jpeg[sof + 8] = char(size.width());
    return jpeg;
}

QColor ColourAt(const QImage& image, QPointF fraction) {
    return image.pixelColor(qRound(fraction.x() * (image.width() - 1)),
                            qRound(fraction.y() * (image.height() - 1)));
}

// JPEG and smooth scaling blur the edges a little.
bool Near(QColor actual, QColor expected, int tolerance = 60) {
    const QRgb a = actual.rgba(), e = expected.rgba();
    return std::abs(qAlpha(a) - qAlpha(e)) <= tolerance &&
           std::abs(qRed(a) - qRed(e)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(e)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(e)) <= tolerance;
}

// Four 32 x 32 patches in a row, in the colours the colour tests store.
const QList<QColor> kStoredColours{{61, 170, 91}, {200, 60, 40}, {120, 120, 200}, {230, 200, 150}};

QImage Patches() {
    QImage image(128, 32, QImage::Format_RGB32);
    for (int i = 0; i < 4; ++i)
        QPainter(&image).fillRect(32 * i, 0, 32, 32, kStoredColours[i]);
    return image;
}

// The profile cut into three APP2 segments, of which those numbered in `order` are spliced in.
QByteArray WithIcc(const QByteArray& jpeg, const QByteArray& profile, QList<int> order) {
    QByteArray segments;
    const qsizetype third = profile.size() / 3 + 1;
    for (int number : order) {
        const QByteArray payload = QByteArray("ICC_PROFILE\0", 12) + char(number) + char(3) +
                                   profile.mid((number - 1) * third, third);
        const int length = int(payload.size()) + 2;
        segments += "\xFF\xE2" + QByteArray(1, char(length >> 8)) + char(length) + payload;
    }
    return jpeg.left(2) + segments + jpeg.mid(2);
}

// A 24-bit BMP with a version 5 header and the profile embedded after the pixels.
QByteArray BmpV5(const QImage& image, const QByteArray& profile) {
    const QByteArray pixels = QtBmp(image, 24).mid(54);
    const auto offset = quint32(124 + pixels.size()); // counted from the info header
    QByteArray header = Le(quint32(124), qint32(image.width()), qint32(image.height()), quint16(1),
                           quint16(24), quint32(0), quint32(pixels.size()), quint32(3780),
                           quint32(3780), quint32(0), quint32(0));
    header += QByteArray(16, '\0') + Le(quint32(0x4D424544)) + QByteArray(48, '\0') +
              Le(quint32(4), offset, quint32(profile.size()), quint32(0)); // masks, 'MBED', intent
    return "BM" + Le(quint32(14 + offset + profile.size()), quint32(0), quint32(138)) + header +
           pixels + profile;
}

// CMYK from RGB by the plain formula (K = 255 - max, C = (255 - R - K) / (255 - K) ...), written
// by libjpeg; with Adobe's marker the bytes are stored inverted, as Photoshop does.
QByteArray CmykJpeg(const QImage& image, bool adobe) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* data = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &data, &size);
    info.image_width = JDIMENSION(image.width());
    info.image_height = JDIMENSION(image.height());
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    info.write_Adobe_marker = adobe;
    jpeg_start_compress(&info, TRUE);
    QByteArray row(image.width() * 4, '\0');
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const int k = 255 - std::max({c.red(), c.green(), c.blue()});
            int cmyk[] = {c.red(), c.green(), c.blue(), 0};
            for (int& v : cmyk)
                v = k == 255 ? 0 : (255 - v - k) * 255 / (255 - k);
            cmyk[3] = k;
            for (int i = 0; i < 4; ++i)
                row[x * 4 + i] = char(adobe ? 255 - cmyk[i] : cmyk[i]);
        }
        auto* line = reinterpret_cast<JSAMPROW>(row.data());
        jpeg_write_scanlines(&info, &line, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    std::free(data);
    return bytes;
}

} // namespace

class TestPictures : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    QString write(const QString& name, const QByteArray& content) {
        QFile file(dir_.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(file.fileName()));
        return file.fileName();
    }

    Picture load(const QString& name, const QByteArray& content) {
        return LoadPicture(QFile::encodeName(write(name, content)).toStdString());
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        mallopt(M_PERTURB, 0x5A);
    }

    // Each row is named so that its extension misleads: the format comes from the content.
    void loadsAndDrawsEachRasterFormat_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QImage>("expected"); // upright, at its natural size

        const QColor red(Qt::red), white(Qt::white), blue(Qt::blue);
        QImage halves = Marked({40, 30}, blue, blue);
        QPainter(&halves).fillRect(0, 0, 20, 30, QColor(0, 255, 0));
        QTest::newRow("gif, still") << "still.bmp" << TestData("still-40x30.gif") << halves;
        QTest::newRow("gif, animated: the first frame")
            << "animated.gif" << TestData("animated-red-then-blue.gif")
            << Marked({20, 10}, red, red);

        const QImage photo = Marked({400, 300}, red, white);
        const QByteArray jpeg = Encode(photo, "jpeg");
        const auto turned = [&](int degrees) {
            return photo.transformed(QTransform().rotate(degrees));
        };
        QTest::newRow("jpeg, no Exif") << "plain.gif" << jpeg << photo;
        // Tag types: 3 SHORT, as the standard says; 4 LONG and 9 SLONG, as some writers store it.
        const std::tuple<int, quint16, QImage, const char*> orientations[] = {
            {1, 3, photo, "upright"},
            {3, 3, turned(180), "turned half"},
            {6, 3, turned(90), "turned a quarter clockwise"},
            {8, 3, turned(270), "turned a quarter anticlockwise"},
            {2, 3, photo.mirrored(true, false), "mirrored"},
            {5, 4, photo.transformed(QTransform(0, 1, 1, 0, 0, 0)), "as a LONG: transposed"},
            {7, 9, photo.transformed(QTransform(0, -1, -1, 0, 0, 0)), "as an SLONG: transverse"}};
        for (const auto& [orientation, type, upright, what] : orientations)
            QTest::addRow("jpeg, orientation %d %s", orientation, what)
                << QStringLiteral("o%1.jpg").arg(orientation)
                << WithExifOrientation(jpeg, orientation, type) << upright;
        const QImage large = Marked({1600, 1200}, red, white);
        QTest::newRow("jpeg, orientation 6, drawn with decoder scaling")
            << "o6-large.jpg" << WithExifOrientation(Encode(large, "jpeg"), 6)
            << large.transformed(QTransform().rotate(90));
        // Several scans, each followed by further tables: the end-of-data check walks them all.
        QTest::newRow("jpeg, progressive")
            << "progressive.jpg" << Encode(photo, "jpeg", true) << photo;

        const QImage marked = Marked({64, 48}, red, blue);
        // Palettes without black and white, so that a lost palette shows.
        QList<QRgb> palette{qRgb(255, 0, 0), qRgb(0, 0, 255)};
        QTest::newRow("bmp, 1 bit")
            << "1.bmp" << QtBmp(marked.convertToFormat(QImage::Format_Mono, palette), 1) << marked;
        QTest::newRow("bmp, 4 bits")
            << "4.bmp" << QtBmp(marked.convertToFormat(QImage::Format_Indexed8), 4) << marked;
        for (int grey = 0; palette.size() < 256; ++grey)
            palette.append(qRgb(grey, grey, grey));
        QTest::newRow("bmp, 8 bits")
            << "8.bmp" << QtBmp(marked.convertToFormat(QImage::Format_Indexed8, palette), 8)
            << marked;
        QTest::newRow("bmp, 16 bits") << "16.bmp" << HandMadeBmp(marked, 16) << marked;
        QTest::newRow("bmp, 24 bits, no extension") << "24" << QtBmp(marked, 24) << marked;
        QTest::newRow("bmp, 32 bits") << "32.bmp" << HandMadeBmp(marked, 32) << marked;
        const QImage narrow = Marked({3, 40}, red, red); // rows of 9 bytes padded to 12
        QTest::newRow("bmp, 24 bits, 3 wide, without the last row's padding")
            << "3.bmp" << QtBmp(narrow, 24).chopped(3) << narrow;
        const QImage widest = Marked({65535, 16}, red, white);
        QTest::newRow("bmp, 65535 wide, the widest allowed")
            << "w.bmp" << QtBmp(widest, 24) << widest;

        const QImage icon = Marked({48, 48}, red, white);
        const QImage small = Marked({16, 16}, Qt::green, Qt::green);
        const QImage middle = Marked({32, 32}, Qt::yellow, Qt::yellow);
        QTest::newRow("ico, the largest of three")
            << "three.JPG" << IcoOf({{small, false}, {icon, false}, {middle, false}}) << icon;
        const QImage largest = Marked({256, 256}, red, white);
        QTest::newRow("ico, the largest stored as PNG")
            << "png-inside.ico" << IcoOf({{small, false}, {largest, true}}) << largest;
    }

    void loadsAndDrawsEachRasterFormat() {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, content);
        QFETCH(QImage, expected);

        const QString path = write(fileName, content);
        const Picture picture = LoadPicture(QFile::encodeName(path).toStdString());
        QCOMPARE(QSizeF(picture.Width(), picture.Height()),
                 QSizeF(expected.size()) * kHundredthsOfMmPerPixel);
        QVERIFY(QFile::remove(path)); // the picture holds its bytes

        for (int divisor : {1, 2, 8}) {
            const QSize size = (expected.size() / divisor).expandedTo({1, 1});
            const Rendering drawn = picture.render(size);
            QVERIFY2(drawn.error.isEmpty(), qPrintable(drawn.error));
            QCOMPARE(drawn.image.size(), size);
            for (const QPointF at :
                 {QPointF(0.1, 0.1), QPointF(0.9, 0.1), QPointF(0.1, 0.9), QPointF(0.9, 0.9)}) {
                const QColor got = ColourAt(drawn.image, at), want = ColourAt(expected, at);
                QVERIFY2(Near(got, want), qPrintable(QString::asprintf(
                                              "1/%d at %.1f,%.1f: %s", divisor, at.x(), at.y(),
                                              qPrintable(got.name() + " not " + want.name()))));
            }
        }
        QVERIFY(picture.render(QSize(0, 10)).image.isNull());
    }

    // Pixel for pixel at the natural size. Fresh memory comes filled with a pattern here (glibc's
    // perturbation; ASan fills it on its own), so a pixel that no decoder wrote cannot pass for
    // the transparent fill.
    void drawsDecodedPixelsOnly_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QImage>("expected");
        QTest::addColumn<QString>("problem");

        const QList<QRgb> palette{qRgb(255, 0, 0), qRgb(0, 0, 255)};
        const QImage pattern =
            Marked({16, 8}, Qt::red, Qt::blue).convertToFormat(QImage::Format_ARGB32);
        const QImage mono = pattern.convertToFormat(QImage::Format_Mono, palette);
        const QImage indexed = pattern.convertToFormat(QImage::Format_Indexed8, palette);
        QImage holed = pattern; // a transparent band on the left
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 4; ++x)
                holed.setPixel(x, y, 0);
        const auto only = [](QSize size, const QList<std::pair<QRect, QRgb>>& areas) {
            QImage image(size, QImage::Format_ARGB32);
            image.fill(Qt::transparent);
            for (const auto& [area, colour] : areas)
                for (int y = area.top(); y <= area.bottom(); ++y)
                    for (int x = area.left(); x <= area.right(); ++x)
                        image.setPixel(x, y, colour);
            return image;
        };
        const QRgb red = qRgb(255, 0, 0), blue = qRgb(0, 0, 255);
        const QString shorter = QStringLiteral("the file is cut short");

        for (const auto& [bits, image] :
             {std::pair(1, mono), {8, indexed}, {24, pattern}, {32, pattern}})
            QTest::addRow("bmp, top-down, %d bits", bits)
                << HandMadeBmp(image, bits, {.topDown = true}) << pattern << QString();
        QTest::newRow("bmp, 52-byte header, 16-bit masks")
            << HandMadeBmp(pattern, 16, {.header = 52}) << pattern << QString();
        QTest::newRow("bmp, 56-byte header, 32-bit masks with alpha, top-down")
            << HandMadeBmp(holed, 32, {.header = 56, .topDown = true}) << holed << QString();
        QTest::newRow("bmp, OS/2 header, palette shorter than the depth")
            << HandMadeBmp(indexed, 8, {.header = 12, .paletteSize = 2}) << pattern << QString();
        QTest::newRow("bmp, 24 bits cut in half: the lower rows")
            << HandMadeBmp(pattern, 24).chopped(4 * 48) << only({16, 8}, {{{0, 4, 16, 4}, blue}})
            << shorter;
        // Rows are stored from the bottom; a delta moves right and up, an early end stops.
        QTest::newRow("bmp, RLE with a delta, an absolute run and an early end")
            << RleBmp({8, 4}, QByteArray("\x04\x00\x00\x02\x02\x01\x02\x01\x00\x00"
                                         "\x00\x03\x01\x00\x01\x00\x00\x01",
                                         18))
            << only({8, 4}, {{{0, 3, 4, 1}, red},
                             {{6, 2, 2, 1}, blue},
                             {{0, 1, 1, 1}, blue},
                             {{1, 1, 1, 1}, red},
                             {{2, 1, 1, 1}, blue}})
            << QString();
        QTest::newRow("bmp, RLE with a delta past the end")
            << RleBmp({8, 4}, QByteArray("\x03\x00\x00\x02\x00\x09\x02\x01", 8))
            << only({8, 4}, {{{0, 3, 3, 1}, red}}) << QString();
        QTest::newRow("bmp, RLE cut short")
            << RleBmp({8, 4}, QByteArray("\x08\x00\x00\x00\x04\x01", 6))
            << only({8, 4}, {{{0, 3, 8, 1}, red}, {{0, 2, 4, 1}, blue}}) << shorter;

        QTest::newRow("ico, 24 bits with an AND mask")
            << HandMadeIco(holed, {16, 8}) << holed << QString();
        QTest::newRow("ico, the directory claims another size")
            << HandMadeIco(pattern, {32, 32}) << pattern << QString();

        QTest::newRow("gif, the first frame smaller than the screen")
            << HandMadeGif({16, 8}, {4, 2, 8, 4}) << only({16, 8}, {{{4, 2, 8, 4}, red}})
            << QString();
        QTest::newRow("gif, cut inside the frame")
            << HandMadeGif({16, 8}, {0, 0, 16, 8}, 32) << only({16, 8}, {{{0, 0, 16, 2}, red}})
            << shorter;

        // At its natural size a JPEG is decoded whole, not at half size and enlarged: every
        // pixel is libjpeg's full decode, here Qt's reading of the same file.
        QImage checks(64, 48, QImage::Format_RGB32);
        for (int y = 0; y < checks.height(); ++y)
            for (int x = 0; x < checks.width(); ++x)
                checks.setPixel(x, y, (x ^ y) & 2 ? red : qRgb(255, 255, 255));
        const QByteArray jpeg = Encode(checks, "jpeg");
        QTest::newRow("jpeg of fine checks, at full scale")
            << jpeg << QImage::fromData(jpeg, "jpeg") << QString();
    }

    void drawsDecodedPixelsOnly() {
        QFETCH(QByteArray, content);
        QFETCH(QImage, expected);
        QFETCH(QString, problem);

        const Picture picture = load("exact", content);
        QCOMPARE(QSizeF(picture.Width(), picture.Height()),
                 QSizeF(expected.size()) * kHundredthsOfMmPerPixel);
        const Rendering drawn = picture.render(expected.size());
        QCOMPARE(drawn.error, problem.isEmpty() ? QString() : "exact: " + problem);
        QCOMPARE(drawn.image.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 expected.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }

    // A progressive photo is decoded through coefficient buffers of its full size, whatever the
    // size drawn: an honest one loads; a tiny file claiming a huge one is refused (below).
    void progressiveJpegWithinMemoryBound() {
        for (const bool progressive : {true, false}) { // a plain baseline file needs no buffers
            const QSize size = progressive ? QSize(8000, 6000) : QSize(16384, 16384);
            QCOMPARE(load("photo.jpg", JpegClaiming(size, progressive)).Width(),
                     size.width() * kHundredthsOfMmPerPixel);
        }
    }

    // Stored colours (0 to 255) in a known colour space come out as sRGB. References: LittleCMS
    // for the profiles, ImageMagick for its CMYK file (tests/data/make-colour-samples.sh).
    void drawsColoursInSrgb_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QList<QColor>>("expected");

        const QByteArray jpeg = Encode(Patches(), "jpeg");
        const QByteArray proPhoto = TestData("/usr/share/color/icc/ghostscript/rommrgb.icc");
        const QByteArray adobe = TestData("/usr/share/color/icc/compatibleWithAdobeRGB1998.icc");
        const QList<QColor> fromAdobe{
            {0, 172, 85}, {232, 57, 34}, {121, 121, 204}, {241, 201, 149}};
        QTest::newRow("jpeg, ProPhoto")
            << WithIcc(jpeg, proPhoto, {1, 2, 3})
            << QList<QColor>{{0, 200, 92}, {255, 0, 43}, {104, 139, 219}, {255, 204, 158}};
        QTest::newRow("jpeg, Adobe RGB, segments out of order")
            << WithIcc(jpeg, adobe, {3, 1, 2}) << fromAdobe;
        QTest::newRow("jpeg, a segment missing: untagged")
            << WithIcc(jpeg, adobe, {1, 3}) << kStoredColours;
        QByteArray broken = adobe;
        broken.replace(128, 4, "\xFF\xFF\xFF\xFF"); // the tag count
        QTest::newRow("jpeg, broken profile: untagged")
            << WithIcc(jpeg, broken, {1, 2, 3}) << kStoredColours;
        QTest::newRow("bmp v5, Adobe RGB embedded") << BmpV5(Patches(), adobe) << fromAdobe;
        QTest::newRow("bmp v5, broken profile") << BmpV5(Patches(), broken) << kStoredColours;
        QTest::newRow("jpeg, YCCK by ImageMagick")
            << TestData("ycck-patches.jpg")
            << QList<QColor>{{61, 170, 92}, {200, 60, 40}, {120, 120, 200}, {229, 200, 148}};
        QTest::newRow("jpeg, CMYK inverted (Adobe)") << CmykJpeg(Patches(), true) << kStoredColours;
        QTest::newRow("jpeg, CMYK") << CmykJpeg(Patches(), false) << kStoredColours;
    }

    void drawsColoursInSrgb() {
        QFETCH(QByteArray, content);
        QFETCH(QList<QColor>, expected);

        const Picture picture = load("colours", content);
        for (const QSize size : {QSize(128, 32), QSize(64, 16), QSize(100, 25)}) {
            const Rendering drawn = picture.render(size);
            QVERIFY2(drawn.error.isEmpty(), qPrintable(drawn.error));
            for (int i = 0; i < 4; ++i) {
                const QColor got = drawn.image.pixelColor(size.width() * (2 * i + 1) / 8, 8);
                QVERIFY2(Near(got, expected[i], 3),
                         qPrintable(QString::asprintf("%d x %d, patch %d: ", size.width(),
                                                      size.height(), i) +
                                    got.name() + " not " + expected[i].name()));
            }
        }
    }

    void badFileIsReported_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("content"); // null: no file is written
        QTest::addColumn<QString>("reason");

        const QString unknown = QStringLiteral("not a picture");
        QRandomGenerator random(20240601);
        QByteArray noise(4096, '\0');
        for (char& byte : noise)
            byte = static_cast<char>(random.bounded(256));
        noise[0] = 'x'; // no format starts so

        QTest::newRow("missing") << "never-written.jpg" << QByteArray() << "no such file";
        QTest::newRow("folder") << "folder.jpg" << QByteArray() << "a folder, not a picture";
        QTest::newRow("unreadable")
            << "locked.jpg" << QByteArray("\xFF\xD8\xFF") << "not allowed to read it";
        QTest::newRow("empty") << "empty.jpg" << QByteArray("") << "an empty file";
        QTest::newRow("random bytes named .jpg") << "noise.jpg" << noise << unknown;
        QTest::newRow("text named .gif")
            << "notes.gif" << QByteArray("Shopping: milk, bread.\n") << unknown;
        // Formats not read are named, whatever the file's name says.
        const QString notRead =
            QStringLiteral(", which is not one of the formats this program reads");
        QTest::newRow("png named .jpg")
            << "png.jpg" << Encode(Marked({8, 8}, Qt::red, Qt::white), "png")
            << "a PNG picture" + notRead;
        QTest::newRow("svg named .gif")
            << "drawing.gif"
            << QByteArray("\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- by hand -->\n<!DOCTYPE svg>\n"
                          "<svg xmlns=\"http://www.w3.org/2000/svg\"/>\n")
            << "an SVG drawing" + notRead;
        QTest::newRow("avif named .jpg") << "photo.jpg"
                                         << QByteArray("\0\0\0\x1C"
                                                       "ftypmif1\0\0\0\0mif1avifmiaf",
                                                       28)
                                         << "an AVIF picture" + notRead;
        QTest::newRow("pdf named .bmp")
            << "scan.bmp" << QByteArray("%PDF-1.7\n%\xE2\xE3\n") << "a PDF document" + notRead;
        // Sides are reported as the header gives them, whatever their product.
        QTest::newRow("gif claiming 60000 x 60000 pixels")
            << "huge.gif" << TestData("claims-60000x60000.gif")
            << "too large (60000 x 60000)";
        QTest::newRow("progressive jpeg claiming 16384 x 16384 pixels")
            << "claims.jpg" << JpegClaiming({16384, 16384}, true)
            << "too large (16384 x 16384)";
        QTest::newRow("baseline jpeg in several scans claiming 16384 x 16384 pixels")
            << "scans.jpg" << JpegClaiming({16384, 16384}, false, true)
            << "too large (16384 x 16384)";
        QTest::newRow("bmp 65536 pixels wide")
            << "wide.bmp" << QtBmp(Marked({65536, 1}, Qt::red, Qt::red), 24)
            << "too large (65536 x 1)";
        // 34 bytes: a 64-byte OS/2 header cut after its compression field.
        QTest::newRow("bmp claiming 1769489664 x -1492713626 pixels")
            << "claims.bmp"
            << "BM" + Le(quint32(34), quint32(0), quint32(0), quint32(64), qint32(1769489664),
                         qint32(-1492713626), quint16(1), quint16(24), quint32(0))
            << "too large (1769489664 x 1492713626)";
        // Refused before any reading: a pipe would say "empty file", the device fill memory.
        QTest::newRow("named pipe")
            << "pipe.jpg" << QByteArray() << "not a picture (not a regular file)";
        QTest::newRow("link to a character device")
            << "device.jpg" << QByteArray() << "not a picture (not a regular file)";
        QTest::newRow("jpeg cut inside its header")
            << "header.jpg" << Encode(Marked({40, 30}, Qt::red, Qt::white), "jpeg").left(20)
            << "the file is cut short";
        QTest::newRow("gif signature alone")
            << "sig.gif" << QByteArray("GIF89a") << "the file is cut short";
        QTest::newRow("bmp signature and zeros")
            << "zeros.bmp" << QByteArray("BM") + QByteArray(60, '\0') << "damaged picture data";
        QByteArray jpegInside = HandMadeBmp(Marked({8, 8}, Qt::red, Qt::blue), 24);
        jpegInside[30] = 4; // compression: JPEG
        QTest::newRow("bmp holding a JPEG")
            << "inside.bmp" << jpegInside << "unreadable BMP (JPEG inside)";
        QTest::newRow("ico directory without images")
            << "none.ico" << QByteArray("\0\0\1\0\0\0", 6) << "damaged picture data";

        const QString truncated = QStringLiteral("the file is cut short");
        const QImage image = Marked({64, 48}, Qt::red, Qt::blue);
        const QByteArray jpeg = Encode(Marked({640, 480}, Qt::red, Qt::blue), "jpeg");
        const QByteArray gif = TestData("still-40x30.gif");
        const QByteArray bmp = Encode(image, "bmp");
        const QByteArray ico = Encode(image.convertToFormat(QImage::Format_ARGB32), "ico");
        QTest::newRow("jpeg cut in half") << "half.jpg" << jpeg.left(jpeg.size() / 2) << truncated;
        QTest::newRow("jpeg without its end marker") << "noend.jpg" << jpeg.chopped(2) << truncated;
        QTest::newRow("gif cut inside the image data")
            << "cut.gif" << gif.left(gif.size() - 20) << truncated;
        QTest::newRow("bmp cut in half") << "half.bmp" << bmp.left(bmp.size() / 2) << truncated;
        QTest::newRow("ico cut in half") << "half.ico" << ico.left(ico.size() / 2) << truncated;
    }

    void badFileIsReported() {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);

        const QString path = dir_.filePath(fileName);
        if (fileName == QLatin1String("folder.jpg"))
            QVERIFY(QDir().mkpath(path));
        else if (fileName == QLatin1String("pipe.jpg"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (fileName == QLatin1String("device.jpg"))
            QVERIFY(QFile::link("/dev/zero", path));
        else if (!content.isNull())
            write(fileName, content);
        if (fileName == QLatin1String("locked.jpg")) {
            QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
            if (::access(QFile::encodeName(path).constData(), R_OK) == 0)
                QSKIP("this user may read any file");
        }
        QString failure;
        try {
            // A whole header loads; what is missing after it shows when the picture is drawn.
            const Rendering drawn =
                LoadPicture(QFile::encodeName(path).toStdString()).render(QSize(64, 48));
            failure = drawn.error;
            if (fileName.endsWith(QLatin1String(".jpg")))
                QVERIFY(!drawn.image.isNull()); // what arrived of a JPEG is shown
            QVERIFY(drawn.image.isNull() || drawn.image.size() == QSize(64, 48));
        } catch (const pictures::LoadError& error) {
            failure = QString::fromStdString(error.what());
        }
        QVERIFY2(failure.startsWith(fileName + QStringLiteral(": ") + reason), qPrintable(failure));
    }

    // A drawing given up because a newer request replaced it reaches no one and is not kept:
    // asked for again, the picture comes whole.
    void replacedDrawingIsGivenUpUnseen() {
        pictures::RenderService service;
        const QSize size(1500, 1000);
        const Picture big =
            load("big.jpg", Encode(Marked({6000, 4000}, Qt::red, Qt::blue), "jpeg"));
        const Picture small =
            load("small.jpg", Encode(Marked({40, 30}, Qt::red, Qt::blue), "jpeg"));
        QObject asker;
        int replacedDelivered = 0;
        QVERIFY(
            !service.request(big, size, &asker, [&](const Rendering&) { ++replacedDelivered; }));
        bool smallDone = false;
        service.request(small, {40, 30}, &asker, [&](const Rendering&) { smallDone = true; });
        QTRY_VERIFY(smallDone);

        QObject again;
        std::optional<Rendering> whole =
            service.request(big, size, &again, [&](const Rendering& r) { whole = r; });
        QTRY_VERIFY(whole.has_value());
        QCOMPARE(replacedDelivered, 0);
        QCOMPARE(whole->image.size(), size);
        QVERIFY(Near(whole->image.pixelColor(size.width() - 10, size.height() - 10), Qt::blue));
        QVERIFY(Near(whole->image.pixelColor(size.width() / 4, size.height() / 4), Qt::red));
    }

    // The service keeps the last three screen-sized drawings and the last eight smaller ones
    // (a preview pane's): those come at once when asked again, and one more pushes out the
    // oldest.
    void renderServiceKeepsDrawingsBySize_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("kept");
        QTest::newRow("screen-sized: three") << QSize(1600, 1000) << 3;
        QTest::newRow("pane-sized: eight") << QSize(200, 150) << 8;
    }

    void renderServiceKeepsDrawingsBySize() {
        QFETCH(QSize, size);
        QFETCH(int, kept);
        pictures::RenderService service;
        QObject asker;
        const auto ignore = [](const Rendering&) {};
        QList<Picture> drawn;
        for (int i = 0; i <= kept; ++i) {
            drawn.append(load(QStringLiteral("kept-%1.bmp").arg(i),
                              QtBmp(Marked({16, 10}, Qt::red, Qt::blue), 24)));
            bool done = false;
            QVERIFY(!service.request(drawn.last(), size, &asker,
                                     [&](const Rendering&) { done = true; }));
            QTRY_VERIFY(done);
        }
        for (int i = kept; i >= 1; --i)
            QVERIFY2(service.request(drawn[i], size, &asker, ignore).has_value(),
                     qPrintable(QStringLiteral("drawing %1 of %2 is not kept").arg(i).arg(kept)));
        QVERIFY2(!service.request(drawn[0], size, &asker, ignore), "the oldest drawing is kept");
    }

    // Embedded pictures (the default picture, the splash) come from pixels in memory.
    void pictureFromImage() {
        const Picture picture = pictures::PictureFromImage(Marked({20, 10}, Qt::red, Qt::white));
        QCOMPARE(picture.Width(), 20 * kHundredthsOfMmPerPixel);
        const Rendering drawn = picture.render(QSize(60, 30));
        QCOMPARE(drawn.image.size(), QSize(60, 30));
        QVERIFY(Near(drawn.image.pixelColor(3, 3), Qt::red));
        QVERIFY(Near(drawn.image.pixelColor(56, 26), Qt::white));
        QVERIFY(pictures::PictureFromImage(QImage()).isNull());
    }
};

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
