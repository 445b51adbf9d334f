#include "pictures/LoadPicture.h"

#include "pictures/DecodedSource.h"
#include "pictures/ImageSource.h"

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
// The format and size are in the header: a decoder that has not told them by then is stuck.
constexpr std::chrono::seconds kFactsTime{1};

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

// The file opened once, for the identity and for the decoder; its bytes are not read here.
decoder::UniqueFd OpenFile(const std::filesystem::path& path, const QString& fileName,
                           FileIdentity& identity) {
    // Non-blocking so that a FIFO cannot hang the open; it is refused just below.
    decoder::UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!file)
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
    if (status.st_size == 0)
        Fail(fileName, QStringLiteral("an empty file"));
    // Taken from the descriptor the decoder reads, so it names the version decoded.
    identity = {status.st_dev, status.st_ino, status.st_size, status.st_mtim.tv_sec,
                status.st_mtim.tv_nsec};
    return file;
}

} // namespace

Picture LoadPicture(const std::filesystem::path& path, const std::shared_ptr<Decoders>& decoders,
                    Decoders::Need need) {
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(path, error);
    if (error)
        full = path;
    // Messages begin with the file's name: a status bar shows little more than that.
    const QString fileName =
        QFile::decodeName((full.has_filename() ? full.filename() : full).c_str());

    FileIdentity identity;
    decoder::UniqueFd file = OpenFile(full, fileName, identity);
    std::optional<DecoderProcess> process = decoders->Take(need);
    if (!process)
        Fail(fileName, QStringLiteral("the picture decoder (lumbrik-decoder) is not installed"));
    auto facts = Decoders::Open(*process, file.get(), fileName,
                                std::chrono::steady_clock::now() + kFactsTime);
    if (const QString* failure = std::get_if<QString>(&facts))
        throw LoadError(failure->toStdString());
    return Picture(std::make_shared<const DecodedSource>(decoders, std::move(file), fileName,
                                                         std::get<decoder::Message>(facts),
                                                         std::move(*process)),
                   identity);
}

Picture LoadPicture(const std::filesystem::path& path) {
    return LoadPicture(path, std::make_shared<Decoders>(Decoders::Installed(), 0));
}

Picture PictureFromImage(const QImage& image) {
    if (image.isNull())
        return {};
    return Picture(std::make_shared<const ImageSource>(image));
}

} // namespace pictures
