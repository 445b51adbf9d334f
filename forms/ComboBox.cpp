#include "forms/ComboBox.h"

#include "forms/Twips.h"

#include <QComboBox>
#include <QLineEdit>

namespace forms {

ComboBox::ComboBox(Form& owner, QWidget* parent)
    : Control(owner, new QComboBox(parent)), combo_(static_cast<QComboBox*>(widget())) {
    combo_->setEditable(true);
    combo_->setInsertPolicy(QComboBox::NoInsert);
}

QString ComboBox::Text() const {
    return combo_->currentText();
}
void ComboBox::setText(const QString& text) {
    combo_->setEditText(text);
}

void ComboBox::AddItem(const QString& item) {
    // Adding to an editable box must not replace the text it shows.
    const QString text = combo_->currentText();
    combo_->addItem(item);
    combo_->setEditText(text);
}

float ComboBox::Height() const {
    return ToTwips(pixelHeight());
}
int ComboBox::pixelHeight() const {
    return combo_->sizeHint().height();
}

} // namespace forms
