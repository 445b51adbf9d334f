// Styles of EMF+ drawing: fills of colours and brushes (gradients as SVG gradients),
// and strokes of pens.
#include "decoder/emfplus/EmfPlusPlayer.h"

#include "decoder/canvas/SvgText.h"

#include <algorithm>
#include <cmath>

namespace pictures::metafile {
namespace {

std::string Opacity(const char* name, std::uint8_t alpha) {
    return alpha == 255 ? std::string()
                        : " " + std::string(name) + "=\"" + Num(alpha / 255.0) + "\"";
}

} // namespace

std::string EmfPlusPlayer::Fill(Argb c, bool evenOdd) const {
    if (c.a == 0)
        return kNoFill;
    return " fill=\"" + HexColor(c.r, c.g, c.b) + "\"" + Opacity("fill-opacity", c.a) +
           (evenOdd ? " fill-rule=\"evenodd\"" : "");
}

std::string EmfPlusPlayer::Stroke(const EmfPlusPen& pen) const {
    if (pen.color.a == 0)
        return kNoStroke;
    // Widths in world units follow the whole transform, others only the world's; never below
    // a device pixel.
    const double pixel = std::sqrt(std::abs(toDocument_.sx * toDocument_.sy));
    const EmfPlusGraphics& g = state_.Current();
    const double world = g.world.Then(g.container).Scale();
    double width = pen.unit == 0 ? pen.width * ToDocument().Scale()
                                 : pen.width * state_.UnitSize(pen.unit).x * world * pixel;
    // A stroke wider than the picture covers it all; the renderer's cost grows with width.
    const double side = std::max(canvas_.Width(), canvas_.Height());
    if (!std::isfinite(width) || width < pixel)
        width = pixel;
    width = std::min(width, side);
    std::string s = " stroke=\"" + HexColor(pen.color.r, pen.color.g, pen.color.b) + "\"" +
                    Opacity("stroke-opacity", pen.color.a) + " stroke-width=\"" + Num(width) + "\"";
    static const char* const caps[] = {"butt", "square", "round"};
    if (pen.startCap >= 1 && pen.startCap <= 2)
        s += " stroke-linecap=\"" + std::string(caps[pen.startCap]) + "\"";
    if (pen.join == 1 || pen.join == 2)
        s += pen.join == 1 ? " stroke-linejoin=\"bevel\"" : " stroke-linejoin=\"round\"";
    else if (pen.miterLimit != 4)
        s += " stroke-miterlimit=\"" + Num(pen.miterLimit) + "\"";
    static const std::vector<std::vector<double>> styles = {
        {}, {3, 1}, {1, 1}, {3, 1, 1, 1}, {3, 1, 1, 1, 1, 1}};
    const std::vector<double>& dashes =
        pen.style == 5 ? pen.dashes : styles[static_cast<std::size_t>(std::clamp(pen.style, 0, 4))];
    double sum = 0;
    for (const double d : dashes)
        sum += d;
    if (sum > 0) {
        // Dashes of a few pixels at least: the renderer walks every one of them.
        const double stretch = std::max(width, 16 * tolerance_ / sum);
        std::string list;
        for (const double d : dashes)
            list += (list.empty() ? "" : " ") + Num(d * stretch);
        s += " stroke-dasharray=\"" + list + "\"";
    }
    return s;
}

std::string EmfPlusPlayer::BrushFill(unsigned flags, std::uint32_t brush, bool evenOdd) {
    if (flags & 0x8000) // the brush is a colour given inline
        return Fill(Argb::FromU32(brush), evenOdd);
    const EmfPlusBrush& b = Get<EmfPlusBrush>(brush);
    if (!b.gradient || b.gradient->w == 0 || (b.gradient->radial && b.gradient->h == 0))
        return Fill(b.color, evenOdd);
    const EmfPlusGradient& g = *b.gradient;
    static const char* const spread[] = {"repeat", "reflect", "repeat", "reflect", "pad"};
    const std::string id = "emfplus-gradient-" + std::to_string(gradients_++);
    std::string element;
    if (g.radial) {
        // The unit circle onto the ellipse in the bounds; the centre point is its focus.
        const double rx = g.w / 2, ry = g.h / 2;
        const Matrix m =
            Matrix{rx, 0, 0, ry, g.x + rx, g.y + ry}.Then(g.transform).Then(ToDocument());
        if (!m.IsFinite())
            throw DecodeError("the file has a corrupt record");
        double fx = (g.centreX - g.x - rx) / rx, fy = (g.centreY - g.y - ry) / ry;
        const double reach = std::hypot(fx, fy);
        if (!(reach < 0.99)) {
            fx = std::isfinite(reach) && reach > 0 ? fx * 0.99 / reach : 0;
            fy = std::isfinite(reach) && reach > 0 ? fy * 0.99 / reach : 0;
        }
        element = "<defs><radialGradient id=\"" + id +
                  "\" gradientUnits=\"userSpaceOnUse\" cx=\"0\" cy=\"0\" r=\"1\" fx=\"" + Num(fx) +
                  "\" fy=\"" + Num(fy) + "\" gradientTransform=\"" + SvgMatrix(m) + "\">";
    } else {
        const Matrix m = g.transform.Then(ToDocument());
        if (!m.IsFinite())
            throw DecodeError("the file has a corrupt record");
        element = "<defs><linearGradient id=\"" + id + "\" gradientUnits=\"userSpaceOnUse\" x1=\"" +
                  Num(g.x) + "\" y1=\"" + Num(g.y) + "\" x2=\"" + Num(g.x + g.w) + "\" y2=\"" +
                  Num(g.y) + "\" gradientTransform=\"" + SvgMatrix(m) + "\" spreadMethod=\"" +
                  spread[std::clamp(g.wrap, 0, 4)] + "\">";
    }
    for (const auto& [offset, c] : g.stops)
        element += "<stop offset=\"" + Num(offset) + "\" stop-color=\"" + HexColor(c.r, c.g, c.b) +
                   "\"" + Opacity("stop-opacity", c.a) + "/>";
    try {
        canvas_.Add(element +
                    (g.radial ? "</radialGradient></defs>\n" : "</linearGradient></defs>\n"));
    } catch (const DecodeError&) {
        full_ = true;
        throw;
    }
    return " fill=\"url(#" + id + ")\"" + (evenOdd ? " fill-rule=\"evenodd\"" : "");
}

} // namespace pictures::metafile
