#include "decoder/raster/AreaReduce.h"

#include <algorithm>
#include <cmath>

namespace pictures {

// Output pixel i covers source [i * scale, (i + 1) * scale); each source pixel it touches weighs
// by the length it shares, in fixed point, the last weight taking what rounding left over.
AreaReducer::Spans AreaReducer::SpansFor(int from, int to) {
    const double scale = double(from) / to;
    Spans result;
    result.spans.resize(static_cast<std::size_t>(to));
    for (int i = 0; i < to; ++i) {
        const double start = i * scale;
        const double end = std::min(double(from), (i + 1) * scale);
        Span& span = result.spans[static_cast<std::size_t>(i)];
        span.first = std::min(from - 1, static_cast<int>(start));
        span.weightsAt = static_cast<int>(result.weights.size());
        std::uint32_t given = 0;
        for (int s = span.first; s < from && s < end; ++s) {
            const double shared = std::min(end, s + 1.0) - std::max(start, double(s));
            const auto weight = static_cast<std::uint32_t>(std::lround(shared / scale * kOne));
            result.weights.push_back(std::min(weight, kOne - given));
            given += result.weights.back();
            ++span.count;
        }
        result.weights.back() += kOne - given;
    }
    return result;
}

AreaReducer::AreaReducer(QSize from, QSize to)
    : from_(from), out_(to, QImage::Format_RGB32), columns_(SpansFor(from.width(), to.width())),
      rows_(SpansFor(from.height(), to.height())) {
    for (auto& sums : sums_)
        sums.assign(static_cast<std::size_t>(from.width()) * 4, 0);
}

void AreaReducer::addRow(const QRgb* row) {
    if (out_.isNull() || sourceRow_ >= from_.height())
        return;
    // Bytes are summed alike whatever channel they hold: the order of the channels in memory
    // does not matter, and the loop is a plain one the compiler can widen.
    const auto* bytes = reinterpret_cast<const unsigned char*>(row);
    const std::size_t count = sums_[0].size();
    for (int made = outputRow_; made < outputRow_ + 2 && made < out_.height(); ++made) {
        const Span& span = rows_.spans[static_cast<std::size_t>(made)];
        const int index = sourceRow_ - span.first;
        if (index < 0 || index >= span.count)
            continue;
        const std::uint32_t weight =
            rows_.weights[static_cast<std::size_t>(span.weightsAt + index)];
        std::uint32_t* sum = sums_[made % 2].data();
        for (std::size_t i = 0; i < count; ++i)
            sum[i] += weight * bytes[i];
    }
    ++sourceRow_;
    while (outputRow_ < out_.height()) {
        const Span& span = rows_.spans[static_cast<std::size_t>(outputRow_)];
        if (sourceRow_ < span.first + span.count)
            break;
        finishRow();
    }
}

// Each byte: the weighted sum across, over kOne twice; at most 255 * 2^24, so it fits.
void AreaReducer::finishRow() {
    std::vector<std::uint32_t>& sums = sums_[outputRow_ % 2];
    auto* out = out_.scanLine(outputRow_);
    const std::uint32_t* weights = columns_.weights.data();
    for (const Span& column : columns_.spans) {
        std::uint32_t total[4] = {1u << 23, 1u << 23, 1u << 23, 1u << 23}; // rounds to nearest
        const std::uint32_t* source = sums.data() + std::size_t{4} * column.first;
        for (int i = 0; i < column.count; ++i) {
            const std::uint32_t weight = weights[column.weightsAt + i];
            for (int lane = 0; lane < 4; ++lane)
                total[lane] += weight * source[4 * i + lane];
        }
        for (int lane = 0; lane < 4; ++lane)
            *out++ = static_cast<unsigned char>(total[lane] >> 24);
    }
    std::fill(sums.begin(), sums.end(), 0);
    ++outputRow_;
}

} // namespace pictures
