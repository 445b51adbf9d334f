// The EMF player: draws the GDI records of an EMF file onto an SvgCanvas, in the document's
// hundredths of a millimetre, and hands EMF+ comment records to the EMF+ player.
#pragma once

#include "decoder/gdi/Charsets.h"
#include "decoder/emfplus/EmfPlusGeometry.h"
#include "decoder/emfplus/EmfPlusPlayer.h"
#include "decoder/emf/EmfRecords.h"
#include "decoder/emf/EmfState.h"
#include "decoder/gdi/LittleEndian.h"
#include "decoder/canvas/SvgCanvas.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace pictures::metafile {

class EmfPlayer {
public:
    EmfPlayer(SvgCanvas& canvas, const EmfHeader& header, const CodePages& codePages);

    void Play(const std::vector<EmfRecord>& records);
    // Records neither drawn nor needed for the state, EMF+ ones included.
    std::size_t Skipped() const { return skipped_ + emfPlus_.Skipped(); }

private:
    // Figures (EmfPlusGeometry.h) of shapes and paths are in document units.

    // Dispatch (EmfPlayer.cpp): false for records not played.
    bool PlayRecord(const EmfRecord& record);

    // Shapes (EmfShapes.cpp).
    bool PlayShape(const EmfRecord& record);
    std::vector<Point> ReadPoints(const LittleEndian& b, std::size_t at, std::size_t count,
                                  bool small) const;
    Point Doc(double x, double y) const { return state_.ToDocument().Map({x, y}); }
    // Segments a full turn of a circle of this radius (logical units, under the transform's
    // larger scale) needs to look smooth at full screen.
    int Segments(double radius) const;
    std::vector<Point> Arc(double l, double t, double r, double b, double startX, double startY,
                           double endX, double endY) const;
    std::vector<Point> AngleArc(double cx, double cy, double radius, double start,
                                double sweep) const;
    std::vector<Point> EllipseRing(double l, double t, double r, double b) const;
    std::vector<Point> RoundRectRing(double l, double t, double r, double b, double w,
                                     double h) const;
    // Appends the Bézier curves after `from` (three points each) to `out`, flattened.
    void Beziers(const std::vector<Point>& controls, std::vector<Point>& out) const;
    std::string FillStyle() const;
    std::string StrokeStyle() const;
    // Draws figures: filled (each taken as closed) and outlined with the current pen and
    // brush; or added to the path being built.
    void Draw(std::vector<Figure> figures, bool fill, bool stroke);
    void Emit(const std::vector<Figure>& figures, bool fill, bool stroke,
              const std::string& fillStyle, const std::string& strokeStyle);
    // Hatch lines of the brush across the figures (and the background under them when it
    // is painted); false when there are too many to draw.
    bool Hatch(const std::vector<Figure>& figures);
    // The canvas clip for what is drawn next; false when nothing can show.
    bool ApplyClip();

    // Paths (EmfPaths.cpp).
    bool PlayPath(const EmfRecord& record);
    // Lines from the current position to each of the points; updates the position.
    void LinesTo(const std::vector<Point>& logical);
    // Continues the current figure with document points, starting it at the current position.
    void ContinueFigure(const std::vector<Point>& points);

    // Text (EmfText.cpp).
    bool PlayText(const EmfRecord& record);
    void Text(const LittleEndian& b, std::size_t emrText, bool wide, std::size_t textRecord);

    // Bitmaps (EmfBitmaps.cpp).
    bool PlayBitmap(const EmfRecord& record);
    void Image(const LittleEndian& b, std::size_t offBmi, std::size_t cbBmi, std::size_t offBits,
               std::size_t cbBits, double x, double y, double w, double h, double srcX, double srcY,
               double srcW, double srcH, bool alpha = false, bool fromBottom = false);
    void FillBox(double x, double y, double w, double h, const std::string& fill);

    SvgCanvas& canvas_;
    const CodePages& codePages_;
    EmfState state_;
    EmfPlusPlayer emfPlus_;
    double pixelsPerUnit_ = 1; // at full screen width, for flattening curves
    std::size_t skipped_ = 0;
    std::size_t recordIndex_ = 0;
    // The path being built (between BeginPath and EndPath), and the one built last.
    std::optional<std::vector<Figure>> building_;
    std::vector<Figure> path_;
    bool figureOpen_ = false; // whether lines continue the path's last figure
    bool widened_ = false;    // WidenPath was played on path_
};

} // namespace pictures::metafile
