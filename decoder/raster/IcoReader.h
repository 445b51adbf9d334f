// Icons: the directory entry with the most pixels, drawn from its own bitmap or PNG, whatever
// size the directory claims for it.
#pragma once

#include "decoder/raster/BmpReader.h"

#include <QByteArrayView>

namespace pictures {

BitmapFacts IcoFacts(QByteArrayView file);
Decoded DecodeIco(QByteArrayView file);

} // namespace pictures
