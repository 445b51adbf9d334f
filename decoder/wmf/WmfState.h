// The WMF object table and device context state, kept by following the records alongside
// libwmf's player, which loses some of it: pen widths in logical units, the sign of font
// heights, text state across SaveDC, and fonts once deleted.
#pragma once

#include "decoder/wmf/WmfRecords.h"

#include <libwmf/defs.h>
#include <libwmf/ipa.h>
#include <libwmf/types.h>

#include <string>
#include <vector>

namespace pictures::metafile {

// A font as its record gives it. The device layer draws text from this copy, never from
// libwmf's font, which a DeleteObject frees while the device context still points at it.
struct FontSpec {
    int height = 0;     // logical units; negative: the em size, positive: the cell height
    int escapement = 0; // tenths of a degree, counter-clockwise
    int weight = 0;
    bool italic = false, underline = false, strikeOut = false;
    unsigned charset = 0;
    unsigned pitchAndFamily = 0;
    std::string face; // in the code page of `charset`
};

// What libwmf's objects lose: a pen's width in logical units (libwmf scales it by a mapping it
// has not yet updated), and fonts whole.
struct GdiObject {
    enum class Kind { Free, Pen, Font, Region, Other } kind = Kind::Free;
    int penWidth = 0;
    FontSpec font;
    std::vector<Rect> region; // logical units
};

// Device context state that libwmf's SaveDC resets to defaults instead of copying.
struct DcState {
    unsigned textAlign = TA_LEFT | TA_TOP;
    wmfRGB textColor{0, 0, 0};
    wmfRGB bkColor{255, 255, 255};
    unsigned bkMode = OPAQUE;
    unsigned polyFill = ALTERNATE;
    int penWidth = 0; // logical units; 0 is one device pixel
    FontSpec font;    // the selected font; it outlives its deletion, as in GDI
};

class DeviceState {
public:
    DeviceState(std::vector<Record> records, std::size_t objects)
        : records_(std::move(records)), objects_(objects) {}

    // Called after each record libwmf plays.
    void RecordPlayed();

    const DcState& Current() const { return state_; }
    // Whether a record set the window's extent.
    bool WindowSet() const { return windowSet_; }
    // The index of the record being played.
    std::size_t Playing() const { return played_; }
    // The clipping region last selected, in logical units (none: no clipping), and how many
    // selections there were so far.
    const std::vector<Rect>& SelectedClip() const { return clip_; }
    std::size_t ClipSelections() const { return clipSelections_; }

private:
    std::vector<Record> records_;
    std::size_t played_ = 0;
    DcState state_;
    std::vector<DcState> saved_;
    bool windowSet_ = false;
    std::vector<GdiObject> objects_;
    std::vector<Rect> clip_;
    std::size_t clipSelections_ = 0;
};

} // namespace pictures::metafile
