// The fit the windows make of a picture in a box: as large as fits, its ratio kept.
#pragma once

#include <QSizeF>

namespace forms {

// A picture of `w` by `h` fitted into `boxWidth` by `boxHeight`, touching two opposite sides.
// All four are positive.
inline QSizeF FitInside(double w, double h, double boxWidth, double boxHeight) {
    const double ratio = w / h;
    if (ratio > boxWidth / boxHeight)
        return {boxWidth, boxWidth / ratio};
    return {boxHeight * ratio, boxHeight};
}

} // namespace forms
