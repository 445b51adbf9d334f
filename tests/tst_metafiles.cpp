// WMF and EMF pictures: natural sizes, renderings against committed references, drawing at
// any size, and containment of the decoder process (bad files, crashes, hangs, overruns).
#include "decoder/Seal.h"
#include "decoder/canvas/MetafileSource.h"
#include "decoder/emfplus/EmfPlusPlayer.h"
#include "pictures/LoadPicture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <fcntl.h>
#include <linux/landlock.h>
#include <sys/inotify.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>
#include <vector>

using namespace std::chrono_literals;
enum class MetafileKind { Wmf, Emf };
Q_DECLARE_METATYPE(MetafileKind)
// Something a sealed process tries; true when it succeeded.
using Attempt = bool (*)();
Q_DECLARE_METATYPE(Attempt)

namespace {

QString DataPath(const QString& name) {
    return QStringLiteral(LUMBRIK_TEST_DATA "/metafiles/") + name;
}

QByteArray ReadData(const QString& name) {
    QFile file(DataPath(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    return file.readAll();
}

MetafileKind KindOf(const QString& name) {
    return name.endsWith(QLatin1String(".emf")) ? MetafileKind::Emf : MetafileKind::Wmf;
}

pictures::DecoderProgram RealDecoder() {
    return {QFile::encodeName(QCoreApplication::applicationDirPath() + "/lumbrik-decoder")
                .toStdString(),
            {}};
}

// The bytes as a file of that name in a folder of its own, loaded as the viewer loads files.
pictures::Picture LoadBytes(const QByteArray& bytes, const QString& name,
                            const pictures::DecoderProgram& decoder = RealDecoder()) {
    static const auto decoders = std::make_shared<pictures::Decoders>(RealDecoder(), 2);
    const QTemporaryDir dir;
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    file.close();
    const auto path = std::filesystem::path(QFile::encodeName(file.fileName()).toStdString());
    if (decoder.path == RealDecoder().path)
        return pictures::LoadPicture(path, decoders);
    return pictures::LoadPicture(path, std::make_shared<pictures::Decoders>(decoder, 0));
}

pictures::Picture Load(const QString& name) {
    return LoadBytes(ReadData(name), name);
}

// The message of a load that must fail, or a null string if it loaded.
template <typename Load> QString FailureOf(Load&& load) {
    try {
        load();
    } catch (const pictures::LoadError& e) {
        return QString::fromStdString(e.what());
    }
    return {};
}

int Distance(QRgb p, QRgb q) {
    return std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
           std::abs(qBlue(p) - qBlue(q)) + std::abs(qAlpha(p) - qAlpha(q));
}

// Mean absolute channel difference (0..255) over the whole picture, and over its worst 24 x 24
// window (windows overlap by half): a lost shape shows there.
std::pair<double, double> Difference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    const auto at = [&](int i, int j) { return Distance(x.pixel(i, j), y.pixel(i, j)) / 4.0; };
    double total = 0, worst = 0;
    for (int j = 0; j < x.height(); ++j)
        for (int i = 0; i < x.width(); ++i)
            total += at(i, j);
    for (int wy = 0; wy < x.height(); wy += 12) {
        for (int wx = 0; wx < x.width(); wx += 12) {
            double sum = 0;
            int count = 0;
            for (int j = wy; j < std::min(wy + 24, x.height()); ++j)
                for (int i = wx; i < std::min(wx + 24, x.width()); ++i, ++count)
                    sum += at(i, j);
            worst = std::max(worst, sum / count);
        }
    }
    return {total / (double(x.width()) * x.height()), worst};
}

// A sample with some of its header's little-endian fields replaced: {offset, value}.
template <typename Field>
QByteArray Patched(const char* name, std::initializer_list<std::pair<int, Field>> fields) {
    QByteArray bytes = ReadData(name);
    for (const auto& [at, value] : fields)
        qToLittleEndian<Field>(value, bytes.data() + at);
    return bytes;
}

// The first line of /proc/<pid>/status that starts with `field`, or empty.
QByteArray StatusLine(qint64 pid, const QByteArray& field) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.simplified();
    return {};
}

const pictures::metafile::CodePages& CodePages() {
    static const pictures::metafile::CodePages pages;
    return pages;
}

// The SVG the players make of `bytes`, or empty when they refuse it.
QByteArray SvgAnswer(const QByteArray& bytes, MetafileKind kind) {
    const auto input =
        std::span(reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size());
    try {
        return QByteArray::fromStdString((kind == MetafileKind::Wmf
                                              ? pictures::metafile::DecodeWmf(input, CodePages())
                                              : pictures::metafile::DecodeEmf(input, CodePages()))
                                             .svg);
    } catch (const pictures::metafile::DecodeError&) {
        return {};
    }
}

// A sample with `count` more copies of a record before its end record (of WMF: 6 bytes).
QByteArray WithRecords(const char* name, const QByteArray& record, int count, int endSize = 6) {
    QByteArray bytes = ReadData(name);
    bytes.insert(bytes.size() - endSize, record.repeated(count));
    return bytes;
}

// The EMF+ records of an EMF file played as the EMF player hands them over, comment by comment;
// GDI rectangles met on the way noted as drawn (+) or left to EMF+ (-).
struct EmfPlusPlayed {
    QImage image;
    std::size_t skipped = 0;
    QString gdi;
};

EmfPlusPlayed PlayEmfPlus(const QByteArray& file) {
    using namespace pictures::metafile;
    const auto bytes = std::span(reinterpret_cast<const unsigned char*>(file.data()), file.size());
    const EmfHeader header = ReadEmfHeader(bytes);
    SvgCanvas canvas(AnswerBudget(bytes.size()));
    canvas.SetSize(double(header.frame.Width()), double(header.frame.Height()));
    EmfPlusPlayer player(canvas, header);
    EmfPlusPlayed played;
    const auto u32 = [&](std::size_t at) { return qFromLittleEndian<quint32>(bytes.data() + at); };
    for (std::size_t at = 0, size = 0; at + 8 <= bytes.size(); at += size) {
        size = u32(at + 4);
        if (size < 8 || size > bytes.size() - at)
            break;
        if (u32(at) == 70 && size >= 16 && u32(at + 12) == 0x2B464D45 && u32(at + 8) <= size - 12)
            player.Play(bytes.subspan(at + 16, u32(at + 8) - 4));
        else if (u32(at) == 43)
            played.gdi += player.GdiDraws() ? '+' : '-';
    }
    played.skipped = player.Skipped();
    played.image = QImage(480, 288, QImage::Format_ARGB32);
    played.image.fill(Qt::white);
    QPainter painter(&played.image);
    QSvgRenderer(QByteArray::fromStdString(canvas.TakeDocument())).render(&painter);
    return played;
}

} // namespace

class TestMetafiles : public QObject {
    Q_OBJECT

private slots:
    // The viewer finds the decoder beside the program.
    void initTestCase() { QCOMPARE(pictures::Decoders::Installed().path, RealDecoder().path); }

    void rendersLikeReference_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QSizeF>("natural"); // hundredths of a millimetre
        // Placeable WMF: bounding box over units per inch; EMF: the header's frame;
        // a WMF without placeable header: its window extent at 96 units to the inch.
        QTest::newRow("inkscape wmf")
            << "shapes-inkscape.wmf" << QSizeF(3779, 2361) * (2540 / 1200.0);
        QTest::newRow("inkscape emf") << "shapes-inkscape.emf" << QSizeF(7999, 5099);
        QTest::newRow("inkscape text wmf")
            << "text-inkscape.wmf" << QSizeF(4723, 1889) * (2540 / 1200.0);
        QTest::newRow("libreoffice wmf") << "text-libreoffice.wmf" << QSizeF(9454, 3454);
        QTest::newRow("wmf without placeable header")
            << "text-libreoffice-nonplaceable.wmf" << QSizeF(9454, 3454) * (2540 / 96.0);
        QTest::newRow("libreoffice emf+") << "text-libreoffice.emf" << QSizeF(9453, 3453);
        QTest::newRow("gdi records") << "gdi-records.wmf" << QSizeF(10000, 6000);
        // Text after its font was deleted and the font's slot given to a pen.
        QTest::newRow("font deleted while selected") << "stale-font.wmf" << QSizeF(10000, 6000);
        QTest::newRow("symbol fonts") << "symbol-fonts.wmf" << QSizeF(10000, 6000);
        // Regions filled, framed, painted, and selected for clipping; one with a torn scan.
        QTest::newRow("regions") << "regions.wmf" << QSizeF(10000, 6000);
        // A pen deleted, then a brush made in its slot and a pen in a new one, then selected.
        QTest::newRow("objects made in freed slots") << "reused-slots.wmf" << QSizeF(10000, 6000);
        // Cut near the frame, the shapes look as they would whole.
        QTest::newRow("polygons with corners far outside")
            << "far-corners.wmf" << QSizeF(100, 60) * 254.0;
        // World transforms, mapping modes, paths, clips, brushes, pens, text and a bitmap.
        QTest::newRow("emf records") << "emf-records.emf" << QSizeF(10000, 6000);
        QTest::newRow("emf polygons with corners far outside")
            << "emf-far-corners.emf" << QSizeF(10000, 6000);
        QTest::newRow("emf glyph indices out of range, huge spacing")
            << "emf-glyph-indices.emf" << QSizeF(10000, 6000);
        // A window of a few units and fonts of one unit, scaled up: not a thin strip.
        QTest::newRow("emf of tiny logical units") << "emf-tiny-units.emf" << QSizeF(10000, 6000);
        QTest::newRow("emf world transforms multiplied on either side")
            << "emf-composed-transforms.emf" << QSizeF(10000, 6000);
        QTest::newRow("emf clipped text, then shapes outside its box")
            << "emf-clipped-text.emf" << QSizeF(10000, 6000);
        // EMF+ draws; the GDI stand-ins do not, the GDI records after a GetDC do.
        QTest::newRow("emf+ dual") << "emfplus-dual.emf" << QSizeF(12700, 7620);
        QTest::newRow("emf+ only") << "emfplus-only.emf" << QSizeF(12700, 7620);
        QTest::newRow("emf+ records past their comment")
            << "emfplus-past-comment.emf" << QSizeF(12700, 7620);
        QTest::newRow("emf+ bad objects") << "emfplus-bad-objects.emf" << QSizeF(12700, 7620);
        QTest::newRow("emf+ shapes reaching far outside")
            << "emfplus-far-corners.emf" << QSizeF(12700, 7620);
        // Bounds mostly outside the frame: the bounds are shown, at the frame's size.
        QTest::newRow("emf drawn above its frame") << "emf-above-frame.emf" << QSizeF(4000, 5190);
    }

    void rendersLikeReference() {
        QFETCH(QString, file);
        QFETCH(QSizeF, natural);
        const pictures::Picture picture = Load(file);
        QCOMPARE(QSizeF(picture.Width(), picture.Height()), natural);

        const QSize size(400, int(std::lround(400 * natural.height() / natural.width())));
        const pictures::Rendering drawn = picture.render(size);
        QVERIFY2(drawn.error.isEmpty(), qPrintable(drawn.error));
        QCOMPARE(drawn.image.size(), size);
        const QImage reference(DataPath(file + ".ref.png"));
        const auto [mean, worst] =
            reference.size() == size ? Difference(drawn.image, reference) : std::pair(255.0, 255.0);
        if (mean > 2.0 || worst > 25.0) {
            const QString actual = QDir::temp().filePath(file + ".actual.png");
            drawn.image.save(actual);
            QFAIL(qPrintable(QString::asprintf("differs from its reference (mean %.2f, worst "
                                               "window %.2f); this run drew %s",
                                               mean, worst, qPrintable(actual))));
        }
    }

    // The drawing is made in layers (shapes by Qt SVG, text runs on their own, tall edges cut
    // into pieces), and must look as Qt SVG draws the whole document, or the equivalent one
    // given where Qt SVG falls short.
    void drawsAnswerAsQtSvgDoes_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("equivalent"); // empty: the body itself
        const QByteArray font = " font-family='DejaVu Sans' font-size='200' font-weight='700' "
                                "font-style='normal' fill='#1e3cb4' stroke='none' "
                                "xml:space='preserve'";
        QTest::newRow("text between shapes")
            << "<rect x='0' y='0' width='1000' height='600' fill='#f0f0e0' stroke='none'/>\n"
               "<text x='60' y='300' text-anchor='start'" +
                   font +
                   ">Layers</text>\n"
                   "<rect x='300' y='100' width='200' height='400' fill='#c82828' stroke='none'/>\n"
                   "<text x='500' y='560' text-anchor='middle'" +
                   font +
                   ">over</text>\n"
                   "<text x='980' y='560' text-anchor='end' transform='rotate(-30 980 560)'" +
                   font + ">R</text>"
            << QByteArray();
        // Qt SVG places every character of a run after the one before.
        QTest::newRow("characters placed one by one")
            << "<text x='60 400 880' y='300' text-anchor='start'" + font + ">AB.</text>"
            << "<text x='60' y='300' text-anchor='start'" + font +
                   ">A</text><text x='400' "
                   "y='300' text-anchor='start'" +
                   font +
                   ">B</text><text x='880' y='300' "
                   "text-anchor='start'" +
                   font + ">.</text>";
        // A writer's ligature: the first letter has its advance, the next none.
        QTest::newRow("letter of no advance after one of all of it")
            << "<text x='100 400 400' y='300' text-anchor='start'" + font + ">HIC</text>"
            << "<text x='100' y='300' text-anchor='start'" + font +
                   ">HI</text><text x='400' y='300' text-anchor='start'" + font + ">C</text>";
        // Letters that join are shaped together, wherever the run puts them.
        QTest::newRow("joining letters placed one by one")
            << "<text x='100 300 500 700' y='300' text-anchor='start'" + font +
                   ">\u0633\u0644\u0627\u0645</text>"
            << "<text x='100' y='300' text-anchor='start'" + font +
                   ">\u0633\u0644\u0627\u0645</text>";
        QTest::newRow("tall edges")
            << QByteArray("<path d='M10,-60 990,660 940,660Z M500,0 L520,300 480,600Z' "
                          "fill='#285ac8' fill-rule='evenodd' stroke='none'/>\n"
                          "<path d='M100,0 130,600' fill='none' stroke='#000000' "
                          "stroke-width='8' stroke-dasharray='30 10'/>")
            << QByteArray();
        QTest::newRow("text in a group, as only Qt SVG draws it")
            << "<g transform='translate(40 0)'><text x='60' y='300' text-anchor='start'" + font +
                   ">Group</text></g>"
            << QByteArray();
    }

    void drawsAnswerAsQtSvgDoes() {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, equivalent);
        const auto document = [](const QByteArray& elements) {
            return "<?xml version='1.0' encoding='UTF-8'?>\n<svg "
                   "xmlns='http://www.w3.org/2000/svg' version='1.1' width='10mm' height='6mm' "
                   "viewBox='0 0 1000 600' preserveAspectRatio='none'>\n" +
                   elements + "\n</svg>\n";
        };
        const auto drawing = pictures::metafile::SvgDrawing::Read(document(body));
        QVERIFY(drawing);
        const QSize size(500, 300);
        QImage expected(size, QImage::Format_ARGB32_Premultiplied);
        expected.fill(Qt::transparent);
        QPainter painter(&expected);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        QSvgRenderer(document(equivalent.isEmpty() ? body : equivalent))
            .render(&painter, QRectF(QPointF(), size));
        painter.end();
        QImage drawn(size, QImage::Format_ARGB32_Premultiplied);
        drawn.fill(Qt::transparent);
        QPainter onDrawn(&drawn);
        onDrawn.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        QVERIFY(drawing->Draw(onDrawn, QRectF(QPointF(), size)));
        onDrawn.end();
        const auto [mean, worst] = Difference(drawn, expected);
        QVERIFY2(mean <= 1.0 && worst <= 25.0,
                 qPrintable(QString("mean %1, worst %2").arg(mean).arg(worst)));
    }

    // Drawn as a vector: edges as sharp at full screen as in a thumbnail (a scaled-up raster
    // would smear them over many pixels).
    void drawsSharpWhenLarge() {
        const pictures::Picture picture = Load("shapes-inkscape.emf");
        const QSize big(1600, int(std::lround(1600 * picture.Height() / picture.Width())));
        const QImage image = picture.render(big).image.convertToFormat(QImage::Format_ARGB32);
        // Across the red rectangle's left border: background, dark border, red.
        int blended = 0;
        for (int x = 0; x < big.width() / 8; ++x) {
            const QRgb p = image.pixel(x, int(big.height() * 0.28));
            blended += Distance(p, 0xfff4f0e0) >= 60 && Distance(p, 0xff202020) >= 60 &&
                       Distance(p, 0xffd03030) >= 60;
        }
        QVERIFY2(blended <= 4, qPrintable(QString::number(blended)));
    }

    // Folders load their previews on worker threads, several at once, and a picture is drawn
    // from whichever thread asks.
    void loadsAndDrawsFromManyThreadsAtOnce() {
        const pictures::Picture shared = Load("text-libreoffice.emf");
        const QImage expected = shared.render(QSize(300, 110)).image;
        std::vector<double> widths(3);
        std::vector<QImage> drawn(3);
        std::vector<std::thread> threads;
        for (std::size_t t = 0; t < widths.size(); ++t)
            threads.emplace_back([&, t] {
                widths[t] = Load("big-libreoffice.wmf").Width();
                for (int i = 0; i < 5; ++i)
                    drawn[t] = shared.render(QSize(300, 110)).image;
            });
        for (auto& thread : threads)
            thread.join();
        for (std::size_t t = 0; t < widths.size(); ++t) {
            QCOMPARE(widths[t], 18700.0);
            QCOMPARE(drawn[t], expected);
        }
    }

    // The generic loader tells metafiles by content, whatever their names, and names the file
    // when they fail.
    void loadsThroughLoadPicture_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSizeF>("natural"); // empty: it fails
        QTest::addColumn<QString>("reason"); // of a failure
        const char* standard = "text-libreoffice-nonplaceable.wmf";
        const QSizeF extent = QSizeF(9454, 3454) * (2540 / 96.0);
        const auto words = quint32(ReadData(standard).size() / 2);
        QTest::newRow("emf") << ReadData("text-libreoffice.emf") << QSizeF(9453, 3453) << QString();
        QTest::newRow("wmf, placeable")
            << ReadData("text-libreoffice.wmf") << QSizeF(9454, 3454) << QString();
        // Left and right, top and bottom swapped (the checksum stays): the box runs backwards.
        QTest::newRow("wmf, placeable box inverted")
            << Patched<qint16>("text-libreoffice.wmf", {{6, 9454}, {8, 3454}, {10, 0}, {12, 0}})
            << QSizeF(9454, 3454) << QString();
        QTest::newRow("wmf, in memory") << ReadData(standard) << extent << QString();
        QTest::newRow("wmf, on disk")
            << Patched<quint16>(standard, {{0, 2}}) << extent << QString();
        // libwmf refuses objects beyond the table the header sizes.
        QTest::newRow("wmf whose header counts too few objects")
            << Patched<quint16>("regions.wmf", {{22 + 10, 1}}) << QSizeF(10000, 6000) << QString();
        // The size field is a hint; only records running past the end make a file cut short.
        QTest::newRow("wmf whose size counts a placeable header it lacks")
            << Patched<quint32>(standard, {{6, words + 11}}) << extent << QString();
        QTest::newRow("wmf whose size is short")
            << Patched<quint32>(standard, {{6, words / 2}}) << extent << QString();
        QTest::newRow("wmf whose size is exact")
            << Patched<quint32>(standard, {{6, words}}) << extent << QString();
        QTest::newRow("wmf whose records run past its end")
            << Patched<quint32>(standard, {{6, words}}).chopped(10) << QSizeF() << "cut short";
        QTest::newRow("emf cut short")
            << ReadData("text-libreoffice.emf").left(2000) << QSizeF() << "cut short";
    }

    void loadsThroughLoadPicture() {
        QFETCH(QByteArray, bytes);
        QFETCH(QSizeF, natural);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QFile file(dir.filePath("picture.jpg"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        pictures::Picture picture;
        const QString failure =
            FailureOf([&] { picture = pictures::LoadPicture(file.fileName().toStdString()); });
        QVERIFY2(natural.isEmpty() ? failure.startsWith("picture.jpg: ") && failure.contains(reason)
                                   : failure.isEmpty(),
                 qPrintable(failure));
        if (!natural.isEmpty())
            QCOMPARE(QSizeF(picture.Width(), picture.Height()), natural);
    }

    // Whatever the players make of a bad file, the result is a reported failure: at once from the
    // header and the record chain, or when drawn. Played here, under the sanitizers.
    void badFileFails_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<MetafileKind>("kind");
        QTest::addColumn<QString>("reason"); // empty: any reason

        for (const char* file : {"text-libreoffice.emf", "text-libreoffice.wmf",
                                 "big-libreoffice.emf", "big-libreoffice.wmf"}) {
            const QByteArray bytes = ReadData(file);
            for (const qsizetype length :
                 {qsizetype(10), qsizetype(100), bytes.size() / 2, bytes.size() - 10})
                QTest::addRow("%s cut to %lld bytes", file, qlonglong(length))
                    << bytes.left(length) << KindOf(file) << QString();
        }
        for (const auto& [file, header] : {std::pair("text-libreoffice.emf", 108),
                                           {"text-libreoffice.wmf", 22 + 18},
                                           {"text-libreoffice-nonplaceable.wmf", 18}}) {
            QRandomGenerator random(1234);
            for (int round = 0; round < 20; ++round) {
                QByteArray bytes = ReadData(file).left(header);
                const int length = 64 + int(random.bounded(4000));
                for (int i = 0; i < length; ++i)
                    bytes += char(random.bounded(256));
                QTest::addRow("%s header, then noise %d", file, round)
                    << bytes << KindOf(file) << QString();
            }
        }

        // The EMF frame (left, top, right, bottom) at 24; the placeable WMF's right edge at 10,
        // bottom edge at 12 and units per inch at 14.
        const auto emf = [](qint32 left, qint32 top, qint32 right, qint32 bottom) {
            return Patched<qint32>("shapes-inkscape.emf",
                                   {{24, left}, {28, top}, {32, right}, {36, bottom}});
        };
        const QString large = QStringLiteral("implausibly large");
        const QString empty = QStringLiteral("empty or negative size");
        QTest::newRow("enormous emf frame")
            << emf(0, 0, 2'000'000'000, 2'000'000'000) << MetafileKind::Emf << large;
        QTest::newRow("empty emf frame") << emf(0, 0, 0, 500) << MetafileKind::Emf << empty;
        QTest::newRow("inverted emf frame") << emf(500, 500, 0, 0) << MetafileKind::Emf << empty;
        QTest::newRow("enormous placeable wmf: 30000 units at 1 to the inch")
            << Patched<qint16>("text-libreoffice.wmf", {{10, 30000}, {14, 1}}) << MetafileKind::Wmf
            << large;
        QTest::newRow("flat placeable wmf")
            << Patched<qint16>("text-libreoffice.wmf", {{12, 0}}) << MetafileKind::Wmf << empty;
        // libwmf would allocate for the claimed largest record before reading one.
        const QByteArray hugeRecord =
            Patched<quint32>("text-libreoffice-nonplaceable.wmf", {{12, 0x7FFFFFFF}});
        QTest::newRow("wmf whose largest record is larger than the file")
            << hugeRecord << MetafileKind::Wmf << "corrupt header";
        QTest::newRow("wmf header alone, claiming a huge record")
            << hugeRecord.left(19) << MetafileKind::Wmf << "corrupt header";
        // Without bounds, the pixel size comes from the frame and the reference device.
        QTest::newRow("emf reference device of extreme resolution")
            << Patched<qint32>("shapes-inkscape.emf", {{8, 0},
                                                       {12, 0},
                                                       {16, 0},
                                                       {20, 0},
                                                       {72, 0x7FFFFFFF},
                                                       {76, 0x7FFFFFFF},
                                                       {80, 1},
                                                       {84, 1}})
            << MetafileKind::Emf << large;
        // LINETO records of ten bytes, each a path of its own.
        QTest::newRow("wmf of more elements than an answer may hold")
            << WithRecords("gdi-records.wmf", QByteArray::fromHex("05000000130210002000"), 200'001)
            << MetafileKind::Wmf << "too large to show";
        // LINETO records, each a path of its own, before the 20-byte EOF record.
        QTest::newRow("emf of more elements than an answer may hold")
            << WithRecords("emf-records.emf",
                           QByteArray::fromHex("36000000100000000a0000000a000000"), 200'001, 20)
            << MetafileKind::Emf << "too large to show";
        QTest::newRow("emf taken for wmf")
            << ReadData("shapes-inkscape.emf") << MetafileKind::Wmf << "not a valid WMF";
        QTest::newRow("wmf taken for emf")
            << ReadData("shapes-inkscape.wmf") << MetafileKind::Emf << "not an EMF";
        // The first record after the header (at 108) is the frame's background brush.
        QTest::newRow("emf record of a size not a multiple of four")
            << Patched<quint32>("emf-records.emf", {{112, 10}}) << MetafileKind::Emf
            << "corrupt record";
        QTest::newRow("emf record reaching past the end")
            << Patched<quint32>("emf-records.emf", {{112, 0x7FFFFFF0}}) << MetafileKind::Emf
            << "cut short";
        QTest::newRow("emf with a second header") << Patched<quint32>("emf-records.emf", {{108, 1}})
                                                  << MetafileKind::Emf << "corrupt record";
    }

    void badFileFails() {
        QFETCH(QByteArray, bytes);
        QFETCH(MetafileKind, kind);
        QFETCH(QString, reason);
        QString failure;
        try {
            const pictures::metafile::MetafileSource source(bytes, kind == MetafileKind::Wmf,
                                                            CodePages());
            failure = source.render(QSize(64, 48), {}).error;
        } catch (const pictures::metafile::DecodeError& e) {
            failure = QString::fromUtf8(e.what());
        }
        QVERIFY2(!failure.isEmpty() && failure.contains(reason), qPrintable(failure));
    }

    // The answer grows with the input, not with the numbers in it: spaced glyphs make one
    // element per run, and shapes reaching far beyond the frame are cut near it.
    void answerStaysSmallAndNearItsFrame_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("maxElements");
        QTest::addColumn<double>("maxBytesPerInputByte");
        QTest::newRow("polygons with corners far outside") << "far-corners.wmf" << 420 << 8.0;
        QTest::newRow("text with spacing arrays") << "long-spacing.wmf" << 40 << 4.0;
        QTest::newRow("busy drawing") << "big-libreoffice.wmf" << 2000 << 1.0;
        QTest::newRow("emf polygons with corners far outside")
            << "emf-far-corners.emf" << 220 << 5.0;
        QTest::newRow("emf text with huge spacing") << "emf-glyph-indices.emf" << 12 << 2.0;
        QTest::newRow("busy emf drawing") << "big-libreoffice.emf" << 6000 << 2.0;
        QTest::newRow("emf+ shapes reaching far outside")
            << "emfplus-far-corners.emf" << 420 << 4.0;
    }

    void answerStaysSmallAndNearItsFrame() {
        QFETCH(QString, file);
        QFETCH(int, maxElements);
        QFETCH(double, maxBytesPerInputByte);
        const QByteArray input = ReadData(file);
        const QByteArray svg = SvgAnswer(input, KindOf(file));
        QVERIFY2(svg.size() <= input.size() * maxBytesPerInputByte,
                 qPrintable(QString::number(svg.size())));
        const qsizetype elements = svg.count("<") - svg.count("</");
        QVERIFY2(elements <= maxElements, qPrintable(QString::number(elements)));
        const QRegularExpression viewBox("viewBox=\"0 0 ([0-9.e+]+) ([0-9.e+]+)\"");
        const auto box = viewBox.match(QString::fromUtf8(svg));
        QVERIFY(box.hasMatch());
        const double side = std::max(box.captured(1).toDouble(), box.captured(2).toDouble());
        const QRegularExpression coordinates(" (?:d|x|y|width|height)=\"([^\"]*)\"");
        const QRegularExpression number("-?[0-9.]+(?:e[-+]?[0-9]+)?");
        double farthest = 0;
        for (const auto& attribute : coordinates.globalMatch(QString::fromUtf8(svg)))
            for (const auto& n : number.globalMatch(attribute.captured(1)))
                farthest = std::max(farthest, std::abs(n.captured().toDouble()));
        QVERIFY2(farthest <= 3 * side, qPrintable(QString("%1 of %2").arg(farthest).arg(side)));
    }

    // EMF+ records draw, in their own state, while the GDI records they stand in for do not;
    // records that cannot be read are skipped, and nothing read wrongly draws magenta.
    void emfPlusRecordsPlay_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("skipped");
        QTest::addColumn<QString>("gdi");
        QTest::addColumn<QStringList>("probes"); // "x,y #rrggbb" of the 480 x 288 drawing
        QTest::newRow("dual") << "emfplus-dual.emf" << 0 << "-+-"
                              << QStringList{"80,50 #3090d0",    // filled ellipse
                                             "40,200 #f8f4e8",   // cleared, outside the path
                                             "60,250 #da615e",   // path subpath, brush alpha
                                             "360,45 #b4a830",   // hatch as a tint
                                             "240,200 #208080",  // rotated about its origin
                                             "110,262 #f8f4e8",  // outside the container's clip
                                             "150,262 #e08020",  // inside it
                                             "403,203 #8c9ae4",  // image pixel over background
                                             "305,215 #205e62",  // tiled gradient, halfway
                                             "250,265 #600060",  // texture as its average
                                             "310,261 #6b81d5"}; // path gradient, outer part
        QTest::newRow("emf+ only")
            << "emfplus-only.emf" << 0 << ""
            << QStringList{"3,3 #ffffff",     "420,60 #3060c0",
                           "360,120 #30a060", "140,262 #206020",
                           "100,262 #ffffff", "389,245 #28c85a"}; // a PNG's corner pixel
        QTest::newRow("records past their comment")
            << "emfplus-past-comment.emf" << 2 << "" << QStringList{"100,60 #20a020"};
        // Cut near the frame, shapes look as they would whole: four ellipses larger than the
        // picture tint it.
        QTest::newRow("shapes reaching far outside")
            << "emfplus-far-corners.emf" << 0 << "" << QStringList{"3,3 #a3d8e5", "35,30 #78786e"};
        QTest::newRow("bad objects") << "emfplus-bad-objects.emf" << 14 << ""
                                     << QStringList{"42,132 #20a020", "427,132 #20a020"};
    }

    void emfPlusRecordsPlay() {
        QFETCH(QString, file);
        QFETCH(int, skipped);
        QFETCH(QString, gdi);
        QFETCH(QStringList, probes);
        const EmfPlusPlayed played = PlayEmfPlus(ReadData(file));
        QCOMPARE(int(played.skipped), skipped);
        QCOMPARE(played.gdi, gdi);
        for (const QString& probe : probes) {
            const QStringList parts = probe.split(QRegularExpression("[ ,]"));
            const QRgb pixel = played.image.pixel(parts[0].toInt(), parts[1].toInt());
            QVERIFY2(Distance(pixel, QColor(parts[2]).rgba()) < 24,
                     qPrintable(probe + " is " + QColor(pixel).name()));
        }
        for (int y = 0; y < played.image.height(); ++y)
            for (int x = 0; x < played.image.width(); ++x)
                QVERIFY(Distance(played.image.pixel(x, y), 0xffff00ff) > 60);
    }

    // Text reads as written, whether given as characters or as glyph indices; symbol fonts place
    // their own glyphs at the codes of a code page, and read as those glyphs, not as the code
    // page's letters.
    void textReadsAsWritten_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("records") << "emf-records.emf"
                                 << QStringList{">Spaced<", ">Glyphs<", ">Turned<", ">Centred<",
                                                ">Small<"};
        QTest::newRow("glyph indices, stale font")
            << "emf-glyph-indices.emf" << QStringList{">Index<", "DejaVu Serif", ">Stale<"};
        QTest::newRow("tiny units") << "emf-tiny-units.emf" << QStringList{">Class A<"};
        // Symbol, Euclid Symbol, MT Extra, Wingdings.
        QTest::newRow("symbol fonts")
            << "symbol-fonts.wmf" << QStringList{">α≠β → ∞<", ">∂ξ ≤ √ψ<", ">⋯ …<", ">✓ ✗ ● ■<"};
    }

    void textReadsAsWritten() {
        QFETCH(QString, file);
        QFETCH(QStringList, texts);
        const QString svg = QString::fromUtf8(SvgAnswer(ReadData(file), KindOf(file)));
        for (const QString& text : texts)
            QVERIFY2(svg.contains(text), qPrintable(text + " in " + svg));
    }

    // The seal, applied in a child of this process: what decoding needs still works, and
    // nothing else does (the call fails, or the process is killed).
    void sealLeavesOnlyDecoding_data() {
        QTest::addColumn<Attempt>("attempt");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("read the file handed over") << Attempt([] {
            char c = 0;
            return pread(4, &c, 1, 0) == 1;
        }) << true;
        QTest::newRow("answer on its socket")
            << Attempt([] { return decoder::Send(3, decoder::Message{}); }) << true;
        QTest::newRow("memory") << Attempt([] {
            std::vector<char> big(64 << 20, 'x');
            return big.back() == 'x';
        }) << true;
        QTest::newRow("shared memory for pixels") << Attempt([] {
            const int memory = memfd_create("pixels", MFD_ALLOW_SEALING);
            return memory >= 0 && ftruncate(memory, 4096) == 0 &&
                   fcntl(memory, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW) == 0;
        }) << true;
        // Only where Landlock keeps every other file out of reach.
        const bool landlock =
            syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION) >= 1;
        QTest::newRow("read a font") << Attempt([] {
            return open("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", O_RDONLY) >= 0;
        }) << landlock;
        QTest::newRow("write a font") << Attempt([] {
            return open("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", O_RDWR) >= 0;
        }) << false;
        QTest::newRow("open a file")
            << Attempt([] { return open("/etc/passwd", O_RDONLY) >= 0; }) << false;
        QTest::newRow("open a socket")
            << Attempt([] { return socket(AF_INET, SOCK_STREAM, 0) >= 0; }) << false;
        QTest::newRow("send on another socket") << Attempt([] {
            char c = 'x';
            return send(6, &c, 1, 0) == 1;
        }) << false;
        QTest::newRow("run a program") << Attempt([] {
            // false exits with 1, as a successful attempt does.
            char* const argv[] = {const_cast<char*>("false"), nullptr};
            return execv("/bin/false", argv) == 0;
        }) << false;
        QTest::newRow("start a process") << Attempt([] { return fork() >= 0; }) << false;
        QTest::newRow("map new code") << Attempt([] {
            return mmap(nullptr, 4096, PROT_READ | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) !=
                   MAP_FAILED;
        }) << false;
        QTest::newRow("read an inherited descriptor") << Attempt([] {
            char c = 0;
            return read(7, &c, 1) == 1;
        }) << false;
    }

    void sealLeavesOnlyDecoding() {
        QFETCH(Attempt, attempt);
        QFETCH(bool, allowed);
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            // A plain system call to exit: the sanitizers hook _exit with calls the seal refuses.
            const auto leave = [](int code) { syscall(SYS_exit_group, code); };
            // 3: its socket, whose peer is 0; 6 and 7: inherited, closed by the seal; 4: the file
            // handed over, received after the seal as the decoder receives it.
            int ends[2], others[2];
            if (socketpair(AF_UNIX, SOCK_SEQPACKET, 0, ends) != 0 ||
                socketpair(AF_UNIX, SOCK_SEQPACKET, 0, others) != 0 || dup2(ends[0], 3) != 3 ||
                dup2(ends[1], 0) != 0 || dup2(others[0], 6) != 6 ||
                dup2(open("/dev/zero", O_RDONLY), 7) != 7)
                leave(3);
            decoder::Message open;
            open.kind = decoder::Kind::Open;
            const int file = ::open("/etc/hostname", O_RDONLY | O_CLOEXEC);
            if (!decoder::Send(0, open, file))
                leave(3);
            if (!decoder::SealProcess(3, decoder::FontFolders()))
                leave(2);
            decoder::UniqueFd received;
            if (decoder::Receive(3, open, received) != decoder::Received::Message ||
                received.get() != 4)
                leave(3);
            leave(attempt() ? 1 : 0);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY2(!WIFEXITED(status) || WEXITSTATUS(status) < 2,
                 WEXITSTATUS(status) == 2 ? "cannot seal" : "cannot set up");
        QCOMPARE(WIFEXITED(status) && WEXITSTATUS(status) == 1, allowed);
    }

    // A spare decoder is sealed before it is handed a file: under a filter, unable to gain
    // privileges, holding only its standard descriptors and its socket, its environment empty;
    // then it answers the file it is given.
    void decoderIsSealedWhileWaiting() {
        const int inherited = open("/dev/zero", O_RDONLY); // without close-on-exec
        std::optional<pictures::DecoderProcess> decoder =
            pictures::DecoderProcess::Start(RealDecoder());
        close(inherited);
        QVERIFY(decoder);
        QTRY_COMPARE_WITH_TIMEOUT(StatusLine(decoder->pid(), "Seccomp:"), QByteArray("Seccomp: 2"),
                                  5000);
        QCOMPARE(StatusLine(decoder->pid(), "NoNewPrivs:"), QByteArray("NoNewPrivs: 1"));
        QCOMPARE(QDir(QStringLiteral("/proc/%1/fd").arg(decoder->pid()))
                     .entryList(QDir::NoDotAndDotDot | QDir::AllEntries, QDir::Name),
                 QStringList({"0", "1", "2", "3"}));
        QFile environ(QStringLiteral("/proc/%1/environ").arg(decoder->pid()));
        QVERIFY(environ.open(QIODevice::ReadOnly));
        const QByteArray left = environ.readAll();
        QVERIFY2(left.count('\0') == left.size(), left.constData());

        const int file = open(QFile::encodeName(DataPath("gdi-records.wmf")).constData(), O_RDONLY);
        const auto facts = pictures::Decoders::Open(*decoder, file, "gdi-records.wmf",
                                                    std::chrono::steady_clock::now() + 5s);
        close(file);
        QVERIFY(std::holds_alternative<decoder::Message>(facts));
        QCOMPARE(std::get<decoder::Message>(facts).naturalWidth, 10000.0);
    }

    // A decoder that answers wrong, too much, too late or not at all fails that picture, with a
    // message naming it, and nothing it sent is used.
    void misbehavingDecoderFails_data() {
        QTest::addColumn<QString>("mode"); // what the stand-in does; see misbehaving_decoder.py
        QTest::addColumn<QString>("failure");
        const QString garbled = QStringLiteral("the picture decoder gave a garbled answer");
        QTest::newRow("missing") << QString() << "not installed";
        QTest::newRow("silent") << "silent"
                                << "took too long to decode";
        QTest::newRow("refusing with a reason") << "refusing"
                                                << "the file is odd";
        for (const char* mode :
             {"garbage", "too long a message", "pixels of another size", "short answer",
              "oversized answer", "memory that can shrink", "two descriptors"})
            QTest::newRow(mode) << mode << garbled;
        QTest::newRow("dies after the size") << "dies after the size"
                                             << "ended without an answer";
        QTest::newRow("crashes mid-pixels") << "crashes mid-pixels"
                                            << "crashed";
    }

    void misbehavingDecoderFails() {
        QFETCH(QString, mode);
        QFETCH(QString, failure);
        if (!QFileInfo("/usr/bin/python3").isExecutable())
            QSKIP("the stand-in decoder needs /usr/bin/python3");
        pictures::DecoderProgram standIn{
            "/usr/bin/python3",
            {LUMBRIK_TEST_SOURCES "/misbehaving_decoder.py", mode.toStdString()}};
        if (mode.isEmpty())
            standIn = {"/nonexistent/lumbrik-decoder", {}};
        QElapsedTimer clock;
        clock.start();
        pictures::Picture picture;
        QString message = FailureOf(
            [&] { picture = LoadBytes(ReadData("shapes-inkscape.emf"), "bad.emf", standIn); });
        if (message.isEmpty()) {
            const pictures::Rendering drawn = picture.render(QSize(40, 30));
            QVERIFY(drawn.image.isNull());
            message = drawn.error;
        }
        QVERIFY2(message.startsWith("bad.emf: ") && message.contains(failure), qPrintable(message));
        // The wait for the size has a deadline of a second.
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    }

    // Decoders killed when their picture or drawing goes are reaped, by the pool's thread, not
    // left as zombies; the pool keeps its spares and no more.
    void decodersEndWithTheirPictures() {
        const auto children = [] {
            std::vector<QByteArray> states;
            for (const QString& task :
                 QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
                QFile list("/proc/self/task/" + task + "/children");
                if (!list.open(QIODevice::ReadOnly))
                    continue;
                for (const QByteArray& pid : list.readAll().split(' '))
                    if (!pid.trimmed().isEmpty())
                        states.push_back(StatusLine(pid.trimmed().toLongLong(), "State:"));
            }
            return states;
        };
        const std::size_t before = children().size();
        {
            const auto decoders = std::make_shared<pictures::Decoders>(RealDecoder(), 2);
            for (const char* name : {"gdi-records.wmf", "shapes-inkscape.emf", "regions.wmf"}) {
                const pictures::Picture picture = pictures::LoadPicture(
                    QFile::encodeName(DataPath(name)).toStdString(), decoders);
                QVERIFY(!picture.render(QSize(40, 30)).image.isNull());
                QVERIFY(!picture.render(QSize(80, 60)).image.isNull());
            }
            const auto noZombie = [&] {
                const std::vector<QByteArray> states = children();
                return std::none_of(states.begin(), states.end(),
                                    [](const QByteArray& s) { return s.contains("zombie"); });
            };
            QTRY_VERIFY(noZombie());
            QTRY_COMPARE(children().size(), before + 2);
        }
        QCOMPARE(children().size(), before);
    }

    // The viewer never reads a picture's bytes: only decoders do. A stand-in that does not read
    // the file either draws it, and the file was never accessed.
    void viewerNeverReadsThePicture() {
        if (!QFileInfo("/usr/bin/python3").isExecutable())
            QSKIP("the stand-in decoder needs /usr/bin/python3");
        const QTemporaryDir dir;
        QFile file(dir.filePath("picture.emf"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(ReadData("shapes-inkscape.emf")) > 0);
        file.close();
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        QVERIFY(watch >= 0);
        QVERIFY(inotify_add_watch(watch, QFile::encodeName(file.fileName()).constData(),
                                  IN_ACCESS) >= 0);
        const pictures::DecoderProgram standIn{
            "/usr/bin/python3", {LUMBRIK_TEST_SOURCES "/misbehaving_decoder.py", "well behaved"}};
        const pictures::Picture picture =
            pictures::LoadPicture(QFile::encodeName(file.fileName()).toStdString(),
                                  std::make_shared<pictures::Decoders>(standIn, 0));
        const pictures::Rendering drawn = picture.render(QSize(40, 30));
        QVERIFY2(drawn.error.isEmpty(), qPrintable(drawn.error));
        QCOMPARE(drawn.image.pixel(20, 15), 0xff2050a0);
        char events[4096];
        QCOMPARE(read(watch, events, sizeof events), ssize_t(-1));
        close(watch);
    }
};

QTEST_MAIN(TestMetafiles)
#include "tst_metafiles.moc"
