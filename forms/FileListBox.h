// FileListBox: the files of one folder that match a pattern; one entry can be selected.
#pragma once

#include "forms/Control.h"
#include "forms/Event.h"

#include <QString>

class QListWidget;

namespace forms {

class FileListBox : public Control {
public:
    FileListBox(Form& owner, QWidget* parent);

    QString Path() const { return path_; }
    // Lists the folder afresh; afterwards nothing is selected. A folder that cannot be listed
    // leaves the list empty and throws Error, with Path already changed.
    void setPath(const QString& path);
    QString Pattern() const { return pattern_; }
    // Lists the folder afresh with the new pattern; a folder that cannot be listed leaves the
    // list empty and is reported through the window, without a throw.
    void setPattern(const QString& pattern);
    // Reads the folder again with the current pattern; afterwards nothing is selected.
    void Refresh();

    // The selected file's name, empty when none is selected.
    QString FileName() const;
    int ListIndex() const;
    // Selecting an entry raises Click, as a user's selection does; -1 selects nothing.
    void setListIndex(int index);
    int ListCount() const;
    QString List(int index) const;

    Event<> Click;
    Event<> DblClick;
    Event<int&, int&> KeyDown;

private:
    void fill();

    QListWidget* list_;
    QString path_;
    QString pattern_ = QStringLiteral("*.*");
};

} // namespace forms
