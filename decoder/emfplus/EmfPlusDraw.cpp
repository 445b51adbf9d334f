// EMF+ drawing records: shapes filled and outlined as SVG paths in document units, cut to the
// clip and the canvas margin; bitmaps as SVG images.
#include "decoder/emfplus/EmfPlusPlayer.h"

#include "decoder/canvas/SvgText.h"

#include <algorithm>
#include <cmath>

namespace pictures::metafile {
namespace {

enum Type : unsigned {
    kClear = 0x4009,
    kFillRects = 0x400A,
    kDrawRects = 0x400B,
    kFillPolygon = 0x400C,
    kDrawLines = 0x400D,
    kFillEllipse = 0x400E,
    kDrawEllipse = 0x400F,
    kFillPie = 0x4010,
    kDrawPie = 0x4011,
    kDrawArc = 0x4012,
    kFillRegion = 0x4013,
    kFillPath = 0x4014,
    kDrawPath = 0x4015,
    kFillClosedCurve = 0x4016,
    kDrawClosedCurve = 0x4017,
    kDrawCurve = 0x4018,
    kDrawBeziers = 0x4019,
    kDrawImage = 0x401A,
    kDrawImagePoints = 0x401B,
    kDrawString = 0x401C,
    kDrawDriverString = 0x4036,
};

struct RectF {
    double x = 0, y = 0, w = 0, h = 0;
};

RectF ReadRect(const LittleEndian& b, std::size_t at, bool compressed) {
    if (compressed)
        return {double(b.S16(at)), double(b.S16(at + 2)), double(b.S16(at + 4)),
                double(b.S16(at + 6))};
    return {b.FiniteF32(at), b.FiniteF32(at + 4), b.FiniteF32(at + 8), b.FiniteF32(at + 12)};
}

std::vector<Point> Corners(const RectF& r) {
    return {{r.x, r.y}, {r.x + r.w, r.y}, {r.x + r.w, r.y + r.h}, {r.x, r.y + r.h}};
}

std::vector<Point> ReadPoints(const LittleEndian& b, std::size_t countAt, unsigned flags) {
    return ReadEmfPlusPoints(b, countAt + 4, b.U32(countAt), flags & kCompressed,
                             flags & kRelative);
}

} // namespace

void EmfPlusPlayer::Shape(const std::vector<Figure>& figures, const std::string& fill,
                          const std::string& stroke) {
    if (!UseClip())
        return;
    const auto emit = [this](const std::vector<const Figure*>& parts, bool closed,
                             const std::string& f, const std::string& s) {
        std::vector<std::vector<Point>> rings;
        for (const Figure* figure : parts) {
            for (const Point& p : figure->points)
                if (!std::isfinite(p.x) || !std::isfinite(p.y))
                    throw DecodeError("the file has a corrupt record");
            if (figure->points.size() >= 2)
                rings.push_back(figure->points);
        }
        if (rings.empty())
            return;
        try {
            canvas_.AddShape(rings, closed, f, s);
        } catch (const DecodeError&) {
            full_ = true;
            throw;
        }
    };
    std::vector<const Figure*> all, closed, open;
    for (const Figure& figure : figures) {
        all.push_back(&figure);
        (figure.closed ? closed : open).push_back(&figure);
    }
    if (fill != kNoFill && stroke != kNoStroke && open.empty()) {
        emit(all, true, fill, stroke);
        return;
    }
    if (fill != kNoFill)
        emit(all, true, fill, kNoStroke);
    if (stroke != kNoStroke) {
        emit(closed, true, kNoFill, stroke);
        emit(open, false, kNoFill, stroke);
    }
}

void EmfPlusPlayer::FillFigures(std::vector<Figure> figures, unsigned flags, std::uint32_t brush,
                                bool evenOdd) {
    for (Figure& figure : figures)
        figure.closed = true;
    Shape(figures, BrushFill(flags, brush, evenOdd), kNoStroke);
}

void EmfPlusPlayer::StrokeFigures(const std::vector<Figure>& figures, unsigned penId) {
    Shape(figures, kNoFill, Stroke(Get<EmfPlusPen>(penId)));
}

bool EmfPlusPlayer::Draw(unsigned type, unsigned flags, const LittleEndian& b) {
    const bool compressed = flags & kCompressed;
    const unsigned id = flags & 0xFF;
    const std::size_t rectSize = compressed ? 8 : 16;
    Flattener flat = MakeFlattener();
    // Rectangles of a count at `at`, checked against the record before any is read.
    const auto rects = [&](std::size_t at) {
        const std::size_t count = b.U32(at);
        if (count > (b.Size() - at - 4) / rectSize)
            throw DecodeError("the file has a corrupt record");
        std::vector<Figure> figures;
        for (std::size_t i = 0; i < count; ++i)
            figures.push_back(
                flat.Lines(Corners(ReadRect(b, at + 4 + i * rectSize, compressed)), true));
        return figures;
    };
    const auto arc = [&](std::size_t at, bool pie) {
        const RectF r = ReadRect(b, at + 8, compressed);
        return flat.Arc(r.x, r.y, r.w, r.h, b.F32(at), b.F32(at + 4), pie);
    };
    switch (type) {
    case kClear: {
        const Argb c = Argb::FromU32(b.U32(0));
        Shape({{{{0, 0},
                 {canvas_.Width(), 0},
                 {canvas_.Width(), canvas_.Height()},
                 {0, canvas_.Height()}},
                true}},
              Fill(c, false), kNoStroke);
        return true;
    }
    case kFillRects:
        FillFigures(rects(4), flags, b.U32(0));
        return true;
    case kDrawRects:
        StrokeFigures(rects(0), id);
        return true;
    case kFillPolygon:
        FillFigures({flat.Lines(ReadPoints(b, 4, flags), true)}, flags, b.U32(0));
        return true;
    case kDrawLines:
        StrokeFigures({flat.Lines(ReadPoints(b, 0, flags), flags & 0x2000)}, id);
        return true;
    case kFillEllipse: {
        const RectF r = ReadRect(b, 4, compressed);
        FillFigures({flat.Arc(r.x, r.y, r.w, r.h, 0, 360, false)}, flags, b.U32(0));
        return true;
    }
    case kDrawEllipse: {
        const RectF r = ReadRect(b, 0, compressed);
        StrokeFigures({flat.Arc(r.x, r.y, r.w, r.h, 0, 360, false)}, id);
        return true;
    }
    case kFillPie:
        FillFigures({arc(4, true)}, flags, b.U32(0));
        return true;
    case kDrawPie:
    case kDrawArc:
        StrokeFigures({arc(0, type == kDrawPie)}, id);
        return true;
    case kFillRegion: {
        std::vector<Figure> figures;
        for (const Box& box : Get<EmfPlusRegion>(id).boxes)
            figures.push_back(
                flat.Lines(Corners({box.x0, box.y0, box.x1 - box.x0, box.y1 - box.y0}), true));
        FillFigures(figures, flags, b.U32(0), false);
        return true;
    }
    case kFillPath:
        FillFigures(flat.Path(Get<EmfPlusPath>(id)), flags, b.U32(0));
        return true;
    case kDrawPath:
        StrokeFigures(flat.Path(Get<EmfPlusPath>(id)), b.U32(0));
        return true;
    case kFillClosedCurve:
        FillFigures({flat.Curve(ReadPoints(b, 8, flags), b.F32(4), true)}, flags, b.U32(0),
                    !(flags & 0x2000));
        return true;
    case kDrawClosedCurve:
        StrokeFigures({flat.Curve(ReadPoints(b, 4, flags), b.F32(0), true)}, id);
        return true;
    case kDrawCurve: {
        // Only the segments asked for, as a curve of their own.
        const std::vector<Point> points = ReadPoints(b, 12, flags);
        const std::size_t offset = b.U32(4), segments = b.U32(8);
        if (offset >= points.size())
            throw DecodeError("the file has a corrupt record");
        const std::size_t last =
            std::min(points.size() - 1, offset + std::min(segments, points.size()));
        StrokeFigures({flat.Curve({points.begin() + std::ptrdiff_t(offset),
                                   points.begin() + std::ptrdiff_t(last) + 1},
                                  b.F32(0), false)},
                      id);
        return true;
    }
    case kDrawBeziers:
        StrokeFigures({flat.Beziers(ReadPoints(b, 0, flags))}, id);
        return true;
    case kDrawImage:
    case kDrawImagePoints:
        DrawImage(type, flags, b);
        return true;
    case kDrawString:
        DrawString(flags, b);
        return true;
    case kDrawDriverString:
        DrawDriverString(flags, b);
        return true;
    default:
        return false;
    }
}

void EmfPlusPlayer::DrawImage(unsigned type, unsigned flags, const LittleEndian& b) {
    const EmfPlusImage& image = Get<EmfPlusImage>(flags & 0xFF);
    const RectF src = ReadRect(b, 8, false);
    std::vector<Point> corners;
    if (type == kDrawImage) {
        const RectF r = ReadRect(b, 24, flags & kCompressed);
        corners = {{r.x, r.y}, {r.x + r.w, r.y}, {r.x, r.y + r.h}};
    } else {
        if (b.U32(24) != 3)
            throw DecodeError("the file has a corrupt record");
        corners = ReadPoints(b, 24, flags);
    }
    if (!(src.w > 0 && src.h > 0) || !UseClip())
        return;
    const Matrix m = ToDocument();
    const Point p0 = m.Map(corners[0]), p1 = m.Map(corners[1]), p2 = m.Map(corners[2]);
    const Point p3{p1.x + p2.x - p0.x, p1.y + p2.y - p0.y};
    const Box bounds{std::min({p0.x, p1.x, p2.x, p3.x}), std::min({p0.y, p1.y, p2.y, p3.y}),
                     std::max({p0.x, p1.x, p2.x, p3.x}), std::max({p0.y, p1.y, p2.y, p3.y})};
    // Images are not cut; one wholly out of sight, or outside the clip, is left out.
    const auto meets = [&bounds](const Box& b) {
        return bounds.x1 >= b.x0 && bounds.x0 <= b.x1 && bounds.y1 >= b.y0 && bounds.y0 <= b.y1;
    };
    const std::optional<Boxes> clip = state_.EffectiveClip();
    if (!meets(canvas_.Margin()) || (clip && std::none_of(clip->begin(), clip->end(), meets)))
        return;
    std::string file = image.file, mime = image.mime;
    double width = image.width, height = image.height, left = src.x, top = src.y;
    if (mime.empty()) {
        // Decoded pixels: only the part the record shows.
        const int x = static_cast<int>(std::lround(std::clamp(src.x, 0.0, width)));
        const int y = static_cast<int>(std::lround(std::clamp(src.y, 0.0, height)));
        const int w = static_cast<int>(std::lround(std::clamp(src.w, 0.0, width)));
        const int h = static_cast<int>(std::lround(std::clamp(src.h, 0.0, height)));
        file = EncodePng(image, x, y, w, h);
        mime = "image/png";
        width = std::min(w, image.width - x);
        height = std::min(h, image.height - y);
        left = top = 0;
        if (file.empty())
            return;
    }
    // The source rectangle onto the parallelogram p0, p1, p2.
    const double a = (p1.x - p0.x) / src.w, bb = (p1.y - p0.y) / src.w;
    const double c = (p2.x - p0.x) / src.h, d = (p2.y - p0.y) / src.h;
    const Matrix place{a, bb, c, d, p0.x - left * a - top * c, p0.y - left * bb - top * d};
    if (!place.IsFinite())
        throw DecodeError("the file has a corrupt record");
    try {
        canvas_.Add("<image width=\"" + Num(width) + "\" height=\"" + Num(height) +
                    "\" preserveAspectRatio=\"none\" transform=\"" + SvgMatrix(place) +
                    "\" xlink:href=\"data:" + mime + ";base64," + Base64(file) + "\"/>\n");
    } catch (const DecodeError&) {
        full_ = true;
        throw;
    }
}

} // namespace pictures::metafile
