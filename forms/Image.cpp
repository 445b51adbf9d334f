#include "forms/Image.h"

#include "forms/Click.h"

#include "forms/Twips.h"

#include <QMouseEvent>
#include <QPainter>

namespace forms {

inline constexpr int BorderPixels = 2;

// Draws the picture and keeps the drawn copy for its current size, so that a repaint costs
// nothing and a hidden control decodes nothing.
class ImageWidget : public QWidget {
public:
    ImageWidget(QWidget* parent, Image& image) : QWidget(parent), image_(image) {}

    void pictureChanged() {
        drawn_ = QImage();
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const int border = image_.borderStyle_ == 1 ? BorderPixels : 0;
        if (border) {
            painter.setPen(QPen(palette().color(QPalette::Dark), 1));
            painter.drawRect(rect().adjusted(0, 0, -1, -1));
            painter.setPen(QPen(palette().color(QPalette::Light), 1));
            painter.drawRect(rect().adjusted(1, 1, -2, -2));
        }
        if (image_.picture_.isNull())
            return;
        const QRect box = rect().adjusted(border, border, -border, -border);
        if (box.isEmpty())
            return;
        const qreal ratio = devicePixelRatioF();
        const QSize pixels = (QSizeF(box.size()) * ratio).toSize();
        if (drawn_.size() != pixels) {
            pictures::Rendering rendering = image_.picture_.render(pixels);
            drawn_ = std::move(rendering.image);
            // Nothing could be drawn: the box shows empty, not leftover memory.
            if (drawn_.isNull()) {
                drawn_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
                drawn_.fill(Qt::transparent);
            }
            drawn_.setDevicePixelRatio(ratio);
            if (!rendering.error.isEmpty())
                image_.owner().ReportFailure(rendering.error);
        }
        painter.drawImage(box.topLeft(), drawn_);
    }

    void mousePressEvent(QMouseEvent* event) override { click_.press(event); }

    void mouseReleaseEvent(QMouseEvent* event) override {
        if (click_.release(event, *this))
            image_.Click();
    }

private:
    Image& image_;
    QImage drawn_;
    ClickTracker click_;
};

Image::Image(Form& owner, QWidget* parent)
    : Control(owner, new ImageWidget(parent, *this)), Click(owner) {}

void Image::setPicture(const pictures::Picture& picture) {
    picture_ = picture;
    if (!stretch_)
        fitToPicture();
    static_cast<ImageWidget*>(widget())->pictureChanged();
}

void Image::setStretch(bool stretch) {
    stretch_ = stretch;
    if (!stretch_)
        fitToPicture();
    static_cast<ImageWidget*>(widget())->pictureChanged();
}

void Image::setBorderStyle(int style) {
    borderStyle_ = style;
    static_cast<ImageWidget*>(widget())->pictureChanged();
}

// Without Stretch the control is as large as the picture at 96 dpi, plus its border.
void Image::fitToPicture() {
    if (picture_.isNull())
        return;
    const float border = borderStyle_ == 1 ? 2 * BorderPixels * TwipsPerPixel : 0.0f;
    const auto twips = [](double himetric) {
        return RoundTwips(static_cast<float>(himetric * 1440.0 / 2540.0));
    };
    Move(Left(), Top(), twips(picture_.Width()) + border, twips(picture_.Height()) + border);
}

} // namespace forms
