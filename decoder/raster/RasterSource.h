// A raster file's bytes, decoded afresh at each size drawn.
#pragma once

#include "decoder/Source.h"
#include "decoder/raster/RasterFormats.h"

#include <QByteArray>
#include <QColorSpace>
#include <QImage>
#include <QSize>
#include <QString>

#include <mutex>

namespace pictures {

// A GIF, JPEG, BMP or ICO file held in memory.
class RasterFileSource : public Source {
public:
    // Reads the header only; throws LoadError naming `fileName` when it cannot be decoded or
    // claims a size too large to draw.
    RasterFileSource(QByteArray bytes, Format format, QString fileName);

    double naturalWidth() const override { return upright_.width() * kHundredthsOfMmPerPixel; }
    double naturalHeight() const override { return upright_.height() * kHundredthsOfMmPerPixel; }
    Rendering render(QSize size, const std::stop_token& stop) const override;

    // Pixel size as shown, after the orientation the file asks for.
    QSize pixelSize() const { return upright_; }
    int orientation() const { return orientation_; }

private:
    Rendering renderJpeg(QSize size, const std::stop_token& stop) const;
    // Stored turned a quarter, so stored width is shown height: Exif orientations 5 to 8.
    bool transposed() const { return orientation_ >= 5; }

    QByteArray bytes_;
    Format format_;
    QString fileName_;
    int orientation_ = 1; // Exif orientation of a JPEG
    QSize upright_;

    // What every draw needs from the whole file, read at the first draw rather than at load
    // (which may be on the UI thread) or at each draw.
    struct Facts {
        QString incomplete; // why a JPEG's or GIF's data is not whole
        QColorSpace bmpSpace;
    };
    const Facts& facts() const;
    mutable std::once_flag factsRead_;
    mutable Facts facts_;
};

} // namespace pictures
