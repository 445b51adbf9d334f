// Sending and receiving the messages of Protocol.h, with at most one descriptor each; both
// the viewer and the decoder use it.
#pragma once

#include "decoder/Protocol.h"

#include <unistd.h>

#include <utility>

namespace decoder {

// An owned descriptor, closed when it goes.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

// Sends `message`, with `fd` attached when it is not negative; false when the socket failed.
bool Send(int socket, const Message& message, int fd = -1);

enum class Received { Message, Closed, Garbage, Failed };

// Receives one datagram. A whole Message of our magic is Received::Message; a descriptor that
// came with it lands in `fd` (received close-on-exec; any beyond the first is closed). A
// datagram of another length, or a truncated one, is Garbage; the peer gone is Closed.
Received Receive(int socket, Message& message, UniqueFd& fd);

} // namespace decoder
