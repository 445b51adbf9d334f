// Area-averaging reduction of RGB32 rows as a decoder delivers them: each pixel drawn is the mean
// of the part of the source it covers, and no image at the source's size is ever held.
#pragma once

#include <QImage>
#include <QSize>

#include <cstdint>
#include <vector>

namespace pictures {

class AreaReducer {
public:
    // `to` is at most `from` in each direction, and not empty.
    AreaReducer(QSize from, QSize to);

    // The next row of the source, top to bottom: `from.width()` pixels of Format_RGB32.
    void addRow(const QRgb* row);
    // The reduced picture once every source row has been added; null if it could not be held.
    QImage take() { return std::move(out_); }

private:
    // The source pixels one output pixel covers (columns or rows), with their weights.
    struct Span {
        int first = 0;
        int count = 0;
        int weightsAt = 0; // where its weights start
    };
    struct Spans {
        std::vector<Span> spans;
        std::vector<std::uint32_t> weights; // each span's add up to kOne
    };

    static constexpr std::uint32_t kOne = 1u << 12;
    static Spans SpansFor(int from, int to);
    void finishRow();

    QSize from_;
    QImage out_;
    Spans columns_;
    Spans rows_;
    // Each byte of the source rows, weighted and summed down for the output row being made
    // and the next (a source row may straddle the two).
    std::vector<std::uint32_t> sums_[2];
    int sourceRow_ = 0;
    int outputRow_ = 0;
};

} // namespace pictures
