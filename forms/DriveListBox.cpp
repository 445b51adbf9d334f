#include "forms/DriveListBox.h"

#include "forms/Twips.h"

#include <QComboBox>
#include <QDir>
#include <QSignalBlocker>

#include <algorithm>
#include <functional>

namespace forms {

namespace {

// Reads the mounted volumes again each time the list is opened, so that a stick plugged in
// meanwhile is there to choose.
class DriveCombo : public QComboBox {
public:
    DriveCombo(QWidget* parent, std::function<void()> beforeOpening)
        : QComboBox(parent), beforeOpening_(std::move(beforeOpening)) {}

    void showPopup() override {
        beforeOpening_();
        QComboBox::showPopup();
    }

private:
    std::function<void()> beforeOpening_;
};

} // namespace

DriveListBox::DriveListBox(Form& owner, QWidget* parent)
    : Control(owner, new DriveCombo(parent, [this] { fill(Drive()); })), Change(owner),
      combo_(static_cast<QComboBox*>(widget())) {
    fill(DriveOf(QDir::currentPath()));
    QObject::connect(combo_, &QComboBox::currentIndexChanged, [this] { Change(); });
}

void DriveListBox::fill(const QString& chosen) {
    drives_ = RecognisedDrives(QDir::currentPath());
    // The chosen drive stays in the list even when it is no longer mounted: choosing it
    // again is how the user finds out.
    const auto byRoot = [](const forms::Drive& a, const forms::Drive& b) {
        return a.root < b.root;
    };
    if (!chosen.isEmpty() &&
        std::none_of(drives_.begin(), drives_.end(),
                     [&](const forms::Drive& drive) { return drive.root == chosen; })) {
        drives_.push_back({chosen, chosen});
        std::sort(drives_.begin(), drives_.end(), byRoot);
    }
    const QSignalBlocker quiet(combo_);
    combo_->clear();
    for (const forms::Drive& drive : drives_)
        combo_->addItem(drive.label, drive.root);
    combo_->setCurrentIndex(combo_->findData(chosen));
}

QString DriveListBox::Drive() const {
    return combo_->currentData().toString();
}

float DriveListBox::Height() const {
    return ToTwips(pixelHeight());
}
int DriveListBox::pixelHeight() const {
    return combo_->sizeHint().height();
}

} // namespace forms
