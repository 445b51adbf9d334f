#include "forms/FileSystemObject.h"

#include "forms/Error.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace forms {

namespace {

fs::path NativePath(const QString& path) {
    return fs::path(QFile::encodeName(path).toStdString());
}

[[noreturn]] void Fail(const QString& path, const QString& reason) {
    throw Error(QStringLiteral("%1: %2").arg(path, reason));
}

QString Reason(const std::error_code& error) {
    return QString::fromLocal8Bit(error.message().c_str());
}

} // namespace

qint64 File::Size() const {
    std::error_code error;
    const auto size = fs::file_size(NativePath(path_), error);
    if (error)
        Fail(path_, QStringLiteral("cannot read the size: ") + Reason(error));
    return static_cast<qint64>(size);
}

File FileSystemObject::GetFile(const QString& path) const {
    std::error_code error;
    const fs::file_status status = fs::status(NativePath(path), error);
    if (error || !fs::exists(status))
        Fail(path, QStringLiteral("file not found"));
    if (!fs::is_regular_file(status))
        Fail(path, QStringLiteral("not a file"));
    return File(path);
}

void FileSystemObject::DeleteFile(const QString& path, bool force) const {
    const fs::path native = NativePath(path);
    std::error_code error;
    const fs::file_status status = fs::symlink_status(native, error);
    if (error || !fs::exists(status))
        Fail(path, QStringLiteral("file not found"));
    if (fs::is_directory(status))
        Fail(path, QStringLiteral("is a folder, not a file; nothing was deleted"));
    if (!fs::is_regular_file(status) && !fs::is_symlink(status))
        Fail(path, QStringLiteral("not a file; nothing was deleted"));
    constexpr auto writable =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if (!force && fs::is_regular_file(status) &&
        (status.permissions() & writable) == fs::perms::none)
        Fail(path, QStringLiteral("the file is read-only; it was not deleted"));
    if (::unlink(native.c_str()) != 0)
        Fail(path,
             QStringLiteral("cannot delete: ") + QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace forms
