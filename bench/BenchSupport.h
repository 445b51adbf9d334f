// What the benchmarks share: a clock, the median, a picture that compresses like a photo, the
// command line's counts, the offscreen screen, keys pressed in a window and the event loop run.
#pragma once

#include <QApplication>
#include <QColor>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QKeyEvent>
#include <QPainter>
#include <QRandomGenerator>
#include <QSize>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

inline double Median(std::vector<double> values) {
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Gradients under noise, so that the JPEG is about as large and slow as a photograph's.
inline QImage PhotoLike(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(1);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int noise = static_cast<int>(random.bounded(24));
            line[x] =
                qRgb(40 + x * 180 / size.width() + noise, 60 + y * 150 / size.height() + noise,
                     200 - (x + y) * 160 / (size.width() + size.height()) + noise);
        }
    }
    return image;
}

// `count` photo-like JPEGs of `size` in `folder`, photo<first>.jpg onward, each with a patch of
// its own hue (`hueStep` apart) so that no two are the same; empty when one cannot be written.
inline std::vector<QString> WritePhotos(const QTemporaryDir& folder, int count, QSize size,
                                        int hueStep, int first, int quality) {
    std::vector<QString> paths;
    QImage photo = PhotoLike(size);
    for (int i = 0; i < count; ++i) {
        QPainter(&photo).fillRect(QRect(100 * i, 100, 90, 90),
                                  QColor::fromHsv(hueStep * i, 200, 200));
        const QString path = folder.filePath(QStringLiteral("photo%1.jpg").arg(i + first));
        QImageWriter writer(path, "jpeg");
        writer.setQuality(quality);
        if (!writer.write(photo)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return {};
        }
        paths.push_back(path);
    }
    return paths;
}

// The count after `name` on the command line, at least 1; `fallback` when it is not given.
inline int IntOption(int argc, char** argv, const char* name, int fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == name)
            return std::max(1, std::atoi(argv[i + 1]));
    return fallback;
}

// Unless QT_QPA_PLATFORM says otherwise, the offscreen platform with one 1920 x 1080 screen,
// described in a file in `dir`, which must outlive the application. False when it cannot be
// written.
inline bool UseOffscreenScreen(const QTemporaryDir& dir) {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    const QString config = dir.filePath(QStringLiteral("screens.json"));
    QFile file(config);
    if (!dir.isValid() || !file.open(QIODevice::WriteOnly))
        return false;
    file.write(R"({"screens":[{"name":"S1","x":0,"y":0,"width":1920,"height":1080,)"
               R"("logicalDpi":96,"dpr":1}]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
    return true;
}

// A key as the window system delivers it to `window`: to its focus widget, if it has one.
inline void PressKey(QWidget* window, Qt::Key key) {
    QWidget* focus = QApplication::focusWidget();
    QWidget* target = focus && focus->window() == window ? focus : window;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

inline void PressRight(QWidget* window) {
    PressKey(window, Qt::Key_Right);
}

// Runs the event loop for `ms`, as the program does while a person looks.
inline void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace bench
