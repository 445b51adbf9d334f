#include "decoder/Wire.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace decoder {

namespace {

// Room for a few descriptors, so that extra ones arrive whole and can be closed.
constexpr int kMaxDescriptors = 4;

} // namespace

bool Send(int socket, const Message& message, int fd) {
    iovec part{const_cast<Message*>(&message), sizeof message};
    msghdr header{};
    header.msg_iov = &part;
    header.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    if (fd >= 0) {
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&header);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(c), &fd, sizeof fd);
    }
    while (true) {
        const ssize_t sent = ::sendmsg(socket, &header, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        return sent == static_cast<ssize_t>(sizeof message);
    }
}

Received Receive(int socket, Message& message, UniqueFd& fd) {
    fd.reset();
    // One byte more than a message, so that a longer datagram shows as one.
    alignas(Message) char buffer[sizeof(Message) + 1];
    iovec part{buffer, sizeof buffer};
    msghdr header{};
    header.msg_iov = &part;
    header.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kMaxDescriptors)] = {};
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    ssize_t got = 0;
    do
        got = ::recvmsg(socket, &header, MSG_CMSG_CLOEXEC);
    while (got < 0 && errno == EINTR);
    if (got < 0)
        return Received::Failed;
    bool extra = false;
    for (cmsghdr* c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS)
            continue;
        const std::size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < count; ++i) {
            int received = -1;
            std::memcpy(&received, CMSG_DATA(c) + i * sizeof(int), sizeof received);
            if (!fd && !extra)
                fd = UniqueFd(received);
            else {
                ::close(received);
                extra = true;
            }
        }
    }
    if (got == 0)
        return Received::Closed;
    if (extra || (header.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) ||
        got != static_cast<ssize_t>(sizeof(Message))) {
        fd.reset();
        return Received::Garbage;
    }
    std::memcpy(&message, buffer, sizeof message);
    if (message.magic != kMagic) {
        fd.reset();
        return Received::Garbage;
    }
    message.text[sizeof message.text - 1] = '\0';
    return Received::Message;
}

} // namespace decoder
