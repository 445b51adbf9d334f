#include "pictures/metafile/SvgCanvas.h"

#include "pictures/metafile/Decoded.h"
#include "pictures/metafile/HelperProtocol.h"
#include "pictures/metafile/SvgText.h"

#include <algorithm>
#include <cmath>

namespace pictures::metafile {

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
    const auto write = [](const std::vector<Point>& line, bool close) {
        std::string d;
        for (const Point& p : line) {
            d += d.empty() ? 'M' : ' ';
            d += Num(p.x) + "," + Num(p.y);
        }
        return close && !d.empty() ? d + "Z" : d;
    };
    if (std::all_of(points.begin(), points.end(),
                    [&margin](const Point& p) { return margin.Contains(p); }))
        return write(points, closed);
    if (closed)
        return write(ClipPolygon(points, margin), true);
    std::string d;
    for (const std::vector<Point>& part : ClipPolyline(points, margin))
        d += write(part, false);
    return d;
}

void SvgCanvas::Count() {
    if (++elements_ > kMaxAnswerElements || body_.size() + defs_.size() > budget_)
        throw DecodeError("the drawing is too large to show");
}

void SvgCanvas::Add(const std::string& element) {
    FlushText();
    Count();
    body_ += element;
}

void SvgCanvas::AddRect(double x0, double y0, double x1, double y1, const std::string& style) {
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
    // A glyph beyond the margin is out of sight, and would cost the renderer all the same.
    if (oneGlyph && !Margin().Contains({g.x, g.y}))
        return;
    if (run_ && g.continuing && oneGlyph && run_->perGlyph && run_->record == g.record &&
        run_->attributes == g.attributes) {
        // Along and across the baseline from the run's first glyph. Glyphs far apart stay
        // separate elements: renderers that ignore per-glyph positions lay a run out with the
        // font's own advances.
        const double along = (g.x - run_->x0) * run_->dirX + (g.y - run_->y0) * run_->dirY;
        const double across = (g.y - run_->y0) * run_->dirX - (g.x - run_->x0) * run_->dirY;
        const double step = along - run_->last;
        if (std::abs(across) < 0.05 * g.fontSize && step > 0.05 * g.fontSize && step < g.fontSize) {
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
    FlushText();
    if (clipOpen_) {
        body_ += "</g>\n";
        clipOpen_ = false;
    }
    if (boxes.empty())
        return;
    Count();
    const std::string id = "clip" + std::to_string(++clipCount_);
    defs_ += "<clipPath id=\"" + id + "\">";
    for (const Box& b : boxes) {
        defs_ += "<rect x=\"" + Num(std::min(b.x0, b.x1)) + "\" y=\"" + Num(std::min(b.y0, b.y1)) +
                 "\" width=\"" + Num(std::abs(b.x1 - b.x0)) + "\" height=\"" +
                 Num(std::abs(b.y1 - b.y0)) + "\"/>";
    }
    defs_ += "</clipPath>\n";
    body_ += "<g clip-path=\"url(#" + id + ")\">\n";
    clipOpen_ = true;
}

std::string SvgCanvas::TakeDocument() {
    FlushText();
    if (clipOpen_)
        body_ += "</g>\n";
    clipOpen_ = false;
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" "
                      "xmlns:xlink=\"http://www.w3.org/1999/xlink\" version=\"1.1\" width=\"" +
                      Num(width_ / 100) + "mm\" height=\"" + Num(height_ / 100) +
                      "mm\" viewBox=\"0 0 " + Num(width_) + " " + Num(height_) +
                      "\" preserveAspectRatio=\"none\">\n";
    if (!defs_.empty())
        svg += "<defs>\n" + defs_ + "</defs>\n";
    svg += body_;
    svg += "</svg>\n";
    body_.clear();
    defs_.clear();
    return svg;
}

} // namespace pictures::metafile
