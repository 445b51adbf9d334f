// The raster picture loader: formats told by content, natural sizes, orientation, drawing at a
// size, and clean failures for files that are not pictures or are damaged.
#include "pictures/LoadPicture.h"

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

#include <cstdlib>
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

QByteArray TestData(const char* name) {
    QFile file(QStringLiteral(LUMBRIK_TEST_DATA "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", name);
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

// An APP1 Exif segment holding the orientation tag alone, spliced in after the SOI marker.
QByteArray WithExifOrientation(const QByteArray& jpeg, int orientation) {
    const QByteArray payload = QByteArray("Exif\0\0II*\0", 10) +
                               Le(quint32(8), quint16(1), quint16(0x0112), quint16(3), quint32(1),
                                  quint16(orientation), quint16(0), quint32(0));
    const int length = int(payload.size()) + 2;
    return jpeg.left(2) + "\xFF\xE1" + char(length >> 8) + char(length) + payload + jpeg.mid(2);
}

QByteArray QtBmp(const QImage& image, int bits) {
    const QByteArray bytes = Encode(image, "bmp");
    if (qFromLittleEndian<quint16>(bytes.constData() + 28) != bits)
        qFatal("Qt did not write a %d-bit BMP", bits);
    return bytes;
}

// Qt writes BMP at 1, 4, 8 and 24 bits only; 16 (5-5-5) and 32 bits are written here.
QByteArray HandMadeBmp(const QImage& image, int bits) {
    const int rowBytes = (image.width() * bits + 31) / 32 * 4;
    const auto dataSize = quint32(rowBytes * image.height());
    QByteArray bytes =
        "BM" + Le(54 + dataSize, quint32(0), quint32(54), quint32(40), qint32(image.width()),
                  qint32(image.height()), quint16(1), quint16(bits), quint32(0), dataSize,
                  quint32(3780), quint32(3780), quint32(0), quint32(0));
    for (int y = image.height() - 1; y >= 0; --y) { // bottom-up rows
        QByteArray row;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            row += bits == 16
                       ? Le(quint16((qRed(p) >> 3) << 10 | (qGreen(p) >> 3) << 5 | qBlue(p) >> 3))
                       : Le(quint32(p | 0xFF000000));
        }
        bytes += row.leftJustified(rowBytes, '\0');
    }
    return bytes;
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

QColor ColourAt(const QImage& image, QPointF fraction) {
    return image.pixelColor(qRound(fraction.x() * (image.width() - 1)),
                            qRound(fraction.y() * (image.height() - 1)));
}

// JPEG and smooth scaling blur the edges a little.
bool Near(QColor actual, QColor expected) {
    return std::abs(actual.red() - expected.red()) <= 60 &&
           std::abs(actual.green() - expected.green()) <= 60 &&
           std::abs(actual.blue() - expected.blue()) <= 60;
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

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

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
        QTest::newRow("jpeg, orientation 1") << "o1.jpg" << WithExifOrientation(jpeg, 1) << photo;
        QTest::newRow("jpeg, orientation 3: turned half")
            << "o3.jpg" << WithExifOrientation(jpeg, 3) << turned(180);
        QTest::newRow("jpeg, orientation 6: turned a quarter clockwise")
            << "o6.jpg" << WithExifOrientation(jpeg, 6) << turned(90);
        QTest::newRow("jpeg, orientation 8: turned a quarter anticlockwise")
            << "o8.jpg" << WithExifOrientation(jpeg, 8) << turned(270);
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
        Picture picture;
        QVERIFY_THROWS_NO_EXCEPTION(picture = LoadPicture(QFile::encodeName(path).toStdString()));
        QCOMPARE(picture.Width(), expected.width() * kHundredthsOfMmPerPixel);
        QCOMPARE(picture.Height(), expected.height() * kHundredthsOfMmPerPixel);
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

    void badFileIsReported_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("content"); // null: no file is written
        QTest::addColumn<QString>("reason");

        const QString unknown = QStringLiteral("not a picture (unknown format)");
        QRandomGenerator random(20240601);
        QByteArray noise(4096, '\0');
        for (char& byte : noise)
            byte = static_cast<char>(random.bounded(256));
        noise[0] = 'x'; // no format starts so

        QTest::newRow("missing") << "never-written.jpg" << QByteArray()
                                 << "cannot be read: No such file or directory";
        QTest::newRow("folder") << "folder.jpg" << QByteArray() << "is a folder, not a picture";
        QTest::newRow("unreadable")
            << "locked.jpg" << QByteArray("\xFF\xD8\xFF") << "cannot be read: Permission denied";
        QTest::newRow("empty") << "empty.jpg" << QByteArray("") << "empty file";
        QTest::newRow("random bytes named .jpg") << "noise.jpg" << noise << unknown;
        QTest::newRow("text named .gif")
            << "notes.gif" << QByteArray("Shopping: milk, bread.\n") << unknown;
        // PNG is not among the formats read, whatever the name says.
        QTest::newRow("png named .jpg")
            << "png.jpg" << Encode(Marked({8, 8}, Qt::red, Qt::white), "png") << unknown;
        QTest::newRow("gif claiming 60000 x 60000 pixels")
            << "huge.gif" << TestData("claims-60000x60000.gif")
            << "picture too large (60000 x 60000 pixels)";
        QTest::newRow("bmp 65536 pixels wide")
            << "wide.bmp" << QtBmp(Marked({65536, 1}, Qt::red, Qt::red), 24) << "picture too large";
        // Refused before any reading: a pipe would say "empty file", the device fill memory.
        QTest::newRow("named pipe") << "pipe.jpg" << QByteArray() << "not a regular file";
        QTest::newRow("link to a character device")
            << "device.jpg" << QByteArray() << "not a regular file";
        QTest::newRow("jpeg cut inside its header")
            << "header.jpg" << Encode(Marked({40, 30}, Qt::red, Qt::white), "jpeg").left(20)
            << "cannot be decoded as JPEG";
        QTest::newRow("gif signature alone")
            << "sig.gif" << QByteArray("GIF89a") << "cannot be decoded as GIF";
        QTest::newRow("bmp signature and zeros")
            << "zeros.bmp" << QByteArray("BM") + QByteArray(60, '\0') << "cannot be decoded as BMP";
        QTest::newRow("ico directory without images")
            << "none.ico" << QByteArray("\0\0\1\0\0\0", 6) << "cannot be decoded as ICO";

        const QString truncated = QStringLiteral("the file ends before the picture does");
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
        QVERIFY2(failure.startsWith(path + QStringLiteral(": ") + reason), qPrintable(failure));
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
