// A picture file as the viewer holds it: its descriptor and the facts its decoder answered.
// Each drawing is made by a decoder process of its own (the first by the one that answered the
// facts, which has the file read already), which the drawing's waiter can stop.
#pragma once

#include "pictures/Decoders.h"
#include "pictures/Picture.h"

#include <memory>
#include <mutex>
#include <optional>

namespace pictures {

class DecodedSource final : public Source {
public:
    // `opened`: the decoder that answered the facts, kept for the first drawing.
    DecodedSource(std::shared_ptr<Decoders> decoders, decoder::UniqueFd file, QString fileName,
                  const decoder::Message& facts, DecoderProcess opened)
        : decoders_(std::move(decoders)), file_(std::move(file)), fileName_(std::move(fileName)),
          facts_(facts), opened_(std::move(opened)) {}

    double naturalWidth() const override { return facts_.naturalWidth; }
    double naturalHeight() const override { return facts_.naturalHeight; }
    Rendering render(QSize size, const std::stop_token& stop) const override;

private:
    std::shared_ptr<Decoders> decoders_;
    decoder::UniqueFd file_; // read by the decoders only, each from the start
    QString fileName_;
    decoder::Message facts_;
    mutable std::mutex mutex_;
    mutable std::optional<DecoderProcess> opened_;
};

} // namespace pictures
