// What a picture is drawn from, and how drawing fails: the interface the decoders implement
// and the viewer's Picture holds, whichever side of the process boundary does the drawing.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <stdexcept>
#include <stop_token>

namespace pictures {

// A pixel counts as 1/96 inch, in hundredths of a millimetre.
inline constexpr double kHundredthsOfMmPerPixel = 2540.0 / 96.0;

// Thrown when a file is not a picture that can be read; the message names the file and why.
class LoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The result of drawing: the pixels, and what went wrong if the data proved corrupt part way.
struct Rendering {
    QImage image;
    QString error; // empty when the picture drew completely
};

// Implementations are immutable once built, so pictures share them.
class Source {
public:
    virtual ~Source() = default;
    // Natural size in hundredths of a millimetre.
    virtual double naturalWidth() const = 0;
    virtual double naturalHeight() const = 0;
    // Draws the whole picture into an image of exactly `size` device pixels. A source may give
    // up early once `stop` is requested; what it returns then is not looked at.
    virtual Rendering render(QSize size, const std::stop_token& stop) const = 0;
};

} // namespace pictures
