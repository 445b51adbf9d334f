// The device context of the EMF player: mapping mode, window and viewport, world transform,
// the selected pen, brush and font, text and fill settings, the clipping region, and the
// object table and SaveDC stack those live in. Records that only change this state play here.
#pragma once

#include "decoder/gdi/Charsets.h"
#include "decoder/gdi/Clip.h"
#include "decoder/gdi/Dib.h"
#include "decoder/emf/EmfFrame.h"
#include "decoder/emf/EmfRecords.h"
#include "decoder/gdi/LittleEndian.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace pictures::metafile {

// A COLORREF: red, green and blue, one byte each.
inline Rgb ColorRefAt(const LittleEndian& b, std::size_t at) {
    return {b.U8(at), b.U8(at + 1), b.U8(at + 2)};
}

struct Pen {
    unsigned style = 0; // PS_* with end cap, join and type bits
    double width = 0;   // logical units; 0: one device pixel
    Rgb color;
    std::vector<double> dashes; // PS_USERSTYLE, logical units
    bool Null() const { return (style & 0xF) == 5; }
    bool Cosmetic() const { return (style & 0xF0000) == 0; }
};

struct Brush {
    enum class Kind { Null, Solid, Hatched, Pattern } kind = Kind::Solid;
    Rgb color{255, 255, 255}; // of a pattern: its average
    unsigned hatch = 0;
};

struct Font {
    int height = -16;   // logical units; negative: the em size, positive: the cell height
    int escapement = 0; // tenths of a degree, counter-clockwise
    int weight = 400;
    bool italic = false, underline = false, strikeOut = false;
    unsigned charset = 0;
    unsigned pitchAndFamily = 0;
    std::string face; // UTF-8
};

struct EmfDc {
    int mapMode = 1;
    Point windowOrg{0, 0}, windowExt{1, 1}, viewportOrg{0, 0}, viewportExt{1, 1};
    Matrix world;
    Pen pen;
    Brush brush;
    Font font;
    Rgb textColor{0, 0, 0}, bkColor{255, 255, 255};
    unsigned bkMode = 2; // OPAQUE
    unsigned textAlign = 0;
    unsigned polyFill = 1; // ALTERNATE
    unsigned rop2 = 13;    // R2_COPYPEN
    bool clockwise = false;
    double miterLimit = 10;
    Point position; // the current position, logical units
    // Document units, boxes that do not overlap; none: no clipping.
    std::optional<std::vector<Box>> clip;
};

class EmfState {
public:
    explicit EmfState(const EmfHeader& header);

    // Plays `record` when it only changes the state; false for any other.
    bool Play(const EmfRecord& record);

    const EmfDc& Current() const { return dc_; }
    EmfDc& Current() { return dc_; }
    // Logical units to the document's, as the state stands.
    const Matrix& ToDocument() const { return toDocument_; }
    // Device pixels to the document's.
    const DeviceToDocument& DeviceMapping() const { return device_; }
    // Whether the clipping region leaves nothing to draw in.
    void IntersectClip(const std::vector<Box>& boxes);
    // Combines the region of boxes (document units) with the clip, by an RGN_* mode.
    void CombineClip(const std::vector<Box>& boxes, unsigned mode);
    // Selects the object of `handle`, a stock one or one of the table.
    void Select(std::uint32_t handle);
    // The boxes a canvas clips to for the current region.
    std::vector<Box> CanvasClip() const;

private:
    void Update();
    // Records of the object table (EmfObjects.cpp); false for any other.
    bool PlayObject(const EmfRecord& record);
    void CreateObject(std::uint32_t index, int kind, const Pen& pen, const Brush& brush,
                      const Font& font);

    struct Object {
        int kind = 0; // 0 free, 1 pen, 2 brush, 3 font, 4 other
        Pen pen;
        Brush brush;
        Font font;
    };

    DeviceToDocument device_;
    double pixelsPerMmX_ = 1, pixelsPerMmY_ = 1;
    EmfDc dc_;
    std::vector<EmfDc> saved_;
    std::vector<Object> objects_;
    Matrix toDocument_;
};

} // namespace pictures::metafile
