// The EMF+ records that EMF files carry in comment records, drawn onto the canvas that the EMF
// player draws on. An EMF+ header makes the player take over: the GDI records that follow are
// the file's stand-in for readers without EMF+, and are drawn only after a GetDC record.
#pragma once

#include "pictures/metafile/EmfFrame.h"
#include "pictures/metafile/SvgCanvas.h"

#include <cstddef>
#include <span>

namespace pictures::metafile {

class EmfPlusPlayer {
public:
    EmfPlusPlayer(SvgCanvas& canvas, const EmfHeader& header);

    // The EMF+ records of one comment record: its bytes after the "EMF+" signature. Records
    // it does not draw, or cannot read, are skipped and counted; none is fatal.
    void Play(std::span<const unsigned char> records);

    // Whether the GDI records met now are to be drawn: before any EMF+ header, and after a
    // GetDC record until the next EMF+ record.
    bool GdiDraws() const { return gdiDraws_; }

    std::size_t Skipped() const { return skipped_; }

private:
    SvgCanvas& canvas_;
    DeviceToDocument toDocument_;
    bool gdiDraws_ = true;
    std::size_t skipped_ = 0;
};

} // namespace pictures::metafile
