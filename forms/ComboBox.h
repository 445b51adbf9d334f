// ComboBox: a text field with a drop-down list; its height is the toolkit's.
#pragma once

#include "forms/Control.h"

#include <QString>

class QComboBox;

namespace forms {

class ComboBox : public Control {
public:
    ComboBox(Form& owner, QWidget* parent);

    QString Text() const;
    void setText(const QString& text);
    void AddItem(const QString& item);
    float Height() const override;

private:
    int pixelHeight() const override;
    QComboBox* combo_;
};

} // namespace forms
