// Bitmaps of EMF records (StretchDIBits, SetDIBitsToDevice, BitBlt, StretchBlt, AlphaBlend,
// TransparentBlt) as SVG images placed by the full transform, and the raster operations
// without a source as filled rectangles.
#include "decoder/emf/EmfPlayer.h"

#include "decoder/gdi/Boxes.h"
#include "decoder/canvas/SvgText.h"

#include <algorithm>
#include <cmath>

namespace pictures::metafile {
namespace {

constexpr std::uint32_t kSrcCopy = 0x00CC0020, kSrcPaint = 0x00EE0086, kPatCopy = 0x00F00021,
                        kBlackness = 0x00000042, kWhiteness = 0x00FF0062;

bool Plausible(double v) {
    return std::abs(v) < 1e9;
}

} // namespace

void EmfPlayer::FillBox(double x, double y, double w, double h, const std::string& fill) {
    if (!ApplyClip())
        return;
    canvas_.AddRect(x, y, x + w, y + h, fill + " stroke=\"none\"");
}

void EmfPlayer::Image(const LittleEndian& b, std::size_t offBmi, std::size_t cbBmi,
                      std::size_t offBits, std::size_t cbBits, double x, double y, double w,
                      double h, double srcX, double srcY, double srcW, double srcH, bool alpha,
                      bool fromBottom) {
    if (cbBmi == 0 || !b.Has(offBmi, cbBmi) || !b.Has(offBits, cbBits) || srcW == 0 || srcH == 0)
        return;
    const auto info = b.Span(offBmi, cbBmi);
    const std::optional<PixelRect> size = DibSize(info);
    if (!size)
        return;
    // The rows of a bottom-up DIB count from its last, for the DIB records.
    if (fromBottom && b.U32(offBmi) >= 40 && b.S32(offBmi + 8) > 0)
        srcY = size->height - srcY - srcH;
    // The whole bitmap, placed so that the source rectangle covers the destination.
    const double scaleX = w / srcW, scaleY = h / srcH;
    Matrix place = Matrix{scaleX, 0, 0, scaleY, x - srcX * scaleX, y - srcY * scaleY}.Then(
        state_.ToDocument());
    const Box target = DocumentBox(state_.ToDocument(), x, y, x + w, y + h);
    const Box margin = canvas_.Margin();
    if (!(target.x1 > margin.x0 && target.x0 < margin.x1 && target.y1 > margin.y0 &&
          target.y0 < margin.y1) ||
        !ApplyClip())
        return;
    for (const double v : {place.a, place.b, place.c, place.d, place.e, place.f})
        if (!Plausible(v))
            return;
    // Images are not cut by the canvas: only the pixels of the source rectangle that can show
    // within the clip (by its bounds) and the margin are kept, when the placement keeps axes.
    double u0 = std::min(srcX, srcX + srcW), u1 = std::max(srcX, srcX + srcW);
    double v0 = std::min(srcY, srcY + srcH), v1 = std::max(srcY, srcY + srcH);
    if (place.b == 0 && place.c == 0 && place.a != 0 && place.d != 0) {
        Box seen = margin;
        if (Box all; BoundsOf(state_.CanvasClip(), &all)) {
            seen = {std::max(seen.x0, all.x0), std::max(seen.y0, all.y0), std::min(seen.x1, all.x1),
                    std::min(seen.y1, all.y1)};
        }
        const double ua = (seen.x0 - place.e) / place.a, ub = (seen.x1 - place.e) / place.a;
        const double va = (seen.y0 - place.f) / place.d, vb = (seen.y1 - place.f) / place.d;
        u0 = std::max(u0, std::min(ua, ub));
        u1 = std::min(u1, std::max(ua, ub));
        v0 = std::max(v0, std::min(va, vb));
        v1 = std::min(v1, std::max(va, vb));
    }
    const auto clamp = [](double v, int high) {
        return static_cast<int>(std::clamp(v, 0.0, static_cast<double>(high)));
    };
    const int left = clamp(std::floor(u0), size->width), right = clamp(std::ceil(u1), size->width);
    const int top = clamp(std::floor(v0), size->height),
              bottom = clamp(std::ceil(v1), size->height);
    if (left >= right || top >= bottom)
        return;
    const std::optional<Bitmap> bitmap =
        BmpOfDibPart(info, b.Span(offBits, cbBits), alpha, {left, top, right - left, bottom - top});
    if (!bitmap)
        return;
    place = Matrix{1, 0, 0, 1, double(bitmap->left), double(bitmap->top)}.Then(place);
    canvas_.Add("<image x=\"0\" y=\"0\" width=\"" + std::to_string(bitmap->width) + "\" height=\"" +
                std::to_string(bitmap->height) + "\" transform=\"" + SvgMatrix(place) +
                "\" preserveAspectRatio=\"none\" xlink:href=\"data:image/bmp;base64," +
                Base64(bitmap->bmpFile) + "\"/>\n");
}

bool EmfPlayer::PlayBitmap(const EmfRecord& record) {
    const LittleEndian b(record.bytes);
    const auto s32 = [&b](std::size_t at) { return double(b.S32(at)); };
    switch (record.type) {
    case 81: // STRETCHDIBITS
        if (b.U32(68) != kSrcCopy && b.U32(68) != kSrcPaint)
            return false;
        Image(b, b.U32(48), b.U32(52), b.U32(56), b.U32(60), s32(24), s32(28), s32(72), s32(76),
              s32(32), s32(36), s32(40), s32(44), false, true);
        break;
    case 80: // SETDIBITSTODEVICE
        Image(b, b.U32(48), b.U32(52), b.U32(56), b.U32(60), s32(24), s32(28), s32(40), s32(44),
              s32(32), s32(36), s32(40), s32(44), false, true);
        break;
    case 76:
    case 77: { // BITBLT, STRETCHBLT
        const std::uint32_t rop = b.U32(40);
        const double x = s32(24), y = s32(28), w = s32(32), h = s32(36);
        if (b.U32(88) == 0) { // no source: the brush, or black or white
            const Matrix& m = state_.ToDocument();
            const std::vector<Figure> box{
                {{m.Map({x, y}), m.Map({x + w, y}), m.Map({x + w, y + h}), m.Map({x, y + h})},
                 true}};
            if (rop == kPatCopy && !building_)
                Draw(box, true, false); // hatched brushes as hatch lines
            else if (rop == kPatCopy)
                Emit(box, true, false, FillStyle(), " stroke=\"none\"");
            else if (rop == kBlackness || rop == kWhiteness)
                Emit(box, true, false,
                     rop == kBlackness ? " fill=\"#000000\"" : " fill=\"#ffffff\"",
                     " stroke=\"none\"");
            else
                return false;
            break;
        }
        if (rop != kSrcCopy && rop != kSrcPaint)
            return false;
        const bool stretch = record.type == 77;
        Image(b, b.U32(84), b.U32(88), b.U32(92), b.U32(96), x, y, w, h, s32(44), s32(48),
              stretch ? s32(100) : w, stretch ? s32(104) : h);
        break;
    }
    case 114:
    case 116: // ALPHABLEND (with the source's alpha when it has one), TRANSPARENTBLT
        Image(b, b.U32(84), b.U32(88), b.U32(92), b.U32(96), s32(24), s32(28), s32(32), s32(36),
              s32(44), s32(48), s32(100), s32(104), record.type == 114 && (b.U32(40) >> 24) == 1);
        break;
    default:
        return false;
    }
    return true;
}

} // namespace pictures::metafile
