// The full path of a file in a folder, as the windows build it, and the name messages give it.
#pragma once

#include <QDir>
#include <QFileInfo>
#include <QString>

namespace forms {

// The folder without one trailing separator (a drive's root ends in one), a native separator,
// then the name.
inline QString JoinPath(QString folder, const QString& name) {
    if (folder.endsWith(QDir::separator()))
        folder.chop(1);
    return folder + QDir::separator() + name;
}

// What a message is headed with: the last part of `path`, or the path itself when it has none
// (a root). A status bar has room for little more.
inline QString NameInMessages(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? path : name;
}

} // namespace forms
