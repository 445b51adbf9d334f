#include "forms/FileSystemObject.h"

#include "forms/Error.h"
#include "forms/Paths.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace forms {

namespace {

[[noreturn]] void Fail(const QString& path, const QString& reason) {
    throw Error(QStringLiteral("%1: %2").arg(NameInMessages(path), reason));
}

QString Reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

FileIdentity::Kind KindOf(mode_t mode) {
    if (S_ISREG(mode))
        return FileIdentity::Kind::File;
    if (S_ISLNK(mode))
        return FileIdentity::Kind::Link;
    if (S_ISDIR(mode))
        return FileIdentity::Kind::Folder;
    return FileIdentity::Kind::Other;
}

FileIdentity IdentityOf(const struct stat& entry) {
    return FileIdentity{static_cast<std::uint64_t>(entry.st_dev),
                        static_cast<std::uint64_t>(entry.st_ino), KindOf(entry.st_mode),
                        std::int64_t{entry.st_ctim.tv_sec} * 1'000'000'000 + entry.st_ctim.tv_nsec};
}

// Why the entry the path names now is not the one that was looked at.
QString Replacement(const FileIdentity& then, const FileIdentity& now) {
    if (now.kind == then.kind)
        return QStringLiteral("it was replaced or changed meanwhile; nothing was deleted");
    switch (now.kind) {
    case FileIdentity::Kind::Folder:
        return QStringLiteral("it was replaced by a folder; nothing was deleted");
    case FileIdentity::Kind::Link:
        return QStringLiteral("it was replaced by a link; nothing was deleted");
    case FileIdentity::Kind::File:
        return QStringLiteral("it was replaced by a file; nothing was deleted");
    case FileIdentity::Kind::Other:
        break;
    }
    return QStringLiteral("it was replaced by something that is not a file; nothing was deleted");
}

} // namespace

qint64 File::Size() const {
    std::error_code error;
    const auto size = fs::file_size(fs::path(QFile::encodeName(path_).toStdString()), error);
    if (error)
        Fail(path_, QStringLiteral("cannot read the size: ") +
                        QString::fromLocal8Bit(error.message().c_str()));
    return static_cast<qint64>(size);
}

File FileSystemObject::GetFile(const QString& path) const {
    const QByteArray native = QFile::encodeName(path);
    struct stat entry {};
    if (::lstat(native.constData(), &entry) != 0)
        Fail(path, errno == ENOENT || errno == ENOTDIR ? QStringLiteral("file not found")
                                                       : Reason(errno));
    struct stat target = entry;
    if (S_ISLNK(entry.st_mode) && ::stat(native.constData(), &target) != 0)
        Fail(path, QStringLiteral("file not found (the link points nowhere)"));
    if (!S_ISREG(target.st_mode))
        Fail(path, QStringLiteral("not a file"));
    return File(path, IdentityOf(entry));
}

void FileSystemObject::DeleteFile(const File& file, bool force) const {
    const QString& path = file.Path();
    const QByteArray native = QFile::encodeName(path);
    // Looked at again right before the deletion: the caller's decision was about the entry it
    // was shown, not about whatever has its name now.
    struct stat entry {};
    if (::lstat(native.constData(), &entry) != 0)
        Fail(path, errno == ENOENT || errno == ENOTDIR
                       ? QStringLiteral("file not found; nothing was deleted")
                       : QStringLiteral("cannot delete: ") + Reason(errno));
    const FileIdentity now = IdentityOf(entry);
    if (now != file.Identity())
        Fail(path, Replacement(file.Identity(), now));
    // Read-only means no one may write, whoever asks: root is refused like anyone else.
    if (!force && now.kind == FileIdentity::Kind::File && (entry.st_mode & 0222) == 0)
        Fail(path, QStringLiteral("the file is read-only; it was not deleted"));
    if (::unlink(native.constData()) != 0)
        Fail(path, QStringLiteral("cannot delete: ") + Reason(errno));
}

} // namespace forms
