#include "decoder/emf/EmfPlayer.h"

#include "decoder/gdi/Boxes.h"
#include "decoder/canvas/SvgText.h"

#include <algorithm>
#include <cmath>

namespace pictures::metafile {
namespace {

constexpr std::uint32_t kEmrComment = 70;
constexpr std::uint32_t kEmfPlusSignature = 0x2B464D45; // "EMF+"
// Curves are flattened for this many pixels across the picture.
constexpr double kFullScreenPixels = 1920;

std::string Hex(const Rgb& c) {
    return HexColor(c.r, c.g, c.b);
}

} // namespace

EmfPlayer::EmfPlayer(SvgCanvas& canvas, const EmfHeader& header, const CodePages& codePages)
    : canvas_(canvas), codePages_(codePages), state_(header), emfPlus_(canvas, header),
      pixelsPerUnit_(kFullScreenPixels / std::max(canvas.Width(), 1.0)) {}

void EmfPlayer::Play(const std::vector<EmfRecord>& records) {
    for (recordIndex_ = 1; recordIndex_ < records.size(); ++recordIndex_) {
        const EmfRecord& record = records[recordIndex_];
        if (record.type == kEmrComment) {
            const LittleEndian b(record.bytes);
            // The comment's data: its size at 8, the data from 12.
            if (b.Has(0, 16) && b.U32(12) == kEmfPlusSignature) {
                const std::size_t size = b.U32(8);
                if (size >= 4 && b.Has(12, size))
                    emfPlus_.Play(b.Span(16, size - 4));
            }
            continue;
        }
        if (!emfPlus_.GdiDraws()) {
            // The EMF+ records draw; the GDI ones are their stand-in, but the state they set
            // still holds for those drawn after a GetDC record.
            if (!state_.Play(record))
                ++skipped_;
            continue;
        }
        try {
            if (!PlayRecord(record))
                ++skipped_;
        } catch (const DecodeError& e) {
            // A record too short for its fields is skipped; a drawing over its limits is not.
            if (std::string_view(e.what()) != "the file has a corrupt record")
                throw;
            ++skipped_;
        }
    }
    if (Skipped() > 0)
        canvas_.Add("<!-- skipped " + std::to_string(Skipped()) + " records -->\n");
}

bool EmfPlayer::PlayRecord(const EmfRecord& record) {
    if (record.type == 14) // EOF
        return true;
    if (record.type == 27) // MOVETOEX: lines start a new figure
        figureOpen_ = false;
    return state_.Play(record) || PlayShape(record) || PlayPath(record) || PlayText(record) ||
           PlayBitmap(record);
}

bool EmfPlayer::ApplyClip() {
    std::vector<Box> boxes = state_.CanvasClip();
    if (!boxes.empty()) {
        // Cut to the margin too: a clip reaching far beyond it must not let far shapes through.
        boxes = CombineBoxes(boxes, {canvas_.Margin()}, 1);
        if (boxes.empty())
            return false;
    }
    canvas_.SetClip(boxes);
    return true;
}

std::string EmfPlayer::FillStyle() const {
    const EmfDc& s = state_.Current();
    std::string style;
    switch (s.brush.kind) {
    case Brush::Kind::Null:
        return " fill=\"none\"";
    case Brush::Kind::Solid:
    case Brush::Kind::Pattern:
        style = " fill=\"" + Hex(s.brush.color) + "\"";
        break;
    case Brush::Kind::Hatched:
        // Hatch lines cover about a quarter of the area; a tint of their colour over the
        // background (when it is painted) stands for them.
        if (s.bkMode == 2) {
            const auto mix = [](std::uint8_t a, std::uint8_t b) {
                return static_cast<std::uint8_t>((a + 3 * b) / 4);
            };
            style = " fill=\"" +
                    Hex({mix(s.brush.color.r, s.bkColor.r), mix(s.brush.color.g, s.bkColor.g),
                         mix(s.brush.color.b, s.bkColor.b)}) +
                    "\"";
        } else {
            style = " fill=\"" + Hex(s.brush.color) + "\" fill-opacity=\"0.3\"";
        }
        break;
    }
    return style + (s.polyFill == 2 ? " fill-rule=\"nonzero\"" : " fill-rule=\"evenodd\"");
}

std::string EmfPlayer::StrokeStyle() const {
    const EmfDc& s = state_.Current();
    const Pen& pen = s.pen;
    if (pen.Null())
        return " stroke=\"none\"";
    std::string out = " stroke=\"" + Hex(pen.color) + "\"";
    const Matrix& m = state_.ToDocument();
    const double scale = m.Scale();
    double width = pen.Cosmetic() ? 0 : pen.width * scale;
    // GDI never draws a line thinner than a device pixel; keep hairlines visible at any size.
    const double side = std::max(canvas_.Width(), canvas_.Height());
    if (!(width >= side / 1000)) {
        out += " stroke-width=\"1\" vector-effect=\"non-scaling-stroke\"";
        width = side / 1000;
    } else {
        out += " stroke-width=\"" + Num(width) + "\"";
    }
    static const char* const caps[] = {"round", "square", "butt"};
    static const char* const joins[] = {"round", "bevel", "miter"};
    out += std::string(" stroke-linecap=\"") + caps[std::min(2u, (pen.style >> 8) & 0xF)] +
           "\" stroke-linejoin=\"" + joins[std::min(2u, (pen.style >> 12) & 0xF)] + "\"";
    if (((pen.style >> 12) & 0xF) == 2 && s.miterLimit >= 1 && s.miterLimit < 100)
        out += " stroke-miterlimit=\"" + Num(s.miterLimit) + "\"";
    const double unit = std::max(width, side / 400);
    const auto dashes = [&](std::initializer_list<double> pattern) {
        std::string list;
        for (const double d : pattern)
            list += (list.empty() ? "" : " ") + Num(d * unit);
        return " stroke-dasharray=\"" + list + "\"";
    };
    switch (pen.style & 0xF) {
    case 1:
        out += dashes({3, 1});
        break;
    case 2:
    case 8:
        out += dashes({1, 1});
        break;
    case 3:
        out += dashes({3, 1, 1, 1});
        break;
    case 4:
        out += dashes({3, 1, 1, 1, 1, 1});
        break;
    case 7: {
        std::string list;
        for (const double d : pen.dashes)
            list += (list.empty() ? "" : " ") + Num(std::max(d * scale, side / 2000));
        if (!list.empty())
            out += " stroke-dasharray=\"" + list + "\"";
        break;
    }
    default:
        break;
    }
    return out;
}

} // namespace pictures::metafile
