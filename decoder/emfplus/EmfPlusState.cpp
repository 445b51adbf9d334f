#include "decoder/emfplus/EmfPlusState.h"

#include <algorithm>
#include <cmath>

namespace pictures::metafile {
namespace {

// Saved states a drawing may hold at once; older ones are forgotten first.
constexpr std::size_t kMaxSaved = 64;

} // namespace

void EmfPlusState::SetDpi(double dpiX, double dpiY) {
    if (dpiX > 0 && dpiX < 1e6 && dpiY > 0 && dpiY < 1e6) {
        dpiX_ = dpiX;
        dpiY_ = dpiY;
    }
}

Point EmfPlusState::UnitSize(std::uint32_t unit) const {
    switch (unit) {
    case 1: // display
        return videoDisplay_ ? Point{1, 1} : Point{dpiX_ / 100, dpiY_ / 100};
    case 3: // point
        return {dpiX_ / 72, dpiY_ / 72};
    case 4: // inch
        return {dpiX_, dpiY_};
    case 5: // document
        return {dpiX_ / 300, dpiY_ / 300};
    case 6: // millimetre
        return {dpiX_ / 25.4, dpiY_ / 25.4};
    default: // world, pixel
        return {1, 1};
    }
}

Matrix EmfPlusState::WorldToDevice() const {
    const Point unit = UnitSize(current_.unit);
    const Matrix page{unit.x * current_.pageScale, 0, 0, unit.y * current_.pageScale, 0, 0};
    return current_.world.Then(current_.container).Then(page);
}

std::optional<Boxes> EmfPlusState::EffectiveClip() const {
    if (!current_.clip)
        return current_.containerClip;
    if (!current_.containerClip)
        return current_.clip;
    return CombineBoxes(*current_.containerClip, *current_.clip, 1);
}

void EmfPlusState::Save(std::uint32_t index) {
    if (saved_.size() >= kMaxSaved)
        saved_.erase(saved_.begin());
    saved_.emplace_back(index, current_);
}

void EmfPlusState::Restore(std::uint32_t index) {
    const auto found = std::find_if(saved_.rbegin(), saved_.rend(),
                                    [index](const auto& s) { return s.first == index; });
    if (found == saved_.rend())
        return;
    current_ = found->second;
    saved_.erase(std::prev(found.base()), saved_.end());
}

void EmfPlusState::BeginContainer(std::uint32_t index, const Matrix& fromTo) {
    Save(index);
    current_.container = fromTo.Then(current_.world).Then(current_.container);
    current_.world = Matrix{};
    current_.containerClip = EffectiveClip();
    current_.clip.reset();
}

} // namespace pictures::metafile
