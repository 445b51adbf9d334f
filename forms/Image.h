// Image: shows a picture. With Stretch the picture is drawn scaled to the control's box;
// without it the control takes the picture's own size.
#pragma once

#include "forms/Control.h"
#include "forms/Event.h"
#include "pictures/Picture.h"

namespace forms {

class ImageWidget;

// The device pixels an image control of `widget` pixels draws its picture into.
QSize DrawnPixels(QSize widget, int borderStyle, qreal ratio);

class Image : public Control {
public:
    Image(Form& owner, QWidget* parent);

    const pictures::Picture& Picture() const { return picture_; }
    void setPicture(const pictures::Picture& picture);
    bool Stretch() const { return stretch_; }
    void setStretch(bool stretch);
    // 0 none, 1 a fixed single border of 2 pixels on each side.
    int BorderStyle() const { return borderStyle_; }
    void setBorderStyle(int style);

    Event<> Click;

protected:
    void placeWidget(const QRect& geometry) override;

private:
    friend class ImageWidget;
    void fitToPicture();

    pictures::Picture picture_;
    bool stretch_ = false;
    int borderStyle_ = 0;
};

} // namespace forms
