// WMF to SVG through libwmf's player with a device layer of our own. libwmf's SVG device
// rounds every colour to a named one, fills half-transparently and misplaces text, so this
// layer writes the drawing calls itself. The lite interface needs no font files: text is left
// for the viewer's renderer to shape, so libwmf's own string widths are never needed.
#include "pictures/metafile/Charsets.h"
#include "pictures/metafile/Clip.h"
#include "pictures/metafile/Decoded.h"
#include "pictures/metafile/HelperProtocol.h"
#include "pictures/metafile/SvgText.h"

#include <libwmf/api.h>
#include <libwmf/defs.h>
#include <libwmf/ipa.h>
#include <libwmf/macro.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <list>
#include <memory>
#include <numbers>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pictures::metafile {
namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::size_t kPlaceableSize = 22;
constexpr std::size_t kStandardHeaderSize = 18;

// Mapping modes; libwmf's headers do not define them.
constexpr int kMmText = 1;
constexpr int kMmIsotropic = 7;
constexpr int kMmAnisotropic = 8;

// Logical units of MM_TEXT and of the (an)isotropic modes have no physical size; like a
// screen, take them as 96 to the inch.
constexpr double kLogicalUnitsPerInch = 96.0;
// In the fixed metric and English modes libwmf's device units are points.
constexpr double kPointsPerInch = 72.0;
constexpr double kHundredthsMmPerInch = 2540.0;

std::uint16_t ReadU16(std::span<const unsigned char> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

std::int16_t ReadS16(std::span<const unsigned char> b, std::size_t at) {
    return static_cast<std::int16_t>(ReadU16(b, at));
}

struct Rect {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    double Width() const { return x1 - x0; }
    double Height() const { return y1 - y0; }
    Rect Normalized() const {
        return {std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
    }
    bool IsUsable() const {
        return std::isfinite(x0) && std::isfinite(y0) && std::isfinite(x1) && std::isfinite(y1) &&
               Width() > 0 && Height() > 0;
    }
};

struct Placeable {
    Rect box; // logical units
    double unitsPerInch = 0;
};

std::optional<Placeable> ReadPlaceable(std::span<const unsigned char> b) {
    if (b.size() < kPlaceableSize ||
        (ReadU16(b, 0) | std::uint32_t{ReadU16(b, 2)} << 16) != kPlaceableKey)
        return std::nullopt;
    Placeable p;
    p.box = {static_cast<double>(ReadS16(b, 6)), static_cast<double>(ReadS16(b, 8)),
             static_cast<double>(ReadS16(b, 10)), static_cast<double>(ReadS16(b, 12))};
    p.unitsPerInch = ReadU16(b, 14);
    return p;
}

// One record of the metafile, as libwmf's player walks them.
struct Record {
    std::uint16_t function = 0;
    std::span<const unsigned char> params;
};

// The records in the order libwmf plays them, from the end of the headers to the end record.
std::vector<Record> ReadRecords(std::span<const unsigned char> b, std::size_t start) {
    std::vector<Record> records;
    std::size_t at = start;
    while (b.size() >= at + 6) {
        const std::uint32_t words = ReadU16(b, at) | std::uint32_t{ReadU16(b, at + 2)} << 16;
        const std::uint16_t function = ReadU16(b, at + 4);
        if (words < 3 || function == 0 || words > (b.size() - at) / 2)
            break;
        records.push_back({function, b.subspan(at + 6, (words - 3) * 2)});
        at += std::size_t{words} * 2;
    }
    return records;
}

constexpr std::uint16_t kPolyPolygon = 0x0538;

// libwmf drops a whole poly-polygon when one of its polygons is empty, as some writers emit;
// returns the file with such empty polygons taken out.
std::vector<unsigned char> WithoutEmptyPolygons(std::span<const unsigned char> b,
                                                std::size_t start) {
    std::vector<unsigned char> out(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(start));
    std::size_t at = start;
    const auto putU16 = [&out](std::uint16_t v) {
        out.push_back(static_cast<unsigned char>(v & 0xFF));
        out.push_back(static_cast<unsigned char>(v >> 8));
    };
    while (b.size() >= at + 6) {
        const std::uint32_t words = ReadU16(b, at) | std::uint32_t{ReadU16(b, at + 2)} << 16;
        const std::uint16_t function = ReadU16(b, at + 4);
        if (words < 3 || function == 0 || words > (b.size() - at) / 2)
            break;
        const auto params = b.subspan(at + 6, (std::size_t{words} - 3) * 2);
        const std::size_t polygons = params.size() >= 2 ? ReadU16(params, 0) : 0;
        bool rewrite = false;
        if (function == kPolyPolygon && params.size() >= 2 + 2 * polygons) {
            for (std::size_t i = 0; i < polygons; ++i)
                rewrite = rewrite || ReadU16(params, 2 + 2 * i) == 0;
        }
        if (!rewrite) {
            out.insert(out.end(), b.begin() + static_cast<std::ptrdiff_t>(at),
                       b.begin() + static_cast<std::ptrdiff_t>(at + std::size_t{words} * 2));
        } else {
            std::vector<std::uint16_t> counts;
            for (std::size_t i = 0; i < polygons; ++i)
                if (const std::uint16_t n = ReadU16(params, 2 + 2 * i); n != 0)
                    counts.push_back(n);
            const auto points = params.subspan(2 + 2 * polygons);
            const std::uint32_t newWords = 3 + 1 + static_cast<std::uint32_t>(counts.size()) +
                                           static_cast<std::uint32_t>(points.size() / 2);
            putU16(static_cast<std::uint16_t>(newWords & 0xFFFF));
            putU16(static_cast<std::uint16_t>(newWords >> 16));
            putU16(function);
            putU16(static_cast<std::uint16_t>(counts.size()));
            for (const std::uint16_t n : counts)
                putU16(n);
            out.insert(out.end(), points.begin(), points.end());
        }
        at += std::size_t{words} * 2;
    }
    out.insert(out.end(), b.begin() + static_cast<std::ptrdiff_t>(std::min(at, b.size())), b.end());
    return out;
}

// libwmf allocates for the header's largest record before it reads one: a header that claims
// more than the file holds is refused before libwmf sees it.
void CheckHeader(std::span<const unsigned char> file, std::size_t start) {
    if (file.size() < start)
        throw DecodeError("the file is not a valid WMF picture");
    const std::size_t header = start - kStandardHeaderSize;
    const auto u32 = [&file](std::size_t at) {
        return ReadU16(file, at) | std::uint32_t{ReadU16(file, at + 2)} << 16;
    };
    const std::size_t wordsAfterHeader = (file.size() - start) / 2;
    if (u32(header + 12) > wordsAfterHeader)
        throw DecodeError("the file has a corrupt header");
    // Some writers count the placeable header in the file's size.
    if (u32(header + 6) > file.size() / 2)
        throw DecodeError("the file is truncated");
}

// libwmf checks the header's largest record against the records it reads; give it the one the
// file really has.
void SetLargestRecord(std::vector<unsigned char>& file, std::size_t start) {
    std::uint32_t largest = 3;
    for (const Record& r : ReadRecords(file, start))
        largest = std::max<std::uint32_t>(largest, 3 + r.params.size() / 2);
    for (int i = 0; i < 4; ++i)
        file[start - kStandardHeaderSize + 12 + i] = static_cast<unsigned char>(largest >> (8 * i));
}

// Record functions whose effect libwmf loses or mangles.
constexpr std::uint16_t kSaveDc = 0x001E;
constexpr std::uint16_t kRestoreDc = 0x0127;
constexpr std::uint16_t kSetBkColor = 0x0201;
constexpr std::uint16_t kSetBkMode = 0x0102;
constexpr std::uint16_t kSetPolyFillMode = 0x0106;
constexpr std::uint16_t kSetTextAlign = 0x012E;
constexpr std::uint16_t kSetTextColor = 0x0209;
constexpr std::uint16_t kSetWindowExt = 0x020C;
constexpr std::uint16_t kCreateFont = 0x02FB;
constexpr std::uint16_t kCreatePen = 0x02FA;
constexpr std::uint16_t kSelectObject = 0x012D;
constexpr std::uint16_t kDeleteObject = 0x01F0;
// Records that take a slot in the object table besides pens and fonts.
constexpr std::uint16_t kOtherObjects[] = {0x02FC, 0x0142, 0x01F9, 0x00F7, 0x06FF};

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

FontSpec ReadFont(std::span<const unsigned char> p) {
    FontSpec f;
    if (p.size() < 18)
        return f;
    f.height = ReadS16(p, 0);
    f.escapement = ReadS16(p, 4);
    f.weight = ReadS16(p, 8);
    f.italic = p[10] != 0;
    f.underline = p[11] != 0;
    f.strikeOut = p[12] != 0;
    f.charset = p[13];
    f.pitchAndFamily = p[17];
    const auto name = p.subspan(18, std::min<std::size_t>(32, p.size() - 18));
    f.face.assign(name.begin(), std::find(name.begin(), name.end(), 0));
    return f;
}

// What libwmf's objects lose: a pen's width in logical units (libwmf scales it by a mapping it
// has not yet updated), and fonts whole.
struct GdiObject {
    enum class Kind { Free, Pen, Font, Other } kind = Kind::Free;
    int penWidth = 0;
    FontSpec font;
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

wmfRGB ColorRef(std::span<const unsigned char> p) {
    if (p.size() < 3)
        return {0, 0, 0};
    return {p[0], p[1], p[2]};
}

std::string Color(const wmfRGB& c) {
    return HexColor(c.r, c.g, c.b);
}

// A device-independent bitmap kept as a BMP file, which the viewer's SVG renderer can read.
struct Bitmap {
    std::string bmpFile;
    int width = 0;
    int height = 0;
};

// The device layer's state: the SVG body written so far and what fixes the picture's frame.
// libwmf hands over device coordinates, which the (an)isotropic modes scale differently along
// x and y; the SVG is written in hundredths of a millimetre instead, so that line widths, text
// and circles keep their shape.
class Canvas {
public:
    Canvas(std::optional<Placeable> placeable, std::vector<Record> records, std::size_t objects,
           std::size_t inputBytes, const CodePages& codePages)
        : placeable_(placeable), records_(std::move(records)), objects_(objects),
          budget_(AnswerBudget(inputBytes)), codePages_(codePages) {}

    wmfD_Rect scanBounds{};
    std::exception_ptr failure;
    std::list<Bitmap> bitmaps; // stable addresses: libwmf holds pointers to them

    // Called by libwmf after each record it plays; keeps our own copy of the state it loses.
    void RecordPlayed();

    // Natural size in hundredths of a millimetre, known once something was drawn (or from the
    // placeable header).
    bool HasFrame() const { return frame_.has_value(); }
    double NaturalWidth() const { return naturalWidth_; }
    double NaturalHeight() const { return naturalHeight_; }
    std::string TakeDocument();

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
    // Every drawing call: ends a text run, counts against the answer's limits, and fixes the
    // frame on the first call.
    void Touch(const wmfDC* dc);
    void Count();
    void Frame(const wmfDC* dc);
    std::string Fill(const wmfDC* dc) const;
    std::string Stroke(const wmfDC* dc) const;

    // Device coordinates to the document's.
    double X(double x) const { return (x - frame_->x0) * sx_; }
    double Y(double y) const { return (y - frame_->y0) * sy_; }
    std::string P(double x, double y) const { return Num(X(x)) + "," + Num(Y(y)); }
    std::string P(const wmfD_Coord& c) const { return P(c.x, c.y); }
    // Path data of a polygon (closed) or polyline, clipped to a margin around the frame when
    // it strays beyond it; empty when nothing of it is left.
    std::string PathOf(const wmfD_Coord* points, unsigned count, bool closed) const;
    Box Margin() const;
    // A rectangle given by device corners, in any order.
    void RectElement(double x0, double y0, double x1, double y1, const std::string& style);

    std::optional<Placeable> placeable_;
    std::vector<Record> records_;
    std::size_t played_ = 0;
    DcState state_;
    std::vector<DcState> saved_;
    bool windowSet_ = false;
    std::vector<GdiObject> objects_;
    // Glyphs of one text record, which libwmf hands over one by one when the record spaces
    // them, gathered into one element with a position for each.
    struct TextRun {
        std::size_t record = 0;
        std::string attributes;    // all but the positions and the rotation
        double x0 = 0, y0 = 0;     // the first glyph, document units
        double dirX = 1, dirY = 0; // along the baseline, document units
        double degrees = 0;
        double last = 0; // the last glyph's distance from the first along the baseline
        std::string xs;
        std::string text;
        bool perGlyph = true; // one glyph per position so far
    };
    std::optional<TextRun> run_;
    std::size_t elements_ = 0;
    std::size_t budget_; // bytes of SVG body the input may grow into
    void FlushText();
    // The text record whose glyphs are being drawn one by one, and its advance.
    std::optional<std::size_t> textRecord_;
    double textAdvance_ = 0;
    std::optional<Rect> frame_; // device units
    double sx_ = 1, sy_ = 1;    // document units per device unit
    double naturalWidth_ = 0, naturalHeight_ = 0;
    std::string body_;
    std::string defs_;
    int clipCount_ = 0;
    bool clipOpen_ = false;
    std::optional<Rect> lastOpaqueBox_;
    const CodePages& codePages_;
};

void Canvas::RecordPlayed() {
    if (played_ >= records_.size())
        return;
    const Record& r = records_[played_++];
    const auto word = [&r](std::size_t i) -> std::uint16_t {
        return r.params.size() >= 2 * i + 2 ? ReadU16(r.params, 2 * i) : 0;
    };
    switch (r.function) {
    case kSaveDc:
        saved_.push_back(state_);
        break;
    case kRestoreDc:
        // libwmf pops one level whatever the record asks; stay in step with it.
        if (!saved_.empty()) {
            state_ = saved_.back();
            saved_.pop_back();
        }
        break;
    case kSetTextAlign:
        state_.textAlign = word(0);
        break;
    case kSetTextColor:
        state_.textColor = ColorRef(r.params);
        break;
    case kSetBkColor:
        state_.bkColor = ColorRef(r.params);
        break;
    case kSetBkMode:
        state_.bkMode = word(0);
        break;
    case kSetPolyFillMode:
        state_.polyFill = word(0);
        break;
    case kSetWindowExt:
        windowSet_ = true;
        break;
    case kCreatePen:
    case kCreateFont: {
        // libwmf selects what it creates, like the first free slot it takes.
        const auto slot = std::find_if(objects_.begin(), objects_.end(), [](const GdiObject& o) {
            return o.kind == GdiObject::Kind::Free;
        });
        if (slot == objects_.end())
            break;
        if (r.function == kCreatePen) {
            *slot = {GdiObject::Kind::Pen, std::abs(static_cast<std::int16_t>(word(1))), {}};
            state_.penWidth = slot->penWidth;
        } else {
            *slot = {GdiObject::Kind::Font, 0, ReadFont(r.params)};
            state_.font = slot->font;
        }
        break;
    }
    case kSelectObject:
        if (word(0) < objects_.size()) {
            const GdiObject& o = objects_[word(0)];
            if (o.kind == GdiObject::Kind::Pen)
                state_.penWidth = o.penWidth;
            else if (o.kind == GdiObject::Kind::Font)
                state_.font = o.font;
        }
        break;
    case kDeleteObject:
        if (word(0) < objects_.size())
            objects_[word(0)] = {};
        break;
    default:
        if (std::find(std::begin(kOtherObjects), std::end(kOtherObjects), r.function) !=
            std::end(kOtherObjects)) {
            const auto slot =
                std::find_if(objects_.begin(), objects_.end(),
                             [](const GdiObject& o) { return o.kind == GdiObject::Kind::Free; });
            if (slot != objects_.end())
                slot->kind = GdiObject::Kind::Other;
        }
        break;
    }
}

// The first drawing call's device context tells how logical units map to device units, and
// so where the picture's frame lies and, without a placeable header, how large it is.
void Canvas::Touch(const wmfDC* dc) {
    FlushText();
    Count();
    Frame(dc);
}

void Canvas::Count() {
    if (++elements_ > kMaxAnswerElements || body_.size() + defs_.size() > budget_)
        throw DecodeError("the drawing is too large to show");
}

void Canvas::Frame(const wmfDC* dc) {
    if (frame_)
        return;
    const int mode = dc->map_mode;
    const bool scaled = mode == kMmIsotropic || mode == kMmAnisotropic;
    // libwmf: device = (logical - window origin) * pixel size, the sign following the window.
    const auto signedPixel = [scaled](double pixel, double windowExtent) {
        return scaled || windowExtent >= 0 ? pixel : -pixel;
    };
    const double pw = signedPixel(dc->pixel_width, dc->Window.width);
    const double ph = signedPixel(dc->pixel_height, dc->Window.height);
    const auto toDevice = [&](const Rect& logical) {
        return Rect{(logical.x0 - dc->Window.Ox) * pw, (logical.y0 - dc->Window.Oy) * ph,
                    (logical.x1 - dc->Window.Ox) * pw, (logical.y1 - dc->Window.Oy) * ph}
            .Normalized();
    };

    // libwmf starts with a 1024-unit window; only one the records set marks the picture.
    const bool windowSet = windowSet_ && dc->Window.width != 0 && dc->Window.height != 0;
    Rect frame;
    if (windowSet) {
        frame =
            toDevice(Rect{static_cast<double>(dc->Window.Ox), static_cast<double>(dc->Window.Oy),
                          static_cast<double>(dc->Window.Ox) + dc->Window.width,
                          static_cast<double>(dc->Window.Oy) + dc->Window.height});
    } else if (placeable_) {
        frame = toDevice(placeable_->box);
    }
    if (!frame.IsUsable())
        frame = Rect{scanBounds.TL.x, scanBounds.TL.y, scanBounds.BR.x, scanBounds.BR.y};
    if (!frame.IsUsable())
        throw DecodeError("the drawing has no extent");

    if (placeable_) {
        naturalWidth_ =
            std::abs(placeable_->box.Width()) * kHundredthsMmPerInch / placeable_->unitsPerInch;
        naturalHeight_ =
            std::abs(placeable_->box.Height()) * kHundredthsMmPerInch / placeable_->unitsPerInch;
    } else if (scaled && windowSet) {
        naturalWidth_ = std::abs(dc->Window.width) * kHundredthsMmPerInch / kLogicalUnitsPerInch;
        naturalHeight_ = std::abs(dc->Window.height) * kHundredthsMmPerInch / kLogicalUnitsPerInch;
    } else {
        const double perInch = mode == kMmText ? kLogicalUnitsPerInch : kPointsPerInch;
        naturalWidth_ = frame.Width() * kHundredthsMmPerInch / perInch;
        naturalHeight_ = frame.Height() * kHundredthsMmPerInch / perInch;
    }
    CheckNaturalSize(naturalWidth_, naturalHeight_);
    frame_ = frame;
    sx_ = naturalWidth_ / frame.Width();
    sy_ = naturalHeight_ / frame.Height();
}

std::string Canvas::Fill(const wmfDC* dc) const {
    const wmfBrush* brush = dc->brush;
    std::string style;
    switch (brush->lbStyle) {
    case BS_NULL:
        return " fill=\"none\"";
    case BS_SOLID:
        style = " fill=\"" + Color(brush->lbColor) + "\"";
        break;
    case BS_HATCHED:
        // Patterns do not render everywhere; a tint of the hatch colour keeps the shape.
        style = " fill=\"" + Color(brush->lbColor) + "\" fill-opacity=\"0.4\"";
        break;
    default:
        style = " fill=\"#808080\" fill-opacity=\"0.5\"";
        break;
    }
    style += state_.polyFill == WINDING ? " fill-rule=\"nonzero\"" : " fill-rule=\"evenodd\"";
    return style;
}

std::string Canvas::Stroke(const wmfDC* dc) const {
    const wmfPen* pen = dc->pen;
    const unsigned style = WMF_PEN_STYLE(pen);
    if (style == PS_NULL)
        return " stroke=\"none\"";
    std::string s = " stroke=\"" + Color(pen->lopnColor) + "\"";
    // The width is in logical units along x; the mapping is current while drawing.
    double width = state_.penWidth * std::abs(dc->pixel_width) * sx_;
    // GDI never draws a line thinner than a device pixel; keep hairlines visible at any size.
    const double side = std::max(naturalWidth_, naturalHeight_);
    if (state_.penWidth == 0 || !(width >= side / 1000)) {
        s += " stroke-width=\"1\" vector-effect=\"non-scaling-stroke\"";
        width = side / 1000;
    } else {
        s += " stroke-width=\"" + Num(width) + "\"";
    }
    switch (WMF_PEN_ENDCAP(pen)) {
    case PS_ENDCAP_SQUARE:
        s += " stroke-linecap=\"square\"";
        break;
    case PS_ENDCAP_FLAT:
        s += " stroke-linecap=\"butt\"";
        break;
    default:
        s += " stroke-linecap=\"round\"";
    }
    switch (WMF_PEN_JOIN(pen)) {
    case PS_JOIN_BEVEL:
        s += " stroke-linejoin=\"bevel\"";
        break;
    case PS_JOIN_MITER:
        s += " stroke-linejoin=\"miter\"";
        break;
    default:
        s += " stroke-linejoin=\"round\"";
    }
    const double dash = std::max(width, side / 400);
    const auto dashes = [&](std::initializer_list<double> pattern) {
        std::string list;
        for (const double d : pattern) {
            if (!list.empty())
                list += ' ';
            list += Num(d * dash);
        }
        return " stroke-dasharray=\"" + list + "\"";
    };
    switch (style) {
    case PS_DASH:
        s += dashes({3, 1});
        break;
    case PS_DOT:
    case PS_ALTERNATE:
        s += dashes({1, 1});
        break;
    case PS_DASHDOT:
        s += dashes({3, 1, 1, 1});
        break;
    case PS_DASHDOTDOT:
        s += dashes({3, 1, 1, 1, 1, 1});
        break;
    default:
        break;
    }
    return s;
}

Box Canvas::Margin() const {
    // Wide enough that the cut edges, and strokes along them, stay out of sight.
    const double m = std::max(naturalWidth_, naturalHeight_) / 10;
    return {-m, -m, naturalWidth_ + m, naturalHeight_ + m};
}

std::string Canvas::PathOf(const wmfD_Coord* points, unsigned count, bool closed) const {
    const Box margin = Margin();
    std::vector<Point> doc(count);
    bool strays = false;
    for (unsigned i = 0; i < count; ++i) {
        doc[i] = {X(points[i].x), Y(points[i].y)};
        strays = strays || !margin.Contains(doc[i]);
    }
    const auto write = [](const std::vector<Point>& line, bool close) {
        std::string d;
        for (const Point& p : line) {
            d += d.empty() ? 'M' : ' ';
            d += Num(p.x) + "," + Num(p.y);
        }
        return close && !d.empty() ? d + "Z" : d;
    };
    if (!strays)
        return write(doc, closed);
    if (closed)
        return write(ClipPolygon(doc, margin), true);
    std::string d;
    for (const std::vector<Point>& part : ClipPolyline(doc, margin))
        d += write(part, false);
    return d;
}

void Canvas::RectElement(double x0, double y0, double x1, double y1, const std::string& style) {
    const Box m = Margin();
    const auto clampX = [&m](double x) { return std::clamp(x, m.x0, m.x1); };
    const auto clampY = [&m](double y) { return std::clamp(y, m.y0, m.y1); };
    const Rect r = Rect{clampX(X(x0)), clampY(Y(y0)), clampX(X(x1)), clampY(Y(y1))}.Normalized();
    body_ += "<rect x=\"" + Num(r.x0) + "\" y=\"" + Num(r.y0) + "\" width=\"" + Num(r.Width()) +
             "\" height=\"" + Num(r.Height()) + "\"" + style + "/>\n";
}

void Canvas::Pixel(wmfDrawPixel_t* p) {
    Touch(p->dc);
    RectElement(p->pt.x, p->pt.y, p->pt.x + p->pixel_width, p->pt.y + p->pixel_height,
                " fill=\"" + Color(p->color) + "\" stroke=\"none\"");
}

// kind: 0 open arc, 1 pie, 2 chord. libwmf gives the start and end points relative to the
// centre, on the radials rather than on the ellipse.
void Canvas::Arc(wmfDrawArc_t* a, int kind) {
    Touch(a->dc);
    const bool fill = kind != 0 && TO_FILL(a);
    if (!fill && !TO_DRAW(a))
        return;
    const double cx = (a->TL.x + a->BR.x) / 2, cy = (a->TL.y + a->BR.y) / 2;
    const double rx = std::abs(a->BR.x - a->TL.x) / 2, ry = std::abs(a->BR.y - a->TL.y) / 2;
    if (!(rx > 0) || !(ry > 0))
        return;
    const double startAngle = std::atan2(a->start.y * rx, a->start.x * ry);
    const double endAngle = std::atan2(a->end.y * rx, a->end.x * ry);
    double sweep = endAngle - startAngle;
    if (sweep <= 0)
        sweep += 2 * std::numbers::pi;
    const double sx = cx + rx * std::cos(startAngle), sy = cy + ry * std::sin(startAngle);
    const double ex = cx + rx * std::cos(endAngle), ey = cy + ry * std::sin(endAngle);
    const std::string radii = Num(rx * sx_) + "," + Num(ry * sy_);
    std::string d = "M" + P(sx, sy);
    if (std::abs(sweep - 2 * std::numbers::pi) < 1e-6) {
        // A whole turn: SVG cannot arc to the point it starts from.
        d += "A" + radii + " 0 0,1 " + P(2 * cx - sx, 2 * cy - sy) + "A" + radii + " 0 0,1 " +
             P(sx, sy);
    } else {
        d += "A" + radii + " 0 " + (sweep > std::numbers::pi ? "1" : "0") + ",1 " + P(ex, ey);
    }
    if (kind == 1)
        d += "L" + P(cx, cy) + "Z";
    else if (kind == 2)
        d += "Z";
    body_ += "<path d=\"" + d + "\"" + (fill ? Fill(a->dc) : std::string(" fill=\"none\"")) +
             Stroke(a->dc) + "/>\n";
}

void Canvas::Ellipse(wmfDrawArc_t* a) {
    Touch(a->dc);
    if (!TO_FILL(a) && !TO_DRAW(a))
        return;
    body_ += "<ellipse cx=\"" + Num(X((a->TL.x + a->BR.x) / 2)) + "\" cy=\"" +
             Num(Y((a->TL.y + a->BR.y) / 2)) + "\" rx=\"" +
             Num(std::abs(a->BR.x - a->TL.x) / 2 * sx_) + "\" ry=\"" +
             Num(std::abs(a->BR.y - a->TL.y) / 2 * sy_) + "\"" + Fill(a->dc) + Stroke(a->dc) +
             "/>\n";
}

void Canvas::Line(wmfDrawLine_t* l) {
    Touch(l->dc);
    if (!TO_DRAW(l))
        return;
    const wmfD_Coord ends[] = {l->from, l->to};
    const std::string d = PathOf(ends, 2, false);
    if (!d.empty())
        body_ += "<path d=\"" + d + "\" fill=\"none\"" + Stroke(l->dc) + "/>\n";
}

void Canvas::PolyLine(wmfPolyLine_t* p) {
    Touch(p->dc);
    if (p->count < 2 || !p->pt || !TO_DRAW(p))
        return;
    const std::string d = PathOf(p->pt, p->count, false);
    if (!d.empty())
        body_ += "<path d=\"" + d + "\" fill=\"none\"" + Stroke(p->dc) + "/>\n";
}

void Canvas::Polygon(wmfPolyLine_t* p) {
    Touch(p->dc);
    if (p->count < 2 || !p->pt || (!TO_FILL(p) && !TO_DRAW(p)))
        return;
    const std::string d = PathOf(p->pt, p->count, true);
    if (!d.empty())
        body_ += "<path d=\"" + d + "\"" + Fill(p->dc) + Stroke(p->dc) + "/>\n";
}

void Canvas::PolyPolygon(wmfPolyPoly_t* p) {
    Touch(p->dc);
    if (!p->pt || !p->count || (!TO_FILL(p) && !TO_DRAW(p)))
        return;
    std::string d;
    for (unsigned n = 0; n < p->npoly; ++n) {
        if (p->pt[n] && p->count[n] >= 2)
            d += PathOf(p->pt[n], p->count[n], true);
    }
    if (!d.empty())
        body_ += "<path d=\"" + d + "\"" + Fill(p->dc) + Stroke(p->dc) + "/>\n";
}

void Canvas::Rectangle(wmfDrawRectangle_t* r) {
    Touch(r->dc);
    if (!TO_FILL(r) && !TO_DRAW(r))
        return;
    std::string style = Fill(r->dc) + Stroke(r->dc);
    if (r->width > 0 || r->height > 0)
        style = " rx=\"" + Num(std::abs(r->width) / 2 * sx_) + "\" ry=\"" +
                Num(std::abs(r->height) / 2 * sy_) + "\"" + style;
    RectElement(r->TL.x, r->TL.y, r->BR.x, r->BR.y, style);
}

void Canvas::RopDraw(wmfROP_Draw_t* r) {
    Touch(r->dc);
    std::string fill;
    switch (r->ROP) {
    case PATCOPY:
        if (!TO_FILL(r))
            return;
        fill = Fill(r->dc);
        break;
    case BLACKNESS:
        fill = " fill=\"#000000\"";
        break;
    case WHITENESS:
        fill = " fill=\"#ffffff\"";
        break;
    default:
        return; // raster operations that combine with the destination have no SVG form
    }
    RectElement(r->TL.x, r->TL.y, r->BR.x, r->BR.y, fill + " stroke=\"none\"");
}

void Canvas::BitmapRead(wmfBMP_Read_t* b) {
    b->bmp.data = nullptr;
    if (!b->buffer || b->length < 16)
        return;
    const std::span<const unsigned char> dib(b->buffer, static_cast<std::size_t>(b->length));
    const auto u32 = [&dib](std::size_t at) {
        return ReadU16(dib, at) | std::uint32_t{ReadU16(dib, at + 2)} << 16;
    };
    const std::uint32_t infoSize = u32(0);
    if (infoSize < 12 || infoSize > dib.size())
        return;
    int width = 0, height = 0, bitCount = 0;
    std::uint32_t compression = 0, colorsUsed = 0;
    std::size_t paletteEntry = 4;
    if (infoSize == 12) {
        width = ReadU16(dib, 4);
        height = ReadU16(dib, 6);
        bitCount = ReadU16(dib, 10);
        paletteEntry = 3;
    } else {
        if (infoSize < 40)
            return;
        width = static_cast<std::int32_t>(u32(4));
        height = static_cast<std::int32_t>(u32(8));
        bitCount = ReadU16(dib, 14);
        compression = u32(16);
        colorsUsed = u32(32);
    }
    if (width <= 0 || height == 0 || width > 65535 || std::abs(height) > 65535 || bitCount > 32)
        return;
    std::size_t palette = 0;
    if (bitCount <= 8)
        palette = (colorsUsed ? colorsUsed : 1u << bitCount) * paletteEntry;
    else if (colorsUsed)
        palette = std::size_t{colorsUsed} * paletteEntry;
    if (compression == 3 && infoSize == 40)
        palette += 12; // BI_BITFIELDS masks follow the header
    const std::size_t bitsOffset = 14 + infoSize + palette;
    const std::size_t fileSize = dib.size() + 14;
    if (bitsOffset > fileSize)
        return;
    std::string file = "BM";
    for (const std::size_t v : {fileSize, std::size_t{0}, bitsOffset})
        for (int i = 0; i < 4; ++i)
            file += static_cast<char>((v >> (8 * i)) & 0xFF);
    file.append(reinterpret_cast<const char*>(dib.data()), dib.size());
    Bitmap& bitmap = bitmaps.emplace_back(Bitmap{std::move(file), width, std::abs(height)});
    b->bmp.width = static_cast<U16>(bitmap.width);
    b->bmp.height = static_cast<U16>(bitmap.height);
    b->bmp.data = &bitmap;
}

void Canvas::BitmapDraw(wmfBMP_Draw_t* b) {
    Touch(b->dc);
    const auto* bitmap = static_cast<const Bitmap*>(b->bmp.data);
    if (!bitmap || b->crop.w == 0 || b->crop.h == 0)
        return;
    // Only the cropped part is wanted: scale the whole bitmap so that part fills the target.
    const double pw = std::abs(b->pixel_width), ph = std::abs(b->pixel_height);
    const Rect target = Rect{b->pt.x, b->pt.y, b->pt.x + b->pixel_width * b->crop.w,
                             b->pt.y + b->pixel_height * b->crop.h}
                            .Normalized();
    const Rect whole = Rect{X(target.x0 - b->crop.x * pw), Y(target.y0 - b->crop.y * ph),
                            X(target.x0 + (bitmap->width - b->crop.x) * pw),
                            Y(target.y0 + (bitmap->height - b->crop.y) * ph)};
    body_ += "<image x=\"" + Num(whole.x0) + "\" y=\"" + Num(whole.y0) + "\" width=\"" +
             Num(whole.Width()) + "\" height=\"" + Num(whole.Height()) +
             "\" preserveAspectRatio=\"none\" xlink:href=\"data:image/bmp;base64," +
             Base64(bitmap->bmpFile) + "\"/>\n";
}

void Canvas::Text(wmfDrawText_t* t) {
    Frame(t->dc);
    const wmfDC* dc = t->dc;
    const FontSpec& font = state_.font;
    if (!t->str)
        return;
    // Negative heights give the em size, positive ones the cell height, about 1.15 em. Device
    // units here, along y.
    double em = std::abs(font.height) * std::abs(dc->pixel_height);
    if (font.height > 0)
        em /= 1.15;
    if (!(em > 0))
        em = frame_->Height() / 40;

    // libwmf placed the text for the alignment its device context holds (reset by SaveDC, and
    // with TA_RIGHT taken as TA_CENTER, TA_BOTTOM as TA_BASELINE); move it to where the real
    // alignment puts it. Along the text runs `dir`, across it `down`.
    const double angle = font.escapement / 10.0 * std::numbers::pi / 180;
    const double dirX = std::cos(-angle), dirY = std::sin(-angle);
    const double downX = -dirY, downY = dirX;
    const unsigned libAlign = dc->textalign;
    const unsigned align = state_.textAlign;
    const double libDrop = (libAlign & TA_BASELINE) ? 0 : t->font_height;
    double drop = 0;
    if ((align & TA_BASELINE) == TA_BOTTOM)
        drop = -0.21 * em;
    else if ((align & TA_BASELINE) != TA_BASELINE)
        drop = 0.9 * em;

    // With character spacing given, libwmf draws glyph by glyph, the first carrying a box as
    // wide as the string; otherwise it draws the string unmeasured, leaving alignment to us.
    const auto& box = t->bbox;
    // Measured along the text: for centred text libwmf puts the box's corners diagonally.
    const double boxWidth = (box.TR.x - box.TL.x) * dirX + (box.TR.y - box.TL.y) * dirY;
    const bool continuing = textRecord_ == played_;
    if (!continuing) {
        textRecord_ = played_;
        textAdvance_ = boxWidth;
    }
    const bool placed = continuing || boxWidth > 1e-6;
    const double advance = textAdvance_;
    const double libShift = placed && (libAlign & TA_CENTER) ? -advance / 2 : 0;
    double shift = 0;
    const char* anchor = "start";
    if ((align & TA_CENTER) == TA_CENTER) {
        shift = -advance / 2;
        anchor = "middle";
    } else if ((align & TA_CENTER) == TA_RIGHT) {
        shift = -advance;
        anchor = "end";
    }
    if (placed)
        anchor = "start";
    else
        shift = 0;
    const double x = t->pt.x + downX * (drop - libDrop) + dirX * (shift - libShift);
    const double y = t->pt.y + downY * (drop - libDrop) + dirY * (shift - libShift);

    if (t->flags & ETO_OPAQUE) {
        const Rect r = Rect{t->TL.x, t->TL.y, t->BR.x, t->BR.y}.Normalized();
        if (r.IsUsable() &&
            (!lastOpaqueBox_ || lastOpaqueBox_->x0 != r.x0 || lastOpaqueBox_->y0 != r.y0 ||
             lastOpaqueBox_->x1 != r.x1 || lastOpaqueBox_->y1 != r.y1)) {
            RectElement(r.x0, r.y0, r.x1, r.y1,
                        " fill=\"" + Color(state_.bkColor) + "\" stroke=\"none\"");
            lastOpaqueBox_ = r;
        }
    } else if (state_.bkMode == OPAQUE && !continuing && placed) {
        // The string's cell: ascent above the baseline, descent below.
        const double ax = x - downX * 0.9 * em, ay = y - downY * 0.9 * em;
        const double dx = x + downX * 0.21 * em, dy = y + downY * 0.21 * em;
        body_ += "<path d=\"M" + P(ax, ay) + "L" + P(ax + dirX * advance, ay + dirY * advance) +
                 " " + P(dx + dirX * advance, dy + dirY * advance) + " " + P(dx, dy) +
                 "Z\" fill=\"" + Color(state_.bkColor) + "\" stroke=\"none\"/>\n";
    }

    const std::string utf8 = codePages_.ToUtf8(t->str, font.charset);
    const std::string text = XmlEscape(utf8);
    if (text.empty())
        return;
    std::string family = XmlEscape(codePages_.ToUtf8(font.face, font.charset));
    if (family.empty()) {
        switch (font.pitchAndFamily & 0xF0) {
        case 0x10:
            family = "serif";
            break;
        case 0x30:
            family = "monospace";
            break;
        default:
            family = "sans-serif";
        }
    }
    const int weight = font.weight ? std::clamp<int>(font.weight, 100, 900) : 400;
    const double fontSize = em * sy_;
    const std::string attributes = " font-family=\"" + family + "\" font-size=\"" + Num(fontSize) +
                                   "\" font-weight=\"" + std::to_string(weight) +
                                   "\" font-style=\"" + (font.italic ? "italic" : "normal") +
                                   "\" text-anchor=\"" + anchor + "\" fill=\"" +
                                   Color(state_.textColor) + "\" stroke=\"none\"";
    const double gx = X(x), gy = Y(y);
    const bool oneGlyph =
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }) == 1;
    // A glyph beyond the margin is out of sight, and would cost the renderer all the same.
    if (oneGlyph && !Margin().Contains({gx, gy}))
        return;
    if (run_ && continuing && oneGlyph && run_->perGlyph && run_->record == played_ &&
        run_->attributes == attributes) {
        // Along and across the baseline from the run's first glyph. Glyphs far apart stay
        // separate elements: renderers that ignore per-glyph positions lay a run out with the
        // font's own advances.
        const double along = (gx - run_->x0) * run_->dirX + (gy - run_->y0) * run_->dirY;
        const double across = (gy - run_->y0) * run_->dirX - (gx - run_->x0) * run_->dirY;
        const double step = along - run_->last;
        if (std::abs(across) < 0.05 * fontSize && step > 0.05 * fontSize && step < fontSize) {
            run_->xs += " " + Num(run_->x0 + along);
            run_->text += text;
            run_->last = along;
            return;
        }
    }
    FlushText();
    // The rotation is that of the document's space, where the text direction may differ from
    // the device's when the two scale differently.
    const double docX = dirX * sx_, docY = dirY * sy_;
    const double length = std::hypot(docX, docY);
    const double degrees = std::atan2(docY, docX) * 180 / std::numbers::pi;
    run_ = TextRun{played_,
                   attributes,
                   gx,
                   gy,
                   length > 0 ? docX / length : 1,
                   length > 0 ? docY / length : 0,
                   std::abs(degrees) > 1e-6 ? degrees : 0,
                   0,
                   Num(gx),
                   text,
                   oneGlyph};
    Count();

    // Decorations need the string's advance, known only when libwmf placed the glyphs.
    if ((font.underline || font.strikeOut) && !continuing && placed) {
        const double thickness = em / 14;
        const auto bar = [&](double offset) {
            const double bx = x + downX * offset, by = y + downY * offset;
            body_ += "<path d=\"M" + P(bx, by) + "L" + P(bx + dirX * advance, by + dirY * advance) +
                     "\" fill=\"none\" stroke=\"" + Color(state_.textColor) + "\" stroke-width=\"" +
                     Num(thickness * sy_) + "\"/>\n";
        };
        if (font.underline)
            bar(0.12 * em);
        if (font.strikeOut)
            bar(-0.3 * em);
    }
}

void Canvas::FlushText() {
    if (!run_)
        return;
    const std::string at = Num(run_->x0) + " " + Num(run_->y0);
    const std::string rotate = run_->degrees != 0
                                   ? " transform=\"rotate(" + Num(run_->degrees) + " " + at + ")\""
                                   : std::string();
    body_ += "<text x=\"" + run_->xs + "\" y=\"" + Num(run_->y0) + "\"" + run_->attributes +
             rotate + " xml:space=\"preserve\">" + run_->text + "</text>\n";
    run_.reset();
}

void Canvas::RegionFrame(wmfPolyRectangle_t* r) {
    Touch(r->dc);
    if (!r->TL || !r->BR)
        return;
    const double width = (std::abs(r->width) * sx_ + std::abs(r->height) * sy_) / 2;
    for (unsigned i = 0; i < r->count; ++i)
        RectElement(r->TL[i].x, r->TL[i].y, r->BR[i].x, r->BR[i].y,
                    " fill=\"none\" stroke=\"" + Color(r->dc->brush->lbColor) +
                        "\" stroke-width=\"" + Num(width) + "\"");
}

void Canvas::RegionPaint(wmfPolyRectangle_t* r) {
    Touch(r->dc);
    if (!r->TL || !r->BR || !TO_FILL(r))
        return;
    const std::string style = Fill(r->dc) + " stroke=\"none\"";
    for (unsigned i = 0; i < r->count; ++i)
        RectElement(r->TL[i].x, r->TL[i].y, r->BR[i].x, r->BR[i].y, style);
}

void Canvas::RegionClip(wmfPolyRectangle_t* r) {
    Touch(r->dc);
    if (clipOpen_) {
        body_ += "</g>\n";
        clipOpen_ = false;
    }
    if (r->count == 0 || !r->TL || !r->BR)
        return;
    const std::string id = "clip" + std::to_string(++clipCount_);
    defs_ += "<clipPath id=\"" + id + "\">";
    for (unsigned i = 0; i < r->count; ++i) {
        const Rect c =
            Rect{X(r->TL[i].x), Y(r->TL[i].y), X(r->BR[i].x), Y(r->BR[i].y)}.Normalized();
        defs_ += "<rect x=\"" + Num(c.x0) + "\" y=\"" + Num(c.y0) + "\" width=\"" + Num(c.Width()) +
                 "\" height=\"" + Num(c.Height()) + "\"/>";
    }
    defs_ += "</clipPath>\n";
    body_ += "<g clip-path=\"url(#" + id + ")\">\n";
    clipOpen_ = true;
}

std::string Canvas::TakeDocument() {
    FlushText();
    if (clipOpen_)
        body_ += "</g>\n";
    clipOpen_ = false;
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" "
                      "xmlns:xlink=\"http://www.w3.org/1999/xlink\" version=\"1.1\" width=\"" +
                      Num(naturalWidth_ / 100) + "mm\" height=\"" + Num(naturalHeight_ / 100) +
                      "mm\" viewBox=\"0 0 " + Num(naturalWidth_) + " " + Num(naturalHeight_) +
                      "\" preserveAspectRatio=\"none\">\n";
    if (!defs_.empty())
        svg += "<defs>\n" + defs_ + "</defs>\n";
    svg += body_;
    svg += "</svg>\n";
    body_.clear();
    defs_.clear();
    return svg;
}

Canvas& CanvasOf(wmfAPI* api) {
    return *static_cast<Canvas*>(api->device_data);
}

// libwmf is C: no exception may cross it. A failure is kept and libwmf told to stop.
template <typename Call> void Guarded(wmfAPI* api, Call&& call) noexcept {
    Canvas& canvas = CanvasOf(api);
    if (canvas.failure)
        return;
    try {
        call(canvas);
    } catch (...) {
        canvas.failure = std::current_exception();
        api->err = wmf_E_DeviceError;
    }
}

void InstallDevice(wmfAPI* api) {
    auto* fr = static_cast<wmfFunctionReference*>(api->function_reference);
    fr->device_open = [](wmfAPI*) {};
    fr->device_close = [](wmfAPI*) {};
    fr->device_begin = [](wmfAPI*) {};
    fr->device_end = [](wmfAPI*) {};
    fr->flood_interior = [](wmfAPI*, wmfFlood_t*) {};
    fr->flood_exterior = [](wmfAPI*, wmfFlood_t*) {};
    fr->draw_pixel = [](wmfAPI* a, wmfDrawPixel_t* p) {
        Guarded(a, [p](Canvas& c) { c.Pixel(p); });
    };
    fr->draw_pie = [](wmfAPI* a, wmfDrawArc_t* p) { Guarded(a, [p](Canvas& c) { c.Arc(p, 1); }); };
    fr->draw_chord = [](wmfAPI* a, wmfDrawArc_t* p) {
        Guarded(a, [p](Canvas& c) { c.Arc(p, 2); });
    };
    fr->draw_arc = [](wmfAPI* a, wmfDrawArc_t* p) { Guarded(a, [p](Canvas& c) { c.Arc(p, 0); }); };
    fr->draw_ellipse = [](wmfAPI* a, wmfDrawArc_t* p) {
        Guarded(a, [p](Canvas& c) { c.Ellipse(p); });
    };
    fr->draw_line = [](wmfAPI* a, wmfDrawLine_t* p) { Guarded(a, [p](Canvas& c) { c.Line(p); }); };
    fr->poly_line = [](wmfAPI* a, wmfPolyLine_t* p) {
        Guarded(a, [p](Canvas& c) { c.PolyLine(p); });
    };
    fr->draw_polygon = [](wmfAPI* a, wmfPolyLine_t* p) {
        Guarded(a, [p](Canvas& c) { c.Polygon(p); });
    };
    fr->draw_polypolygon = [](wmfAPI* a, wmfPolyPoly_t* p) {
        Guarded(a, [p](Canvas& c) { c.PolyPolygon(p); });
    };
    fr->draw_rectangle = [](wmfAPI* a, wmfDrawRectangle_t* p) {
        Guarded(a, [p](Canvas& c) { c.Rectangle(p); });
    };
    fr->rop_draw = [](wmfAPI* a, wmfROP_Draw_t* p) {
        Guarded(a, [p](Canvas& c) { c.RopDraw(p); });
    };
    fr->bmp_draw = [](wmfAPI* a, wmfBMP_Draw_t* p) {
        Guarded(a, [p](Canvas& c) { c.BitmapDraw(p); });
    };
    fr->bmp_read = [](wmfAPI* a, wmfBMP_Read_t* p) {
        Guarded(a, [p](Canvas& c) { c.BitmapRead(p); });
    };
    fr->bmp_free = [](wmfAPI*, wmfBMP* b) { b->data = nullptr; };
    fr->draw_text = [](wmfAPI* a, wmfDrawText_t* p) { Guarded(a, [p](Canvas& c) { c.Text(p); }); };
    fr->udata_init = [](wmfAPI*, wmfUserData_t*) {};
    fr->udata_copy = [](wmfAPI*, wmfUserData_t*) {};
    fr->udata_set = [](wmfAPI*, wmfUserData_t*) {};
    fr->udata_free = [](wmfAPI*, wmfUserData_t*) {};
    fr->region_frame = [](wmfAPI* a, wmfPolyRectangle_t* p) {
        Guarded(a, [p](Canvas& c) { c.RegionFrame(p); });
    };
    fr->region_paint = [](wmfAPI* a, wmfPolyRectangle_t* p) {
        Guarded(a, [p](Canvas& c) { c.RegionPaint(p); });
    };
    fr->region_clip = [](wmfAPI* a, wmfPolyRectangle_t* p) {
        Guarded(a, [p](Canvas& c) { c.RegionClip(p); });
    };
}

std::string Describe(wmf_error_t error) {
    switch (error) {
    case wmf_E_InsMem:
        return "there is not enough memory to decode it";
    case wmf_E_EOF:
        return "the file is truncated";
    case wmf_E_BadFormat:
    case wmf_E_BadFile:
        return "the file is not a valid WMF picture";
    case wmf_E_DeviceError:
    case wmf_E_Glitch:
    case wmf_E_Assert:
        return "the file has corrupt drawing records";
    default:
        return "the WMF decoder failed (error " + std::to_string(static_cast<int>(error)) + ")";
    }
}

// Owns one libwmf instance.
class Player {
public:
    Player(Canvas& canvas, wmfFontData& fonts) {
        wmfAPI_Options options{};
        options.function = &InstallDevice;
        const unsigned long flags =
            WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
        const wmf_error_t error = wmf_lite_create(&api_, flags, &options);
        if (error != wmf_E_None || !api_)
            throw DecodeError(Describe(error));
        api_->device_data = &canvas;
        api_->font_data = &fonts;
    }
    ~Player() {
        // Not ours to free: libwmf releases only what it allocated.
        api_->device_data = nullptr;
        api_->font_data = nullptr;
        wmf_lite_destroy(api_);
    }
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;
    wmfAPI* get() const { return api_; }

private:
    wmfAPI* api_ = nullptr;
};

} // namespace

DecodedDrawing DecodeWmf(std::span<unsigned char> bytes, const CodePages& codePages) {
    const std::optional<Placeable> placeable = ReadPlaceable(bytes);
    DecodedDrawing drawing;
    if (placeable) {
        if (placeable->unitsPerInch <= 0)
            throw DecodeError("the header gives no scale for the picture");
        drawing.width =
            std::abs(placeable->box.Width()) * kHundredthsMmPerInch / placeable->unitsPerInch;
        drawing.height =
            std::abs(placeable->box.Height()) * kHundredthsMmPerInch / placeable->unitsPerInch;
        CheckNaturalSize(drawing.width, drawing.height);
    }

    const std::size_t recordsStart = (placeable ? kPlaceableSize : 0) + kStandardHeaderSize;
    CheckHeader(bytes, recordsStart);
    std::vector<unsigned char> file = WithoutEmptyPolygons(bytes, recordsStart);
    SetLargestRecord(file, recordsStart);
    const std::size_t objects = ReadU16(file, recordsStart - kStandardHeaderSize + 10);
    Canvas canvas(placeable, ReadRecords(file, recordsStart), objects, bytes.size(), codePages);
    // Text is measured by the viewer's renderer, not here: a zero width leaves alignment to it.
    wmfFontData fonts{};
    fonts.map = [](wmfAPI*, wmfFont* font) { font->user_data = nullptr; };
    fonts.stringwidth = [](wmfAPI*, wmfFont*, char*) { return 0.0f; };
    Player player(canvas, fonts);
    wmfAPI* api = player.get();

    wmf_status_function(api, &canvas, [](void* context, float) noexcept -> int {
        auto& c = *static_cast<Canvas*>(context);
        try {
            c.RecordPlayed();
            return 0;
        } catch (...) {
            c.failure = std::current_exception();
            return 1;
        }
    });

    wmf_error_t error = wmf_mem_open(api, file.data(), static_cast<long>(file.size()));
    if (error != wmf_E_None)
        throw DecodeError(Describe(error));
    error = wmf_scan(api, 0, &canvas.scanBounds);
    if (canvas.failure)
        std::rethrow_exception(canvas.failure);
    if (error != wmf_E_None)
        throw DecodeError(Describe(error));
    wmfD_Rect played{};
    error = wmf_play(api, 0, &played);
    if (canvas.failure)
        std::rethrow_exception(canvas.failure);
    if (error != wmf_E_None)
        throw DecodeError(Describe(error));

    if (canvas.HasFrame()) {
        drawing.width = canvas.NaturalWidth();
        drawing.height = canvas.NaturalHeight();
        drawing.svg = canvas.TakeDocument();
    } else if (placeable) {
        drawing.svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " +
                      Num(drawing.width) + " " + Num(drawing.height) + "\"/>\n";
    } else {
        throw DecodeError("the picture draws nothing and states no size");
    }
    return drawing;
}

} // namespace pictures::metafile
