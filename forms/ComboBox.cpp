#include "forms/ComboBox.h"

#include "forms/Twips.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWheelEvent>

#include <algorithm>
#include <iterator>

namespace forms {

class LockableCombo : public QComboBox {
public:
    using QComboBox::QComboBox;

    bool locked() const { return lineEdit()->isReadOnly(); }
    // A locked box does not look editable: its field has the window's colour, as a read-only
    // field has, and its list does not open.
    void setLocked(bool on) {
        lineEdit()->setReadOnly(on);
        QPalette colours = palette();
        if (on)
            colours.setColor(QPalette::Base, colours.color(QPalette::Window));
        lineEdit()->setPalette(colours);
    }
    void showPopup() override {
        if (!locked())
            QComboBox::showPopup();
    }

protected:
    // The keys that step through the list, or take its first match for a text selected whole
    // (Return), and the wheel; the others (Tab, Escape, copying) work.
    void keyPressEvent(QKeyEvent* event) override {
        static constexpr int changing[] = {Qt::Key_Up,       Qt::Key_Down,  Qt::Key_PageUp,
                                           Qt::Key_PageDown, Qt::Key_Home,  Qt::Key_End,
                                           Qt::Key_Return,   Qt::Key_Enter, Qt::Key_F4};
        if (locked() && std::ranges::find(changing, event->key()) != std::end(changing))
            event->ignore();
        else
            QComboBox::keyPressEvent(event);
    }
    void wheelEvent(QWheelEvent* event) override {
        if (locked())
            event->ignore();
        else
            QComboBox::wheelEvent(event);
    }
};

ComboBox::ComboBox(Form& owner, QWidget* parent)
    : Control(owner, new LockableCombo(parent)), combo_(static_cast<LockableCombo*>(widget())) {
    combo_->setEditable(true);
    combo_->setInsertPolicy(QComboBox::NoInsert);
}

QString ComboBox::Text() const {
    return combo_->currentText();
}
void ComboBox::setText(const QString& text) {
    combo_->setEditText(text);
    // The field shows the text from its start, as a field that the user is not in does.
    combo_->lineEdit()->setCursorPosition(0);
}

void ComboBox::AddItem(const QString& item) {
    // Adding to an editable box must not replace the text it shows.
    const QString text = combo_->currentText();
    combo_->addItem(item);
    setText(text);
}

bool ComboBox::Locked() const {
    return combo_->locked();
}
void ComboBox::setLocked(bool locked) {
    combo_->setLocked(locked);
}

float ComboBox::Height() const {
    return ToTwips(pixelHeight());
}
int ComboBox::pixelHeight() const {
    return combo_->sizeHint().height();
}

} // namespace forms
