// One running decoder process (lumbrik-decoder) and the socket to it: started, spoken to with
// deadlines, and killed when it is no longer wanted. Thread-compatible: one user at a time.
#pragma once

#include "decoder/Wire.h"

#include <QString>

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace pictures {

// Which program decodes, with the arguments it is started with.
struct DecoderProgram {
    std::filesystem::path path;
    std::vector<std::string> arguments;
};

class DecoderProcess {
public:
    using Deadline = std::chrono::steady_clock::time_point;

    // Starts the program with its socket on descriptor 3, nothing else open, and an empty
    // environment; none when it cannot be started.
    static std::optional<DecoderProcess> Start(const DecoderProgram& program);

    DecoderProcess(DecoderProcess&& other) noexcept;
    DecoderProcess& operator=(DecoderProcess&& other) noexcept;
    ~DecoderProcess(); // kills it, if it still runs, and reaps it

    pid_t pid() const { return pid_; }
    // Who reaps the process once it is killed, so that the thread ending it does not wait for
    // its exit; none: the one that ends it.
    void ReapWith(std::function<void(pid_t)> reaper) { reaper_ = std::move(reaper); }
    bool Send(const decoder::Message& message, int fd = -1);

    enum class Wait { Answered, Closed, Garbage, TimedOut, Stopped };
    // Waits for the next message until `deadline`, or until `stop` is requested.
    Wait Receive(decoder::Message& message, decoder::UniqueFd& fd, Deadline deadline,
                 const std::stop_token& stop = {});

    // After the socket closed: why the process ended, in a person's words.
    QString Ending();

private:
    DecoderProcess(pid_t pid, decoder::UniqueFd socket) : pid_(pid), socket_(std::move(socket)) {}
    void End();

    pid_t pid_ = -1;
    decoder::UniqueFd socket_;
    std::function<void(pid_t)> reaper_;
};

} // namespace pictures
