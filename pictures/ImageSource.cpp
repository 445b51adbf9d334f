#include "pictures/ImageSource.h"

namespace pictures {

// Kept in the format that paints fastest. Converted before scaling: QImage::scaled() scales a
// 1-bit image without smoothing.
ImageSource::ImageSource(const QImage& image)
    : image_(image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                           : QImage::Format_RGB32)) {}

Rendering ImageSource::render(QSize size, const std::stop_token&) const {
    if (size.isEmpty() || image_.isNull())
        return {};
    if (image_.size() == size)
        return {image_, {}};
    return {image_.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), {}};
}

} // namespace pictures
