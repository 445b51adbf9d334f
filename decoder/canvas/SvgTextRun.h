// A text element of the plain form the helper writes, read from the SVG answer and drawn with
// QPainter the way Qt SVG lays it out, but with cached glyphs (Qt SVG fills every glyph of its
// text as a path, about a tenth of a millisecond a glyph) and at the positions given for each
// character, which Qt SVG ignores.
#pragma once

#include <QColor>
#include <QPainter>
#include <QString>
#include <QXmlStreamReader>

#include <optional>
#include <vector>

namespace pictures::metafile {

struct TextRun {
    double x = 0, y = 0; // the first glyph's origin on the baseline
    // Each character's origin along the baseline, when the run places them one by one.
    std::vector<double> xs;
    QString family;
    double fontSize = 0; // em, in document units
    int weight = 400;
    QFont::Style style = QFont::StyleNormal;
    Qt::Alignment anchor = Qt::AlignLeft;
    QColor fill = Qt::black;
    double degrees = 0; // rotation about the first glyph's origin
    QString text;
};

// Reads the text element the reader stands at, up to its end; none when it holds anything the
// plain form does not, which only Qt SVG can draw.
std::optional<TextRun> ReadTextRun(QXmlStreamReader& xml);

// Draws in document units: the painter maps the view box to the device.
void DrawTextRun(QPainter& painter, const TextRun& run);

} // namespace pictures::metafile
