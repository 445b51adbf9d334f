#include "forms/Control.h"

#include "forms/Twips.h"

namespace forms {

Control::Control(Form& owner, QWidget* widget) : owner_(owner), widget_(widget) {}

void Control::setLeft(float twips) {
    left_ = twips;
    applyGeometry();
}

void Control::setTop(float twips) {
    top_ = twips;
    applyGeometry();
}

void Control::setWidth(float twips) {
    width_ = twips;
    applyGeometry();
}

void Control::setHeight(float twips) {
    height_ = twips;
    applyGeometry();
}

void Control::Move(float left, float top, float width, float height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    applyGeometry();
}

void Control::applyGeometry() {
    // A negative length shows as an empty control; its twip value is kept as it was given.
    placeWidget(QRect(ToPixels(left_), ToPixels(top_), std::max(0, ToPixels(width_)),
                      std::max(0, pixelHeight())));
    placed();
}

int Control::pixelHeight() const {
    return ToPixels(height_);
}

void Control::setVisible(bool visible) {
    visible_ = visible;
    widget_->setVisible(visible);
}

} // namespace forms
