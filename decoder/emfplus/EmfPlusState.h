// The graphics state of EMF+ playback: world and page transforms, the clip, and the stack that
// Save/Restore and containers push it on.
#pragma once

#include "decoder/gdi/Boxes.h"
#include "decoder/emf/EmfFrame.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace pictures::metafile {

struct EmfPlusGraphics {
    Matrix world;           // world to the container's space
    Matrix container;       // the container's space to page units
    std::uint32_t unit = 2; // the page unit; pixels at first
    double pageScale = 1;
    // Clips in document units; none: no clip. The container's applies as well as the own.
    std::optional<Boxes> clip, containerClip;
};

class EmfPlusState {
public:
    // `dpiX`, `dpiY`: the header's, for page units of physical size.
    void SetDpi(double dpiX, double dpiY);
    void SetVideoDisplay(bool video) { videoDisplay_ = video; }
    // Device pixels per unit; world units count as pixels.
    Point UnitSize(std::uint32_t unit) const;

    EmfPlusGraphics& Current() { return current_; }
    const EmfPlusGraphics& Current() const { return current_; }

    // World units to device pixels.
    Matrix WorldToDevice() const;

    // The clip that applies (none: none), both the own and the container's.
    std::optional<Boxes> EffectiveClip() const;

    void Save(std::uint32_t index);
    void Restore(std::uint32_t index);
    // A container whose world maps `from` (a rectangle x, y, w, h in `unit`) onto `to`.
    void BeginContainer(std::uint32_t index, const Matrix& fromTo);
    void EndContainer(std::uint32_t index) { Restore(index); }

private:
    double dpiX_ = 96, dpiY_ = 96;
    bool videoDisplay_ = true;
    EmfPlusGraphics current_;
    std::vector<std::pair<std::uint32_t, EmfPlusGraphics>> saved_;
};

} // namespace pictures::metafile
