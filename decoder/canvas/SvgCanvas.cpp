#include "decoder/canvas/SvgCanvas.h"

#include "decoder/gdi/Decoded.h"
#include "decoder/Limits.h"
#include "decoder/canvas/SvgText.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace pictures::metafile {
namespace {

// Appends the path data of a polyline, closed or not.
void WritePath(const std::vector<Point>& line, bool close, std::string& d) {
    for (std::size_t i = 0; i < line.size(); ++i)
        d += (i == 0 ? "M" : " ") + Num(line[i].x) + "," + Num(line[i].y);
    if (close && !line.empty())
        d += "Z";
}

} // namespace

void SvgCanvas::SetSize(double width, double height) {
    width_ = width;
    height_ = height;
}

Box SvgCanvas::Margin() const {
    // Wide enough that cut edges, and strokes along them, stay out of sight.
    const double m = std::max(width_, height_) / 10;
    return {-m, -m, width_ + m, height_ + m};
}

std::string SvgCanvas::PathData(const std::vector<Point>& points, bool closed) const {
    const Box margin = Margin();
    std::string d;
    if (std::all_of(points.begin(), points.end(),
                    [&margin](const Point& p) { return margin.Contains(p); }))
        WritePath(points, closed, d);
    else if (closed)
        WritePath(ClipPolygon(points, margin), true, d);
    else
        for (const std::vector<Point>& part : ClipPolyline(points, margin))
            WritePath(part, false, d);
    return d;
}

void SvgCanvas::Count() {
    if (++elements_ > kMaxAnswerElements || body_.size() > budget_)
        throw DecodeError("the drawing is too large to show");
}

void SvgCanvas::Add(const std::string& element) {
    FlushText();
    Count();
    body_ += element;
}

void SvgCanvas::AddRect(double x0, double y0, double x1, double y1, const std::string& style) {
    if (Clips({std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)})) {
        // The parts inside each clipping box; the boxes of a region do not overlap.
        const std::vector<Box> boxes = std::exchange(clip_, {});
        for (const Box& b : boxes) {
            const double l = std::max(std::min(x0, x1), b.x0), r = std::min(std::max(x0, x1), b.x1);
            const double t = std::max(std::min(y0, y1), b.y0), u = std::min(std::max(y0, y1), b.y1);
            if (l < r && t < u)
                AddRect(l, t, r, u, style);
        }
        clip_ = boxes;
        return;
    }
    const Box m = Margin();
    x0 = std::clamp(x0, m.x0, m.x1);
    x1 = std::clamp(x1, m.x0, m.x1);
    y0 = std::clamp(y0, m.y0, m.y1);
    y1 = std::clamp(y1, m.y0, m.y1);
    Add("<rect x=\"" + Num(std::min(x0, x1)) + "\" y=\"" + Num(std::min(y0, y1)) + "\" width=\"" +
        Num(std::abs(x1 - x0)) + "\" height=\"" + Num(std::abs(y1 - y0)) + "\"" + style + "/>\n");
}

void SvgCanvas::AddGlyphs(const Glyphs& g) {
    const std::string text = XmlEscape(g.utf8);
    if (text.empty())
        return;
    const bool oneGlyph =
        std::count_if(g.utf8.begin(), g.utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }) == 1;
    // A glyph beyond the margin is out of sight, and would cost the renderer all the same; one
    // outside the clipping region is left out whole.
    if ((oneGlyph && !Margin().Contains({g.x, g.y})) || Clips({g.x, g.y, g.x, g.y}))
        return;
    if (run_ && g.continuing && oneGlyph && run_->perGlyph && run_->record == g.record &&
        run_->attributes == g.attributes) {
        // Along and across the baseline from the run's first glyph. Glyphs far apart stay
        // separate elements: renderers that ignore per-glyph positions lay a run out with the
        // font's own advances.
        const double along = (g.x - run_->x0) * run_->dirX + (g.y - run_->y0) * run_->dirY;
        const double across = (g.y - run_->y0) * run_->dirX - (g.x - run_->x0) * run_->dirY;
        const double step = along - run_->last;
        // A glyph of no advance is a writer's ligature part or a mark; it stays in the run.
        if (std::abs(across) < 0.05 * g.fontSize && step >= 0 && step < g.fontSize) {
            run_->xs += " " + Num(run_->x0 + along);
            run_->text += text;
            run_->last = along;
            return;
        }
    }
    FlushText();
    Count();
    run_ = TextRun{g.record, g.attributes, g.x,  g.y,     g.dirX, g.dirY, g.degrees,
                   0,        Num(g.x),     text, oneGlyph};
}

void SvgCanvas::FlushText() {
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

void SvgCanvas::SetClip(const std::vector<Box>& boxes) {
    clip_.clear();
    for (const Box& b : boxes)
        clip_.push_back({std::min(b.x0, b.x1), std::min(b.y0, b.y1), std::max(b.x0, b.x1),
                         std::max(b.y0, b.y1)});
}

bool SvgCanvas::Clips(const Box& bounds) const {
    return !clip_.empty() && std::none_of(clip_.begin(), clip_.end(), [&bounds](const Box& b) {
        return b.Contains({bounds.x0, bounds.y0}) && b.Contains({bounds.x1, bounds.y1});
    });
}

void SvgCanvas::AddClippedShape(const std::vector<std::vector<Point>>& rings, bool closed,
                                const std::string& fill, const std::string& stroke) {
    std::string area, outline;
    for (const Box& box : clip_) {
        for (const std::vector<Point>& ring : rings) {
            if (closed)
                WritePath(ClipPolygon(ring, box), true, area);
            std::vector<Point> line = ring;
            if (closed && !ring.empty())
                line.push_back(ring.front());
            for (const std::vector<Point>& part : ClipPolyline(line, box))
                WritePath(part, false, outline);
        }
    }
    if (!area.empty() && fill != " fill=\"none\"")
        Add("<path d=\"" + area + "\"" + fill + " stroke=\"none\"/>\n");
    if (!outline.empty() && stroke != " stroke=\"none\"")
        Add("<path d=\"" + outline + "\" fill=\"none\"" + stroke + "/>\n");
}

Box SvgCanvas::BoundsOf(const std::vector<std::vector<Point>>& rings) {
    Box bounds{1e300, 1e300, -1e300, -1e300};
    for (const std::vector<Point>& ring : rings)
        for (const Point& p : ring)
            bounds = {std::min(bounds.x0, p.x), std::min(bounds.y0, p.y), std::max(bounds.x1, p.x),
                      std::max(bounds.y1, p.y)};
    return bounds;
}

void SvgCanvas::AddShape(const std::vector<std::vector<Point>>& rings, bool closed,
                         const std::string& fill, const std::string& stroke) {
    if (Clips(BoundsOf(rings))) {
        AddClippedShape(rings, closed, fill, stroke);
        return;
    }
    std::string d;
    for (const std::vector<Point>& ring : rings)
        d += PathData(ring, closed);
    if (!d.empty())
        Add("<path d=\"" + d + "\"" + fill + stroke + "/>\n");
}

std::string SvgCanvas::TakeDocument() {
    FlushText();
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" "
                      "xmlns:xlink=\"http://www.w3.org/1999/xlink\" version=\"1.1\" width=\"" +
                      Num(width_ / 100) + "mm\" height=\"" + Num(height_ / 100) +
                      "mm\" viewBox=\"0 0 " + Num(width_) + " " + Num(height_) +
                      "\" preserveAspectRatio=\"none\">\n";
    svg += body_;
    svg += "</svg>\n";
    body_.clear();
    return svg;
}

} // namespace pictures::metafile
