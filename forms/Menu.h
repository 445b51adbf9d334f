// Menu: a top-level menu of the window's menu bar, or an item of one.
#pragma once

#include "forms/Event.h"

#include <QString>

class QAction;
class QMenu;

namespace forms {

class Menu {
public:
    // A top-level menu on the window's menu bar.
    Menu(Form& owner, const QString& caption);
    // An item of a menu; choosing it raises Click.
    Menu(Menu& parent, const QString& caption);

    bool Enabled() const;
    void setEnabled(bool enabled);
    QAction* action() const { return action_; }
    QMenu* menu() const { return menu_; }

    Event<> Click;

private:
    Form& owner_;
    QMenu* menu_ = nullptr;
    QAction* action_;
};

} // namespace forms
