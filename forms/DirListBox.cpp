#include "forms/DirListBox.h"

#include "forms/Drives.h"
#include "forms/Error.h"
#include "forms/Folder.h"

#include <QDir>
#include <QKeyEvent>
#include <QListWidget>
#include <QSignalBlocker>

namespace forms {

namespace {

inline constexpr int FolderRole = Qt::UserRole;

class DirListWidget : public QListWidget {
public:
    DirListWidget(QWidget* parent, DirListBox& box) : QListWidget(parent), box_(box) {
        setSelectionMode(QAbstractItemView::SingleSelection);
        setUniformItemSizes(true);
        connect(this, &QListWidget::itemActivated, [this](QListWidgetItem* item) {
            box_.owner().Raise([&] { box_.Open(row(item)); });
        });
    }

private:
    DirListBox& box_;
};

QStringList Ancestry(const QString& folder) {
    QStringList chain;
    QDir dir(folder);
    chain.prepend(dir.absolutePath());
    while (dir.cdUp())
        chain.prepend(dir.absolutePath());
    return chain;
}

} // namespace

DirListBox::DirListBox(Form& owner, QWidget* parent)
    : Control(owner, new DirListWidget(parent, *this)), Change(owner),
      list_(static_cast<QListWidget*>(widget())) {
    // A working folder that cannot be listed still becomes the path; the file list, which
    // lists the same folder, reports it.
    try {
        go(QDir::currentPath());
    } catch (const Error&) {
    }
}

void DirListBox::setPath(const QString& path) {
    QString folder = QDir::cleanPath(QDir(path).absolutePath());
    // Only another drive's mount point stands for that drive: on the drive in use it is
    // simply its root folder.
    if (const QString drive = DriveOf(folder);
        QDir::toNativeSeparators(folder) == drive && drive != DriveOf(path_)) {
        if (const auto last = lastOnDrive_.find(drive); last != lastOnDrive_.end())
            folder = last->second;
    }
    go(folder);
}

void DirListBox::Open(int index) {
    if (const QListWidgetItem* item = list_->item(index))
        go(item->data(FolderRole).toString());
}

void DirListBox::go(const QString& folder) {
    const QString previous = path_;
    path_ = QDir::toNativeSeparators(QDir::cleanPath(folder));
    lastOnDrive_[DriveOf(path_)] = path_;

    const QSignalBlocker quiet(list_);
    list_->setUpdatesEnabled(false);
    list_->clear();
    const QStringList chain = Ancestry(folder);
    for (int depth = 0; depth < chain.size(); ++depth) {
        const QString name =
            depth == 0 ? QDir::toNativeSeparators(chain[0]) : QDir(chain[depth]).dirName();
        auto* item = new QListWidgetItem(QString(depth * 2, u' ') + name, list_);
        item->setData(FolderRole, chain[depth]);
    }
    list_->setCurrentRow(list_->count() - 1);
    QString failure;
    try {
        const QString indent(chain.size() * 2, u' ');
        for (const QString& sub : ReadSubfolders(path_)) {
            auto* item = new QListWidgetItem(indent + sub, list_);
            item->setData(FolderRole, QDir(folder).filePath(sub));
        }
    } catch (const Error& error) {
        failure = error.message();
    }
    list_->setUpdatesEnabled(true);
    if (path_ != previous)
        Change();
    if (!failure.isEmpty())
        throw Error(failure);
}

int DirListBox::ListCount() const {
    return list_->count();
}

QString DirListBox::List(int index) const {
    const QListWidgetItem* item = list_->item(index);
    return item ? QDir::toNativeSeparators(item->data(FolderRole).toString()) : QString();
}

} // namespace forms
