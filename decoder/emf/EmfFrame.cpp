#include "decoder/emf/EmfFrame.h"

#include "decoder/gdi/Decoded.h"
#include "decoder/gdi/LittleEndian.h"
#include "decoder/canvas/SvgText.h"

#include <algorithm>
#include <cmath>

namespace pictures::metafile {
namespace {

constexpr std::uint32_t kEmrHeader = 1;
constexpr std::uint32_t kEmfSignature = 0x464D4520; // " EMF"
constexpr std::size_t kHeaderMinimum = 88;

Rectl ReadRectl(const LittleEndian& b, std::size_t at) {
    return {b.S32(at), b.S32(at + 4), b.S32(at + 8), b.S32(at + 12)};
}

} // namespace

Matrix Matrix::Then(const Matrix& n) const {
    return {a * n.a + b * n.c, a * n.b + b * n.d,       c * n.a + d * n.c,
            c * n.b + d * n.d, e * n.a + f * n.c + n.e, e * n.b + f * n.d + n.f};
}

double Matrix::Scale() const {
    return std::sqrt(std::abs(Determinant()));
}

bool Matrix::IsFinite() const {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d) &&
           std::isfinite(e) && std::isfinite(f);
}

std::string SvgMatrix(const Matrix& m) {
    return "matrix(" + Num(m.a) + " " + Num(m.b) + " " + Num(m.c) + " " + Num(m.d) + " " +
           Num(m.e) + " " + Num(m.f) + ")";
}

Box DocumentBox(const Matrix& m, double x0, double y0, double x1, double y1) {
    const Point corners[] = {m.Map({x0, y0}), m.Map({x1, y0}), m.Map({x0, y1}), m.Map({x1, y1})};
    Box box{corners[0].x, corners[0].y, corners[0].x, corners[0].y};
    for (const Point& p : corners) {
        box.x0 = std::min(box.x0, p.x);
        box.y0 = std::min(box.y0, p.y);
        box.x1 = std::max(box.x1, p.x);
        box.y1 = std::max(box.y1, p.y);
    }
    return box;
}

EmfHeader ReadEmfHeader(std::span<const unsigned char> file) {
    const LittleEndian b(file);
    if (!b.Has(0, kHeaderMinimum) || b.U32(0) != kEmrHeader || b.U32(40) != kEmfSignature)
        throw DecodeError("the file is not an EMF picture");
    EmfHeader header;
    header.size = b.U32(4);
    if (header.size < kHeaderMinimum || header.size > file.size())
        throw DecodeError("the file has a corrupt header");
    header.bounds = ReadRectl(b, 8);
    header.frame = ReadRectl(b, 24);
    if (header.frame.Width() <= 0 || header.frame.Height() <= 0)
        throw DecodeError("the header gives the picture an empty or negative size");
    CheckNaturalSize(static_cast<double>(header.frame.Width()),
                     static_cast<double>(header.frame.Height()));
    header.devicePixelsX = b.S32(72);
    header.devicePixelsY = b.S32(76);
    header.deviceMmX = b.S32(80);
    header.deviceMmY = b.S32(84);
    if (header.devicePixelsX <= 0 || header.devicePixelsY <= 0 || header.deviceMmX <= 0 ||
        header.deviceMmY <= 0)
        throw DecodeError("the header gives no reference device");
    // A device of more than a million pixels to the millimetre is a corrupt header.
    if (header.devicePixelsX / header.deviceMmX > 1e6 ||
        header.devicePixelsY / header.deviceMmY > 1e6)
        throw DecodeError("the header claims an implausibly large picture");
    return header;
}

DeviceToDocument DocumentMapping(const EmfHeader& header) {
    DeviceToDocument m;
    m.sx = header.deviceMmX * 100.0 / header.devicePixelsX;
    m.sy = header.deviceMmY * 100.0 / header.devicePixelsY;
    m.ox = -static_cast<double>(header.frame.left);
    m.oy = -static_cast<double>(header.frame.top);
    // The bounds are what the writing system saw drawn, in whole device pixels. Some writers
    // draw mostly outside the frame they declare: then the bounds are shown, filling the frame's
    // size, as the frame would be.
    const Box bounds{static_cast<double>(header.bounds.left) * m.sx,
                     static_cast<double>(header.bounds.top) * m.sy,
                     static_cast<double>(header.bounds.right + 1) * m.sx,
                     static_cast<double>(header.bounds.bottom + 1) * m.sy};
    const Box frame{static_cast<double>(header.frame.left), static_cast<double>(header.frame.top),
                    static_cast<double>(header.frame.right),
                    static_cast<double>(header.frame.bottom)};
    const double width = bounds.x1 - bounds.x0, height = bounds.y1 - bounds.y0;
    if (!(width > 0 && height > 0))
        return m;
    const double insideWidth = std::min(bounds.x1, frame.x1) - std::max(bounds.x0, frame.x0);
    const double insideHeight = std::min(bounds.y1, frame.y1) - std::max(bounds.y0, frame.y0);
    const double inside = insideWidth > 0 && insideHeight > 0 ? insideWidth * insideHeight : 0.0;
    if (inside * 2 >= width * height)
        return m;
    const double scaleX = (frame.x1 - frame.x0) / width, scaleY = (frame.y1 - frame.y0) / height;
    return {m.sx * scaleX, m.sy * scaleY, -bounds.x0 * scaleX, -bounds.y0 * scaleY};
}

} // namespace pictures::metafile
