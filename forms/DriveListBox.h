// DriveListBox: the drives, one of them chosen; choosing another raises Change. At start the
// drive of the working folder is chosen.
#pragma once

#include "forms/Control.h"
#include "forms/Drives.h"
#include "forms/Event.h"

#include <vector>

class QComboBox;

namespace forms {

class DriveListBox : public Control {
public:
    DriveListBox(Form& owner, QWidget* parent);

    // The chosen drive: its mount point.
    QString Drive() const;
    float Height() const override;

    Event<> Change;

private:
    // Lists the recognised drives, `chosen` among them and chosen, without raising Change.
    void fill(const QString& chosen);
    int pixelHeight() const override;
    QComboBox* combo_;
    std::vector<forms::Drive> drives_;
};

} // namespace forms
