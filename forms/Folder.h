// Reading a folder for the list controls: the matching file names and the subfolders, both
// sorted by name without regard to case; hidden entries are left out.
#pragma once

#include <QString>
#include <QStringList>

namespace forms {

// True when `name` matches one of the `;`-separated wildcard patterns (* and ?), ignoring case;
// "*.*" matches every name.
bool MatchesPattern(const QString& name, const QString& pattern);

// The regular files of `folder` (links followed) whose names match `pattern`. Throws Error
// naming the folder and the reason when it cannot be listed.
QStringList ReadFileNames(const QString& folder, const QString& pattern);

// The subfolders of `folder` (links followed). Throws Error as above.
QStringList ReadSubfolders(const QString& folder);

} // namespace forms
