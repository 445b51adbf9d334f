// The full path of a file in a folder, as the windows build it.
#pragma once

#include <QDir>
#include <QString>

namespace forms {

// The folder without one trailing separator (a drive's root ends in one), a native separator,
// then the name.
inline QString JoinPath(QString folder, const QString& name) {
    if (folder.endsWith(QDir::separator()))
        folder.chop(1);
    return folder + QDir::separator() + name;
}

} // namespace forms
