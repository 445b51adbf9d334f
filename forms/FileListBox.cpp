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
        // All entries have one height, so laying out a large folder costs no per-entry measure.
        setUniformItemSizes(true);
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
        if (currentRow() >= 0) {
            QListWidget::focusInEvent(event);
            return;
        }
        // The toolkit makes the first entry current on focus; that is no user's choice.
        const QSignalBlocker quiet(this);
        QListWidget::focusInEvent(event);
        setCurrentRow(-1);
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
    // A working folder that cannot be listed leaves the list empty; setting the pattern, as
    // the window does while it loads, reports it.
    try {
        fill();
    } catch (const Error&) {
    }
}

void FileListBox::setPath(const QString& path) {
    path_ = QDir::toNativeSeparators(QDir::cleanPath(QDir(path).absolutePath()));
    fill();
}

void FileListBox::setPattern(const QString& pattern) {
    pattern_ = pattern;
    // The pattern is taken whether or not the folder can be listed: a folder that cannot is
    // reported, and the code that set the pattern goes on.
    try {
        fill();
    } catch (const Error& error) {
        owner().ReportFailure(error.message());
    }
}

void FileListBox::Refresh() {
    fill();
}

void FileListBox::fill() {
    const QSignalBlocker quiet(list_);
    list_->clear();
    // Read first, then fill in one pass: one insertion and one repaint for the whole folder.
    const QStringList names = ReadFileNames(path_, pattern_);
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
