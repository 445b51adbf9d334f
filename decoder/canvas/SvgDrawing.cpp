#include "decoder/canvas/SvgDrawing.h"

#include "decoder/canvas/TallEdges.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <array>
#include <utility>

namespace pictures::metafile {
namespace {

// Each run of shapes between text runs becomes a document of its own; a drawing that alternates
// more often than this is left whole to Qt SVG.
constexpr std::size_t kMaxLayers = 4096;

// Edges are cut to this part of the picture's height at most: a few dozen pixel rows even
// at full screen, the height of the rasterizer's bands.
constexpr double kRiseParts = 24;

// Elements that stand alone, referring to nothing else in the document, so that cutting the
// document between them changes nothing.
bool StandsAlone(QStringView name) {
    static constexpr std::array<QStringView, 8> names{u"rect", u"path",     u"ellipse", u"circle",
                                                      u"line", u"polyline", u"polygon", u"image"};
    return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

std::unique_ptr<QSvgRenderer> SvgDrawing::Renderer(const QByteArray& svg) {
    auto renderer = std::make_unique<QSvgRenderer>();
    if (!renderer->load(svg) || !renderer->isValid())
        return nullptr;
    // Drawn from whichever thread asks; it belongs to none.
    renderer->moveToThread(nullptr);
    return renderer;
}

std::unique_ptr<SvgDrawing> SvgDrawing::Read(const QByteArray& svg) {
    auto drawing = std::make_unique<SvgDrawing>();
    if (drawing->Split(svg))
        return drawing;
    drawing->layers_.clear();
    Layer whole{{}, Renderer(svg), {}};
    if (!whole.shapes)
        return nullptr;
    drawing->viewBox_ = whole.shapes->viewBoxF();
    drawing->layers_.push_back(std::move(whole));
    return drawing;
}

// Reads a document that is a flat list of elements that stand alone and text runs of the plain
// form into layers, with tall edges cut; false when it is of any other form.
bool SvgDrawing::Split(const QByteArray& svg) {
    const QString text = QString::fromUtf8(svg);
    QXmlStreamReader xml(text);
    while (!xml.atEnd() && xml.readNext() != QXmlStreamReader::StartElement) {
    }
    if (xml.name() != u"svg")
        return false;
    const QXmlStreamAttributes root = xml.attributes();
    const QList<QStringView> box =
        root.value(QStringLiteral("viewBox")).split(u' ', Qt::SkipEmptyParts);
    if (box.size() != 4)
        return false;
    std::array<double, 4> numbers{};
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        bool ok = false;
        numbers[i] = box[qsizetype(i)].toDouble(&ok);
        if (!ok)
            return false;
    }
    viewBox_ = QRectF(numbers[0], numbers[1], numbers[2], numbers[3]);
    if (!viewBox_.isValid())
        return false;
    const double maxRise = viewBox_.height() / kRiseParts;
    // Each layer's shapes: the document's own head and root element around them.
    const QString head = text.first(xml.characterOffset());
    QString shapes;
    const auto closeShapes = [&] {
        if (shapes.isEmpty())
            return true;
        if (layers_.size() >= kMaxLayers)
            return false;
        layers_.push_back({(head + shapes + QStringLiteral("</svg>\n")).toUtf8(), nullptr, {}});
        shapes.clear();
        return true;
    };
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (xml.name() == u"text") {
                std::optional<TextRun> run = ReadTextRun(xml);
                if (!run || !closeShapes())
                    return false;
                if (layers_.empty())
                    layers_.emplace_back();
                layers_.back().texts.push_back(std::move(*run));
            } else if (StandsAlone(xml.name())) {
                // The reader has read past the '<' of the tag when it reports it; attribute
                // values hold no '<'.
                const qsizetype from = text.lastIndexOf(u'<', xml.characterOffset() - 1);
                const QByteArray d = xml.name() == u"path"
                                         ? xml.attributes().value(QStringLiteral("d")).toLatin1()
                                         : QByteArray();
                xml.skipCurrentElement();
                const QStringView element =
                    QStringView(text).sliced(from, xml.characterOffset() - from);
                const std::optional<std::string> cut =
                    d.isEmpty()
                        ? std::nullopt
                        : CutTallEdges(std::string_view(d.data(), std::size_t(d.size())), maxRise);
                // The attribute as written, in either quotes, replaced when found once.
                qsizetype at = -1, length = 0;
                for (const QChar quote : {u'"', u'\''}) {
                    if (!cut)
                        break; // most paths have no tall edge: nothing to look for
                    const QString written = QStringLiteral("d=") + quote + QLatin1String(d) + quote;
                    if (element.count(written) == 1) {
                        at = element.indexOf(written);
                        length = written.size();
                    }
                }
                if (at >= 0) {
                    shapes += element.first(at + 3);
                    shapes += QLatin1String(cut->data(), qsizetype(cut->size()));
                    shapes += element.sliced(at + length - 1);
                } else {
                    shapes += element;
                }
                shapes += u'\n';
            } else {
                return false;
            }
            break;
        case QXmlStreamReader::EndElement: // the root's
            return !xml.hasError() && closeShapes();
        case QXmlStreamReader::Characters:
            if (!xml.isWhitespace())
                return false;
            break;
        case QXmlStreamReader::Comment:
            break;
        default:
            return false;
        }
    }
    return false;
}

bool SvgDrawing::Draw(QPainter& painter, const QRectF& target) const {
    for (const Layer& layer : layers_) {
        if (!layer.document.isEmpty()) {
            layer.shapes = Renderer(std::exchange(layer.document, {}));
            if (!layer.shapes)
                return false;
        }
        if (layer.shapes)
            layer.shapes->render(&painter, target);
        if (layer.texts.empty())
            continue;
        painter.save();
        painter.translate(target.topLeft());
        painter.scale(target.width() / viewBox_.width(), target.height() / viewBox_.height());
        painter.translate(-viewBox_.topLeft());
        for (const TextRun& run : layer.texts)
            DrawTextRun(painter, run);
        painter.restore();
    }
    return true;
}

} // namespace pictures::metafile
