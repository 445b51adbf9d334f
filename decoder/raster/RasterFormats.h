// What the loader needs to know about each file format, read straight from the bytes: which
// format a file is in, and the few header facts that Qt's decoders do not tell or do not check.
#pragma once

#include "decoder/Protocol.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>

namespace pictures {

// The formats, as the decoder tells them to the viewer.
using Format = decoder::Format;

// The format of a file judged by its first bytes; nullopt for anything else.
std::optional<Format> FormatOf(QByteArrayView bytes);

// The name of Qt's image plugin for a raster format.
QByteArray QtFormatName(Format format);

// Display name of a format for messages ("JPEG").
const char* FormatName(Format format);

// What decoding one picture may hold in memory at once, counted as the decoder allocates it.
inline constexpr qint64 kMaxDecodeBytes = qint64{512} << 20;

// Reasons shared by the readers, in the program's own words.
QString ShorterThanPicture();
QString DamagedData();
QString TooLargeToDraw(QSize pixels);

// The GIF logical screen size: Qt draws the first frame onto a canvas of this size, yet reports
// the frame's size when the screen is implausibly large.
QSize GifScreenSize(QByteArrayView bytes);

// Where the first GIF frame lies on its screen; empty when there is none.
QRect GifFirstFrame(QByteArrayView bytes);

// The JPEG Exif orientation (1 to 8; 1 when absent), whatever integer type the tag is stored as.
int JpegOrientation(QByteArrayView bytes);

// What the JPEG frame header tells: stored size, colour components, and whether the decoder must
// hold every coefficient of the picture at once (progressive, or a first scan that lacks some
// components), which costs memory in proportion to the full size whatever the size drawn.
struct JpegFrame {
    QSize size;
    int components = 0;
    bool buffersCoefficients = false;
};
JpegFrame JpegFrameOf(QByteArrayView bytes);

// The index of the ICO entry with the most pixels (then the most colours).
int LargestIconIndex(QByteArrayView bytes);

// Why the data of a JPEG or GIF picture is incomplete (the file ends before it does, or its
// structure is broken); empty when it is whole. Qt's decoders quietly fill what is missing, so
// this is how a truncated file is told from a whole one.
QString IncompleteReason(Format format, QByteArrayView bytes);

} // namespace pictures
