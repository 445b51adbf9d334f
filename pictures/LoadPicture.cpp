#include "pictures/LoadPicture.h"

#include "pictures/OtherFormats.h"
#include "pictures/RasterFormats.h"
#include "pictures/RasterSource.h"
#include "pictures/metafile/Metafile.h"

#include <QFile>

#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pictures {

namespace {

// Files past this are not pictures anyone can view here; reading them would only eat memory.
constexpr qint64 kMaxFileBytes = qint64{1} << 30;

[[noreturn]] void Fail(const QString& fileName, const QString& reason) {
    throw LoadError((fileName + QStringLiteral(": ") + reason).toStdString());
}

QString TooLargeFile() {
    return QStringLiteral("too large a file (over %1 MB)").arg(kMaxFileBytes >> 20);
}

QString CannotRead(int error) {
    if (error == ENOENT)
        return QStringLiteral("no such file");
    if (error == EACCES || error == EPERM)
        return QStringLiteral("not allowed to read it");
    return QStringLiteral("cannot be read (%1)")
        .arg(QString::fromStdString(std::generic_category().message(error)));
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }

private:
    int fd_;
};

QByteArray ReadWholeFile(const std::filesystem::path& path, const QString& fileName,
                         FileIdentity& identity) {
    // Non-blocking so that a FIFO cannot hang the open; it is refused just below.
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.get() < 0)
        Fail(fileName, CannotRead(errno));
    struct stat status {};
    if (::fstat(file.get(), &status) != 0)
        Fail(fileName, CannotRead(errno));
    if (S_ISDIR(status.st_mode))
        Fail(fileName, QStringLiteral("a folder, not a picture"));
    if (!S_ISREG(status.st_mode))
        Fail(fileName, QStringLiteral("not a picture (not a regular file)"));
    if (status.st_size > kMaxFileBytes)
        Fail(fileName, TooLargeFile());
    // Taken from the descriptor read below, so it names the version whose bytes are read.
    identity = {status.st_dev, status.st_ino, status.st_size, status.st_mtim.tv_sec,
                status.st_mtim.tv_nsec};

    QByteArray bytes;
    bytes.resize(static_cast<qsizetype>(status.st_size));
    qsizetype filled = 0;
    while (true) {
        if (filled == bytes.size()) {
            if (bytes.size() >= kMaxFileBytes)
                Fail(fileName, TooLargeFile());
            bytes.resize(bytes.size() + 65536); // the file grew since fstat
        }
        const ssize_t got = ::read(file.get(), bytes.data() + filled,
                                   static_cast<std::size_t>(bytes.size() - filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            Fail(fileName, CannotRead(errno));
        if (got == 0)
            break;
        filled += got;
    }
    bytes.truncate(filled);
    return bytes;
}

} // namespace

Picture LoadPicture(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(path, error);
    if (error)
        full = path;
    // Messages begin with the file's name: a status bar shows little more than that.
    const QString fileName =
        QFile::decodeName((full.has_filename() ? full.filename() : full).c_str());

    FileIdentity identity;
    QByteArray bytes = ReadWholeFile(full, fileName, identity);
    if (bytes.isEmpty())
        Fail(fileName, QStringLiteral("an empty file"));
    const std::optional<Format> format = FormatOf(bytes);
    if (!format) {
        const QString other = OtherFormatOf(bytes);
        Fail(fileName, other.isEmpty()
                           ? QStringLiteral("not a picture")
                           : other + QStringLiteral(", which is not one of the formats this "
                                                    "program reads"));
    }
    switch (*format) {
    case Format::Wmf:
        return LoadMetafile(bytes, MetafileKind::Wmf, fileName).readFrom(identity);
    case Format::Emf:
        return LoadMetafile(bytes, MetafileKind::Emf, fileName).readFrom(identity);
    case Format::Gif:
    case Format::Jpeg:
    case Format::Bmp:
    case Format::Ico:
        break;
    }
    return Picture(std::make_shared<const RasterFileSource>(std::move(bytes), *format, fileName),
                   identity);
}

Picture PictureFromImage(const QImage& image) {
    if (image.isNull())
        return {};
    return Picture(std::make_shared<const ImageSource>(image));
}

} // namespace pictures
