// Figures onto the canvas: filled and outlined as the device context says, cut to the clipping
// region, hatched brushes drawn as hatch lines (Qt's SVG renderer has no patterns).
#include "decoder/emf/EmfPlayer.h"

#include "decoder/canvas/SvgText.h"

#include <algorithm>
#include <cmath>

namespace pictures::metafile {
namespace {

// Hatch lines cut to figures cost lines times edges; past this a tint stands for them.
constexpr double kMaxHatchWork = 4e6;
constexpr double kMaxHatchLines = 600;

// The parts of the lines n . p = c (c = first, first + step, ...) inside the figures, under
// the even-odd rule; n is a unit normal, u the lines' direction.
std::vector<std::vector<Point>> HatchLines(const std::vector<std::vector<Point>>& rings, Point n,
                                           double step) {
    const Point u{-n.y, n.x};
    double low = 1e300, high = -1e300;
    std::size_t edges = 0;
    for (const auto& ring : rings) {
        edges += ring.size();
        for (const Point& p : ring) {
            low = std::min(low, n.x * p.x + n.y * p.y);
            high = std::max(high, n.x * p.x + n.y * p.y);
        }
    }
    std::vector<std::vector<Point>> lines;
    if (!(high >= low) || (high - low) / step > kMaxHatchLines ||
        (high - low) / step * double(edges) > kMaxHatchWork)
        return lines;
    std::vector<double> crossings;
    for (double c = std::ceil(low / step) * step; c <= high; c += step) {
        crossings.clear();
        for (const auto& ring : rings)
            for (std::size_t i = 0; i < ring.size(); ++i) {
                const Point a = ring[i], b = ring[(i + 1) % ring.size()];
                const double da = n.x * a.x + n.y * a.y - c, db = n.x * b.x + n.y * b.y - c;
                if ((da < 0) == (db < 0))
                    continue;
                const double t = da / (da - db);
                crossings.push_back(u.x * (a.x + (b.x - a.x) * t) + u.y * (a.y + (b.y - a.y) * t));
            }
        std::sort(crossings.begin(), crossings.end());
        for (std::size_t i = 0; i + 1 < crossings.size(); i += 2)
            lines.push_back({{n.x * c + u.x * crossings[i], n.y * c + u.y * crossings[i]},
                             {n.x * c + u.x * crossings[i + 1], n.y * c + u.y * crossings[i + 1]}});
    }
    return lines;
}

} // namespace

bool EmfPlayer::Hatch(const std::vector<Figure>& figures) {
    const EmfDc& s = state_.Current();
    std::vector<std::vector<Point>> rings;
    for (const Figure& f : figures)
        if (f.points.size() >= 3)
            rings.push_back(f.points);
    // Eight device pixels apart, as GDI draws them, but never finer than a 200th of the picture.
    const double side = std::max(canvas_.Width(), canvas_.Height());
    const double step = std::max(8 * std::abs(state_.DeviceMapping().sx), side / 200);
    const double r = std::sqrt(0.5);
    std::vector<Point> normals;
    switch (s.brush.hatch) {
    case 0:
        normals = {{0, 1}};
        break;
    case 1:
        normals = {{1, 0}};
        break;
    case 2:
        normals = {{r, -r}};
        break;
    case 3:
        normals = {{r, r}};
        break;
    case 4:
        normals = {{0, 1}, {1, 0}};
        break;
    default:
        normals = {{r, -r}, {r, r}};
        break;
    }
    std::vector<std::vector<Point>> lines;
    for (const Point& n : normals) {
        std::vector<std::vector<Point>> some =
            HatchLines(rings, n, step * (n.x * n.y != 0 ? r : 1));
        if (some.empty() && !rings.empty())
            return false;
        lines.insert(lines.end(), some.begin(), some.end());
    }
    if (s.bkMode == 2)
        Emit(figures, true, false,
             " fill=\"" + HexColor(s.bkColor.r, s.bkColor.g, s.bkColor.b) + "\"" +
                 (s.polyFill == 2 ? " fill-rule=\"nonzero\"" : " fill-rule=\"evenodd\""),
             " stroke=\"none\"");
    std::vector<Figure> hatch;
    for (auto& line : lines)
        hatch.push_back({std::move(line), false});
    Emit(hatch, false, true, " fill=\"none\"",
         " stroke=\"" + HexColor(s.brush.color.r, s.brush.color.g, s.brush.color.b) +
             "\" stroke-width=\"1\" vector-effect=\"non-scaling-stroke\"");
    return true;
}

void EmfPlayer::Draw(std::vector<Figure> figures, bool fill, bool stroke) {
    if (building_) {
        for (Figure& f : figures)
            if (f.points.size() >= 1)
                building_->push_back(std::move(f));
        return;
    }
    const EmfDc& s = state_.Current();
    if (s.rop2 == 11) // R2_NOP
        return;
    std::string fillStyle = fill ? FillStyle() : " fill=\"none\"";
    std::string strokeStyle = stroke ? StrokeStyle() : " stroke=\"none\"";
    if (s.rop2 == 1 || s.rop2 == 16) { // R2_BLACK, R2_WHITE
        const char* colour = s.rop2 == 1 ? "#000000" : "#ffffff";
        if (fillStyle != " fill=\"none\"")
            fillStyle = std::string(" fill=\"") + colour + "\"";
        if (strokeStyle != " stroke=\"none\"")
            strokeStyle = std::string(" stroke=\"") + colour + "\"";
    }
    if (fill && s.brush.kind == Brush::Kind::Hatched && s.rop2 != 1 && s.rop2 != 16 &&
        Hatch(figures))
        fill = false;
    Emit(figures, fill, stroke, fillStyle, strokeStyle);
}

void EmfPlayer::Emit(const std::vector<Figure>& figures, bool fill, bool stroke,
                     const std::string& fillStyle, const std::string& strokeStyle) {
    fill = fill && fillStyle != " fill=\"none\"";
    stroke = stroke && strokeStyle != " stroke=\"none\"";
    if ((!fill && !stroke) || figures.empty() || !ApplyClip())
        return;
    std::vector<std::vector<Point>> rings;
    bool allClosed = true;
    for (const Figure& f : figures) {
        allClosed = allClosed && f.closed;
        rings.push_back(f.points);
    }
    const Box bounds = SvgCanvas::BoundsOf(rings);
    if (!(bounds.x0 <= bounds.x1))
        return;
    const auto emit = [&](bool closed, const std::string& f, const std::string& s) {
        if (canvas_.Clips(bounds)) {
            canvas_.AddClippedShape(rings, closed, f, s);
            return;
        }
        std::string d;
        for (const Figure& figure : figures)
            d += canvas_.PathData(figure.points, closed || figure.closed);
        if (!d.empty())
            canvas_.Add("<path d=\"" + d + "\"" + f + s + "/>\n");
    };
    if (fill && stroke && allClosed) {
        emit(true, fillStyle, strokeStyle);
        return;
    }
    if (fill)
        emit(true, fillStyle, " stroke=\"none\"");
    if (stroke) {
        if (canvas_.Clips(bounds)) {
            // Cut figure by figure, each closed or open as it is.
            for (const Figure& figure : figures) {
                std::vector<Point> line = figure.points;
                if (figure.closed && !line.empty())
                    line.push_back(line.front());
                canvas_.AddClippedShape({line}, false, " fill=\"none\"", strokeStyle);
            }
            return;
        }
        emit(false, " fill=\"none\"", strokeStyle);
    }
}

} // namespace pictures::metafile
