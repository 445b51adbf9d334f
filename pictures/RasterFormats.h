// What the loader needs to know about each file format, read straight from the bytes: which
// format a file is in, and the few header facts that Qt's decoders do not tell or do not check.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QSize>
#include <QString>

#include <optional>

namespace pictures {

enum class Format { Gif, Jpeg, Bmp, Ico, Wmf, Emf };

// The format of a file judged by its first bytes; nullopt for anything else.
std::optional<Format> FormatOf(QByteArrayView bytes);

// The name of Qt's image plugin for a raster format.
QByteArray QtFormatName(Format format);

// Display name of a format for messages ("JPEG").
const char* FormatName(Format format);

// The GIF logical screen size: Qt draws the first frame onto a canvas of this size, yet reports
// the frame's size when the screen is implausibly large.
QSize GifScreenSize(QByteArrayView bytes);

// The index of the ICO entry with the most pixels (then the most colours).
int LargestIconIndex(QByteArrayView bytes);

// Why the data of the image at `imageIndex` is incomplete (the file ends before it does, or its
// structure is broken); empty when it is whole. Qt's decoders quietly fill what is missing, so
// this is how a truncated file is told from a whole one.
QString IncompleteReason(Format format, QByteArrayView bytes, int imageIndex);

} // namespace pictures
