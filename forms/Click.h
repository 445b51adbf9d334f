// A click as the controls count it: a left-button press and release on the same widget.
#pragma once

#include <QMouseEvent>
#include <QWidget>

#include <utility>

namespace forms {

class ClickTracker {
public:
    void press(QMouseEvent* event) {
        pressed_ = event->button() == Qt::LeftButton;
        event->accept();
    }
    // True when this release completes a click on `widget`.
    bool release(QMouseEvent* event, const QWidget& widget) {
        event->accept();
        return std::exchange(pressed_, false) && event->button() == Qt::LeftButton &&
               widget.rect().contains(event->position().toPoint());
    }

private:
    bool pressed_ = false;
};

} // namespace forms
