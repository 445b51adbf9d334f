// EMF+ text: strings laid out in their layout rectangle by the string format's alignments, and
// driver strings at their glyphs' own positions, handed to the canvas as glyph runs.
#include "decoder/emfplus/EmfPlusPlayer.h"

#include "decoder/gdi/Charsets.h"
#include "decoder/emf/EmfGlyphIndex.h"
#include "decoder/canvas/SvgText.h"
#include "decoder/gdi/SymbolFonts.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pictures::metafile {
namespace {

// Glyph runs of EMF+ records are told from those of GDI records by numbers far above theirs.
constexpr std::size_t kFirstTextRecord = std::size_t{1} << 40;
// Proportions of common fonts, in ems: the ascent, and the distance between lines.
constexpr double kAscent = 0.905, kLineSpacing = 1.15;
// Glyphs larger than this many pictures show nothing readable, and cost the renderer.
constexpr double kMaxEms = 2;

// UTF-8 of UTF-16 units, symbol fonts mapped by their own tables.
std::string TextOf(const LittleEndian& b, std::size_t at, std::size_t count,
                   const std::string& face, bool* symbol) {
    *symbol = SymbolFontToUtf8(face, "").has_value();
    if (!*symbol)
        return ReadUtf16(b, at, count, false);
    // Symbol fonts' codes come as themselves or moved to U+F0xx.
    std::string bytes;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint16_t u = b.U16(at + 2 * i);
        if (u < 0x100 || (u >= 0xF000 && u < 0xF100))
            bytes += static_cast<char>(u & 0xFF);
    }
    return SymbolFontToUtf8(face, bytes).value_or(std::string());
}

// The baseline's direction where `m` maps the x axis: a unit vector and its rotation.
struct Baseline {
    double dirX = 1, dirY = 0, degrees = 0;
};

Baseline BaselineOf(const Matrix& m) {
    const Point along = m.MapVector({1, 0});
    const double norm = std::hypot(along.x, along.y);
    Baseline line;
    if (norm > 0)
        line = {along.x / norm, along.y / norm};
    const double degrees = std::atan2(line.dirY, line.dirX) * 180 / std::numbers::pi;
    line.degrees = std::abs(degrees) > 1e-6 ? degrees : 0;
    return line;
}

// The font's attributes for a run; `anchor` (if any) says where the run's origin lies.
std::string FontAttributes(const std::string& family, const EmfPlusFont& font, double fontSize,
                           const char* anchor) {
    std::string out = " font-family=\"" + family + "\" font-size=\"" + Num(fontSize) +
                      "\" font-weight=\"" + (font.style & 1 ? "700" : "400") + "\" font-style=\"" +
                      (font.style & 2 ? "italic" : "normal") + "\"";
    if (anchor)
        out += std::string(" text-anchor=\"") + anchor + "\"";
    return out;
}

} // namespace

void EmfPlusPlayer::DrawString(unsigned flags, const LittleEndian& b) {
    const EmfPlusFont& font = Get<EmfPlusFont>(flags & 0xFF);
    const Argb color = BrushColor(flags, b.U32(0));
    const std::uint32_t formatId = b.U32(4);
    EmfPlusStringFormat format;
    if (formatId < objects_.size() &&
        std::holds_alternative<EmfPlusStringFormat>(objects_[formatId]))
        format = std::get<EmfPlusStringFormat>(objects_[formatId]);
    const std::size_t length = b.U32(8);
    const double x = b.FiniteF32(12), y = b.FiniteF32(16), w = b.FiniteF32(20), h = b.FiniteF32(24);
    bool symbol = false;
    const std::string text = TextOf(b, 28, length, font.family, &symbol);

    const Matrix m = ToDocument();
    const EmfPlusGraphics& g = state_.Current();
    const double pixel = std::sqrt(std::abs(toDocument_.sx * toDocument_.sy));
    const double scale = m.Scale();
    const double fontSize = font.unit == 0 ? font.emSize * scale
                                           : font.emSize * state_.UnitSize(font.unit).y *
                                                 g.world.Then(g.container).Scale() * pixel;
    if (!(fontSize > 0 && fontSize < kMaxEms * std::max(canvas_.Width(), canvas_.Height()) &&
          scale > 0) ||
        !UseClip())
        return;
    const double em = fontSize / scale;

    std::vector<std::string> lines(1);
    for (const char c : text) {
        if (c == '\n')
            lines.emplace_back();
        else if (c != '\r')
            lines.back() += c;
    }
    const double total = static_cast<double>(lines.size()) * kLineSpacing * em;
    double top = y;
    if (format.lineAlign == 1)
        top = y + (h - total) / 2;
    else if (format.lineAlign == 2)
        top = y + h - total;
    // GDI+ leaves a sixth of an em free at either side of the layout rectangle.
    double left = x + em / 6;
    const char* anchor = "start";
    // Right-to-left strings start at the far side.
    const std::uint32_t align = format.flags & 1 && format.align != 1
                                    ? 2 - std::min<std::uint32_t>(format.align, 2)
                                    : format.align;
    if (align == 1) {
        left = x + w / 2;
        anchor = "middle";
    } else if (align == 2) {
        left = x + w - em / 6;
        anchor = "end";
    }

    const Baseline line = BaselineOf(m);
    std::string family = symbol ? "serif" : XmlEscape(font.family);
    if (family.empty())
        family = "sans-serif";
    std::string attributes = FontAttributes(family, font, fontSize, anchor) + Fill(color, false);
    if (font.style & 12)
        attributes +=
            font.style & 4 ? " text-decoration=\"underline\"" : " text-decoration=\"line-through\"";
    attributes += " stroke=\"none\"";
    if (color.a == 0)
        return;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Point at =
            m.Map({left, top + kAscent * em + static_cast<double>(i) * kLineSpacing * em});
        try {
            canvas_.AddGlyphs({kFirstTextRecord + drawn_++, false, attributes, at.x, at.y,
                               line.dirX, line.dirY, line.degrees, fontSize, lines[i]});
        } catch (const DecodeError&) {
            full_ = true;
            throw;
        }
    }
}

void EmfPlusPlayer::DrawDriverString(unsigned flags, const LittleEndian& b) {
    const EmfPlusFont& font = Get<EmfPlusFont>(flags & 0xFF);
    const Argb color = BrushColor(flags, b.U32(0));
    const std::uint32_t options = b.U32(4);
    const bool hasMatrix = b.U32(8) != 0;
    const std::size_t count = b.U32(12);
    if (count > (b.Size() - 16) / 10)
        throw DecodeError("the file has a corrupt record");
    const std::size_t positions = 16 + 2 * count;
    Matrix glyphs;
    if (hasMatrix) {
        const std::size_t at = positions + 8 * count;
        glyphs = {b.F32(at),      b.F32(at + 4),  b.F32(at + 8),
                  b.F32(at + 12), b.F32(at + 16), b.F32(at + 20)};
        if (!glyphs.IsFinite())
            throw DecodeError("the file has a corrupt record");
    }
    const Matrix m = glyphs.Then(ToDocument());
    const EmfPlusGraphics& g = state_.Current();
    const double pixel = std::sqrt(std::abs(toDocument_.sx * toDocument_.sy));
    const double fontSize = font.unit == 0
                                ? font.emSize * m.Scale()
                                : font.emSize * state_.UnitSize(font.unit).y *
                                      glyphs.Then(g.world).Then(g.container).Scale() * pixel;
    if (!(fontSize > 0 && fontSize < kMaxEms * std::max(canvas_.Width(), canvas_.Height())) ||
        color.a == 0 || !UseClip())
        return;
    const Baseline line = BaselineOf(m);
    const std::string attributes =
        FontAttributes(font.family.empty() ? "sans-serif" : XmlEscape(font.family), font, fontSize,
                       nullptr) +
        Fill(color, false) + " stroke=\"none\"";
    // Without a character map lookup the codes are glyph indices, which only the font knows;
    // in the common TrueType fonts the printable ASCII glyphs sit 29 below their codes.
    const auto character = [&](std::size_t i) -> std::uint32_t {
        const std::uint32_t code = b.U16(16 + 2 * i);
        if (options & 1)
            return code >= 0xD800 && code < 0xE000 ? 0xFFFD : code;
        const auto ascii = AsciiOfGlyphIndex(code);
        return ascii ? std::uint32_t(*ascii) : 0xFFFD;
    };
    // With realized advances only the first position counts; the font lays out the rest.
    const bool oneRun = options & 4;
    const std::size_t record = kFirstTextRecord + drawn_++;
    std::string run;
    for (std::size_t i = 0; i < count; ++i) {
        std::string utf8;
        AppendUtf8(utf8, character(i));
        if (oneRun) {
            run += utf8;
            if (i + 1 < count)
                continue;
            utf8 = run;
        }
        const std::size_t at = oneRun ? positions : positions + 8 * i;
        const Point p = m.Map({b.F32(at), b.F32(at + 4)});
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            continue;
        try {
            canvas_.AddGlyphs({record, !oneRun && i > 0, attributes, p.x, p.y, line.dirX, line.dirY,
                               line.degrees, fontSize, utf8});
        } catch (const DecodeError&) {
            full_ = true;
            throw;
        }
    }
}

} // namespace pictures::metafile
