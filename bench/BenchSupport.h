// What the benchmarks share: a clock, the median, and a picture that compresses like a photo.
#pragma once

#include <QImage>
#include <QRandomGenerator>
#include <QSize>

#include <algorithm>
#include <chrono>
#include <cmath>
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

} // namespace bench
