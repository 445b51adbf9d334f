#include "forms/FileListBox.h"

#include "forms/Error.h"
#include "forms/Folder.h"
#include "forms/Keys.h"

#include <QDir>
#include <QKeyEvent>
#include <QListWidget>
#include <QPointer>
#include <QSignalBlocker>

namespace forms {

namespace {

class FileListWidget : public QListWidget {
public:
    FileListWidget(QWidget* parent, FileListBox& box) : QListWidget(parent), box_(box) {
        setSelectionMode(QAbstractItemView::SingleSelection);
        setUniformItemSizes(true);
        setLayoutMode(QListView::Batched);
    }

protected:
    // The key reaches the program before the list moves its selection.
    void keyPressEvent(QKeyEvent* event) override {
        int KeyCode = KeyCodeOf(*event);
        int Shift = ShiftOf(event->modifiers());
        const QPointer<QListWidget> alive(this);
        if (KeyCode != 0)
            box_.KeyDown(KeyCode, Shift);
        if (alive && !box_.owner().IsUnloading())
            QListWidget::keyPressEvent(event);
        else
            event->accept();
    }

    // A click beside the entries changes nothing.
    void mousePressEvent(QMouseEvent* event) override {
        if (indexAt(event->position().toPoint()).isValid())
            QListWidget::mousePressEvent(event);
        else
            event->accept();
    }

    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (indexAt(event->position().toPoint()).isValid())
            QListWidget::mouseDoubleClickEvent(event);
        if (event->button() == Qt::LeftButton)
            box_.DblClick();
    }

    // Taking the focus selects nothing: the list keeps no current entry until one is chosen.
    void focusInEvent(QFocusEvent* event) override {
        const bool none = currentRow() < 0;
        QListWidget::focusInEvent(event);
        if (none && currentRow() >= 0) {
            const QSignalBlocker quiet(this);
            setCurrentRow(-1);
        }
    }

private:
    FileListBox& box_;
};

} // namespace

FileListBox::FileListBox(Form& owner, QWidget* parent)
    : Control(owner, new FileListWidget(parent, *this)), Click(owner), DblClick(owner),
      KeyDown(owner), list_(static_cast<QListWidget*>(widget())),
      path_(QDir::toNativeSeparators(QDir::currentPath())) {
    QObject::connect(list_, &QListWidget::currentRowChanged, [this](int row) {
        if (row >= 0)
            Click();
    });
    fill();
}

void FileListBox::setPath(const QString& path) {
    path_ = QDir::toNativeSeparators(QDir::cleanPath(path));
    fill();
}

void FileListBox::setPattern(const QString& pattern) {
    pattern_ = pattern;
    fill();
}

void FileListBox::Refresh() {
    fill();
}

void FileListBox::fill() {
    const QSignalBlocker quiet(list_);
    list_->clear();
    QStringList names;
    try {
        names = ReadFileNames(path_, pattern_);
    } catch (...) {
        list_->reset();
        throw;
    }
    // One pass, without a repaint for each entry.
    list_->setUpdatesEnabled(false);
    list_->addItems(names);
    list_->setCurrentRow(-1);
    list_->setUpdatesEnabled(true);
}

QString FileListBox::FileName() const {
    const int index = ListIndex();
    return index >= 0 ? list_->item(index)->text() : QString();
}

int FileListBox::ListIndex() const {
    return list_->currentRow();
}

void FileListBox::setListIndex(int index) {
    if (index < -1 || index >= list_->count())
        throw Error(QStringLiteral("invalid list index %1 (the list holds %2 files)")
                        .arg(index)
                        .arg(list_->count()));
    if (index == -1) {
        const QSignalBlocker quiet(list_);
        list_->setCurrentRow(-1);
        list_->clearSelection();
        return;
    }
    if (index == list_->currentRow()) {
        Click();
        return;
    }
    list_->setCurrentRow(index);
}

int FileListBox::ListCount() const {
    return list_->count();
}

QString FileListBox::List(int index) const {
    const QListWidgetItem* item = list_->item(index);
    return item ? item->text() : QString();
}

} // namespace forms
