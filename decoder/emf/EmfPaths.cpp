// Paths of EMF records: figures gathered between BeginPath and EndPath, in document units,
// then filled, outlined, or made the clipping region.
#include "decoder/emf/EmfPlayer.h"

#include "decoder/gdi/Boxes.h"

#include <algorithm>
#include <cmath>

namespace pictures::metafile {

void EmfPlayer::ContinueFigure(const std::vector<Point>& points) {
    if (!figureOpen_ || building_->empty() || building_->back().closed) {
        const Point from = state_.ToDocument().Map(state_.Current().position);
        building_->push_back({{from}, false});
    }
    figureOpen_ = true;
    auto& line = building_->back().points;
    line.insert(line.end(), points.begin(), points.end());
}

void EmfPlayer::LinesTo(const std::vector<Point>& logical) {
    if (logical.empty())
        return;
    std::vector<Point> points;
    for (const Point& p : logical)
        points.push_back(Doc(p.x, p.y));
    if (building_) {
        ContinueFigure(points);
    } else {
        points.insert(points.begin(), state_.ToDocument().Map(state_.Current().position));
        Draw({{points, false}}, false, true);
    }
    state_.Current().position = logical.back();
}

bool EmfPlayer::PlayPath(const EmfRecord& record) {
    const LittleEndian b(record.bytes);
    switch (record.type) {
    case 59: // BEGINPATH
        building_.emplace();
        figureOpen_ = false;
        break;
    case 60: // ENDPATH
        if (building_)
            path_ = std::move(*building_);
        building_.reset();
        widened_ = false;
        break;
    case 68: // ABORTPATH
        building_.reset();
        path_.clear();
        break;
    case 61: // CLOSEFIGURE
        if (building_ && !building_->empty())
            building_->back().closed = true;
        figureOpen_ = false;
        break;
    case 65: // FLATTENPATH: curves are flat already
        break;
    case 66: // WIDENPATH: filling the widened path is drawn as the path's outline
        widened_ = true;
        break;
    case 62:
    case 63:
    case 64: { // FILLPATH, STROKEANDFILLPATH, STROKEPATH
        if (building_)
            break;
        std::vector<Figure> figures = std::move(path_);
        path_.clear();
        const bool fill = record.type != 64, stroke = record.type != 62;
        if (widened_ && fill) {
            // The outline, in the brush's colour, at the pen's width.
            EmfDc& s = state_.Current();
            const Pen kept = s.pen;
            s.pen.color = s.brush.color;
            if (s.brush.kind != Brush::Kind::Null && !s.pen.Null())
                Draw(std::move(figures), false, true);
            s.pen = kept;
            break;
        }
        Draw(std::move(figures), fill, stroke);
        break;
    }
    case 67: { // SELECTCLIPPATH: rectangles exactly, other figures by their boxes
        if (building_)
            break;
        std::vector<Box> boxes;
        for (const Figure& f : path_)
            if (Box box; BoundsOf(f.points, &box))
                boxes.push_back(box);
        path_.clear();
        state_.CombineClip(boxes, b.U32(8));
        break;
    }
    default:
        return false;
    }
    return true;
}

} // namespace pictures::metafile
