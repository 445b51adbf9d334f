#include "decoder/raster/ColourProfile.h"

#include <QtEndian>

namespace pictures {

namespace {

// BITMAPV5HEADER, counted from the start of the info header (after the 14-byte file header).
constexpr qsizetype kInfoHeader = 14;
constexpr quint32 kV5HeaderSize = 124;
constexpr qsizetype kColourSpaceType = 56;
constexpr qsizetype kProfileOffset = 112;
constexpr qsizetype kProfileSize = 116;
constexpr quint32 kProfileEmbedded = 0x4D424544; // 'MBED'

quint32 Le32(QByteArrayView bytes, qsizetype at) {
    return qFromLittleEndian<quint32>(bytes.data() + at);
}

} // namespace

QColorSpace RgbColourSpace(QByteArrayView iccProfile) {
    // Byte 16 of an ICC header names the colours of the data: only RGB profiles suit RGB
    // pixels (a CMYK picture's profile is not for the RGB made from it).
    if (iccProfile.size() < 128 || iccProfile.sliced(16, 4) != QByteArrayView("RGB "))
        return {};
    const QColorSpace space = QColorSpace::fromIccProfile(iccProfile.toByteArray());
    return space.isValid() ? space : QColorSpace();
}

QByteArray BmpEmbeddedProfile(QByteArrayView bytes) {
    if (bytes.size() < kInfoHeader + kV5HeaderSize || Le32(bytes, kInfoHeader) < kV5HeaderSize ||
        Le32(bytes, kInfoHeader + kColourSpaceType) != kProfileEmbedded)
        return {};
    const qint64 offset = qint64{kInfoHeader} + Le32(bytes, kInfoHeader + kProfileOffset);
    const qint64 size = Le32(bytes, kInfoHeader + kProfileSize);
    if (size == 0 || offset + size > bytes.size())
        return {};
    return bytes.sliced(offset, size).toByteArray();
}

QImage ToSrgb(QImage image, const QColorSpace& space) {
    if (!space.isValid() || space == QColorSpace(QColorSpace::SRgb) || image.isNull())
        return image;
    image.setColorSpace(space);
    image.convertToColorSpace(QColorSpace::SRgb);
    return image;
}

} // namespace pictures
