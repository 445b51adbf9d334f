// Clipping of polygons and polylines to a rectangle, so that a drawing's coordinates stay near
// its frame whatever numbers the file holds: the cost of drawing follows the visible area.
#pragma once

#include <vector>

namespace pictures::metafile {

struct Point {
    double x = 0, y = 0;
};

struct Box {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool Contains(const Point& p) const { return p.x >= x0 && p.x <= x1 && p.y >= y0 && p.y <= y1; }
};

// The polygon cut to the box; inside the box it covers what the polygon covers, under either
// fill rule (winding numbers are kept there). Empty when nothing is left.
std::vector<Point> ClipPolygon(const std::vector<Point>& polygon, const Box& box);

// The parts of the open polyline inside the box.
std::vector<std::vector<Point>> ClipPolyline(const std::vector<Point>& line, const Box& box);

} // namespace pictures::metafile
