// The raster picture loader: formats told by content, natural sizes, orientation, drawing at a
// size, and clean failures for files that are not pictures or are damaged.
#include "pictures/LoadPicture.h"

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cstdlib>
#include <filesystem>
#include <initializer_list>

#include <unistd.h>

using pictures::LoadError;
using pictures::LoadPicture;
using pictures::Picture;
using pictures::Rendering;

namespace {

constexpr double kHundredthsOfMmPerPixel = 2540.0 / 96.0;

std::filesystem::path NativePath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QByteArray Encode(const QImage& image, const char* format, int quality = -1) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (!writer.write(image))
        qFatal("cannot write a %s sample: %s", format, qPrintable(writer.errorString()));
    return bytes;
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

// A picture whose top-left quarter is marked, so that where it lands shows how it was drawn.
QImage Marked(QSize size, QColor mark, QColor background) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(background);
    QPainter painter(&image);
    painter.fillRect(QRect(QPoint(0, 0), size / 2), mark);
    return image;
}

void AppendLe16(QByteArray& bytes, quint16 value) {
    char field[2];
    qToLittleEndian(value, field);
    bytes.append(field, 2);
}

void AppendLe32(QByteArray& bytes, quint32 value) {
    char field[4];
    qToLittleEndian(value, field);
    bytes.append(field, 4);
}

// An APP1 Exif segment holding the orientation tag alone, spliced in after the SOI marker.
QByteArray WithExifOrientation(const QByteArray& jpeg, int orientation) {
    QByteArray tiff("II*\0", 4);
    AppendLe32(tiff, 8);      // first IFD right after this header
    AppendLe16(tiff, 1);      // one entry
    AppendLe16(tiff, 0x0112); // Orientation
    AppendLe16(tiff, 3);      // SHORT
    AppendLe32(tiff, 1);      // one value
    AppendLe16(tiff, static_cast<quint16>(orientation));
    AppendLe16(tiff, 0);
    AppendLe32(tiff, 0); // no next IFD
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xFF\xE1");
    const int length = static_cast<int>(payload.size()) + 2;
    segment.append(char(length >> 8));
    segment.append(char(length & 0xFF));
    segment += payload;
    return jpeg.left(2) + segment + jpeg.mid(2);
}

int BmpBits(const QByteArray& bmp) {
    return qFromLittleEndian<quint16>(bmp.constData() + 28);
}

// Qt writes BMP at 1, 4, 8 and 24 bits only; 16 (5-5-5) and 32 bits are written here.
QByteArray HandMadeBmp(const QImage& image, int bits) {
    const int rowBytes = (image.width() * bits + 31) / 32 * 4;
    const int dataOffset = 14 + 40;
    QByteArray bytes("BM");
    AppendLe32(bytes, static_cast<quint32>(dataOffset + rowBytes * image.height()));
    AppendLe32(bytes, 0);
    AppendLe32(bytes, dataOffset);
    AppendLe32(bytes, 40);
    AppendLe32(bytes, static_cast<quint32>(image.width()));
    AppendLe32(bytes, static_cast<quint32>(image.height())); // bottom-up rows
    AppendLe16(bytes, 1);
    AppendLe16(bytes, static_cast<quint16>(bits));
    AppendLe32(bytes, 0); // BI_RGB
    AppendLe32(bytes, static_cast<quint32>(rowBytes * image.height()));
    AppendLe32(bytes, 3780);
    AppendLe32(bytes, 3780);
    AppendLe32(bytes, 0);
    AppendLe32(bytes, 0);
    for (int y = image.height() - 1; y >= 0; --y) {
        QByteArray row;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (bits == 16) {
                AppendLe16(row,
                           static_cast<quint16>((qRed(pixel) >> 3) << 10 |
                                                (qGreen(pixel) >> 3) << 5 | qBlue(pixel) >> 3));
            } else {
                row.append(char(qBlue(pixel)));
                row.append(char(qGreen(pixel)));
                row.append(char(qRed(pixel)));
                row.append(char(0xFF));
            }
        }
        row.append(QByteArray(rowBytes - row.size(), '\0'));
        bytes += row;
    }
    return bytes;
}

QByteArray QtBmp(const QImage& image, int expectedBits) {
    const QByteArray bytes = Encode(image, "bmp");
    if (BmpBits(bytes) != expectedBits)
        qFatal("Qt wrote a %d-bit BMP where %d bits were expected", BmpBits(bytes), expectedBits);
    return bytes;
}

struct IconImage {
    QImage image;
    bool png = false; // stored as PNG, as large icons usually are
};

// Qt writes one image per ICO; several are joined here under one directory.
QByteArray IcoOf(const QList<IconImage>& images) {
    QList<QByteArray> entries;
    QList<QByteArray> bodies;
    for (const IconImage& icon : images) {
        const QByteArray single = Encode(icon.image, "ico");
        const quint32 size = qFromLittleEndian<quint32>(single.constData() + 6 + 8);
        const quint32 offset = qFromLittleEndian<quint32>(single.constData() + 6 + 12);
        entries.append(single.mid(6, 8)); // width, height, colours, reserved, planes, bits
        bodies.append(icon.png ? Encode(icon.image, "png") : single.mid(offset, size));
    }
    QByteArray bytes;
    AppendLe16(bytes, 0);
    AppendLe16(bytes, 1);
    AppendLe16(bytes, static_cast<quint16>(images.size()));
    quint32 offset = 6 + 16 * static_cast<quint32>(images.size());
    for (int i = 0; i < entries.size(); ++i) {
        bytes += entries[i];
        AppendLe32(bytes, static_cast<quint32>(bodies[i].size()));
        AppendLe32(bytes, offset);
        offset += static_cast<quint32>(bodies[i].size());
    }
    for (const QByteArray& body : bodies)
        bytes += body;
    return bytes;
}

QByteArray Jpeg(const QImage& image) {
    return Encode(image, "jpeg", 95);
}

// Several scans, each followed by further tables: the end-of-data check must walk them all.
QByteArray ProgressiveJpeg(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    if (!writer.write(image))
        qFatal("cannot write a progressive JPEG sample: %s", qPrintable(writer.errorString()));
    return bytes;
}

QByteArray TestData(const char* name) {
    return ReadFile(QStringLiteral(LUMBRIK_TEST_DATA "/") + QLatin1String(name));
}

bool Near(QColor actual, QColor expected) {
    constexpr int tolerance = 60; // JPEG and smooth scaling blur the edges a little
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

QColor ColourAt(const QImage& image, QPointF fraction) {
    return image.pixelColor(qRound(fraction.x() * (image.width() - 1)),
                            qRound(fraction.y() * (image.height() - 1)));
}

QString Describe(QColor colour) {
    return QStringLiteral("rgb(%1, %2, %3)")
        .arg(colour.red())
        .arg(colour.green())
        .arg(colour.blue());
}

// Gradients under noise: compresses and decodes about as a photograph does. Red on the left,
// blue on the right.
QImage PhotoLike(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int noise = static_cast<int>(random.bounded(32));
            const int across = x * 200 / image.width();
            line[x] =
                qRgb(220 - across + noise, y * 150 / image.height() + noise, 20 + across + noise);
        }
    }
    return image;
}

} // namespace

class TestPictures : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

    QString write(const QString& name, const QByteArray& content) {
        const QString path = dir_.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    // The message LoadPicture throws for `path`, or a null string when it loads.
    static QString loadFailure(const QString& path) {
        try {
            LoadPicture(NativePath(path));
        } catch (const LoadError& error) {
            return QString::fromStdString(error.what());
        }
        return {};
    }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void loadsAndDrawsEachRasterFormat_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<QPointF>("markAt");
        QTest::addColumn<QColor>("mark");
        QTest::addColumn<QColor>("background");

        const QColor red(Qt::red);
        const QColor white(Qt::white);
        const QColor lime(0, 255, 0);
        const QColor blue(Qt::blue);
        const QPointF topLeft(0.1, 0.1);

        QTest::newRow("gif, still") << "still.gif" << TestData("still-40x30.gif") << QSize(40, 30)
                                    << topLeft << lime << blue;
        QTest::newRow("gif, animated: the first frame")
            << "animated.gif" << TestData("animated-red-then-blue.gif") << QSize(20, 10) << topLeft
            << red << red;

        const QByteArray jpeg = Jpeg(Marked(QSize(400, 300), red, white));
        QTest::newRow("jpeg, orientation 1") << "o1.jpg" << WithExifOrientation(jpeg, 1)
                                             << QSize(400, 300) << topLeft << red << white;
        QTest::newRow("jpeg, orientation 3: turned half")
            << "o3.jpg" << WithExifOrientation(jpeg, 3) << QSize(400, 300) << QPointF(0.9, 0.9)
            << red << white;
        QTest::newRow("jpeg, orientation 6: turned a quarter clockwise")
            << "o6.jpg" << WithExifOrientation(jpeg, 6) << QSize(300, 400) << QPointF(0.9, 0.1)
            << red << white;
        QTest::newRow("jpeg, orientation 8: turned a quarter anticlockwise")
            << "o8.jpg" << WithExifOrientation(jpeg, 8) << QSize(300, 400) << QPointF(0.1, 0.9)
            << red << white;
        QTest::newRow("jpeg, orientation 6, drawn with decoder scaling")
            << "o6-large.jpg" << WithExifOrientation(Jpeg(Marked(QSize(1600, 1200), red, white)), 6)
            << QSize(1200, 1600) << QPointF(0.9, 0.1) << red << white;
        QTest::newRow("jpeg, no Exif")
            << "plain.jpg" << jpeg << QSize(400, 300) << topLeft << red << white;
        QTest::newRow("jpeg, progressive")
            << "progressive.jpg" << ProgressiveJpeg(Marked(QSize(400, 300), red, white))
            << QSize(400, 300) << topLeft << red << white;

        const QSize bmpSize(64, 48);
        const QImage marked = Marked(bmpSize, red, blue);
        // Two colours other than black and white, so that a lost palette shows.
        const QList<QRgb> twoColours{qRgb(255, 0, 0), qRgb(0, 0, 255)};
        QTest::newRow("bmp, 1 bit")
            << "1.bmp" << QtBmp(marked.convertToFormat(QImage::Format_Mono, twoColours), 1)
            << bmpSize << topLeft << red << blue;
        QTest::newRow("bmp, 4 bits")
            << "4.bmp" << QtBmp(marked.convertToFormat(QImage::Format_Indexed8), 4) << bmpSize
            << topLeft << red << blue;
        QList<QRgb> palette{qRgb(255, 0, 0), qRgb(0, 0, 255)};
        for (int grey = 0; palette.size() < 256; ++grey)
            palette.append(qRgb(grey, grey, grey));
        QTest::newRow("bmp, 8 bits")
            << "8.bmp" << QtBmp(marked.convertToFormat(QImage::Format_Indexed8, palette), 8)
            << bmpSize << topLeft << red << blue;
        QTest::newRow("bmp, 16 bits")
            << "16.bmp" << HandMadeBmp(marked, 16) << bmpSize << topLeft << red << blue;
        QTest::newRow("bmp, 24 bits")
            << "24.bmp" << QtBmp(marked, 24) << bmpSize << topLeft << red << blue;
        QTest::newRow("bmp, 32 bits")
            << "32.bmp" << HandMadeBmp(marked, 32) << bmpSize << topLeft << red << blue;

        QImage small(16, 16, QImage::Format_ARGB32);
        small.fill(Qt::green);
        QImage middle(32, 32, QImage::Format_ARGB32);
        middle.fill(Qt::yellow);
        const QImage largest =
            Marked(QSize(48, 48), red, white).convertToFormat(QImage::Format_ARGB32);
        QTest::newRow("ico, the largest of three")
            << "three.ico" << IcoOf({{small}, {largest}, {middle}}) << QSize(48, 48) << topLeft
            << red << white;
        const QImage large =
            Marked(QSize(256, 256), red, white).convertToFormat(QImage::Format_ARGB32);
        QTest::newRow("ico, the largest stored as PNG")
            << "png-inside.ico" << IcoOf({{small}, {large, true}}) << QSize(256, 256) << topLeft
            << red << white;
    }

    void loadsAndDrawsEachRasterFormat() {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, content);
        QFETCH(QSize, pixels);
        QFETCH(QPointF, markAt);
        QFETCH(QColor, mark);
        QFETCH(QColor, background);

        const Picture picture = LoadPicture(NativePath(write(fileName, content)));
        QVERIFY(!picture.isNull());
        QCOMPARE(picture.Width(), pixels.width() * kHundredthsOfMmPerPixel);
        QCOMPARE(picture.Height(), pixels.height() * kHundredthsOfMmPerPixel);

        for (int divisor : {1, 2, 8}) {
            const QSize size(qMax(1, pixels.width() / divisor), qMax(1, pixels.height() / divisor));
            const Rendering drawn = picture.render(size);
            QVERIFY2(drawn.error.isEmpty(), qPrintable(drawn.error));
            QCOMPARE(drawn.image.size(), size);
            const QColor atMark = ColourAt(drawn.image, markAt);
            QVERIFY2(Near(atMark, mark),
                     qPrintable(
                         QStringLiteral("at 1/%1: mark is %2").arg(divisor).arg(Describe(atMark))));
            const QColor opposite = ColourAt(drawn.image, QPointF(1, 1) - markAt);
            QVERIFY2(Near(opposite, background),
                     qPrintable(QStringLiteral("at 1/%1: background is %2")
                                    .arg(divisor)
                                    .arg(Describe(opposite))));
        }
    }

    void formatIsJudgedByContentNotName_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QSize>("pixels");

        const QImage image = Marked(QSize(30, 20), Qt::red, Qt::white);
        QTest::newRow("jpeg named .gif") << "photo.gif" << Jpeg(image) << QSize(30, 20);
        QTest::newRow("gif named .bmp")
            << "still.bmp" << TestData("still-40x30.gif") << QSize(40, 30);
        QTest::newRow("bmp without extension")
            << "picture" << Encode(image, "bmp") << QSize(30, 20);
        QTest::newRow("ico named .JPG") << "icon.JPG" << Encode(image, "ico") << QSize(30, 20);
    }

    void formatIsJudgedByContentNotName() {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, content);
        QFETCH(QSize, pixels);

        const Picture picture = LoadPicture(NativePath(write(fileName, content)));
        QCOMPARE(picture.Width(), pixels.width() * kHundredthsOfMmPerPixel);
        QCOMPARE(picture.Height(), pixels.height() * kHundredthsOfMmPerPixel);
        const Rendering drawn = picture.render(pixels);
        QVERIFY2(drawn.error.isEmpty(), qPrintable(drawn.error));
        QCOMPARE(drawn.image.size(), pixels);
    }

    void rejectsWhatIsNotAPicture_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason");

        const QString unknown = QStringLiteral("not a picture (unknown format)");
        QRandomGenerator random(20240601);
        QByteArray noise(4096, '\0');
        for (char& byte : noise)
            byte = static_cast<char>(random.bounded(256));
        noise[0] = 'x'; // no format starts so

        QTest::newRow("empty") << "empty.jpg" << QByteArray() << "empty file";
        QTest::newRow("random bytes named .jpg") << "noise.jpg" << noise << unknown;
        QTest::newRow("text named .gif")
            << "notes.gif" << QByteArray("Shopping: milk, bread.\n") << unknown;
        // PNG is not among the formats read, whatever the name says.
        QTest::newRow("png named .jpg")
            << "png.jpg" << Encode(Marked(QSize(8, 8), Qt::red, Qt::white), "png") << unknown;
        QTest::newRow("gif claiming 60000 x 60000 pixels")
            << "huge.gif" << TestData("claims-60000x60000.gif")
            << "picture too large (60000 x 60000 pixels)";
        QTest::newRow("jpeg cut inside its header")
            << "header.jpg" << Jpeg(Marked(QSize(40, 30), Qt::red, Qt::white)).left(20)
            << "cannot be decoded as JPEG";
        QTest::newRow("gif signature alone")
            << "sig.gif" << QByteArray("GIF89a") << "cannot be decoded as GIF";
        QTest::newRow("bmp signature and zeros")
            << "zeros.bmp" << QByteArray("BM") + QByteArray(60, '\0') << "cannot be decoded as BMP";
        QTest::newRow("ico directory without images")
            << "none.ico" << QByteArray("\0\0\1\0\0\0", 6) << "cannot be decoded as ICO";
    }

    void rejectsWhatIsNotAPicture() {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);

        const QString path = write(fileName, content);
        QCOMPARE(loadFailure(path).section(QStringLiteral(": "), 0, 0), path);
        QVERIFY2(loadFailure(path).contains(reason), qPrintable(loadFailure(path)));
    }

    void missingFileIsReported() {
        const QString path = dir_.filePath(QStringLiteral("never-written.jpg"));
        QCOMPARE(loadFailure(path),
                 path + QStringLiteral(": cannot be read: No such file or directory"));
    }

    void folderIsReported() {
        const QString path = dir_.filePath(QStringLiteral("folder.jpg"));
        QVERIFY(QDir().mkpath(path));
        QCOMPARE(loadFailure(path), path + QStringLiteral(": is a folder, not a picture"));
    }

    void unreadableFileIsReported() {
        const QString path =
            write(QStringLiteral("locked.jpg"), Jpeg(Marked(QSize(8, 8), Qt::red, Qt::white)));
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
        if (::access(QFile::encodeName(path).constData(), R_OK) == 0)
            QSKIP("this user may read any file");
        QCOMPARE(loadFailure(path), path + QStringLiteral(": cannot be read: Permission denied"));
    }

    void truncatedDataIsReportedWhenDrawn_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("partialImage");

        const QImage image = PhotoLike(QSize(64, 48));
        const QByteArray jpeg = Jpeg(PhotoLike(QSize(640, 480)));
        const QByteArray gif = TestData("still-40x30.gif");
        const QByteArray bmp = Encode(image, "bmp");
        const QByteArray ico = Encode(image.convertToFormat(QImage::Format_ARGB32), "ico");
        QTest::newRow("jpeg cut in half") << "half.jpg" << jpeg.left(jpeg.size() / 2) << true;
        QTest::newRow("jpeg without its end marker") << "noend.jpg" << jpeg.chopped(2) << true;
        QTest::newRow("gif cut inside the image data")
            << "cut.gif" << gif.left(gif.size() - 20) << false;
        QTest::newRow("bmp cut in half") << "half.bmp" << bmp.left(bmp.size() / 2) << false;
        QTest::newRow("ico cut in half") << "half.ico" << ico.left(ico.size() / 2) << false;
    }

    void truncatedDataIsReportedWhenDrawn() {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, content);
        QFETCH(bool, partialImage);

        // The header is whole, so the picture loads; what is missing shows when it is drawn.
        const QString path = write(fileName, content);
        const Picture picture = LoadPicture(NativePath(path));
        const Rendering drawn = picture.render(QSize(64, 48));
        QVERIFY2(drawn.error.startsWith(path + QStringLiteral(": ")), qPrintable(drawn.error));
        QVERIFY2(drawn.error.contains(QStringLiteral("truncated")), qPrintable(drawn.error));
        if (partialImage)
            QVERIFY(!drawn.image.isNull());
        if (!drawn.image.isNull())
            QCOMPARE(drawn.image.size(), QSize(64, 48));
    }

    void metafilesGoToTheMetafileLoader_data() {
        QTest::addColumn<QByteArray>("content");

        QByteArray placeable;
        AppendLe32(placeable, 0x9AC6CDD7);
        placeable += QByteArray(40, '\0');
        QByteArray standard(QByteArray("\x01\x00\x09\x00\x00\x03", 6) + QByteArray(30, '\0'));
        QByteArray onDisk(QByteArray("\x02\x00\x09\x00\x00\x03", 6) + QByteArray(30, '\0'));
        QByteArray emf;
        AppendLe32(emf, 1);
        AppendLe32(emf, 108);
        emf += QByteArray(32, '\0');
        AppendLe32(emf, 0x464D4520);
        emf += QByteArray(64, '\0');

        QTest::newRow("wmf, placeable") << placeable;
        QTest::newRow("wmf, standard header, in memory") << standard;
        QTest::newRow("wmf, standard header, on disk") << onDisk;
        QTest::newRow("emf") << emf;
    }

    void metafilesGoToTheMetafileLoader() {
        QFETCH(QByteArray, content);

        const QString path = write(QStringLiteral("metafile.jpg"), content);
        const QString failure = loadFailure(path);
        QVERIFY2(!failure.contains(QStringLiteral("unknown format")), qPrintable(failure));
    }

    void drawsAfterItsFileIsDeleted() {
        const QString path =
            write(QStringLiteral("doomed.jpg"), Jpeg(Marked(QSize(40, 30), Qt::red, Qt::white)));
        const Picture picture = LoadPicture(NativePath(path));
        QVERIFY(QFile::remove(path));
        const Rendering drawn = picture.render(QSize(40, 30));
        QVERIFY2(drawn.error.isEmpty(), qPrintable(drawn.error));
        QVERIFY(Near(drawn.image.pixelColor(2, 2), Qt::red));
    }

    void drawsTheSameEachTime() {
        const Picture picture = LoadPicture(
            NativePath(write(QStringLiteral("again.gif"), TestData("still-40x30.gif"))));
        const Rendering first = picture.render(QSize(25, 19));
        const Rendering second = picture.render(QSize(25, 19));
        QCOMPARE(second.image, first.image);
        QCOMPARE(picture.render(QSize(40, 30)).image.size(), QSize(40, 30));
    }

    void drawsNothingAtAnEmptySize() {
        const Picture picture = LoadPicture(
            NativePath(write(QStringLiteral("empty-size.gif"), TestData("still-40x30.gif"))));
        QVERIFY(picture.render(QSize(0, 10)).image.isNull());
        QVERIFY(Picture().render(QSize(10, 10)).image.isNull());
        QCOMPARE(Picture().Width(), 0.0);
    }

    void drawsALargePhotoIntoASmallPane() {
        const QString path =
            write(QStringLiteral("photo.jpg"), Encode(PhotoLike(QSize(6000, 4000)), "jpeg", 90));
        const Picture picture = LoadPicture(NativePath(path));
        QCOMPARE(picture.Width(), 6000 * kHundredthsOfMmPerPixel);
        QCOMPARE(picture.Height(), 4000 * kHundredthsOfMmPerPixel);
        const Rendering drawn = picture.render(QSize(250, 167));
        QVERIFY2(drawn.error.isEmpty(), qPrintable(drawn.error));
        QCOMPARE(drawn.image.size(), QSize(250, 167));
        QVERIFY(drawn.image.pixelColor(10, 80).red() > drawn.image.pixelColor(10, 80).blue());
        QVERIFY(drawn.image.pixelColor(240, 80).blue() > drawn.image.pixelColor(240, 80).red());
    }

    void pictureFromImage() {
        const Picture picture =
            pictures::PictureFromImage(Marked(QSize(20, 10), Qt::red, Qt::white));
        QCOMPARE(picture.Width(), 20 * kHundredthsOfMmPerPixel);
        QCOMPARE(picture.Height(), 10 * kHundredthsOfMmPerPixel);
        const Rendering drawn = picture.render(QSize(60, 30));
        QVERIFY(drawn.error.isEmpty());
        QCOMPARE(drawn.image.size(), QSize(60, 30));
        QVERIFY(Near(drawn.image.pixelColor(3, 3), Qt::red));
        QVERIFY(Near(drawn.image.pixelColor(56, 26), Qt::white));
        QVERIFY(pictures::PictureFromImage(QImage()).isNull());
    }
};

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
