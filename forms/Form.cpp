#include "forms/Form.h"

#include "forms/FormWindow.h"
#include "forms/Keys.h"
#include "forms/Twips.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QWindow>

#include <utility>

namespace forms {

namespace {

class KeyPreviewFilter : public QObject {
public:
    explicit KeyPreviewFilter(std::function<bool(QObject*, QEvent*)> preview)
        : preview_(std::move(preview)) {}

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        return event->type() == QEvent::KeyPress && preview_(receiver, event);
    }

private:
    std::function<bool(QObject*, QEvent*)> preview_;
};

Qt::WindowFlags FlagsFor(BorderStyle border) {
    switch (border) {
    case BorderStyle::None:
        return Qt::Window | Qt::FramelessWindowHint;
    case BorderStyle::FixedDialog:
        // A dialog frame without a title bar or system menu.
        return Qt::Dialog | Qt::CustomizeWindowHint;
    case BorderStyle::FixedSingle:
    case BorderStyle::Sizable:
        break;
    }
    return Qt::Window;
}

} // namespace

Form::Form(BorderStyle border, StartUpPosition position, float clientWidth, float clientHeight)
    : window_(std::make_unique<FormWindow>(*this)), client_(window_->client()), border_(border),
      position_(position) {
    window_->setWindowFlags(FlagsFor(border));
    window_->setAttribute(Qt::WA_QuitOnClose, false);
    window_->resize(ToPixels(clientWidth), ToPixels(clientHeight));
    window_->arrange();
    if (border == BorderStyle::FixedDialog)
        window_->setFixedSize(window_->size());
    // A new window opens on the screen of the window the user was working in.
    if (const Form* active = App.ActiveForm(); active && active->window_->screen()) {
        window_->winId();
        window_->windowHandle()->setScreen(active->window_->screen());
    }
    keyFilter_ = std::make_unique<KeyPreviewFilter>(
        [this](QObject* receiver, QEvent* event) { return previewKey(receiver, event); });
    qApp->installEventFilter(keyFilter_.get());
}

Form::~Form() {
    App.formGone(this);
    if (qApp)
        qApp->removeEventFilter(keyFilter_.get());
}

void Form::Load(std::function<void()> unload) {
    unload_ = std::move(unload);
    Raise([this] { Form_Load(); });
}

void Form::UnloadMe() {
    if (unload_ && !unloading_)
        unload_();
}

void Form::beginUnload() {
    unloading_ = true;
    window_->hide();
}

QWidget* Form::window() const {
    return window_.get();
}
QWidget* Form::client() const {
    return client_;
}
QMenuBar* Form::menuBar() {
    return window_->menuBar();
}

void Form::ReportFailure(const QString& message) {
    qWarning("%s", qPrintable(message));
}

// The window system's frame around the client area; none until the window system tells it.
// Asked of the platform window each time: on X11 the frame comes after the window is mapped,
// and the widget learns it only at its next move or resize.
QMargins Form::frameMargins() const {
    const QWindow* handle = window_->windowHandle();
    return handle ? handle->frameMargins() : QMargins();
}

float Form::Width() const {
    const QMargins frame = frameMargins();
    const int pixels = window_->width() + frame.left() + frame.right();
    return ToPixels(outerWidth_) == pixels ? outerWidth_ : ToTwips(pixels);
}

float Form::Height() const {
    const QMargins frame = frameMargins();
    const int pixels = window_->height() + frame.top() + frame.bottom();
    return ToPixels(outerHeight_) == pixels ? outerHeight_ : ToTwips(pixels);
}

void Form::setWidth(float twips) {
    outerHeight_ = Height();
    outerWidth_ = twips;
    applyOuterSize();
}

void Form::setHeight(float twips) {
    outerWidth_ = Width();
    outerHeight_ = twips;
    applyOuterSize();
}

void Form::applyOuterSize() {
    const QMargins frame = frameMargins();
    outerPending_ = frame.isNull();
    window_->resize(std::max(1, ToPixels(outerWidth_) - frame.left() - frame.right()),
                    std::max(1, ToPixels(outerHeight_) - frame.top() - frame.bottom()));
    window_->arrange();
}

void Form::frameKnown() {
    if (!window_->isVisible() || frameMargins().isNull() ||
        window_->windowState() != Qt::WindowNoState)
        return;
    if (outerPending_)
        applyOuterSize();
    if (std::exchange(centrePending_, false))
        centre();
}

void Form::centre() {
    const QScreen* screen = window_->screen();
    if (!screen)
        return;
    const QMargins frame = frameMargins();
    QRect outer = window_->geometry().marginsAdded(frame);
    outer.moveCenter(screen->availableGeometry().center());
    window_->setGeometry(outer.marginsRemoved(frame));
}

float Form::ScaleHeight() const {
    return ToTwips(window_->height() - window_->menuBarHeight());
}

bool Form::Visible() const {
    return window_->isVisible();
}

void Form::setVisible(bool visible) {
    if (unloading_)
        return;
    if (visible)
        showWindow();
    else
        window_->hide();
}

void Form::showWindow() {
    if (!shownOnce_) {
        shownOnce_ = true;
        if (position_ == StartUpPosition::CenterScreen ||
            position_ == StartUpPosition::CenterOwner) {
            centre();
            centrePending_ = true;
        }
    }
    switch (requestedState_) {
    case vbMaximized:
        // A borderless maximised window covers the whole screen, panels included: the screen
        // it was opened on, which window managers honour by where the window stands.
        if (border_ == BorderStyle::None) {
            if (const QScreen* screen = window_->screen())
                window_->setGeometry(screen->geometry());
            window_->showFullScreen();
        } else
            window_->showMaximized();
        break;
    case vbMinimized:
        window_->showMinimized();
        break;
    default:
        // show() alone would keep a minimised or maximised window as it is.
        if (window_->isVisible())
            window_->showNormal();
        else
            window_->show();
        break;
    }
    window_->raise();
    window_->activateWindow();
}

bool Form::Enabled() const {
    return window_->isEnabled();
}
void Form::setEnabled(bool enabled) {
    if (!enabled && window_->isEnabled())
        focusWhenDisabled_ = window_->focusWidget();
    window_->setEnabled(enabled);
    // Given back while the window is not active, it takes effect when the window is activated.
    if (enabled && focusWhenDisabled_)
        std::exchange(focusWhenDisabled_, nullptr)->setFocus();
}

// A disabled window takes no input, activation included: the window system may still make it
// active (a click on it), so the program's window that takes input there, open above it (the
// About window over the browser), is raised and made active again.
void Form::passActivation() {
    if (Form* keeper = App.FormTakingInput(this)) {
        keeper->window_->raise();
        keeper->window_->activateWindow();
    }
}

int Form::WindowState() const {
    const Qt::WindowStates state = window_->windowState();
    if (state & Qt::WindowMinimized)
        return vbMinimized;
    if (state & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return vbMaximized;
    return window_->isVisible() ? vbNormal : requestedState_;
}

void Form::setWindowState(int state) {
    requestedState_ = state;
    if (!window_->isVisible())
        return;
    showWindow();
}

QString Form::Caption() const {
    return window_->windowTitle();
}
void Form::setCaption(const QString& caption) {
    window_->setWindowTitle(caption);
}

float Form::ScreenObject::Width() const {
    const QScreen* screen = form.window_->screen();
    return screen ? ToTwips(screen->geometry().width()) : 0.0f;
}

float Form::ScreenObject::Height() const {
    const QScreen* screen = form.window_->screen();
    return screen ? ToTwips(screen->geometry().height()) : 0.0f;
}

// The window sees a key before the control that has the focus, once per key press.
bool Form::previewKey(QObject* receiver, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(receiver);
    if (!keyPreview_ || unloading_ || !widget || widget->window() != window_.get() ||
        !window_->isEnabled())
        return false;
    QWidget* focus = QApplication::focusWidget();
    const QWidget* first = focus && focus->window() == window_.get() ? focus : window_.get();
    if (widget != first)
        return false;
    const auto& key = static_cast<const QKeyEvent&>(*event);
    const int code = KeyCodeOf(key);
    int KeyCode = code;
    int Shift = ShiftOf(key.modifiers());
    if (code != 0)
        Raise([&] { Form_KeyDown(KeyCode, Shift); });
    if (unloading_ || (code != 0 && KeyCode == 0))
        return true;
    int KeyAscii = KeyAsciiOf(key);
    if (KeyAscii != 0) {
        Raise([&] { Form_KeyPress(KeyAscii); });
        if (unloading_ || KeyAscii == 0)
            return true;
    }
    return false;
}

} // namespace forms
