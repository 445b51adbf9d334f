#include "pictures/AreaReduce.h"

#include <algorithm>
#include <cmath>

namespace pictures {

// Output pixel i covers source [i * scale, (i + 1) * scale); each source pixel it touches weighs
// by the length it shares, the weights of one output pixel adding up to 1.
std::vector<AreaReducer::Span> AreaReducer::Spans(int from, int to, std::vector<float>& weights) {
    const double scale = double(from) / to;
    std::vector<Span> spans(static_cast<std::size_t>(to));
    for (int i = 0; i < to; ++i) {
        const double start = i * scale;
        const double end = std::min(double(from), (i + 1) * scale);
        Span& span = spans[static_cast<std::size_t>(i)];
        span.first = std::min(from - 1, static_cast<int>(start));
        span.weightsAt = static_cast<int>(weights.size());
        for (int s = span.first; s < from && s < end; ++s) {
            const double shared = std::min(end, s + 1.0) - std::max(start, double(s));
            weights.push_back(static_cast<float>(shared / scale));
            ++span.count;
        }
    }
    return spans;
}

AreaReducer::AreaReducer(QSize from, QSize to)
    : from_(from), out_(to, QImage::Format_RGB32),
      columns_(Spans(from.width(), to.width(), columnWeights_)),
      rows_(Spans(from.height(), to.height(), rowWeights_)) {
    for (auto& sums : sums_)
        sums.assign(static_cast<std::size_t>(to.width()) * 3, 0.0f);
}

void AreaReducer::addRow(const QRgb* row) {
    if (out_.isNull() || sourceRow_ >= from_.height())
        return;
    // An output row takes this source row when its span does; at most two rows do, as the
    // picture only shrinks.
    for (int made = outputRow_; made < outputRow_ + 2 && made < out_.height(); ++made) {
        const Span& span = rows_[static_cast<std::size_t>(made)];
        const int index = sourceRow_ - span.first;
        if (index < 0 || index >= span.count)
            continue;
        const float rowWeight = rowWeights_[static_cast<std::size_t>(span.weightsAt + index)];
        float* sum = sums_[made % 2].data();
        for (const Span& column : columns_) {
            float red = 0, green = 0, blue = 0;
            const float* weight = columnWeights_.data() + column.weightsAt;
            for (int i = 0; i < column.count; ++i) {
                const QRgb pixel = row[column.first + i];
                red += weight[i] * float(qRed(pixel));
                green += weight[i] * float(qGreen(pixel));
                blue += weight[i] * float(qBlue(pixel));
            }
            *sum++ += rowWeight * red;
            *sum++ += rowWeight * green;
            *sum++ += rowWeight * blue;
        }
    }
    ++sourceRow_;
    while (outputRow_ < out_.height()) {
        const Span& span = rows_[static_cast<std::size_t>(outputRow_)];
        if (sourceRow_ < span.first + span.count)
            break;
        finishRow();
    }
}

void AreaReducer::finishRow() {
    std::vector<float>& sums = sums_[outputRow_ % 2];
    auto* line = reinterpret_cast<QRgb*>(out_.scanLine(outputRow_));
    const auto channel = [](float value) {
        return std::clamp(static_cast<int>(value + 0.5f), 0, 255);
    };
    for (int x = 0; x < out_.width(); ++x)
        line[x] = qRgb(channel(sums[3 * x]), channel(sums[3 * x + 1]), channel(sums[3 * x + 2]));
    std::fill(sums.begin(), sums.end(), 0.0f);
    ++outputRow_;
}

} // namespace pictures
