#include "pictures/DecodedSource.h"

namespace pictures {

namespace {

// A drawing may take a while (a large photo, a heavy metafile); past this its decoder is
// stuck, not busy.
constexpr std::chrono::seconds kDrawTime{20};

} // namespace

Rendering DecodedSource::render(QSize size, const std::stop_token& stop) const {
    const auto deadline = std::chrono::steady_clock::now() + kDrawTime;
    std::optional<DecoderProcess> process;
    {
        const std::lock_guard lock(mutex_);
        process.swap(opened_);
    }
    if (!process) {
        // Drawings are made on worker threads, never the one a window waits on.
        process = decoders_->Take(Decoders::Need::Ahead);
        if (!process)
            return {{}, fileName_ + QStringLiteral(": the picture decoder cannot be started")};
        auto opened = Decoders::Open(*process, file_.get(), fileName_, deadline, stop);
        if (stop.stop_requested())
            return {};
        if (const QString* failure = std::get_if<QString>(&opened))
            return {{}, *failure};
        const decoder::Message& facts = std::get<decoder::Message>(opened);
        if (facts.format != facts_.format || facts.naturalWidth != facts_.naturalWidth ||
            facts.naturalHeight != facts_.naturalHeight)
            return {{}, fileName_ + QStringLiteral(": changed while it was being shown")};
    }
    Decoders::Drawn drawn = Decoders::Draw(*process, size, fileName_, deadline, stop);
    return {std::move(drawn.image), std::move(drawn.error)};
}

} // namespace pictures
