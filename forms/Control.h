// Control: what every control of a window shares: its place in twips, Visible and Enabled.
#pragma once

#include <QWidget>

namespace forms {

class Form;

class Control {
public:
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control() = default;

    // Positions and sizes read back exactly as they were set; the widget gets whole pixels.
    float Left() const { return left_; }
    void setLeft(float twips);
    float Top() const { return top_; }
    void setTop(float twips);
    float Width() const { return width_; }
    void setWidth(float twips);
    virtual float Height() const { return height_; }
    void setHeight(float twips);
    void Move(float left, float top, float width, float height);

    bool Visible() const { return visible_; }
    void setVisible(bool visible);
    bool Enabled() const { return widget_->isEnabled(); }
    void setEnabled(bool enabled) { widget_->setEnabled(enabled); }

    QWidget* widget() const { return widget_; }
    Form& owner() const { return owner_; }

protected:
    // The widget is a child of `parent` (the window's client area or a frame).
    Control(Form& owner, QWidget* widget);
    // Called after the place changed, to let a control react (an image redraws).
    virtual void placed() {}
    // Moves the widget to the place set; an image keeps its old place until its new pixels
    // are drawn.
    virtual void placeWidget(const QRect& geometry) { widget_->setGeometry(geometry); }
    // The height the widget gets: the one set, unless the toolkit fixes it (a combo box).
    virtual int pixelHeight() const;
    void applyGeometry();

private:
    Form& owner_;
    QWidget* widget_;
    float left_ = 0;
    float top_ = 0;
    float width_ = 0;
    float height_ = 0;
    bool visible_ = true;
};

} // namespace forms
