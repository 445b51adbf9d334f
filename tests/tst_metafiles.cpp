// WMF and EMF pictures: natural sizes, renderings against committed references, drawing at
// any size, and containment of the decoder process (bad files, crashes, hangs, overruns).
#include "pictures/LoadPicture.h"
#include "pictures/metafile/Metafile.h"
#include "pictures/metafile/MetafileDecoder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using pictures::MetafileKind;

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

QString RealHelper() {
    return QCoreApplication::applicationDirPath() + "/lumbrik-metafile";
}

pictures::Picture Load(const QString& name) {
    return pictures::metafile::LoadMetafile(ReadData(name), KindOf(name), name, RealHelper());
}

// The size a picture is drawn at for comparison: 400 pixels wide, in proportion.
QSize ReferenceSize(const pictures::Picture& picture) {
    return QSize(400, int(std::lround(400 * picture.Height() / picture.Width())));
}

struct Difference {
    double mean = 0;  // over all channels of all pixels, 0..255
    double worst = 0; // the same over the worst 24x24 window: a lost shape shows here
};

Difference Compare(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    std::vector<double> difference(std::size_t(x.width()) * std::size_t(x.height()));
    double total = 0;
    for (int j = 0; j < x.height(); ++j) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(j));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(j));
        for (int i = 0; i < x.width(); ++i) {
            const double d =
                (std::abs(qRed(p[i]) - qRed(q[i])) + std::abs(qGreen(p[i]) - qGreen(q[i])) +
                 std::abs(qBlue(p[i]) - qBlue(q[i])) + std::abs(qAlpha(p[i]) - qAlpha(q[i]))) /
                4.0;
            difference[std::size_t(j) * std::size_t(x.width()) + std::size_t(i)] = d;
            total += d;
        }
    }
    Difference result;
    result.mean = total / (double(x.width()) * x.height());
    // Overlapping windows, so that no small shape falls between two of them.
    constexpr int kWindow = 24;
    for (int wy = 0; wy < x.height(); wy += kWindow / 2) {
        for (int wx = 0; wx < x.width(); wx += kWindow / 2) {
            double sum = 0;
            int count = 0;
            for (int j = wy; j < std::min(wy + kWindow, x.height()); ++j)
                for (int i = wx; i < std::min(wx + kWindow, x.width()); ++i, ++count)
                    sum += difference[std::size_t(j) * std::size_t(x.width()) + std::size_t(i)];
            result.worst = std::max(result.worst, sum / count);
        }
    }
    return result;
}

struct Failure {
    QString message;
    qint64 milliseconds = 0;
};

// Runs a load that should fail; the failure, or nothing if it loaded.
template <typename Load> std::optional<Failure> FailureOf(Load&& load) {
    QElapsedTimer clock;
    clock.start();
    try {
        load();
    } catch (const pictures::LoadError& e) {
        return Failure{QString::fromStdString(e.what()), clock.elapsed()};
    }
    return std::nullopt;
}

// A stand-in for the helper: a shell script with the given body.
QString FakeHelper(const QTemporaryDir& dir, const QString& name, const QByteArray& body) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write("#!/bin/sh\n" + body + "\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

void PutU32(QByteArray& b, int at, quint32 v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xFF);
}

// An EMF header claiming the given frame (hundredths of a millimetre), then an end record.
QByteArray EmfWithFrame(qint32 left, qint32 top, qint32 right, qint32 bottom) {
    QByteArray b = ReadData("shapes-inkscape.emf");
    PutU32(b, 24, quint32(left));
    PutU32(b, 28, quint32(top));
    PutU32(b, 32, quint32(right));
    PutU32(b, 36, quint32(bottom));
    return b;
}

} // namespace

class TestMetafiles : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(QFileInfo(RealHelper()).isExecutable(), "helper not built"); }

    void naturalSize_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("height");
        // Placeable WMF: bounding box over units per inch; EMF: the header's frame;
        // a WMF without placeable header: its window extent at 96 units to the inch.
        QTest::newRow("inkscape wmf")
            << "shapes-inkscape.wmf" << 3779 * 2540 / 1200.0 << 2361 * 2540 / 1200.0;
        QTest::newRow("inkscape emf") << "shapes-inkscape.emf" << 7999.0 << 5099.0;
        QTest::newRow("inkscape text wmf")
            << "text-inkscape.wmf" << 4723 * 2540 / 1200.0 << 1889 * 2540 / 1200.0;
        QTest::newRow("libreoffice wmf") << "text-libreoffice.wmf" << 9454.0 << 3454.0;
        QTest::newRow("wmf without placeable header")
            << "text-libreoffice-nonplaceable.wmf" << 9454 * 2540 / 96.0 << 3454 * 2540 / 96.0;
        QTest::newRow("libreoffice emf+") << "text-libreoffice.emf" << 9453.0 << 3453.0;
        QTest::newRow("gdi records") << "gdi-records.wmf" << 10000.0 << 6000.0;
        QTest::newRow("big emf") << "big-libreoffice.emf" << 18699.0 << 10699.0;
        QTest::newRow("big wmf") << "big-libreoffice.wmf" << 18700.0 << 10700.0;
    }

    void naturalSize() {
        QFETCH(QString, file);
        QFETCH(double, width);
        QFETCH(double, height);
        const pictures::Picture picture = Load(file);
        QVERIFY(!picture.isNull());
        QVERIFY2(std::abs(picture.Width() - width) < 0.01,
                 qPrintable(QString::number(picture.Width())));
        QVERIFY2(std::abs(picture.Height() - height) < 0.01,
                 qPrintable(QString::number(picture.Height())));
    }

    void rendersLikeReference_data() {
        QTest::addColumn<QString>("file");
        for (const char* name : {"shapes-inkscape.wmf", "shapes-inkscape.emf", "text-inkscape.wmf",
                                 "text-libreoffice.wmf", "text-libreoffice-nonplaceable.wmf",
                                 "text-libreoffice.emf", "gdi-records.wmf"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void rendersLikeReference() {
        QFETCH(QString, file);
        const pictures::Picture picture = Load(file);
        const QSize size = ReferenceSize(picture);
        const pictures::Rendering drawn = picture.render(size);
        QVERIFY(drawn.error.isEmpty());
        QCOMPARE(drawn.image.size(), size);

        const QString referencePath = DataPath(file + ".ref.png");
        const QImage reference(referencePath);
        const QString actualPath = QDir::temp().filePath(file + ".actual.png");
        if (reference.size() != size) {
            drawn.image.save(actualPath);
            QFAIL(qPrintable("no reference of that size; this run drew " + actualPath));
        }
        const Difference d = Compare(drawn.image, reference);
        if (d.mean > 2.0 || d.worst > 25.0) {
            drawn.image.save(actualPath);
            QFAIL(qPrintable(QStringLiteral("differs from %1 (mean %2, worst window %3); drew %4")
                                 .arg(referencePath)
                                 .arg(d.mean)
                                 .arg(d.worst)
                                 .arg(actualPath)));
        }
    }

    // Drawn as a vector at the size asked: exact pixel size, and edges as sharp at full screen
    // as in a thumbnail (a scaled-up raster would smear them over many pixels).
    void drawsSharpAtAnySize() {
        const pictures::Picture picture = Load("shapes-inkscape.emf");
        for (const QSize size : {QSize(250, 130), QSize(1920, 1080), QSize(37, 500)}) {
            const pictures::Rendering r = picture.render(size);
            QCOMPARE(r.image.size(), size);
            QVERIFY(r.error.isEmpty());
        }
        const QSize big(1600, int(std::lround(1600 * picture.Height() / picture.Width())));
        const QImage image = picture.render(big).image.convertToFormat(QImage::Format_ARGB32);
        // Across the red rectangle's left border: background, dark border, red.
        const int row = int(big.height() * 0.28);
        int blended = 0;
        const auto near = [](QRgb p, int r, int g, int b) {
            return std::abs(qRed(p) - r) + std::abs(qGreen(p) - g) + std::abs(qBlue(p) - b) < 60;
        };
        for (int x = 0; x < big.width() / 8; ++x) {
            const QRgb p = image.pixel(x, row);
            if (!near(p, 0xf4, 0xf0, 0xe0) && !near(p, 0x20, 0x20, 0x20) &&
                !near(p, 0xd0, 0x30, 0x30))
                ++blended;
        }
        QVERIFY2(blended <= 4, qPrintable(QString::number(blended)));
    }

    // Pictures share their source between threads.
    void drawsFromManyThreadsAtOnce() {
        const pictures::Picture picture = Load("text-libreoffice.emf");
        const QImage expected = picture.render(QSize(300, 110)).image;
        std::vector<QImage> drawn(4);
        std::vector<std::thread> threads;
        for (auto& image : drawn)
            threads.emplace_back([&picture, &image] {
                for (int i = 0; i < 5; ++i)
                    image = picture.render(QSize(300, 110)).image;
            });
        for (auto& t : threads)
            t.join();
        for (const QImage& image : drawn)
            QCOMPARE(image, expected);
    }

    // Folders load their previews on worker threads, several at once.
    void loadsFromManyThreadsAtOnce() {
        const QByteArray bytes = ReadData("big-libreoffice.wmf");
        std::vector<double> widths(3);
        std::vector<std::unique_ptr<QThread>> threads;
        for (double& width : widths)
            threads.emplace_back(QThread::create([&bytes, &width] {
                width = pictures::metafile::LoadMetafile(bytes, MetafileKind::Wmf, "big.wmf",
                                                         RealHelper())
                            .Width();
            }));
        for (auto& thread : threads)
            thread->start();
        for (auto& thread : threads)
            QVERIFY(thread->wait(20000));
        for (const double width : widths)
            QCOMPARE(width, 18700.0);
    }

    // The viewer's own entry point finds the helper beside the program.
    void findsHelperBesideProgram() {
        QCOMPARE(QFileInfo(pictures::metafile::FindHelper()).canonicalFilePath(),
                 QFileInfo(RealHelper()).canonicalFilePath());
        const pictures::Picture picture = pictures::LoadMetafile(
            ReadData("text-libreoffice.wmf"), MetafileKind::Wmf, "text-libreoffice.wmf");
        QVERIFY(!picture.isNull());
    }

    // The generic loader recognises metafiles by content and hands them here.
    void loadsThroughLoadPicture() {
        for (const char* name : {"text-libreoffice.emf", "text-libreoffice.wmf",
                                 "text-libreoffice-nonplaceable.wmf"}) {
            const pictures::Picture direct = Load(name);
            const pictures::Picture viaLoader = pictures::LoadPicture(DataPath(name).toStdString());
            QCOMPARE(viaLoader.Width(), direct.Width());
            QCOMPARE(viaLoader.Height(), direct.Height());
            QCOMPARE(viaLoader.render(QSize(200, 80)).image, direct.render(QSize(200, 80)).image);
        }
        QTemporaryDir dir;
        const QString cut = dir.filePath("cut.emf");
        QFile file(cut);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ReadData("text-libreoffice.emf").left(2000));
        file.close();
        const auto failure = FailureOf([&] { pictures::LoadPicture(cut.toStdString()); });
        QVERIFY(failure);
        QVERIFY2(failure->message.startsWith(cut + ": "), qPrintable(failure->message));
    }

    void truncatedFileFails_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("emf") << "text-libreoffice.emf";
        QTest::newRow("wmf") << "text-libreoffice.wmf";
        QTest::newRow("big emf") << "big-libreoffice.emf";
        QTest::newRow("big wmf") << "big-libreoffice.wmf";
    }

    void truncatedFileFails() {
        QFETCH(QString, file);
        const QByteArray bytes = ReadData(file);
        for (const qsizetype length :
             {qsizetype(10), qsizetype(100), bytes.size() / 2, bytes.size() - 10}) {
            const auto failure = FailureOf([&] {
                pictures::metafile::LoadMetafile(bytes.left(length), KindOf(file), "cut." + file,
                                                 RealHelper());
            });
            QVERIFY2(failure, qPrintable(QString::number(length)));
            QVERIFY2(failure->message.startsWith("cut." + file + ": "),
                     qPrintable(failure->message));
            QVERIFY(failure->milliseconds < 5000);
        }
    }

    // Random bytes after a genuine header: whatever the decoders make of them (including
    // crashing), the result is a LoadError, never a fault in this process.
    void randomBytesAfterHeaderFail_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("header");
        QTest::newRow("emf") << "text-libreoffice.emf" << 108;
        QTest::newRow("placeable wmf") << "text-libreoffice.wmf" << 22 + 18;
        QTest::newRow("wmf") << "text-libreoffice-nonplaceable.wmf" << 18;
    }

    void randomBytesAfterHeaderFail() {
        QFETCH(QString, file);
        QFETCH(int, header);
        const QByteArray genuine = ReadData(file);
        QRandomGenerator random(1234);
        for (int round = 0; round < 20; ++round) {
            QByteArray bytes = genuine.left(header);
            const int length = 64 + int(random.bounded(4000));
            for (int i = 0; i < length; ++i)
                bytes += char(random.bounded(256));
            const auto failure = FailureOf([&] {
                pictures::metafile::LoadMetafile(bytes, KindOf(file), "random.bin", RealHelper());
            });
            QVERIFY2(failure, qPrintable(QString::number(round)));
            QVERIFY2(failure->message.startsWith("random.bin: "), qPrintable(failure->message));
            QVERIFY(failure->milliseconds < 5000);
        }
    }

    void implausibleSizeFails_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("enormous emf frame") << EmfWithFrame(0, 0, 2'000'000'000, 2'000'000'000)
                                            << int(MetafileKind::Emf) << "implausibly large";
        QTest::newRow("empty emf frame")
            << EmfWithFrame(0, 0, 0, 500) << int(MetafileKind::Emf) << "empty or negative size";
        QTest::newRow("inverted emf frame")
            << EmfWithFrame(500, 500, 0, 0) << int(MetafileKind::Emf) << "empty or negative size";
        QByteArray wmf = ReadData("text-libreoffice.wmf");
        wmf[10] = char(0x30); // right = 0x7530 = 30000 units
        wmf[11] = char(0x75);
        wmf[14] = 1; // at 1 unit to the inch: 762 m
        wmf[15] = 0;
        QTest::newRow("enormous placeable wmf")
            << wmf << int(MetafileKind::Wmf) << "implausibly large";
        QByteArray flat = ReadData("text-libreoffice.wmf");
        flat[12] = 0; // bottom = 0: no height
        flat[13] = 0;
        QTest::newRow("flat placeable wmf")
            << flat << int(MetafileKind::Wmf) << "empty or negative size";
    }

    void implausibleSizeFails() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, kind);
        QFETCH(QString, reason);
        const auto failure = FailureOf([&] {
            pictures::metafile::LoadMetafile(bytes, MetafileKind(kind), "huge.emf", RealHelper());
        });
        QVERIFY(failure);
        QVERIFY2(failure->message.startsWith("huge.emf: "), qPrintable(failure->message));
        QVERIFY2(failure->message.contains(reason), qPrintable(failure->message));
    }

    void wrongKindFails() {
        const auto failure = FailureOf([] {
            pictures::metafile::LoadMetafile(ReadData("shapes-inkscape.emf"), MetafileKind::Wmf,
                                             "shapes.wmf", RealHelper());
        });
        QVERIFY(failure);
        QVERIFY2(failure->message.contains("not a valid WMF"), qPrintable(failure->message));
        const auto other = FailureOf([] {
            pictures::metafile::LoadMetafile(ReadData("shapes-inkscape.wmf"), MetafileKind::Emf,
                                             "shapes.emf", RealHelper());
        });
        QVERIFY(other);
        QVERIFY2(other->message.contains("not an EMF"), qPrintable(other->message));
    }

    void crashingHelperFails() {
        QTemporaryDir dir;
        const QString helper = FakeHelper(dir, "crash", "cat >/dev/null; kill -SEGV $$");
        const auto failure = FailureOf([&] {
            pictures::metafile::LoadMetafile(ReadData("shapes-inkscape.wmf"), MetafileKind::Wmf,
                                             "a.wmf", helper);
        });
        QVERIFY(failure);
        QCOMPARE(failure->message, QStringLiteral("a.wmf: the metafile decoder crashed"));
        QVERIFY(failure->milliseconds < 5000);
    }

    // The default limits end a helper that never answers within a few seconds.
    void hangingHelperIsKilled() {
        QTemporaryDir dir;
        const QString helper = FakeHelper(dir, "hang", "exec sleep 1000");
        const auto failure = FailureOf([&] {
            pictures::metafile::LoadMetafile(ReadData("shapes-inkscape.emf"), MetafileKind::Emf,
                                             "b.emf", helper);
        });
        QVERIFY(failure);
        QCOMPARE(failure->message, QStringLiteral("b.emf: the metafile decoder took too long"));
        QVERIFY2(failure->milliseconds < 8000, qPrintable(QString::number(failure->milliseconds)));
    }

    // The processor-time limit is set in the child: a busy loop ends long before the clock.
    void busyHelperIsStoppedByCpuLimit() {
        QTemporaryDir dir;
        const QString helper = FakeHelper(dir, "spin", "while :; do :; done");
        pictures::metafile::HelperLimits limits;
        limits.cpuSeconds = 1;
        limits.timeout = 30s;
        const auto failure = FailureOf([&] {
            pictures::metafile::LoadMetafile(ReadData("shapes-inkscape.emf"), MetafileKind::Emf,
                                             "c.emf", helper, limits);
        });
        QVERIFY(failure);
        QCOMPARE(failure->message, QStringLiteral("c.emf: the metafile decoder took too long"));
        QVERIFY2(failure->milliseconds < 10000, qPrintable(QString::number(failure->milliseconds)));
    }

    // The address-space limit is set in the child: a helper eating memory fails.
    void greedyHelperFails() {
        QTemporaryDir dir;
        const QString helper =
            FakeHelper(dir, "greedy", "exec awk 'BEGIN { s = \"x\"; while (1) s = s s }'");
        pictures::metafile::HelperLimits limits;
        limits.addressSpaceBytes = std::uint64_t{256} << 20;
        limits.timeout = 20s;
        const auto failure = FailureOf([&] {
            pictures::metafile::LoadMetafile(ReadData("shapes-inkscape.emf"), MetafileKind::Emf,
                                             "d.emf", helper, limits);
        });
        QVERIFY(failure);
        QVERIFY2(failure->message.startsWith("d.emf: the metafile decoder "),
                 qPrintable(failure->message));
        QVERIFY2(failure->milliseconds < 15000, qPrintable(QString::number(failure->milliseconds)));
    }

    void garbageAnswerFails() {
        QTemporaryDir dir;
        const QByteArray bad[] = {
            "echo hello",
            "printf 'lumbrik-metafile 1\\nsize 100 100\\nsvg 5000\\n<svg/>'",
            "printf 'lumbrik-metafile 1\\nsize -1 100\\nsvg 6\\n<svg/>'",
            "printf 'lumbrik-metafile 1\\nsize 100 100\\nsvg 9\\nnot svg!!'",
        };
        int n = 0;
        for (const QByteArray& body : bad) {
            const QString helper =
                FakeHelper(dir, "garbage" + QString::number(n++), "cat >/dev/null; " + body);
            const auto failure = FailureOf([&] {
                pictures::metafile::LoadMetafile(ReadData("shapes-inkscape.emf"), MetafileKind::Emf,
                                                 "e.emf", helper);
            });
            QVERIFY2(failure, body.constData());
            QVERIFY2(failure->message.startsWith("e.emf: the metafile decoder gave"),
                     qPrintable(failure->message));
        }
    }

    void floodingHelperIsStopped() {
        QTemporaryDir dir;
        const QString helper = FakeHelper(dir, "flood", "exec yes lumbrik");
        pictures::metafile::HelperLimits limits;
        limits.maxAnswerBytes = 1 << 20;
        const auto failure = FailureOf([&] {
            pictures::metafile::LoadMetafile(ReadData("shapes-inkscape.emf"), MetafileKind::Emf,
                                             "f.emf", helper, limits);
        });
        QVERIFY(failure);
        QCOMPARE(failure->message,
                 QStringLiteral("f.emf: the metafile decoder gave too much output"));
        QVERIFY(failure->milliseconds < 5000);
    }

    void failingHelperReasonIsShown() {
        QTemporaryDir dir;
        const QString helper =
            FakeHelper(dir, "refuse", "cat >/dev/null; echo 'the file is odd' >&2; exit 1");
        const auto failure = FailureOf([&] {
            pictures::metafile::LoadMetafile(ReadData("shapes-inkscape.emf"), MetafileKind::Emf,
                                             "g.emf", helper);
        });
        QVERIFY(failure);
        QCOMPARE(failure->message, QStringLiteral("g.emf: the file is odd"));
    }

    void missingHelperFails() {
        const auto failure = FailureOf([] {
            pictures::metafile::LoadMetafile(ReadData("shapes-inkscape.emf"), MetafileKind::Emf,
                                             "h.emf", "/nonexistent/lumbrik-metafile");
        });
        QVERIFY(failure);
        QVERIFY2(failure->message.startsWith("h.emf: the metafile decoder could not be started"),
                 qPrintable(failure->message));
    }
};

QTEST_MAIN(TestMetafiles)
#include "tst_metafiles.moc"
