#include "decoder/canvas/MetafileSource.h"

#include "decoder/Limits.h"

#include <QPainter>

namespace pictures::metafile {

MetafileSource::MetafileSource(QByteArray bytes, bool wmf, const CodePages& codePages)
    : bytes_(std::move(bytes)), wmf_(wmf), codePages_(codePages) {
    if (static_cast<std::size_t>(bytes_.size()) > kMaxInputBytes)
        throw DecodeError("the file is too large for a metafile");
    std::optional<NaturalSize> size = wmf ? WmfSize(Bytes()) : EmfSize(Bytes());
    if (!size)
        size = Play();
    width_ = size->width;
    height_ = size->height;
}

NaturalSize MetafileSource::Play() const {
    DecodedDrawing decoded = wmf_ ? DecodeWmf(Bytes(), codePages_) : DecodeEmf(Bytes(), codePages_);
    drawing_ = SvgDrawing::Read(QByteArray::fromStdString(decoded.svg));
    if (!drawing_)
        throw DecodeError("the drawing made of it cannot be read");
    return {decoded.width, decoded.height};
}

const SvgDrawing& MetafileSource::Drawing() const {
    if (!drawing_)
        Play();
    return *drawing_;
}

Rendering MetafileSource::render(QSize size, const std::stop_token&) const {
    const std::lock_guard lock(mutex_);
    const SvgDrawing& drawing = Drawing();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {QImage(), QStringLiteral("there is not enough memory to draw it this large")};
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
    const bool drawn = drawing.Draw(painter, QRectF(0, 0, size.width(), size.height()));
    painter.end();
    if (!drawn)
        return {image, QStringLiteral("a part of the drawing cannot be drawn")};
    return {image, {}};
}

} // namespace pictures::metafile
