// DirListBox: the current folder's ancestors, the folder itself and its subfolders, indented.
// Opening an entry (double-click or Enter) makes it the current folder and raises Change.
#pragma once

#include "forms/Control.h"
#include "forms/Event.h"

#include <QString>

#include <map>

class QListWidget;

namespace forms {

class DirListBox : public Control {
public:
    DirListBox(Form& owner, QWidget* parent);

    QString Path() const { return path_; }
    // The mount point of a drive other than the current one stands for that drive's current
    // folder: the last folder visited on it in this run, else its root. A folder that cannot be
    // listed still becomes the path (Change is raised), then Error is thrown.
    void setPath(const QString& path);
    int ListCount() const;
    QString List(int index) const;
    // Opens the entry at `index`, as a double-click does.
    void Open(int index);

    Event<> Change;

private:
    void go(const QString& folder);

    QListWidget* list_;
    QString path_;
    std::map<QString, QString> lastOnDrive_;
};

} // namespace forms
