// Curves of EMF+ drawing records flattened to polylines in document units, fine enough that
// the steps stay below a pixel of a full-screen view, and bounded in number of points.
#pragma once

#include "decoder/emfplus/EmfPlusObjects.h"
#include "decoder/emfplus/EmfPlusState.h"

#include <vector>

namespace pictures::metafile {

// One subpath: a polygon when closed, else a polyline.
struct Figure {
    std::vector<Point> points;
    bool closed = false;
};

class Flattener {
public:
    // `tolerance`: the largest distance from the curve, in document units.
    Flattener(const Matrix& toDocument, double tolerance)
        : toDocument_(toDocument), tolerance_(tolerance) {}

    // Subpaths of a path: points of its lines, Béziers flattened, closed where marked.
    std::vector<Figure> Path(const EmfPlusPath& path);
    // A polyline or polygon of world points.
    Figure Lines(const std::vector<Point>& points, bool closed);
    // Béziers: a start point, then three points each.
    Figure Beziers(const std::vector<Point>& points);
    // An arc of the ellipse in the world rectangle x, y, w, h, angles in degrees clockwise from
    // the x axis; a pie adds the centre, closed; `sweep` 360: the whole ellipse.
    Figure Arc(double x, double y, double w, double h, double start, double sweep, bool pie);
    // A cardinal spline through the points, with GDI+'s tension.
    Figure Curve(const std::vector<Point>& points, double tension, bool closed);

private:
    void Bezier(Point p0, Point p1, Point p2, Point p3, std::vector<Point>& out);

    Matrix toDocument_;
    double tolerance_;
    std::size_t budget_ = 200'000; // points left for this record
};

} // namespace pictures::metafile
