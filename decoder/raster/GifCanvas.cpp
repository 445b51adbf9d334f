// Qt fills a GIF canvas with zeros before decoding and writes opaque colours, so a zero alpha
// marks a pixel no data reached; opaque RGB32 output hides that until it is read as ARGB32.
#include "decoder/raster/GifCanvas.h"

#include "decoder/raster/RasterFormats.h"

#include <QPainter>

namespace pictures {

QImage FirstFrameOnScreen(QImage decoded, QByteArrayView bytes) {
    if (decoded.isNull())
        return decoded;
    if (decoded.format() == QImage::Format_RGB32)
        decoded.reinterpretAsFormat(QImage::Format_ARGB32);
    else
        decoded = decoded.convertToFormat(QImage::Format_ARGB32);
    const QRect frame = GifFirstFrame(bytes) & decoded.rect();
    if (frame == decoded.rect())
        return decoded;
    QPainter painter(&decoded);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const QRegion outside = QRegion(decoded.rect()) - QRegion(frame);
    for (const QRect& part : outside)
        painter.fillRect(part, Qt::transparent);
    return decoded;
}

} // namespace pictures
