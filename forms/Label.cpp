#include "forms/Label.h"

#include "forms/Click.h"

#include <QFrame>
#include <QLabel>
#include <QMouseEvent>

namespace forms {

namespace {

// Clicks on a label are its own: they do not reach the frame or window behind it.
class LabelWidget : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void mousePressEvent(QMouseEvent* event) override { event->accept(); }
    void mouseReleaseEvent(QMouseEvent* event) override { event->accept(); }
};

class FrameWidget : public QFrame {
public:
    FrameWidget(QWidget* parent, Event<>& click) : QFrame(parent), click_(click) {
        setFrameStyle(QFrame::Box | QFrame::Sunken);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override { tracker_.press(event); }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (tracker_.release(event, *this))
            click_();
    }

private:
    Event<>& click_;
    ClickTracker tracker_;
};

} // namespace

Label::Label(Form& owner, QWidget* parent, const QString& caption)
    : Control(owner, new LabelWidget(caption, parent)), label_(static_cast<QLabel*>(widget())) {
    label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

QString Label::Caption() const {
    return label_->text();
}
void Label::setCaption(const QString& caption) {
    label_->setText(caption);
}

Frame::Frame(Form& owner, QWidget* parent)
    : Control(owner, new FrameWidget(parent, Click)), Click(owner) {}

} // namespace forms
