// The GIF first frame on its screen: what the frame does not cover is transparent, as GIF
// viewers show it, not the background colour that Qt paints there.
#pragma once

#include <QByteArrayView>
#include <QImage>

namespace pictures {

// `decoded` is Qt's drawing of the file's first frame; returns it as ARGB32 with the screen
// outside the frame, and any pixel that no data reached, transparent.
QImage FirstFrameOnScreen(QImage decoded, QByteArrayView bytes);

} // namespace pictures
