// Label and Frame: static text, and a bordered box that holds other controls.
#pragma once

#include "forms/Control.h"
#include "forms/Event.h"

#include <QString>

class QLabel;

namespace forms {

class Label : public Control {
public:
    Label(Form& owner, QWidget* parent, const QString& caption);
    QString Caption() const;
    void setCaption(const QString& caption);

private:
    QLabel* label_;
};

class Frame : public Control {
public:
    Frame(Form& owner, QWidget* parent);
    // Raised by a click inside the frame that lands on none of its controls.
    Event<> Click;
};

} // namespace forms
