// A WMF or EMF picture inside the decoder: its size from the header at once, its drawing
// played into SVG at the first draw and drawn from that at every size asked.
#pragma once

#include "decoder/Source.h"
#include "decoder/canvas/SvgDrawing.h"
#include "decoder/gdi/Charsets.h"
#include "decoder/gdi/Decoded.h"

#include <memory>
#include <mutex>
#include <span>

namespace pictures::metafile {

class MetafileSource final : public Source {
public:
    // Checks the header and the record chain (a WMF that states no size is played whole to
    // find it); throws DecodeError with the reason otherwise.
    MetafileSource(QByteArray bytes, bool wmf, const CodePages& codePages);

    double naturalWidth() const override { return width_; }
    double naturalHeight() const override { return height_; }
    Rendering render(QSize size, const std::stop_token& stop) const override;

private:
    // Plays the records the first time; throws DecodeError when they cannot be played.
    const SvgDrawing& Drawing() const;
    NaturalSize Play() const;

    std::span<const unsigned char> Bytes() const {
        return {reinterpret_cast<const unsigned char*>(bytes_.constData()),
                static_cast<std::size_t>(bytes_.size())};
    }

    QByteArray bytes_;
    bool wmf_;
    const CodePages& codePages_;
    double width_ = 0;
    double height_ = 0;
    mutable std::mutex mutex_; // the drawing is made once and is not reentrant
    mutable std::unique_ptr<SvgDrawing> drawing_;
};

} // namespace pictures::metafile
