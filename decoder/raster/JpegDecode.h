// JPEG decoding straight through libjpeg: at the smallest DCT scale that still covers the size
// drawn, reduced to it row by row, with CMYK and YCCK turned into RGB and the ICC profile read.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <stop_token>

namespace pictures {

struct JpegDecoding {
    QImage image;          // Format_RGB32 as stored (orientation not applied); null on failure
    QByteArray iccProfile; // the whole embedded profile; empty when absent or incomplete
    QString error;         // libjpeg's reason when decoding failed or stopped part way
};

// Decodes `bytes` at 1/8, 1/4, 1/2 or full scale, the smallest that is at least `size` in both
// directions, and reduces that to `size` by area averaging. A picture smaller than `size` comes
// at its full size, for the caller to enlarge. Gives up between rows once `stop` is requested.
// Safe to call from several threads at once.
JpegDecoding DecodeJpeg(const QByteArray& bytes, QSize size, const std::stop_token& stop = {});

} // namespace pictures
