// The decoder processes a program uses: spares started and sealed ahead of need on a thread of
// its own, so that taking one costs nothing at a step, and the exchanges every picture makes
// with one (open a file, draw it at a size), each with its deadline and its checks.
#pragma once

#include "pictures/DecoderProcess.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <variant>
#include <vector>

namespace pictures {

class Decoders : public std::enable_shared_from_this<Decoders> {
public:
    // Keeps `spares` decoders waiting (none: each is started when taken).
    Decoders(DecoderProgram program, int spares);
    ~Decoders();
    Decoders(const Decoders&) = delete;
    Decoders& operator=(const Decoders&) = delete;

    // lumbrik-decoder beside the running program, else under its own prefix, else where it
    // was installed; an empty path when there is none.
    static DecoderProgram Installed();

    // Who asks: a window waiting at a step, or work ahead of need on a worker thread, which
    // leaves the last spare to the window and starts its own instead.
    enum class Need { Now, Ahead };
    // A decoder of its own for one file: a spare when one waits; none when none can start.
    std::optional<DecoderProcess> Take(Need need = Need::Now);

    // Hands `file` to `process` and waits for its facts until `deadline`; the failure's
    // message, naming `fileName`, otherwise.
    static std::variant<decoder::Message, QString> Open(DecoderProcess& process, int file,
                                                        const QString& fileName,
                                                        DecoderProcess::Deadline deadline,
                                                        const std::stop_token& stop = {});

    struct Drawn {
        QImage image;  // null when it failed
        QString error; // why it failed, or why the pixels are not the whole picture
        bool stopped = false;
    };
    // The pixels of the file `process` has open, at exactly `size`, checked against what was
    // asked before they are used.
    static Drawn Draw(DecoderProcess& process, QSize size, const QString& fileName,
                      DecoderProcess::Deadline deadline, const std::stop_token& stop);

private:
    void Refill(const std::stop_token& stop);
    // Waits for a killed decoder's exit on the pool's thread, or here when it has none.
    void Reap(pid_t pid);

    const DecoderProgram program_;
    const std::size_t spares_;
    std::mutex mutex_;
    std::condition_variable_any wanted_;
    std::deque<DecoderProcess> waiting_;
    std::vector<pid_t> ended_; // killed, not yet reaped
    bool reaping_ = false;     // the pool's thread reaps them
    std::jthread refill_;      // last: it uses the members above
};

} // namespace pictures
