// The EMF object table: pens, brushes and fonts created by records, selected by handle (stock
// objects too), and deleted so that their handles select nothing afterwards.
#include "decoder/emf/EmfState.h"

#include "decoder/gdi/LittleEndian.h"

#include <algorithm>

namespace pictures::metafile {
namespace {

constexpr std::size_t kMaxObjects = 65536;

Pen StockPen(Rgb color, unsigned style) {
    Pen pen;
    pen.color = color;
    pen.style = style;
    return pen;
}

Brush StockBrush(Brush::Kind kind, std::uint8_t grey) {
    return {kind, {grey, grey, grey}, 0};
}

} // namespace

void EmfState::CreateObject(std::uint32_t index, int kind, const Pen& pen, const Brush& brush,
                            const Font& font) {
    if (index == 0 || index >= kMaxObjects)
        return;
    if (objects_.size() <= index)
        objects_.resize(index + 1);
    objects_[index] = {kind, pen, brush, font};
}

void EmfState::Select(std::uint32_t handle) {
    if (handle & 0x80000000u) {
        // Stock objects: brushes from white to black and the null one, white, black and null
        // pens, and fonts (15 is the palette).
        constexpr std::uint8_t kGreys[] = {255, 192, 128, 64, 0};
        const std::uint32_t stock = handle & 0x7FFFFFFFu;
        if (stock <= 4)
            dc_.brush = StockBrush(Brush::Kind::Solid, kGreys[stock]);
        else if (stock == 5)
            dc_.brush = StockBrush(Brush::Kind::Null, 0);
        else if (stock <= 8)
            dc_.pen = StockPen(stock == 6 ? Rgb{255, 255, 255} : Rgb{0, 0, 0}, stock == 8 ? 5 : 0);
        else if (stock >= 10 && stock <= 17 && stock != 15)
            dc_.font = Font{};
        return;
    }
    // A handle never created, or deleted since, selects nothing.
    if (handle >= objects_.size())
        return;
    const Object& o = objects_[handle];
    if (o.kind == 1)
        dc_.pen = o.pen;
    else if (o.kind == 2)
        dc_.brush = o.brush;
    else if (o.kind == 3)
        dc_.font = o.font;
}

bool EmfState::PlayObject(const EmfRecord& record) {
    const LittleEndian b(record.bytes);
    switch (record.type) {
    case 37:
        Select(b.U32(8));
        break;
    case 38: { // CREATEPEN
        Pen pen;
        pen.style = b.U32(12);
        pen.width = b.S32(16);
        pen.color = ColorRefAt(b, 24);
        CreateObject(b.U32(8), 1, pen, {}, {});
        break;
    }
    case 95: { // EXTCREATEPEN
        Pen pen;
        pen.style = b.U32(28);
        pen.width = b.U32(32);
        pen.color = ColorRefAt(b, 40);
        if ((pen.style & 0xF) == 7) {
            const std::uint32_t count = b.U32(48);
            if (count <= 16 && b.Has(52, std::size_t{count} * 4))
                for (std::uint32_t i = 0; i < count; ++i)
                    pen.dashes.push_back(b.U32(52 + 4 * i));
        }
        if (!b.Has(0, 36) || b.U32(36) == 1) // BS_NULL: draws nothing
            pen.style = (pen.style & ~0xFu) | 5;
        CreateObject(b.U32(8), 1, pen, {}, {});
        break;
    }
    case 39: { // CREATEBRUSHINDIRECT
        Brush brush;
        const std::uint32_t style = b.U32(12);
        brush.kind = style == 1   ? Brush::Kind::Null
                     : style == 2 ? Brush::Kind::Hatched
                                  : Brush::Kind::Solid;
        brush.color = ColorRefAt(b, 16);
        brush.hatch = b.U32(20);
        CreateObject(b.U32(8), 2, {}, brush, {});
        break;
    }
    case 93:
    case 94: { // CREATEMONOBRUSH, CREATEDIBPATTERNBRUSHPT: their average colour
        Brush brush;
        brush.kind = Brush::Kind::Pattern;
        const std::uint32_t offBmi = b.U32(16), cbBmi = b.U32(20), offBits = b.U32(24),
                            cbBits = b.U32(28);
        std::optional<Rgb> mean;
        if (b.Has(offBmi, cbBmi) && b.Has(offBits, cbBits))
            mean = AverageColor(b.Span(offBmi, cbBmi), b.Span(offBits, cbBits));
        brush.color = mean.value_or(Rgb{128, 128, 128});
        CreateObject(b.U32(8), 2, {}, brush, {});
        break;
    }
    case 82: { // EXTCREATEFONTINDIRECTW
        Font font;
        font.height = b.S32(12);
        font.escapement = b.S32(20);
        font.weight = b.S32(28);
        font.italic = b.U8(32) != 0;
        font.underline = b.U8(33) != 0;
        font.strikeOut = b.U8(34) != 0;
        font.charset = b.U8(35);
        font.pitchAndFamily = b.U8(39);
        font.face = Utf16ToUtf8(b.Span(40, std::min<std::size_t>(64, b.Size() - 40)));
        CreateObject(b.U32(8), 3, {}, {}, font);
        break;
    }
    case 40: { // DELETEOBJECT: the slot is free, and its handle selects nothing from now on
        const std::uint32_t handle = b.U32(8);
        if (handle < objects_.size())
            objects_[handle] = {};
        break;
    }
    case 49: // CREATEPALETTE: an object the drawing never uses, but its handle is taken
        CreateObject(b.U32(8), 4, {}, {}, {});
        break;
    default:
        return false;
    }
    return true;
}

} // namespace pictures::metafile
