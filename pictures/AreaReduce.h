// Area-averaging reduction of RGB32 rows as a decoder delivers them: each pixel drawn is the mean
// of the part of the source it covers, and no image at the source's size is ever held.
#pragma once

#include <QImage>
#include <QSize>

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
    struct Span {
        int first = 0; // first source column (or row) covered
        int count = 0;
        int weightsAt = 0; // where its weights start in weights_
    };

    static std::vector<Span> Spans(int from, int to, std::vector<float>& weights);
    void finishRow();

    QSize from_;
    QImage out_;
    // The weights come first: the spans are made with them, in this order.
    std::vector<float> columnWeights_;
    std::vector<float> rowWeights_;
    std::vector<Span> columns_; // for each output column, the source columns it covers
    std::vector<Span> rows_;    // for each output row, the source rows it covers
    std::vector<float> sums_[2]; // weighted R, G, B of the output row being made and the next
    int sourceRow_ = 0;
    int outputRow_ = 0;
};

} // namespace pictures
