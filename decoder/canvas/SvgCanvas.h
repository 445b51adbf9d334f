// The SVG document a metafile player draws into, in hundredths of a millimetre with the
// picture's frame at the origin. It keeps the answer bounded: elements under the answer's
// limits, shapes cut to a margin around the frame, spaced glyphs gathered into runs.
#pragma once

#include "decoder/gdi/Clip.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace pictures::metafile {

// Glyphs drawn at one origin, in document units.
struct Glyphs {
    std::size_t record = 0;  // glyphs of one record only join a run
    bool continuing = false; // a later piece of a record drawn piece by piece
    std::string attributes;  // font and colour attributes
    double x = 0, y = 0;
    double dirX = 1, dirY = 0; // unit vector along the baseline
    double degrees = 0;        // the baseline's rotation
    double fontSize = 0;
    std::string utf8;
};

class SvgCanvas {
public:
    // `budget`: bytes of SVG the drawing may grow into.
    explicit SvgCanvas(std::size_t budget) : budget_(budget) {}

    // The picture's size, which is the view box; set before drawing.
    void SetSize(double width, double height);
    double Width() const { return width_; }
    double Height() const { return height_; }

    // The frame and a tenth of the picture around it: shapes are cut to it.
    Box Margin() const;

    // Path data of a polygon (closed) or polyline, cut to the margin when it strays beyond it;
    // empty when nothing of it is left.
    std::string PathData(const std::vector<Point>& points, bool closed) const;

    // One element, its markup whole; throws DecodeError past the answer's limits.
    void Add(const std::string& element);
    // An axis-aligned rectangle, corners in any order, cut to the margin.
    void AddRect(double x0, double y0, double x1, double y1, const std::string& style);
    // Joins the run of the glyphs before when it continues it, else starts a text element.
    void AddGlyphs(const Glyphs& glyphs);
    // Clips what follows to the union of the boxes (none: no clipping). Renderers of the SVG
    // Tiny profile ignore clip paths, so shapes are cut here: outlines and fills of shapes
    // through AddClippedShape, rectangles and glyphs as they are added; images are not cut.
    void SetClip(const std::vector<Box>& boxes);
    // Whether a shape within `bounds` must be cut: some clip applies and no box holds it whole.
    bool Clips(const Box& bounds) const;
    // A shape cut to the clipping boxes: its fill (closed rings only) and its outline, each
    // an element of its own; `fill` and `stroke` are their style attributes.
    void AddClippedShape(const std::vector<std::vector<Point>>& rings, bool closed,
                         const std::string& fill, const std::string& stroke);
    // A shape of one or more rings: one path element cut to the margin, or cut to the clip when
    // the clip reaches into it.
    void AddShape(const std::vector<std::vector<Point>>& rings, bool closed,
                  const std::string& fill, const std::string& stroke);
    // The smallest box holding every point of the rings; x0 > x1 when there are none.
    static Box BoundsOf(const std::vector<std::vector<Point>>& rings);

    std::string TakeDocument();

private:
    struct TextRun {
        std::size_t record = 0;
        std::string attributes;
        double x0 = 0, y0 = 0, dirX = 1, dirY = 0, degrees = 0;
        double last = 0; // the last glyph's distance from the first along the baseline
        std::string xs;
        std::string text;
        bool perGlyph = true; // one glyph per position so far
    };
    void Count();
    void FlushText();

    std::size_t budget_;
    std::size_t elements_ = 0;
    double width_ = 0, height_ = 0;
    std::string body_;
    std::optional<TextRun> run_;
    std::vector<Box> clip_;
};

} // namespace pictures::metafile
