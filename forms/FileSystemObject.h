// FileSystemObject: a file's size, and the deletion of a file.
#pragma once

#include <QString>
#include <QtGlobal>

#include <cstdint>

namespace forms {

// Which entry a path named when it was looked at: the entry itself, so a link is a link and
// not the file it points to. Two identities are equal only for the very same, unchanged entry.
struct FileIdentity {
    enum class Kind { File, Link, Folder, Other };

    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    Kind kind = Kind::File;
    // The entry's last status change, in nanoseconds: a new file can be given the inode number
    // that a deletion just freed, and this tells the two apart.
    std::int64_t changed = 0;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// A file as GetFile found it.
class File {
public:
    File(const QString& path, const FileIdentity& identity) : path_(path), identity_(identity) {}

    QString Path() const { return path_; }
    const FileIdentity& Identity() const { return identity_; }
    // The size in bytes (of the file a link points to), read now. Throws Error when it cannot
    // be read.
    qint64 Size() const;

private:
    QString path_;
    FileIdentity identity_;
};

class FileSystemObject {
public:
    // The file the path names now: a file, or a link to one. Throws Error naming the file when
    // there is no such file or the path names something else.
    File GetFile(const QString& path) const;
    // Deletes the entry GetFile found, and only that one: a link is removed as a link, and
    // without `force` a file that no one may write is refused. When the path no longer names
    // that entry (it is gone, or a folder, a link or another file took its name), nothing is
    // deleted. Every refusal and failure throws Error with the reason.
    void DeleteFile(const File& file, bool force) const;
};

} // namespace forms
