// A metafile's SVG answer, parsed once and drawn at any size. When it is of the helper's plain
// form, Qt SVG draws its shapes, with tall edges cut (TallEdges.h), and SvgTextRun its text
// runs, in document order; otherwise Qt SVG draws it whole.
#pragma once

#include "decoder/canvas/SvgTextRun.h"

#include <QByteArray>
#include <QPainter>
#include <QRectF>
#include <QSvgRenderer>

#include <memory>
#include <vector>

namespace pictures::metafile {

class SvgDrawing {
public:
    // None when the document is not well-formed, or is of another form than the helper's and
    // Qt SVG cannot read it.
    static std::unique_ptr<SvgDrawing> Read(const QByteArray& svg);

    // Draws the view box onto `target`; false when Qt SVG could not read a part of it. Not
    // reentrant: Qt SVG's renderers are not, and they are made on the first drawing.
    bool Draw(QPainter& painter, const QRectF& target) const;

private:
    // Shapes drawn by Qt SVG (if any), then text runs. The shapes' document is parsed when first
    // drawn, on a drawing thread rather than the loading one.
    struct Layer {
        mutable QByteArray document;
        mutable std::unique_ptr<QSvgRenderer> shapes;
        std::vector<TextRun> texts;
    };
    static std::unique_ptr<QSvgRenderer> Renderer(const QByteArray& svg);
    bool Split(const QByteArray& svg);

    QRectF viewBox_;
    std::vector<Layer> layers_;
};

} // namespace pictures::metafile
