#include "pictures/RenderService.h"

#include "pictures/LoadPicture.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <system_error>

#include <malloc.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace pictures {

RenderService::RenderService(int threads, DecoderProgram decoder)
    : decoders_(std::make_shared<Decoders>(std::move(decoder), 3)),
      wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), threads_(std::max(1, threads)) {
    if (wakeFd_ < 0)
        throw std::system_error(errno, std::generic_category(), "eventfd");
    // Pixel buffers come and go by the megabyte on several threads: served by mmap, each goes
    // back to the system when freed, instead of growing the arenas of every worker.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    woken_ = std::make_unique<QSocketNotifier>(wakeFd_, QSocketNotifier::Read);
    connect(woken_.get(), &QSocketNotifier::activated, this, [this] {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t got = ::read(wakeFd_, &count, sizeof count);
        takeOutcomes();
    });
    delay_.setSingleShot(true);
    connect(&delay_, &QTimer::timeout, this, [this] {
        for (Preparation& file : delayed_)
            ahead_.push_back(Task{0, std::move(file), {}, {}, {}});
        delayed_.clear();
        schedule();
    });
    for (int i = 0; i < threads_; ++i)
        workers_.emplace_back([this] { work(); });
}

RenderService::~RenderService() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        tasks_.clear();
    }
    wake_.notify_all();
    // Drawings under way are given up: a heavy metafile's decoder would keep the program from
    // ending for seconds. Their decoders are killed as the workers return.
    for (Running& r : running_)
        r.stop.request_stop();
    for (std::thread& worker : workers_)
        worker.join();
    woken_.reset();
    ::close(wakeFd_);
}

std::optional<Rendering> RenderService::request(const Picture& picture, QSize size,
                                                QObject* requester, Done done) {
    // A request that replaces one still unanswered comes from a held key: the drawing nobody
    // waits for any more gives up, so that the last picture finds a thread at once.
    std::vector<Key> replaced;
    for (const Waiting& w : waiting_)
        if (w.requester == requester)
            replaced.push_back(w.key);
    std::erase_if(waiting_, [&](const Waiting& w) { return w.requester == requester; });
    // Pictures made in memory are small and already decoded.
    if (!picture.File())
        return picture.render(size);
    const Key key{*picture.File(), size};
    if (const Rendering* drawn = kept_.Find(key)) {
        cancelUnwanted(replaced);
        return *drawn;
    }
    waiting_.push_back({requester, picture, key, std::move(done)});
    cancelUnwanted(replaced);
    schedule();
    return std::nullopt;
}

// Read-ahead is left to finish: what it draws is likely to be asked for next.
void RenderService::cancelUnwanted(const std::vector<Key>& keys) {
    for (Running& r : running_) {
        if (r.ahead || !r.key)
            continue;
        const auto matches = [&](const Key& k) {
            return k.file == r.key->file && NearSize(k.size, r.key->size);
        };
        if (std::any_of(keys.begin(), keys.end(), matches) &&
            std::none_of(waiting_.begin(), waiting_.end(),
                         [&](const Waiting& w) { return matches(w.key); }))
            r.stop.request_stop();
    }
}

void RenderService::prepare(std::vector<Preparation> files, std::chrono::milliseconds delay) {
    ++generation_;
    ahead_.clear();
    delayed_ = std::move(files);
    delay_.start(std::max(delay, std::chrono::milliseconds(0)));
}

void RenderService::work() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
        if (stopping_)
            return;
        Task task = std::move(tasks_.front());
        tasks_.pop_front();
        lock.unlock();

        Outcome outcome{task.id, std::nullopt, {}, {}, false};
        try {
            if (task.load) {
                Picture picture = LoadPicture(task.load->path, decoders_, Decoders::Need::Ahead);
                outcome.size = task.load->sizeFor(picture);
                outcome.loaded = std::move(picture);
            } else {
                outcome.drawn = task.picture.render(task.key.size, task.stop);
                outcome.cancelled = task.stop.stop_requested();
            }
        } catch (const LoadError&) {
            // A neighbour that cannot be read is reported when it is shown, not now.
        } catch (const std::exception& failure) {
            outcome.drawn.error = QString::fromUtf8(failure.what());
        }
        task = {};

        lock.lock();
        outcomes_.push_back(std::move(outcome));
        if (!told_) {
            told_ = true;
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t put = ::write(wakeFd_, &one, sizeof one);
        }
    }
}

void RenderService::takeOutcomes() {
    std::vector<Outcome> outcomes;
    {
        const std::lock_guard lock(mutex_);
        outcomes.swap(outcomes_);
        told_ = false;
    }
    std::vector<std::pair<Waiting, Rendering>> deliveries;
    for (Outcome& outcome : outcomes) {
        const auto it = std::find_if(running_.begin(), running_.end(),
                                     [&](const Running& r) { return r.id == outcome.id; });
        if (it == running_.end())
            continue;
        const Running done = *it;
        running_.erase(it);
        if (outcome.cancelled)
            continue;
        if (!done.key) {
            // A loaded neighbour is drawn after the other files are loaded, so that one kept
            // already is known as wanted before a new drawing pushes it out; nothing is drawn
            // for read-ahead that newer read-ahead replaced.
            if (!outcome.loaded || !outcome.loaded->File() || outcome.size.isEmpty() ||
                done.generation != generation_)
                continue;
            if (!kept_.Find({*outcome.loaded->File(), outcome.size}))
                ahead_.push_back(Task{
                    0, std::nullopt, *outcome.loaded, {*outcome.loaded->File(), outcome.size}, {}});
            continue;
        }
        kept_.Keep(*done.key, outcome.drawn);
        for (auto w = waiting_.begin(); w != waiting_.end();) {
            if (w->key.file == done.key->file && NearSize(w->key.size, done.key->size)) {
                deliveries.emplace_back(std::move(*w), outcome.drawn);
                w = waiting_.erase(w);
            } else {
                ++w;
            }
        }
    }
    for (auto& [waiting, drawn] : deliveries)
        if (waiting.requester)
            waiting.done(drawn);
    schedule();
}

void RenderService::schedule() {
    std::erase_if(waiting_, [](const Waiting& w) { return !w.requester; });
    while (static_cast<int>(running_.size()) < threads_) {
        const auto wanted = std::find_if(waiting_.begin(), waiting_.end(),
                                         [&](const Waiting& w) { return !running(w.key); });
        if (wanted != waiting_.end()) {
            start(Task{0, std::nullopt, wanted->picture, wanted->key, {}}, false);
            continue;
        }
        // Read-ahead runs only while no one waits: on two cores a decode beside it would take
        // twice as long. One thread always stays free for a picture someone asks for.
        const auto ahead = std::count_if(running_.begin(), running_.end(),
                                         [](const Running& r) { return r.ahead; });
        if (ahead_.empty() || !waiting_.empty() || ahead >= std::max(1, threads_ - 1))
            break;
        Task task = std::move(ahead_.front());
        ahead_.pop_front();
        if (!task.load && (kept_.Find(task.key) || running(task.key)))
            continue;
        start(std::move(task), true);
    }
}

void RenderService::start(Task task, bool ahead) {
    task.id = nextId_++;
    std::optional<Key> key;
    if (!task.load)
        key = task.key;
    std::stop_source stop;
    task.stop = stop.get_token();
    running_.push_back({task.id, key, ahead, generation_, stop});
    {
        const std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

bool RenderService::running(const Key& key) const {
    return std::any_of(running_.begin(), running_.end(), [&](const Running& r) {
        return r.key && !r.stop.stop_requested() && r.key->file == key.file &&
               NearSize(r.key->size, key.size);
    });
}

QImage RenderService::keptAtAnySize(const Picture& picture) const {
    return picture.File() ? kept_.Largest(*picture.File()) : QImage();
}

} // namespace pictures
