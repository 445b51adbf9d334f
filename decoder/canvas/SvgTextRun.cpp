#include "decoder/canvas/SvgTextRun.h"

#include <QFont>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace pictures::metafile {
namespace {

std::optional<double> Number(QStringView text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional(value) : std::nullopt;
}

// A list of coordinates, separated by spaces or commas.
std::optional<std::vector<double>> Numbers(QStringView list) {
    const QByteArray latin1 = list.toLatin1();
    std::vector<double> values;
    const char* at = latin1.constData();
    const char* const end = at + latin1.size();
    while (true) {
        while (at < end && (*at == ' ' || *at == ','))
            ++at;
        if (at == end)
            break;
        double value = 0;
        const auto [next, ec] = std::from_chars(at, end, value);
        if (ec != std::errc{} || !std::isfinite(value))
            return std::nullopt;
        values.push_back(value);
        at = next;
    }
    if (values.empty())
        return std::nullopt;
    return values;
}

// Whether each character of the text is a glyph of its own, with no shaping joining or
// reordering it with its neighbours.
bool OneGlyphEach(const QList<uint>& characters) {
    return std::all_of(characters.begin(), characters.end(), [](uint c) {
        switch (QChar::script(c)) {
        case QChar::Script_Common:
        case QChar::Script_Inherited:
        case QChar::Script_Latin:
        case QChar::Script_Greek:
        case QChar::Script_Cyrillic:
        case QChar::Script_Han:
        case QChar::Script_Hiragana:
        case QChar::Script_Katakana:
        case QChar::Script_Hangul:
            return true;
        default:
            return false;
        }
    });
}

// Draws a run whose characters each have their own position, one glyph each from the font
// itself; false when that cannot be done (a script that needs shaping, or a character the font
// lacks, which needs a fallback font).
bool DrawPlaced(QPainter& painter, const TextRun& run, const QFont& font, double scale) {
    if (run.xs.size() < 2 || run.anchor != Qt::AlignLeft)
        return false;
    const QList<uint> characters = run.text.toUcs4();
    if (characters.size() != qsizetype(run.xs.size()) || !OneGlyphEach(characters))
        return false;
    const QRawFont raw = QRawFont::fromFont(font);
    const QList<quint32> glyphs = raw.glyphIndexesForString(run.text);
    if (!raw.isValid() || glyphs.size() != qsizetype(run.xs.size()) ||
        std::find(glyphs.begin(), glyphs.end(), 0u) != glyphs.end())
        return false;
    // Writers that shape a ligature give its first character the whole advance and the others
    // none: those others follow the glyph before at its own advance, not overlap the next one.
    const QList<QPointF> advances = raw.advancesForGlyphIndexes(glyphs);
    QList<QPointF> positions;
    positions.reserve(glyphs.size());
    for (qsizetype k = 0; k < glyphs.size(); ++k) {
        double x = (run.xs[k] - run.x) / scale;
        const bool noAdvance = k + 1 < glyphs.size() && run.xs[k + 1] == run.xs[k];
        if (k > 0 && noAdvance && !QChar::isMark(characters[k]))
            x = std::min(x, positions.back().x() + advances[k - 1].x());
        positions.append(QPointF(x, 0));
    }
    QGlyphRun glyphRun;
    glyphRun.setRawFont(raw);
    glyphRun.setGlyphIndexes(glyphs);
    glyphRun.setPositions(positions);
    painter.setPen(run.fill);
    painter.drawGlyphRun(QPointF(0, 0), glyphRun);
    return true;
}

// "rotate(a cx cy)" as the canvas writes it, about the run's own origin.
bool ReadRotation(QStringView transform, TextRun& run) {
    transform = transform.trimmed();
    if (!transform.startsWith(u"rotate(") || !transform.endsWith(u')'))
        return false;
    const QList<QStringView> words =
        transform.sliced(7, transform.size() - 8).split(u' ', Qt::SkipEmptyParts);
    if (words.size() != 3)
        return false;
    const auto degrees = Number(words[0]), cx = Number(words[1]), cy = Number(words[2]);
    if (!degrees || cx != run.x || cy != run.y)
        return false;
    run.degrees = *degrees;
    return true;
}

} // namespace

std::optional<TextRun> ReadTextRun(QXmlStreamReader& xml) {
    TextRun run;
    QStringView transform;
    bool preserved = false;
    const QXmlStreamAttributes attributes = xml.attributes();
    for (const QXmlStreamAttribute& a : attributes) {
        const QStringView name = a.qualifiedName(), value = a.value();
        if (name == u"x") {
            auto xs = Numbers(value);
            if (!xs)
                return std::nullopt;
            run.x = xs->front();
            if (xs->size() > 1)
                run.xs = std::move(*xs);
        } else if (name == u"y") {
            const auto y = Number(value);
            if (!y)
                return std::nullopt;
            run.y = *y;
        } else if (name == u"font-family") {
            run.family = value.trimmed().toString();
        } else if (name == u"font-size") {
            const auto size = Number(value);
            if (!size)
                return std::nullopt;
            run.fontSize = *size;
        } else if (name == u"font-weight") {
            bool ok = false;
            run.weight = value.toInt(&ok);
            if (!ok || run.weight < 1 || run.weight > 1000)
                return std::nullopt;
        } else if (name == u"font-style") {
            if (value == u"italic")
                run.style = QFont::StyleItalic;
            else if (value == u"oblique")
                run.style = QFont::StyleOblique;
            else if (value != u"normal")
                return std::nullopt;
        } else if (name == u"text-anchor") {
            if (value == u"middle")
                run.anchor = Qt::AlignHCenter;
            else if (value == u"end")
                run.anchor = Qt::AlignRight;
            else if (value != u"start")
                return std::nullopt;
        } else if (name == u"fill") {
            run.fill = QColor::fromString(value);
            if (!run.fill.isValid())
                return std::nullopt;
        } else if (name == u"stroke") {
            if (value != u"none")
                return std::nullopt;
        } else if (name == u"transform") {
            transform = value;
        } else if (name == u"xml:space") {
            preserved = value == u"preserve";
        } else {
            return std::nullopt;
        }
    }
    if (!preserved || (!transform.isEmpty() && !ReadRotation(transform, run)))
        return std::nullopt;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::Characters:
            run.text += xml.text();
            break;
        case QXmlStreamReader::EndElement:
            // Qt SVG shows tabs and line breaks as spaces, all on one line.
            run.text.replace(u'\t', u' ').replace(u'\n', u' ').replace(u'\r', u' ');
            return run;
        case QXmlStreamReader::Comment:
            break;
        default:
            return std::nullopt;
        }
    }
    return std::nullopt;
}

void DrawTextRun(QPainter& painter, const TextRun& run) {
    if (!(run.fontSize > 0) || run.text.isEmpty())
        return;
    painter.save();
    painter.translate(run.x, run.y);
    painter.rotate(run.degrees);
    // Laid out at 100 pixels to the em and scaled down, as Qt SVG does: font sizes are whole
    // pixels, and the glyph advances then come out the same as there.
    const double scale = run.fontSize / 100;
    painter.scale(scale, scale);
    QFont font = painter.font();
    font.setFamily(run.family);
    font.setWeight(QFont::Weight(run.weight));
    font.setStyle(run.style);
    font.setPixelSize(100);
    font.setHintingPreference(QFont::PreferNoHinting);
    if (DrawPlaced(painter, run, font, scale)) {
        painter.restore();
        return;
    }
    QTextLayout layout(run.text, font);
    QTextLayout::FormatRange range;
    range.start = 0;
    range.length = int(run.text.size());
    range.format.setFont(font);
    range.format.setForeground(run.fill);
    layout.setFormats({range});
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    if (line.isValid()) {
        double x = 0;
        if (run.anchor == Qt::AlignHCenter)
            x = -line.naturalTextWidth() / 2;
        else if (run.anchor == Qt::AlignRight)
            x = -line.naturalTextWidth();
        line.setPosition(QPointF(x, -line.ascent()));
        painter.setPen(run.fill);
        layout.draw(&painter, QPointF(0, 0));
    }
    painter.restore();
}

} // namespace pictures::metafile
