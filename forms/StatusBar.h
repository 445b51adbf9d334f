// StatusBar: a bar docked along the bottom of its window showing one status text.
#pragma once

#include "forms/Control.h"

#include <QString>

class QLabel;

namespace forms {

class StatusBar : public Control {
public:
    explicit StatusBar(Form& owner);

    QString StatusText() const;
    // Replaces the text the bar shows.
    void setStatusText(const QString& text);
    // The height the toolkit gives the bar, in twips.
    float Height() const override;

private:
    int pixelHeight() const override;
    QLabel* text_;
};

} // namespace forms
