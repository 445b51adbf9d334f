// The render service's last few drawings, by file and pixel size, most recently used first:
// three the size of a screen and eight smaller ones (a preview pane's). UI thread only.
#pragma once

#include "pictures/Picture.h"

#include <QImage>
#include <QSize>

#include <list>

namespace pictures {

struct DrawingKey {
    FileIdentity file;
    QSize size;
    friend bool operator==(const DrawingKey&, const DrawingKey&) = default;
};

// A drawing a pixel off in either direction is as good: the box it was prepared for was
// computed by the same rule, rounded once more or less.
bool NearSize(QSize a, QSize b);

class KeptDrawings {
public:
    // The drawing of the key's file at its size or one a pixel off, made the most recently
    // used; none when none is kept.
    const Rendering* Find(const DrawingKey& key);
    void Keep(const DrawingKey& key, Rendering drawn);
    // The largest drawing kept of the file at any size; a null image when none is.
    QImage Largest(const FileIdentity& file) const;

private:
    struct Kept {
        DrawingKey key;
        Rendering drawn;
    };
    std::list<Kept> kept_;
};

} // namespace pictures
