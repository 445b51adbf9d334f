#include "decoder/Session.h"

#include "decoder/Protocol.h"
#include "decoder/Wire.h"
#include "decoder/canvas/MetafileSource.h"
#include "decoder/gdi/Decoded.h"
#include "decoder/raster/OtherFormats.h"
#include "decoder/raster/RasterFormats.h"
#include "decoder/raster/RasterSource.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>

namespace decoder {

namespace {

using pictures::LoadError;
using pictures::Rendering;
using pictures::metafile::DecodeError;

// Files past this are not pictures anyone can view here.
constexpr std::int64_t kMaxFileBytes = std::int64_t{1} << 30;

struct Failure {
    std::string reason; // whole, the file's name first
};

// The whole file, read through its descriptor from the start, whatever its offset.
QByteArray ReadWhole(int fd, const std::string& name) {
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        throw Failure{name + ": not a picture (not a regular file)"};
    if (status.st_size > kMaxFileBytes)
        throw Failure{name + ": too large a file (over 1024 MB)"};
    QByteArray bytes;
    bytes.resize(static_cast<qsizetype>(status.st_size));
    qsizetype filled = 0;
    while (true) {
        if (filled == bytes.size()) {
            if (bytes.size() >= kMaxFileBytes)
                throw Failure{name + ": too large a file (over 1024 MB)"};
            bytes.resize(bytes.size() + 65536); // the file grew since fstat
        }
        const ssize_t got = pread(fd, bytes.data() + filled,
                                  static_cast<std::size_t>(bytes.size() - filled), filled);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw Failure{name + ": cannot be read (" + std::strerror(errno) + ")"};
        if (got == 0)
            break;
        filled += got;
    }
    bytes.truncate(filled);
    if (bytes.isEmpty())
        throw Failure{name + ": an empty file"};
    return bytes;
}

struct Opened {
    std::unique_ptr<const pictures::Source> source;
    Message facts;
};

Opened Open(QByteArray bytes, const std::string& name,
            const pictures::metafile::CodePages& codePages) {
    const std::optional<pictures::Format> format = pictures::FormatOf(bytes);
    if (!format) {
        const QString other = pictures::OtherFormatOf(bytes);
        throw Failure{name + ": " +
                      (other.isEmpty()
                           ? std::string("not a picture")
                           : other.toStdString() + ", which is not one of the formats this program "
                                                   "reads")};
    }
    Opened opened;
    opened.facts.kind = Kind::Facts;
    opened.facts.format = *format;
    if (*format == pictures::Format::Wmf || *format == pictures::Format::Emf) {
        try {
            opened.source = std::make_unique<const pictures::metafile::MetafileSource>(
                std::move(bytes), *format == pictures::Format::Wmf, codePages);
        } catch (const DecodeError& e) {
            throw Failure{name + ": " + e.what()};
        }
    } else {
        auto raster = std::make_unique<const pictures::RasterFileSource>(
            std::move(bytes), *format, QString::fromStdString(name));
        opened.facts.width = raster->pixelSize().width();
        opened.facts.height = raster->pixelSize().height();
        opened.facts.orientation = raster->orientation();
        opened.source = std::move(raster);
    }
    opened.facts.naturalWidth = opened.source->naturalWidth();
    opened.facts.naturalHeight = opened.source->naturalHeight();
    return opened;
}

// The pixels in sealed shared memory: the viewer maps them as they are, and nothing can change
// their size or content after they are sent.
UniqueFd SharedPixels(const QImage& drawn, Message& answer) {
    const QImage image = drawn.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    answer.width = image.width();
    answer.height = image.height();
    answer.stride = std::int64_t{image.width()} * 4;
    answer.bytes = answer.stride * image.height();
    UniqueFd memory(memfd_create("lumbrik-pixels", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (!memory || ftruncate(memory.get(), answer.bytes) != 0)
        throw std::bad_alloc();
    void* mapped = mmap(nullptr, static_cast<std::size_t>(answer.bytes), PROT_READ | PROT_WRITE,
                        MAP_SHARED, memory.get(), 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    auto* out = static_cast<unsigned char*>(mapped);
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(out + y * answer.stride, image.constScanLine(y),
                    static_cast<std::size_t>(answer.stride));
    munmap(mapped, static_cast<std::size_t>(answer.bytes));
    if (fcntl(memory.get(), F_ADD_SEALS,
              F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0)
        throw std::bad_alloc();
    return memory;
}

// One Draw answered: Pixels with the shared memory, or Failed.
void Draw(int socket, const pictures::Source& source, const Message& asked,
          const std::string& name) {
    Message answer;
    answer.kind = Kind::Failed;
    UniqueFd pixels;
    try {
        if (asked.width < 1 || asked.height < 1 || asked.width > kMaxDrawSide ||
            asked.height > kMaxDrawSide)
            throw Failure{name + ": cannot be drawn at that size"};
        const Rendering drawn = source.render(QSize(asked.width, asked.height), {});
        if (drawn.image.isNull() || drawn.image.size() != QSize(asked.width, asked.height)) {
            const std::string why =
                drawn.error.isEmpty() ? std::string("cannot be drawn") : drawn.error.toStdString();
            throw Failure{name + ": " + why};
        }
        pixels = SharedPixels(drawn.image, answer);
        answer.kind = Kind::Pixels;
        answer.setText(drawn.error.toStdString());
    } catch (const Failure& f) {
        answer.setText(f.reason);
    } catch (const DecodeError& e) {
        answer.setText(name + ": " + e.what());
    } catch (const LoadError& e) {
        answer.setText(e.what());
    } catch (const std::bad_alloc&) {
        answer.setText(name + ": there is not enough memory to draw it this large");
    }
    Send(socket, answer, pixels.get());
}

} // namespace

void Serve(int socket, const pictures::metafile::CodePages& codePages) {
    Message message;
    UniqueFd file;
    if (Receive(socket, message, file) != Received::Message || message.kind != Kind::Open || !file)
        return;
    const std::string name(message.Text());
    Opened opened;
    try {
        QByteArray bytes = ReadWhole(file.get(), name);
        file.reset();
        opened = Open(std::move(bytes), name, codePages);
    } catch (const Failure& f) {
        message = {};
        message.kind = Kind::Failed;
        message.setText(f.reason);
    } catch (const LoadError& e) {
        message = {};
        message.kind = Kind::Failed;
        message.setText(e.what());
    } catch (const std::bad_alloc&) {
        message = {};
        message.kind = Kind::Failed;
        message.setText(name + ": there is not enough memory to read it");
    }
    if (!opened.source) {
        Send(socket, message);
        return;
    }
    if (!Send(socket, opened.facts))
        return;
    UniqueFd unexpected;
    while (Receive(socket, message, unexpected) == Received::Message && message.kind == Kind::Draw)
        Draw(socket, *opened.source, message, name);
}

} // namespace decoder
