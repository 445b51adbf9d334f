#include "forms/FormWindow.h"

#include "forms/Form.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QMouseEvent>

namespace forms {

ClientArea::ClientArea(Form& form, QWidget* parent) : QWidget(parent), form_(form) {
    setAutoFillBackground(true);
}

void ClientArea::arrange() {
    if (docked_) {
        const int h = docked_->sizeHint().height();
        docked_->setGeometry(0, height() - h, width(), h);
    }
}

void ClientArea::mousePressEvent(QMouseEvent* event) {
    click_.press(event);
}

// A click is a press and a release on the window's own surface.
void ClientArea::mouseReleaseEvent(QMouseEvent* event) {
    if (click_.release(event, *this))
        form_.Raise([this] { form_.Form_Click(); });
}

void ClientArea::resizeEvent(QResizeEvent*) {
    arrange();
}

FormWindow::FormWindow(Form& form) : form_(form), client_(new ClientArea(form, this)) {}

QMenuBar* FormWindow::menuBar() {
    if (!menuBar_) {
        menuBar_ = new QMenuBar(this);
        menuBar_->setNativeMenuBar(false);
        arrange();
    }
    return menuBar_;
}

int FormWindow::menuBarHeight() const {
    return menuBar_ ? menuBar_->heightForWidth(width()) : 0;
}

void FormWindow::arrange() {
    const int top = menuBarHeight();
    if (menuBar_)
        menuBar_->setGeometry(0, 0, width(), top);
    client_->setGeometry(0, top, width(), std::max(0, height() - top));
}

bool FormWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && !form_.IsUnloading()) {
        if (!isEnabled()) {
            form_.passActivation();
        } else if (App.ActiveForm() != &form_) {
            // Activation among the program's own windows; coming back from another program is
            // none.
            App.formActivated(&form_);
            form_.Raise([this] { form_.Form_Activate(); });
        }
    }
    const bool handled = QWidget::event(event);
    // The window system tells the frame's size once the window is on screen, without a resize:
    // at the latest when it makes the window active.
    if (event->type() == QEvent::Show || event->type() == QEvent::Move ||
        event->type() == QEvent::WindowActivate)
        form_.frameKnown();
    return handled;
}

void FormWindow::resizeEvent(QResizeEvent*) {
    arrange();
    form_.frameKnown();
    if (!form_.IsUnloading())
        form_.Raise([this] { form_.Form_Resize(); });
}

void FormWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && !form_.IsUnloading())
        form_.Raise([this] { form_.Form_Resize(); });
}

void FormWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    // A disabled window takes no input, a close request from the window system included.
    if (!form_.IsUnloading() && isEnabled())
        form_.Raise([this] { form_.Form_QueryUnload(); });
}

void FormWindow::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    form_.Raise([this] { form_.Form_GotFocus(); });
}

} // namespace forms
