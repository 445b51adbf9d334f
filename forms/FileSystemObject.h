// FileSystemObject: a file's size, and the deletion of a file.
#pragma once

#include <QString>
#include <QtGlobal>

namespace forms {

class File {
public:
    explicit File(const QString& path) : path_(path) {}
    // The size in bytes, read now. Throws Error when it cannot be read.
    qint64 Size() const;

private:
    QString path_;
};

class FileSystemObject {
public:
    // Throws Error naming the file when there is no such file.
    File GetFile(const QString& path) const;
    // Deletes the file itself: a link is removed as a link, a folder is never removed, and
    // without `force` a file that no one may write is refused. Throws Error with the reason.
    void DeleteFile(const QString& path, bool force) const;
};

} // namespace forms
