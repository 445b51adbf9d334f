// Text of EMF records: ExtTextOut, PolyTextOut and SmallTextOut in wide and 8-bit characters, with
// spacing arrays, glyph indices, escapement and alignment, handed to the canvas glyph run by glyph
// run.
#include "decoder/emf/EmfPlayer.h"

#include "decoder/emf/EmfGlyphIndex.h"
#include "decoder/canvas/SvgText.h"
#include "decoder/gdi/SymbolFonts.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pictures::metafile {
namespace {

constexpr std::uint32_t kEtoOpaque = 0x2, kEtoClipped = 0x4, kEtoGlyphIndex = 0x10,
                        kEtoNoRect = 0x100, kEtoSmallChars = 0x200, kEtoPdy = 0x2000;
constexpr unsigned kTaUpdateCp = 1, kTaCenter = 6, kTaBottom = 8, kTaBaseline = 24;

std::string Family(const Font& font, bool symbols) {
    // The symbol font itself may be found under its name with its own code layout, not the
    // Unicode one the text now has.
    if (symbols)
        return "serif";
    std::string family = XmlEscape(font.face);
    if (!family.empty())
        return family;
    switch (font.pitchAndFamily & 0xF0) {
    case 0x10:
        return "serif";
    case 0x30:
        return "monospace";
    default:
        return "sans-serif";
    }
}

} // namespace

bool EmfPlayer::PlayText(const EmfRecord& record) {
    const LittleEndian b(record.bytes);
    switch (record.type) {
    case 83:
    case 84: // EXTTEXTOUTA, EXTTEXTOUTW
        Text(b, 36, record.type == 84, recordIndex_);
        break;
    case 96:
    case 97: { // POLYTEXTOUTA, POLYTEXTOUTW
        const std::uint32_t count = b.U32(36);
        if (count > b.Size() / 40)
            throw DecodeError("the file has a corrupt record");
        for (std::uint32_t i = 0; i < count; ++i)
            Text(b, 40 + std::size_t{i} * 40, record.type == 97, recordIndex_);
        break;
    }
    case 108: { // SMALLTEXTOUT: recast as the text of an EXTTEXTOUTW
        const std::uint32_t count = b.U32(16), options = b.U32(20);
        const bool rect = !(options & kEtoNoRect), small = options & kEtoSmallChars;
        const std::size_t from = rect ? 52 : 36;
        if (count > b.Size())
            throw DecodeError("the file has a corrupt record");
        const auto chars = b.Span(from, std::size_t{count} * (small ? 1 : 2));
        std::vector<unsigned char> text(76, 0);
        const auto put = [&text](std::size_t at, std::uint32_t v) {
            for (int i = 0; i < 4; ++i)
                text[at + i] = static_cast<unsigned char>(v >> (8 * i));
        };
        put(36, b.U32(8));
        put(40, b.U32(12));
        put(44, count);
        put(48, 76);
        put(52, options & (rect ? kEtoOpaque | kEtoClipped : 0));
        for (int i = 0; rect && i < 4; ++i)
            put(56 + 4 * i, b.U32(36 + 4 * i));
        for (std::size_t i = 0; i < count; ++i) {
            text.push_back(small ? chars[i] : chars[2 * i]);
            text.push_back(small ? 0 : chars[2 * i + 1]);
        }
        Text(LittleEndian(text), 36, true, recordIndex_);
        break;
    }
    default:
        return false;
    }
    return true;
}

void EmfPlayer::Text(const LittleEndian& b, std::size_t at, bool wide, std::size_t textRecord) {
    EmfDc& s = state_.Current();
    const Font& font = s.font;
    const std::uint32_t count = b.U32(at + 8), offString = b.U32(at + 12);
    const std::uint32_t options = b.U32(at + 16), offDx = b.U32(at + 36);
    if (count > b.Size())
        throw DecodeError("the file has a corrupt record");
    const auto chars = b.Span(offString, std::size_t{count} * (wide ? 2 : 1));

    // One piece of text per character (or glyph), for its own advance.
    std::vector<std::string> glyphs;
    bool symbols = false;
    // Characters of two bytes in the code pages of East Asian character sets are read whole,
    // without their advances (which are given byte by byte).
    const unsigned charset = font.charset;
    const bool symbolFont = SymbolFontToUtf8(font.face, "").has_value();
    const bool multiByte =
        !wide && !(options & kEtoGlyphIndex) &&
        (charset == 128 || charset == 129 || charset == 130 || charset == 134 || charset == 136) &&
        !symbolFont;
    if (multiByte)
        glyphs.push_back(codePages_.ToUtf8(
            {reinterpret_cast<const char*>(chars.data()), chars.size()}, charset));
    for (std::size_t i = 0; i < count && !multiByte; ++i) {
        const unsigned code = wide ? chars[2 * i] | chars[2 * i + 1] << 8 : chars[i];
        std::string glyph;
        if (options & kEtoGlyphIndex) {
            // Without the font, indices are read in the standard TrueType order, in which
            // glyph 3 is the space; a symbol font's order is its own.
            if (const auto c = AsciiOfGlyphIndex(code); c && !symbolFont)
                glyph = std::string(1, *c);
        } else if (symbolFont && (code < 0x100 || (code & 0xFF00) == 0xF000)) {
            glyph = *SymbolFontToUtf8(font.face, std::string(1, static_cast<char>(code & 0xFF)));
            symbols = true;
        } else if (wide) {
            if (code >= 0xDC00 && code < 0xE000 && !glyphs.empty()) {
                glyphs.back() = Utf16ToUtf8(chars.subspan(2 * i - 2, 4));
            } else {
                glyph = Utf16ToUtf8(chars.subspan(2 * i, 2));
            }
        } else {
            glyph = codePages_.ToUtf8(std::string(1, static_cast<char>(code)), font.charset);
        }
        glyphs.push_back(std::move(glyph));
    }

    // The baseline's direction and the em size, in logical units and in the document's.
    const Matrix& m = state_.ToDocument();
    const double angle = font.escapement / 10.0 * std::numbers::pi / 180;
    const double ux = std::cos(angle),
                 uy = m.Determinant() < 0 ? std::sin(angle) : -std::sin(angle);
    const Point dir = m.MapVector({ux, uy});
    const double dirLength = std::hypot(dir.x, dir.y);
    if (!(dirLength > 0) || !std::isfinite(dirLength))
        return;
    const double dirX = dir.x / dirLength, dirY = dir.y / dirLength;
    // SVG text cannot stretch: under unequal scales the em takes their geometric mean.
    double em = std::abs(double(font.height)) * m.Scale();
    if (font.height > 0)
        em /= 1.15;
    if (font.height == 0)
        em = 12 * state_.DeviceMapping().sy;
    if (!(em > 0) || !std::isfinite(em))
        return;

    // The advances, when the record gives them: logical units along and across the baseline.
    std::vector<Point> advances;
    if (offDx != 0 && !multiByte) {
        const bool pdy = options & kEtoPdy;
        const std::size_t each = pdy ? 8 : 4;
        if (b.Has(offDx, std::size_t{count} * each))
            for (std::size_t i = 0; i < count; ++i)
                advances.push_back({double(b.S32(offDx + i * each)),
                                    pdy ? double(b.S32(offDx + i * each + 4)) : 0.0});
    }
    Point total{0, 0};
    for (const Point& a : advances)
        total = {total.x + a.x, total.y + a.y};
    // In the document: along the baseline by dx, and up (against the text's descent) by dy.
    const auto offset = [&](const Point& a) {
        return m.MapVector({ux * a.x + uy * a.y, uy * a.x - ux * a.y});
    };

    Point reference{double(b.S32(at)), double(b.S32(at + 4))};
    if (s.textAlign & kTaUpdateCp)
        reference = s.position;
    Point origin = m.Map(reference);
    const double downX = -dirY, downY = dirX;
    const unsigned vertical = s.textAlign & kTaBaseline;
    const double drop = vertical == kTaBaseline ? 0 : vertical == kTaBottom ? -0.21 * em : 0.9 * em;
    origin = {origin.x + downX * drop, origin.y + downY * drop};
    const unsigned horizontal = s.textAlign & kTaCenter;
    const bool measured = !advances.empty();
    const Point span = offset(total);
    if (measured && horizontal != 0) {
        const double f = horizontal == kTaCenter ? 0.5 : 1.0;
        origin = {origin.x - span.x * f, origin.y - span.y * f};
    }
    if (s.textAlign & kTaUpdateCp) {
        // Without advances, an average glyph's width stands for them.
        const double estimate = measured ? 0 : double(count) * 0.5 * std::abs(double(font.height));
        s.position = {reference.x + ux * (total.x + estimate),
                      reference.y + uy * (total.x + estimate)};
    }

    // Glyphs many times the picture's size, or text that cannot reach it, are not drawn:
    // their cost would follow the numbers in the file, not what shows.
    const Box margin = canvas_.Margin();
    const double side = std::max(canvas_.Width(), canvas_.Height());
    const double reach = measured ? std::hypot(span.x, span.y) + em : double(count) * em;
    if (em > 4 * side || origin.x < margin.x0 - reach || origin.x > margin.x1 + reach ||
        origin.y < margin.y0 - reach || origin.y > margin.y1 + reach)
        return;
    const EmfDc kept = s;
    if (options & kEtoClipped)
        state_.IntersectClip(
            {DocumentBox(m, b.S32(at + 20), b.S32(at + 24), b.S32(at + 28), b.S32(at + 32))});
    const std::string background =
        " fill=\"" + HexColor(s.bkColor.r, s.bkColor.g, s.bkColor.b) + "\"";
    if (options & kEtoOpaque) {
        const double l = b.S32(at + 20), t = b.S32(at + 24), r = b.S32(at + 28), u = b.S32(at + 32);
        Emit({{{m.Map({l, t}), m.Map({r, t}), m.Map({r, u}), m.Map({l, u})}, true}}, true, false,
             background, " stroke=\"none\"");
    } else if (s.bkMode == 2 && measured) {
        const Point a{origin.x - downX * 0.9 * em, origin.y - downY * 0.9 * em};
        const Point d{origin.x + downX * 0.21 * em, origin.y + downY * 0.21 * em};
        Emit({{{a, {a.x + span.x, a.y + span.y}, {d.x + span.x, d.y + span.y}, d}, true}}, true,
             false, background, " stroke=\"none\"");
    }

    const int weight = font.weight ? std::clamp(font.weight, 100, 900) : 400;
    const char* anchor = measured || horizontal == 0 ? "start"
                         : horizontal == kTaCenter   ? "middle"
                                                     : "end";
    const std::string colour = HexColor(s.textColor.r, s.textColor.g, s.textColor.b);
    const std::string attributes = " font-family=\"" + Family(font, symbols) + "\" font-size=\"" +
                                   Num(em) + "\" font-weight=\"" + std::to_string(weight) +
                                   "\" font-style=\"" + (font.italic ? "italic" : "normal") +
                                   "\" text-anchor=\"" + anchor + "\" fill=\"" + colour +
                                   "\" stroke=\"none\"";
    const double degrees = std::atan2(dirY, dirX) * 180 / std::numbers::pi;
    if (ApplyClip()) {
        if (measured && (font.underline || font.strikeOut)) {
            const std::string bar =
                " stroke=\"" + colour + "\" stroke-width=\"" + Num(em / 14) + "\"";
            for (const double at : {font.underline ? 0.12 : 1e9, font.strikeOut ? -0.3 : 1e9}) {
                if (at > 1e8)
                    continue;
                const Point p{origin.x + downX * at * em, origin.y + downY * at * em};
                Emit({{{p, {p.x + span.x, p.y + span.y}}, false}}, false, true, " fill=\"none\"",
                     bar);
            }
        }
        if (!measured) {
            std::string text;
            for (const std::string& g : glyphs)
                text += g;
            canvas_.AddGlyphs({textRecord, false, attributes, origin.x, origin.y, dirX, dirY,
                               std::abs(degrees) > 1e-6 ? degrees : 0, em, text});
        } else {
            Point pen{0, 0};
            bool started = false;
            for (std::size_t i = 0; i < glyphs.size(); ++i) {
                const Point o = offset(pen);
                if (!glyphs[i].empty()) {
                    canvas_.AddGlyphs({textRecord, started, attributes, origin.x + o.x,
                                       origin.y + o.y, dirX, dirY,
                                       std::abs(degrees) > 1e-6 ? degrees : 0, em, glyphs[i]});
                    started = true;
                }
                pen = {pen.x + advances[i].x, pen.y + advances[i].y};
            }
        }
    }
    if (options & kEtoClipped)
        s.clip = kept.clip;
}

} // namespace pictures::metafile
