// The EMF header's picture frame and reference device, the mapping from the reference
// device's pixels to the document's hundredths of a millimetre, and the matrices of transforms,
// which the EMF and EMF+ players share.
#pragma once

#include "decoder/gdi/Clip.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace pictures::metafile {

struct Rectl {
    std::int64_t left = 0, top = 0, right = 0, bottom = 0;
    std::int64_t Width() const { return right - left; }
    std::int64_t Height() const { return bottom - top; }
};

struct EmfHeader {
    std::size_t size = 0;                        // bytes of the header record
    Rectl bounds;                                // device pixels; may be empty
    Rectl frame;                                 // hundredths of a millimetre, inclusive
    double devicePixelsX = 0, devicePixelsY = 0; // the reference device
    double deviceMmX = 0, deviceMmY = 0;
};

// x' = a x + c y + e, y' = b x + d y + f, as both EMF and EMF+ write their transforms.
struct Matrix {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
    Point Map(Point p) const { return {a * p.x + c * p.y + e, b * p.x + d * p.y + f}; }
    Point MapVector(Point p) const { return {a * p.x + c * p.y, b * p.x + d * p.y}; }
    // This one first, then `next`.
    Matrix Then(const Matrix& next) const;
    double Determinant() const { return a * d - b * c; }
    // How much areas grow, as a length: the square root of the determinant.
    double Scale() const;
    bool IsFinite() const;
};

// `m` as an SVG transform: matrix(a b c d e f).
std::string SvgMatrix(const Matrix& m);

// The box holding the corners of the rectangle x0, y0, x1, y1 where `m` maps them.
Box DocumentBox(const Matrix& m, double x0, double y0, double x1, double y1);

// Device pixels to document units: the frame's top left corner is the document's origin.
struct DeviceToDocument {
    double sx = 1, sy = 1; // document units per device pixel
    double ox = 0, oy = 0; // where device pixel (0, 0) lies in the document
    Point operator()(double x, double y) const { return {x * sx + ox, y * sy + oy}; }
    Matrix ToMatrix() const { return {sx, 0, 0, sy, ox, oy}; }
};

// The header of an EMF file; throws DecodeError when it is not one, or not a sound one.
EmfHeader ReadEmfHeader(std::span<const unsigned char> file);

DeviceToDocument DocumentMapping(const EmfHeader& header);

} // namespace pictures::metafile
