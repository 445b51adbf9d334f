// RenderService: draws pictures on worker threads and keeps the last few drawings, so that a
// picture prepared ahead of being shown is a copy away. Used from the UI thread only.
#pragma once

#include "pictures/Decoders.h"
#include "pictures/KeptDrawings.h"
#include "pictures/Picture.h"

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QSocketNotifier>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

namespace pictures {

class RenderService : public QObject {
public:
    explicit RenderService(int threads = 2, DecoderProgram decoder = Decoders::Installed());
    ~RenderService() override;

    // The decoder processes that LoadPicture and the drawings use.
    const std::shared_ptr<Decoders>& decoders() const { return decoders_; }

    using Done = std::function<void(const Rendering&)>;
    // The drawing of `picture` at `size`: returned at once when it is kept (or the picture needs
    // no file), else `done` gets it later on this thread. A request replaces the requester's
    // previous one; nothing is delivered to a requester that is gone.
    std::optional<Rendering> request(const Picture& picture, QSize size, QObject* requester,
                                     Done done);

    // The largest drawing kept of the picture's file at any size, to stand in, scaled, until
    // the one asked for is ready; a null image when none is kept.
    QImage keptAtAnySize(const Picture& picture) const;

    // Read-ahead: after `delay`, each file is loaded and drawn in the background at the size
    // `sizeFor` gives for it. The list replaces read-ahead not started yet; failures are
    // dropped, to be reported when the picture is shown.
    struct Preparation {
        std::filesystem::path path;
        std::function<QSize(const Picture&)> sizeFor; // called on a worker thread
    };
    void prepare(std::vector<Preparation> files, std::chrono::milliseconds delay = {});

private:
    using Key = DrawingKey;
    // What a worker does: load a file (read-ahead), or draw a loaded picture.
    struct Task {
        std::uint64_t id = 0;
        std::optional<Preparation> load;
        Picture picture;
        Key key;
        std::stop_token stop;
    };
    struct Outcome {
        std::uint64_t id = 0;
        std::optional<Picture> loaded; // read-ahead: the picture and the size it is wanted at
        QSize size;
        Rendering drawn;
        bool cancelled = false;
    };
    struct Running {
        std::uint64_t id;
        std::optional<Key> key; // none while loading
        bool ahead;
        std::uint64_t generation;
        std::stop_source stop; // asked when nobody waits for the drawing any more
    };
    struct Waiting {
        QPointer<QObject> requester;
        Picture picture;
        Key key;
        Done done;
    };
    void work();
    void schedule();
    void start(Task task, bool ahead);
    void takeOutcomes();
    bool running(const Key& key) const;
    void cancelUnwanted(const std::vector<Key>& keys);

    // Three spares: a held key loads a file at each step, and read-ahead its neighbours.
    const std::shared_ptr<Decoders> decoders_;

    // Shared with the workers, under mutex_.
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> tasks_;
    std::vector<Outcome> outcomes_;
    bool stopping_ = false;
    bool told_ = false; // the UI thread has been woken for outcomes_
    // Workers wake the UI thread through a descriptor: nothing of theirs crosses Qt's queues.
    int wakeFd_ = -1;
    std::unique_ptr<QSocketNotifier> woken_;

    // UI thread only.
    const int threads_;
    std::uint64_t nextId_ = 1;
    std::uint64_t generation_ = 0; // bumped by each prepare(): older read-ahead is dropped
    std::vector<Running> running_;
    std::vector<Waiting> waiting_;
    std::deque<Task> ahead_;           // read-ahead not started, in order
    std::vector<Preparation> delayed_; // read-ahead waiting for its delay
    QTimer delay_;
    KeptDrawings kept_;
    std::vector<std::thread> workers_;
};

} // namespace pictures
