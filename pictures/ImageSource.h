// Pixels already in memory (the program's own embedded pictures), scaled smoothly to the size
// drawn. Never a file's data: those are decoded by the decoder process.
#pragma once

#include "decoder/Source.h"

namespace pictures {

class ImageSource : public Source {
public:
    explicit ImageSource(const QImage& image);

    double naturalWidth() const override { return image_.width() * kHundredthsOfMmPerPixel; }
    double naturalHeight() const override { return image_.height() * kHundredthsOfMmPerPixel; }
    Rendering render(QSize size, const std::stop_token& stop) const override;

private:
    QImage image_;
};

} // namespace pictures
