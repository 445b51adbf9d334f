// ComboBox: a text field with a drop-down list; its height is the toolkit's. Locked keeps the
// user from changing its text or its choice.
#pragma once

#include "forms/Control.h"

#include <QString>

namespace forms {

class LockableCombo;

class ComboBox : public Control {
public:
    ComboBox(Form& owner, QWidget* parent);

    QString Text() const;
    void setText(const QString& text);
    void AddItem(const QString& item);
    float Height() const override;
    bool Locked() const;
    void setLocked(bool locked);

private:
    int pixelHeight() const override;
    LockableCombo* combo_;
};

} // namespace forms
