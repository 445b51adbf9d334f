// Text of WMF records: placed where the record's alignment puts it (libwmf loses it), in the
// font the device state keeps, and handed to the canvas glyph run by glyph run.
#include "decoder/wmf/WmfDevice.h"

#include "decoder/gdi/SymbolFonts.h"

#include <libwmf/defs.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

namespace pictures::metafile {

void WmfDevice::Text(wmfDrawText_t* t) {
    Frame(t->dc);
    const wmfDC* dc = t->dc;
    const FontSpec& font = state_.Current().font;
    if (!t->str)
        return;
    // Negative heights give the em size, positive ones the cell height, about 1.15 em. Device
    // units here, along y.
    double em = std::abs(font.height) * std::abs(dc->pixel_height);
    if (font.height > 0)
        em /= 1.15;
    if (!(em > 0))
        em = frame_->Height() / 40;

    // libwmf placed the text for the alignment its device context holds (reset by SaveDC, and
    // with TA_RIGHT taken as TA_CENTER, TA_BOTTOM as TA_BASELINE); move it to where the real
    // alignment puts it. Along the text runs `dir`, across it `down`.
    const double angle = font.escapement / 10.0 * std::numbers::pi / 180;
    const double dirX = std::cos(-angle), dirY = std::sin(-angle);
    const double downX = -dirY, downY = dirX;
    const unsigned libAlign = dc->textalign;
    const unsigned align = state_.Current().textAlign;
    const double libDrop = (libAlign & TA_BASELINE) ? 0 : t->font_height;
    double drop = 0;
    if ((align & TA_BASELINE) == TA_BOTTOM)
        drop = -0.21 * em;
    else if ((align & TA_BASELINE) != TA_BASELINE)
        drop = 0.9 * em;

    // With character spacing given, libwmf draws glyph by glyph, the first carrying a box as
    // wide as the string; otherwise it draws the string unmeasured, leaving alignment to us.
    const auto& box = t->bbox;
    // Measured along the text: for centred text libwmf puts the box's corners diagonally.
    const double boxWidth = (box.TR.x - box.TL.x) * dirX + (box.TR.y - box.TL.y) * dirY;
    const bool continuing = textRecord_ == state_.Playing();
    if (!continuing) {
        textRecord_ = state_.Playing();
        textAdvance_ = boxWidth;
    }
    const bool placed = continuing || boxWidth > 1e-6;
    const double advance = textAdvance_;
    const double libShift = placed && (libAlign & TA_CENTER) ? -advance / 2 : 0;
    double shift = 0;
    const char* anchor = "start";
    if ((align & TA_CENTER) == TA_CENTER) {
        shift = -advance / 2;
        anchor = "middle";
    } else if ((align & TA_CENTER) == TA_RIGHT) {
        shift = -advance;
        anchor = "end";
    }
    if (placed)
        anchor = "start";
    else
        shift = 0;
    const double x = t->pt.x + downX * (drop - libDrop) + dirX * (shift - libShift);
    const double y = t->pt.y + downY * (drop - libDrop) + dirY * (shift - libShift);

    if (t->flags & ETO_OPAQUE) {
        const Rect r = Rect{t->TL.x, t->TL.y, t->BR.x, t->BR.y}.Normalized();
        if (r.IsUsable() && lastOpaqueBox_ != r) {
            RectElement(r.x0, r.y0, r.x1, r.y1,
                        " fill=\"" + Color(state_.Current().bkColor) + "\" stroke=\"none\"");
            lastOpaqueBox_ = r;
        }
    } else if (state_.Current().bkMode == OPAQUE && !continuing && placed) {
        // The string's cell: ascent above the baseline, descent below.
        const double ax = x - downX * 0.9 * em, ay = y - downY * 0.9 * em;
        const double dx = x + downX * 0.21 * em, dy = y + downY * 0.21 * em;
        svg_.Add("<path d=\"M" + P(ax, ay) + "L" + P(ax + dirX * advance, ay + dirY * advance) +
                 " " + P(dx + dirX * advance, dy + dirY * advance) + " " + P(dx, dy) +
                 "Z\" fill=\"" + Color(state_.Current().bkColor) + "\" stroke=\"none\"/>\n");
    }

    // Symbol fonts by their own tables, whatever character set the font claims.
    const std::optional<std::string> symbols = SymbolFontToUtf8(font.face, t->str);
    const std::string utf8 = symbols ? *symbols : codePages_.ToUtf8(t->str, font.charset);
    if (XmlEscape(utf8).empty())
        return;
    const int weight = font.weight ? std::clamp<int>(font.weight, 100, 900) : 400;
    const double fontSize = em * sy_;
    const std::string color = Color(state_.Current().textColor);
    // Text drawn glyph by glyph keeps its font and colours: its attributes are made once.
    TextStyle& style = textStyle_;
    if (style.attributes.empty() || style.face != font.face || style.charset != font.charset ||
        style.pitchAndFamily != font.pitchAndFamily || style.symbols != symbols.has_value() ||
        style.weight != weight || style.italic != font.italic || style.fontSize != fontSize ||
        style.anchor != anchor || style.color != color) {
        std::string family = XmlEscape(codePages_.ToUtf8(font.face, font.charset));
        if (family.empty()) {
            switch (font.pitchAndFamily & 0xF0) {
            case 0x10:
                family = "serif";
                break;
            case 0x30:
                family = "monospace";
                break;
            default:
                family = "sans-serif";
            }
        }
        // The symbol font itself may be found under its name with its own code layout, not the
        // Unicode one the text now has.
        if (symbols)
            family = "serif";
        style = {font.face,
                 font.charset,
                 font.pitchAndFamily,
                 symbols.has_value(),
                 weight,
                 font.italic,
                 fontSize,
                 anchor,
                 color,
                 " font-family=\"" + family + "\" font-size=\"" + Num(fontSize) +
                     "\" font-weight=\"" + std::to_string(weight) + "\" font-style=\"" +
                     (font.italic ? "italic" : "normal") + "\" text-anchor=\"" + anchor +
                     "\" fill=\"" + color + "\" stroke=\"none\""};
    }
    const std::string& attributes = style.attributes;
    // Decorations need the string's advance, known only when libwmf placed the glyphs.
    if ((font.underline || font.strikeOut) && !continuing && placed) {
        const double thickness = em / 14;
        const auto bar = [&](double offset) {
            const double bx = x + downX * offset, by = y + downY * offset;
            svg_.Add("<path d=\"M" + P(bx, by) + "L" + P(bx + dirX * advance, by + dirY * advance) +
                     "\" fill=\"none\" stroke=\"" + Color(state_.Current().textColor) +
                     "\" stroke-width=\"" + Num(thickness * sy_) + "\"/>\n");
        };
        if (font.underline)
            bar(0.12 * em);
        if (font.strikeOut)
            bar(-0.3 * em);
    }

    // The rotation is that of the document's space, where the text direction may differ from
    // the device's when the two scale differently.
    const double docX = dirX * sx_, docY = dirY * sy_;
    const double length = std::hypot(docX, docY);
    const double degrees = std::atan2(docY, docX) * 180 / std::numbers::pi;
    svg_.AddGlyphs({state_.Playing(), continuing, attributes, X(x), Y(y),
                    length > 0 ? docX / length : 1, length > 0 ? docY / length : 0,
                    std::abs(degrees) > 1e-6 ? degrees : 0, fontSize, utf8});
}

} // namespace pictures::metafile
