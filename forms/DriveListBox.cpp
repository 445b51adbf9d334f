#include "forms/DriveListBox.h"

#include "forms/Error.h"
#include "forms/Twips.h"

#include <QComboBox>
#include <QDir>

namespace forms {

DriveListBox::DriveListBox(Form& owner, QWidget* parent)
    : Control(owner, new QComboBox(parent)), Change(owner),
      combo_(static_cast<QComboBox*>(widget())), drives_(RecognisedDrives(QDir::currentPath())) {
    const QString current = DriveOf(QDir::currentPath());
    for (const forms::Drive& drive : drives_) {
        combo_->addItem(drive.label, drive.root);
        if (drive.root == current)
            combo_->setCurrentIndex(combo_->count() - 1);
    }
    QObject::connect(combo_, &QComboBox::currentIndexChanged, [this] { Change(); });
}

QString DriveListBox::Drive() const {
    return combo_->currentData().toString();
}

void DriveListBox::setDrive(const QString& drive) {
    const int index = combo_->findData(QDir::toNativeSeparators(drive));
    if (index < 0)
        throw Error(QStringLiteral("%1: no such drive").arg(drive));
    combo_->setCurrentIndex(index);
}

QString DriveListBox::List(int index) const {
    return combo_->itemText(index);
}
float DriveListBox::Height() const {
    return ToTwips(pixelHeight());
}
int DriveListBox::pixelHeight() const {
    return combo_->sizeHint().height();
}

} // namespace forms
