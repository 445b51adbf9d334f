#include "pictures/metafile/WmfDevice.h"

#include <libwmf/defs.h>
#include <libwmf/macro.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pictures::metafile {
namespace {

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

} // namespace

std::string Color(const wmfRGB& c) {
    return HexColor(c.r, c.g, c.b);
}

// libwmf: device = (logical - window origin) * pixel size, the sign following the window.
Rect WmfDevice::ToDevice(const wmfDC* dc, const Rect& logical) {
    const bool scaled = dc->map_mode == kMmIsotropic || dc->map_mode == kMmAnisotropic;
    const auto signedPixel = [scaled](double pixel, double windowExtent) {
        return scaled || windowExtent >= 0 ? pixel : -pixel;
    };
    const double pw = signedPixel(dc->pixel_width, dc->Window.width);
    const double ph = signedPixel(dc->pixel_height, dc->Window.height);
    return Rect{(logical.x0 - dc->Window.Ox) * pw, (logical.y0 - dc->Window.Oy) * ph,
                (logical.x1 - dc->Window.Ox) * pw, (logical.y1 - dc->Window.Oy) * ph}
        .Normalized();
}

void WmfDevice::Frame(const wmfDC* dc) {
    if (!frame_)
        FixFrame(dc);
    // libwmf keeps a clipping region the records select to itself; apply it here.
    if (clipSelections_ != state_.ClipSelections()) {
        clipSelections_ = state_.ClipSelections();
        std::vector<Box> boxes;
        for (const Rect& logical : state_.SelectedClip()) {
            const Rect r = ToDevice(dc, logical);
            boxes.push_back({X(r.x0), Y(r.y0), X(r.x1), Y(r.y1)});
        }
        svg_.SetClip(boxes);
    }
}

// The first drawing call's device context tells how logical units map to device units, and
// so where the picture's frame lies and, without a placeable header, how large it is.
void WmfDevice::FixFrame(const wmfDC* dc) {
    const int mode = dc->map_mode;
    const bool scaled = mode == kMmIsotropic || mode == kMmAnisotropic;
    const auto toDevice = [dc](const Rect& logical) { return ToDevice(dc, logical); };

    // libwmf starts with a 1024-unit window; only one the records set marks the picture.
    const bool windowSet = state_.WindowSet() && dc->Window.width != 0 && dc->Window.height != 0;
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

    double naturalWidth = 0, naturalHeight = 0;
    if (placeable_) {
        naturalWidth =
            std::abs(placeable_->box.Width()) * kHundredthsMmPerInch / placeable_->unitsPerInch;
        naturalHeight =
            std::abs(placeable_->box.Height()) * kHundredthsMmPerInch / placeable_->unitsPerInch;
    } else if (scaled && windowSet) {
        naturalWidth = std::abs(dc->Window.width) * kHundredthsMmPerInch / kLogicalUnitsPerInch;
        naturalHeight = std::abs(dc->Window.height) * kHundredthsMmPerInch / kLogicalUnitsPerInch;
    } else {
        const double perInch = mode == kMmText ? kLogicalUnitsPerInch : kPointsPerInch;
        naturalWidth = frame.Width() * kHundredthsMmPerInch / perInch;
        naturalHeight = frame.Height() * kHundredthsMmPerInch / perInch;
    }
    CheckNaturalSize(naturalWidth, naturalHeight);
    svg_.SetSize(naturalWidth, naturalHeight);
    frame_ = frame;
    sx_ = naturalWidth / frame.Width();
    sy_ = naturalHeight / frame.Height();
}

std::string WmfDevice::Fill(const wmfDC* dc) const {
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
    style +=
        state_.Current().polyFill == WINDING ? " fill-rule=\"nonzero\"" : " fill-rule=\"evenodd\"";
    return style;
}

std::string WmfDevice::Stroke(const wmfDC* dc) const {
    const wmfPen* pen = dc->pen;
    const unsigned style = WMF_PEN_STYLE(pen);
    if (style == PS_NULL)
        return " stroke=\"none\"";
    std::string s = " stroke=\"" + Color(pen->lopnColor) + "\"";
    // The width is in logical units along x; the mapping is current while drawing.
    double width = state_.Current().penWidth * std::abs(dc->pixel_width) * sx_;
    // GDI never draws a line thinner than a device pixel; keep hairlines visible at any size.
    const double side = std::max(svg_.Width(), svg_.Height());
    if (state_.Current().penWidth == 0 || !(width >= side / 1000)) {
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

std::vector<Point> WmfDevice::DocPoints(const wmfD_Coord* points, unsigned count) const {
    std::vector<Point> doc(count);
    for (unsigned i = 0; i < count; ++i)
        doc[i] = {X(points[i].x), Y(points[i].y)};
    return doc;
}

bool WmfDevice::DrawnClipped(const std::vector<std::vector<Point>>& rings, bool closed,
                             const std::string& fill, const std::string& stroke) {
    if (!svg_.Clips(SvgCanvas::BoundsOf(rings)))
        return false;
    svg_.AddClippedShape(rings, closed, fill, stroke);
    return true;
}

namespace {

// An ellipse's outline from `start` through `sweep` radians, in document units.
std::vector<Point> EllipseArc(double cx, double cy, double rx, double ry, double start,
                              double sweep) {
    constexpr int kSteps = 96;
    const int steps =
        std::max(2, static_cast<int>(std::ceil(kSteps * sweep / (2 * std::numbers::pi))));
    std::vector<Point> points;
    for (int i = 0; i <= steps; ++i) {
        const double a = start + sweep * i / steps;
        points.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
    }
    return points;
}

} // namespace

void WmfDevice::Pixel(wmfDrawPixel_t* p) {
    Frame(p->dc);
    RectElement(p->pt.x, p->pt.y, p->pt.x + p->pixel_width, p->pt.y + p->pixel_height,
                " fill=\"" + Color(p->color) + "\" stroke=\"none\"");
}

// kind: 0 open arc, 1 pie, 2 chord. libwmf gives the start and end points relative to the
// centre, on the radials rather than on the ellipse.
void WmfDevice::Arc(wmfDrawArc_t* a, int kind) {
    Frame(a->dc);
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
    const std::string fillStyle = fill ? Fill(a->dc) : std::string(" fill=\"none\"");
    const std::string stroke = Stroke(a->dc);
    {
        std::vector<Point> ring = EllipseArc(X(cx), Y(cy), rx * sx_, ry * sy_, startAngle, sweep);
        if (kind == 1)
            ring.push_back({X(cx), Y(cy)});
        if (DrawnClipped({ring}, kind != 0, fillStyle, stroke))
            return;
    }
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
    svg_.Add("<path d=\"" + d + "\"" + fillStyle + stroke + "/>\n");
}

void WmfDevice::Ellipse(wmfDrawArc_t* a) {
    Frame(a->dc);
    if (!TO_FILL(a) && !TO_DRAW(a))
        return;
    const std::string fill = Fill(a->dc), stroke = Stroke(a->dc);
    if (DrawnClipped({EllipseArc(X((a->TL.x + a->BR.x) / 2), Y((a->TL.y + a->BR.y) / 2),
                                 std::abs(a->BR.x - a->TL.x) / 2 * sx_,
                                 std::abs(a->BR.y - a->TL.y) / 2 * sy_, 0, 2 * std::numbers::pi)},
                     true, fill, stroke))
        return;
    svg_.Add("<ellipse cx=\"" + Num(X((a->TL.x + a->BR.x) / 2)) + "\" cy=\"" +
             Num(Y((a->TL.y + a->BR.y) / 2)) + "\" rx=\"" +
             Num(std::abs(a->BR.x - a->TL.x) / 2 * sx_) + "\" ry=\"" +
             Num(std::abs(a->BR.y - a->TL.y) / 2 * sy_) + "\"" + fill + stroke + "/>\n");
}

void WmfDevice::Line(wmfDrawLine_t* l) {
    Frame(l->dc);
    if (!TO_DRAW(l))
        return;
    const wmfD_Coord ends[] = {l->from, l->to};
    svg_.AddShape({DocPoints(ends, 2)}, false, " fill=\"none\"", Stroke(l->dc));
}

void WmfDevice::PolyLine(wmfPolyLine_t* p) {
    Frame(p->dc);
    if (p->count < 2 || !p->pt || !TO_DRAW(p))
        return;
    svg_.AddShape({DocPoints(p->pt, p->count)}, false, " fill=\"none\"", Stroke(p->dc));
}

void WmfDevice::Polygon(wmfPolyLine_t* p) {
    Frame(p->dc);
    if (p->count < 2 || !p->pt || (!TO_FILL(p) && !TO_DRAW(p)))
        return;
    svg_.AddShape({DocPoints(p->pt, p->count)}, true, Fill(p->dc), Stroke(p->dc));
}

void WmfDevice::PolyPolygon(wmfPolyPoly_t* p) {
    Frame(p->dc);
    if (!p->pt || !p->count || (!TO_FILL(p) && !TO_DRAW(p)))
        return;
    std::vector<std::vector<Point>> rings;
    for (unsigned n = 0; n < p->npoly; ++n)
        if (p->pt[n] && p->count[n] >= 2)
            rings.push_back(DocPoints(p->pt[n], p->count[n]));
    svg_.AddShape(rings, true, Fill(p->dc), Stroke(p->dc));
}

void WmfDevice::Rectangle(wmfDrawRectangle_t* r) {
    Frame(r->dc);
    if (!TO_FILL(r) && !TO_DRAW(r))
        return;
    const double x0 = X(r->TL.x), y0 = Y(r->TL.y), x1 = X(r->BR.x), y1 = Y(r->BR.y);
    const std::string fill = Fill(r->dc), stroke = Stroke(r->dc);
    if (DrawnClipped({{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}}, true, fill, stroke))
        return;
    std::string style = fill + stroke;
    if (r->width > 0 || r->height > 0)
        style = " rx=\"" + Num(std::abs(r->width) / 2 * sx_) + "\" ry=\"" +
                Num(std::abs(r->height) / 2 * sy_) + "\"" + style;
    RectElement(r->TL.x, r->TL.y, r->BR.x, r->BR.y, style);
}

void WmfDevice::RopDraw(wmfROP_Draw_t* r) {
    Frame(r->dc);
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

} // namespace pictures::metafile
