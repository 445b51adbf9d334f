// The device layer libwmf's player draws through: it turns libwmf's drawing calls, in device
// units, into elements of an SvgCanvas in hundredths of a millimetre, so that line widths, text
// and circles keep their shape where the (an)isotropic modes scale x and y differently.
#pragma once

#include "decoder/gdi/Charsets.h"
#include "decoder/gdi/Decoded.h"
#include "decoder/gdi/Dib.h"
#include "decoder/canvas/SvgCanvas.h"
#include "decoder/canvas/SvgText.h"
#include "decoder/wmf/WmfRecords.h"
#include "decoder/wmf/WmfState.h"

#include <libwmf/api.h>
#include <libwmf/ipa.h>

#include <exception>
#include <list>
#include <optional>
#include <string>
#include <vector>

namespace pictures::metafile {

std::string Color(const wmfRGB& c);

class WmfDevice {
public:
    WmfDevice(std::optional<Placeable> placeable, std::vector<Record> records, std::size_t objects,
              std::size_t inputBytes, const CodePages& codePages)
        : placeable_(placeable), state_(std::move(records), objects),
          svg_(AnswerBudget(inputBytes)), codePages_(codePages) {}

    wmfD_Rect scanBounds{};
    std::exception_ptr failure;
    std::list<Bitmap> bitmaps; // stable addresses: libwmf holds pointers to them

    // Called by libwmf after each record it plays; keeps our own copy of the state it loses.
    void RecordPlayed() { state_.RecordPlayed(); }

    // Natural size in hundredths of a millimetre, known once something was drawn (or from the
    // placeable header).
    bool HasFrame() const { return frame_.has_value(); }
    double NaturalWidth() const { return svg_.Width(); }
    double NaturalHeight() const { return svg_.Height(); }
    std::string TakeDocument() { return svg_.TakeDocument(); }

    void Pixel(wmfDrawPixel_t* p);
    void Arc(wmfDrawArc_t* a, int kind);
    void Ellipse(wmfDrawArc_t* a);
    void Line(wmfDrawLine_t* l);
    void PolyLine(wmfPolyLine_t* p);
    void Polygon(wmfPolyLine_t* p);
    void PolyPolygon(wmfPolyPoly_t* p);
    void Rectangle(wmfDrawRectangle_t* r);
    void RopDraw(wmfROP_Draw_t* r);
    void BitmapDraw(wmfBMP_Draw_t* b);
    void BitmapRead(wmfBMP_Read_t* b);
    void Text(wmfDrawText_t* t);
    void RegionFrame(wmfPolyRectangle_t* r);
    void RegionPaint(wmfPolyRectangle_t* r);
    void RegionClip(wmfPolyRectangle_t* r);

private:
    // Every drawing call: the first fixes the frame; any applies a newly selected clip region.
    void Frame(const wmfDC* dc);
    void FixFrame(const wmfDC* dc);
    static Rect ToDevice(const wmfDC* dc, const Rect& logical);
    std::string Fill(const wmfDC* dc) const;
    std::string Stroke(const wmfDC* dc) const;

    // Device coordinates to the document's.
    double X(double x) const { return (x - frame_->x0) * sx_; }
    double Y(double y) const { return (y - frame_->y0) * sy_; }
    std::string P(double x, double y) const { return Num(X(x)) + "," + Num(Y(y)); }
    std::vector<Point> DocPoints(const wmfD_Coord* points, unsigned count) const;
    // Under a clipping region that cuts them, shapes are drawn cut (true); else not at all.
    bool DrawnClipped(const std::vector<std::vector<Point>>& rings, bool closed,
                      const std::string& fill, const std::string& stroke);
    // A rectangle given by device corners, in any order.
    void RectElement(double x0, double y0, double x1, double y1, const std::string& style) {
        svg_.AddRect(X(x0), Y(y0), X(x1), Y(y1), style);
    }

    std::optional<Placeable> placeable_;
    DeviceState state_;
    SvgCanvas svg_;
    // The text record whose glyphs are being drawn one by one, and its advance.
    std::optional<std::size_t> textRecord_;
    double textAdvance_ = 0;
    std::optional<Rect> frame_; // device units
    double sx_ = 1, sy_ = 1;    // document units per device unit
    std::optional<Rect> lastOpaqueBox_;
    // The attributes of the last text drawn and what they were made from.
    struct TextStyle {
        std::string face;
        unsigned charset = 0, pitchAndFamily = 0;
        bool symbols = false;
        int weight = 0;
        bool italic = false;
        double fontSize = 0;
        std::string anchor, color;
        std::string attributes; // empty until text is drawn
    };
    TextStyle textStyle_;
    std::size_t clipSelections_ = 0;
    const CodePages& codePages_;
};

} // namespace pictures::metafile
