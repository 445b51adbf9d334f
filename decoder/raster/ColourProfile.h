// Colour management of decoded pictures: embedded ICC profiles found and pixels turned into
// sRGB, the colour space the screen is taken to show.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QColorSpace>
#include <QImage>

namespace pictures {

// The colour space an ICC profile describes when it is a usable RGB one; invalid otherwise
// (broken, or for other colours than RGB), and then the pixels are drawn as they are.
QColorSpace RgbColourSpace(QByteArrayView iccProfile);

// The profile embedded in a BMP with a version 5 header; empty when there is none.
QByteArray BmpEmbeddedProfile(QByteArrayView bytes);

// Pixels in `space` turned into sRGB; untagged pictures are sRGB already and stay as they are.
QImage ToSrgb(QImage image, const QColorSpace& space);

} // namespace pictures
