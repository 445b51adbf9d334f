// The Qt widgets behind a Form: the top-level window, its menu bar and its client area.
#pragma once

#include "forms/Click.h"

#include <QWidget>

class QMenuBar;

namespace forms {

class Form;

class ClientArea : public QWidget {
public:
    ClientArea(Form& form, QWidget* parent);
    // A control that the area keeps along its bottom edge at full width (the status bar).
    void dockBottom(QWidget* widget) { docked_ = widget; }
    void arrange();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    Form& form_;
    QWidget* docked_ = nullptr;
    ClickTracker click_;
};

class FormWindow : public QWidget {
public:
    explicit FormWindow(Form& form);
    ClientArea* client() const { return client_; }
    QMenuBar* menuBar();
    int menuBarHeight() const;
    // Places the menu bar and the client area for the window's current size.
    void arrange();

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    Form& form_;
    ClientArea* client_;
    QMenuBar* menuBar_ = nullptr;
};

} // namespace forms
