// JPEG decoding straight through libjpeg: at the smallest DCT scale that still covers the size
// drawn, with CMYK and YCCK turned into RGB and the embedded ICC profile read.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace pictures {

struct JpegDecoding {
    QImage image;          // Format_RGB32 as stored (orientation not applied); null on failure
    QByteArray iccProfile; // the whole embedded profile; empty when absent or incomplete
    QString error;         // libjpeg's reason when decoding failed or stopped part way
};

// Decodes `bytes` at 1/8, 1/4, 1/2 or full scale: the smallest whose pixels are at least
// `atLeast` in both directions. Safe to call from several threads at once.
JpegDecoding DecodeJpeg(const QByteArray& bytes, QSize atLeast);

} // namespace pictures
