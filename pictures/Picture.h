// Picture: a loaded picture as a value. It knows its natural size and draws itself at any
// pixel size; pixels are decoded only when drawn, at the size drawn.
#pragma once

#include "decoder/Source.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace pictures {

// Which version of which file a picture was read from: a file rewritten or replaced since is
// another identity, so a drawing kept for the old one is never taken for the new.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

class Picture {
public:
    Picture() = default;
    explicit Picture(std::shared_ptr<const Source> source,
                     std::optional<FileIdentity> file = std::nullopt)
        : source_(std::move(source)), file_(file) {}

    bool isNull() const { return !source_; }
    // Natural size in hundredths of a millimetre (0 for a null picture).
    double Width() const { return source_ ? source_->naturalWidth() : 0.0; }
    double Height() const { return source_ ? source_->naturalHeight() : 0.0; }
    Rendering render(QSize size, const std::stop_token& stop = {}) const;
    // The file read, as it was when read; none for pictures made in memory.
    const std::optional<FileIdentity>& File() const { return file_; }
    Picture readFrom(const FileIdentity& file) const { return Picture(source_, file); }

    friend bool operator==(const Picture& a, const Picture& b) { return a.source_ == b.source_; }

private:
    std::shared_ptr<const Source> source_;
    std::optional<FileIdentity> file_;
};

} // namespace pictures
