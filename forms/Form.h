// Form: one top-level window of the program, with the properties and events its code relies
// on. FormRef is the single-instance reference that loads a window on first use.
#pragma once

#include "forms/Application.h"

#include <QCoreApplication>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <exception>
#include <functional>
#include <memory>

class QMenuBar;
class QScreen;

namespace forms {

class FormWindow;

inline constexpr int vbNormal = 0;
inline constexpr int vbMinimized = 1;
inline constexpr int vbMaximized = 2;

enum class BorderStyle { None = 0, FixedSingle = 1, Sizable = 2, FixedDialog = 3 };
enum class StartUpPosition { Manual = 0, CenterOwner = 1, CenterScreen = 2, WindowsDefault = 3 };

class Form {
public:
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;
    virtual ~Form();

    // Outer size, frame included, in twips.
    float Width() const;
    void setWidth(float twips);
    float Height() const;
    void setHeight(float twips);
    // Height of the client area below the menu bar, in twips.
    float ScaleHeight() const;

    bool Visible() const;
    void setVisible(bool visible);
    bool Enabled() const;
    void setEnabled(bool enabled);
    int WindowState() const;
    void setWindowState(int state);
    QString Caption() const;
    void setCaption(const QString& caption);
    bool KeyPreview() const { return keyPreview_; }
    void setKeyPreview(bool on) { keyPreview_ = on; }

    // The size of the screen that shows this window, in twips.
    struct ScreenObject {
        const Form& form;
        float Width() const;
        float Height() const;
    };
    ScreenObject Screen() const { return ScreenObject{*this}; }

    // Runs an event handler at the boundary: a failure ends the handler and is reported.
    template <class F> void Raise(F&& handler) noexcept {
        try {
            handler();
        } catch (const std::exception& failure) {
            ReportFailure(QString::fromUtf8(failure.what()));
        } catch (...) {
            ReportFailure(QStringLiteral("unexpected failure"));
        }
    }

    // How a failure reaches the user: each window says where.
    virtual void ReportFailure(const QString& message);

    QWidget* window() const;
    // The area below the menu bar that holds the controls.
    QWidget* client() const;
    QMenuBar* menuBar();
    bool IsUnloading() const { return unloading_; }

protected:
    Form(BorderStyle border, StartUpPosition position, float clientWidth, float clientHeight);

    virtual void Form_Load() {}
    virtual void Form_Activate() {}
    virtual void Form_GotFocus() {}
    virtual void Form_Resize() {}
    virtual void Form_Click() {}
    virtual void Form_KeyDown(int& /*KeyCode*/, int& /*Shift*/) {}
    virtual void Form_KeyPress(int& /*KeyAscii*/) {}
    // The window system asks to close the window (its close box, Alt+F4); a disabled window
    // is never asked. By default the window unloads, as a close box does.
    virtual void Form_QueryUnload() { UnloadMe(); }

    void UnloadMe();

private:
    friend class FormWindow;
    friend class ClientArea;
    template <class T> friend class FormRef;

    void Load(std::function<void()> unload);
    void showWindow();
    void applyOuterSize();
    void frameKnown();
    void centre();
    QMargins frameMargins() const;
    void beginUnload();
    void passActivation();
    bool previewKey(QObject* receiver, QEvent* event);

    std::unique_ptr<FormWindow> window_;
    QWidget* client_ = nullptr;
    QMenuBar* menuBar_ = nullptr;
    BorderStyle border_;
    StartUpPosition position_;
    bool keyPreview_ = false;
    bool shownOnce_ = false;
    // An outer size set before the window system told the frame's size is applied again then.
    bool outerPending_ = false;
    // A window centred before the window system told its frame is centred again then.
    bool centrePending_ = false;
    bool unloading_ = false;
    int requestedState_ = vbNormal;
    // Outer size as last set, in twips; read back unchanged while the window keeps that size.
    float outerWidth_ = 0;
    float outerHeight_ = 0;
    std::function<void()> unload_;
    std::unique_ptr<QObject> keyFilter_;
    // The control that had the focus when the window was disabled gets it back when enabled.
    QPointer<QWidget> focusWhenDisabled_;
};

// The single-instance reference of a window: the first use loads it (construction with its
// design-time values, then Form_Load to its end); Unload destroys it, and the next use loads
// a fresh one.
template <class T> class FormRef {
public:
    FormRef() = default;
    FormRef(const FormRef&) = delete;
    FormRef& operator=(const FormRef&) = delete;
    ~FormRef() {
        // A window still loaded when the process ends after the toolkit is gone cannot be
        // destroyed safely any more; the process is ending anyway.
        if (!QCoreApplication::instance())
            (void)form_.release();
    }

    T* operator->() { return &get(); }
    T& operator*() { return get(); }
    T& get() {
        if (!form_) {
            auto form = std::make_unique<T>();
            T& loaded = *form;
            form_ = std::move(form);
            App.formLoaded(&loaded);
            static_cast<Form&>(loaded).Load([this] { unload(); });
            // A window that unloaded itself while loading lives until its event has ended.
            return loaded;
        }
        return static_cast<T&>(*form_);
    }
    bool IsLoaded() const { return form_ != nullptr; }

    void unload() {
        if (!form_)
            return;
        std::unique_ptr<Form> form = std::move(form_);
        form->beginUnload();
        App.formUnloaded(std::move(form));
    }

private:
    // Held as the base, so that a reference can be declared where its window is not known.
    std::unique_ptr<Form> form_;
};

template <class T> void Unload(FormRef<T>& ref) {
    ref.unload();
}

} // namespace forms
