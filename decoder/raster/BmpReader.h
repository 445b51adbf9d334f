// A bounded reader of device-independent bitmaps, for BMP files and the bitmaps inside icons:
// every header in use (OS/2, Windows 3 to 5, the 52- and 56-byte bitmask headers), top-down rows
// and run-length coding. It draws only what the data holds; every other pixel is transparent.
#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QSize>
#include <QString>

namespace pictures {

// Pixels decoded from a file, and what went wrong if it could not all be decoded.
struct Decoded {
    QImage image;    // ARGB32
    QString problem; // empty when the data was whole
};

// What a header tells before any pixel is decoded.
struct BitmapFacts {
    QSize size;
    QString problem; // why it cannot be drawn at all; empty when it can
};

BitmapFacts BmpFacts(QByteArrayView file);
Decoded DecodeBmp(QByteArrayView file);

// A bitmap stored in an icon: header, palette, colours, then the 1-bit AND mask; its header
// gives twice the picture's height, counting the mask.
BitmapFacts IconBitmapFacts(QByteArrayView dib);
Decoded DecodeIconBitmap(QByteArrayView dib);

} // namespace pictures
