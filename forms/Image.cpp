#include "forms/Image.h"

#include "forms/Application.h"
#include "forms/Click.h"
#include "forms/Form.h"
#include "forms/Twips.h"

#include <QMouseEvent>
#include <QPainter>

namespace forms {

inline constexpr int BorderPixels = 2;

QSize DrawnPixels(QSize widget, int borderStyle, qreal ratio) {
    const int border = borderStyle == 1 ? BorderPixels : 0;
    const QSize box = widget - QSize(2 * border, 2 * border);
    if (box.isEmpty())
        return {};
    return (QSizeF(box) * ratio).toSize();
}

// Shows the drawing of its picture that the render service gives, and keeps it. A new picture
// or place is taken on screen only once its pixels are ready, in one paint: until then the
// previous picture stays where it was.
class ImageWidget : public QWidget {
public:
    ImageWidget(QWidget* parent, Image& image)
        : QWidget(parent), image_(image), target_(geometry()) {}

    // The picture or the place changed; settled once the change's handler is done, when every
    // property of it has been set.
    void changed(std::optional<QRect> place = std::nullopt) {
        if (place) {
            target_ = *place;
            if (shown_.isNull())
                setGeometry(target_); // nothing on screen to keep
        }
        if (settling_)
            return;
        settling_ = true;
        QMetaObject::invokeMethod(
            this, [this] { settle(); }, Qt::QueuedConnection);
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
        const QSize wanted = DrawnPixels(size(), image_.borderStyle_, devicePixelRatioF());
        // Moved to a screen of another pixel ratio: drawn again at its new size.
        if (!shownPicture_.isNull() && wanted != shownSize_ && geometry() == target_)
            changed();
        if (shown_.isNull() || wanted.isEmpty())
            return;
        const QRect box = rect().adjusted(border, border, -border, -border);
        if (shown_.size() == wanted && devicePixelRatioF() == 1.0) {
            painter.drawImage(box.topLeft(), shown_);
        } else {
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(QRectF(box), shown_);
        }
    }

    void showEvent(QShowEvent*) override { changed(); }

    void mousePressEvent(QMouseEvent* event) override { click_.press(event); }

    void mouseReleaseEvent(QMouseEvent* event) override {
        if (click_.release(event, *this))
            image_.Click();
    }

private:
    // Asks for the pixels of the picture at its new place; a hidden control asks nothing.
    void settle() {
        settling_ = false;
        if (!isVisible())
            return;
        const pictures::Picture picture = image_.picture_;
        const QSize pixels = DrawnPixels(target_.size(), image_.borderStyle_, devicePixelRatioF());
        if (picture.isNull() || pixels.isEmpty()) {
            show(picture, pixels, {});
            return;
        }
        if (picture == shownPicture_ && pixels == shownSize_) {
            setGeometry(target_);
            return;
        }
        const auto ready = App.Pictures().request(
            picture, pixels, this, [this, picture, pixels](const pictures::Rendering& drawn) {
                // Still what the control wants: otherwise a newer request is on its way.
                if (picture == image_.picture_ &&
                    pixels == DrawnPixels(target_.size(), image_.borderStyle_, devicePixelRatioF()))
                    show(picture, pixels, drawn);
            });
        if (ready) {
            show(picture, pixels, *ready);
        } else if (shown_.isNull()) {
            // Nothing on screen yet (a window's first frames): the same file's drawing at
            // another size, scaled, rather than the bare background until the sharp one comes.
            shown_ = App.Pictures().keptAtAnySize(picture);
            setGeometry(target_);
            update();
        }
    }

    void show(const pictures::Picture& picture, QSize pixels, const pictures::Rendering& drawn) {
        shownPicture_ = picture;
        shownSize_ = pixels;
        shown_ = drawn.image;
        setGeometry(target_);
        update();
        if (!drawn.error.isEmpty())
            image_.owner().ReportFailure(drawn.error);
    }

    Image& image_;
    QRect target_; // where the control's properties put it
    bool settling_ = false;
    pictures::Picture shownPicture_;
    QSize shownSize_;
    QImage shown_;
    ClickTracker click_;
};

Image::Image(Form& owner, QWidget* parent)
    : Control(owner, new ImageWidget(parent, *this)), Click(owner) {}

void Image::setPicture(const pictures::Picture& picture) {
    picture_ = picture;
    if (!stretch_)
        fitToPicture();
    static_cast<ImageWidget*>(widget())->changed();
}

void Image::setStretch(bool stretch) {
    stretch_ = stretch;
    if (!stretch_)
        fitToPicture();
    static_cast<ImageWidget*>(widget())->changed();
}

void Image::setBorderStyle(int style) {
    borderStyle_ = style;
    static_cast<ImageWidget*>(widget())->changed();
}

void Image::placeWidget(const QRect& geometry) {
    static_cast<ImageWidget*>(widget())->changed(geometry);
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
