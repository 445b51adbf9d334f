#include "forms/Menu.h"

#include <QMenu>
#include <QMenuBar>

namespace forms {

Menu::Menu(Form& owner, const QString& caption)
    : Click(owner), owner_(owner), menu_(owner.menuBar()->addMenu(caption)),
      action_(menu_->menuAction()) {}

Menu::Menu(Menu& parent, const QString& caption)
    : Click(parent.owner_), owner_(parent.owner_), action_(parent.menu_->addAction(caption)) {
    QObject::connect(action_, &QAction::triggered, [this] { Click(); });
}

bool Menu::Enabled() const {
    return action_->isEnabled();
}
void Menu::setEnabled(bool enabled) {
    action_->setEnabled(enabled);
}

} // namespace forms
