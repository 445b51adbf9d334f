#include "pictures/DecoderProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>

namespace pictures {

namespace {

// How often a wait looks at its stop token.
constexpr std::chrono::milliseconds kStopCheck{20};

} // namespace

std::optional<DecoderProcess> DecoderProcess::Start(const DecoderProgram& program) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0)
        return std::nullopt;
    decoder::UniqueFd ours(ends[0]);
    // Moved above the standard descriptors, so that the child's dup2 onto 3 always copies it.
    decoder::UniqueFd theirs(::fcntl(ends[1], F_DUPFD_CLOEXEC, 10));
    ::close(ends[1]);
    if (!theirs)
        return std::nullopt;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const int fd : {0, 1, 2})
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY,
                                         0);
    posix_spawn_file_actions_adddup2(&actions, theirs.get(), decoder::kSocket);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigfillset(&defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> words{program.path.string()};
    words.insert(words.end(), program.arguments.begin(), program.arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    char* environment[] = {nullptr};
    pid_t pid = -1;
    const int failed =
        posix_spawn(&pid, program.path.c_str(), &actions, &attributes, argv.data(), environment);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0)
        return std::nullopt;
    return DecoderProcess(pid, std::move(ours));
}

DecoderProcess::DecoderProcess(DecoderProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)), socket_(std::move(other.socket_)),
      reaper_(std::move(other.reaper_)) {}

DecoderProcess& DecoderProcess::operator=(DecoderProcess&& other) noexcept {
    if (this != &other) {
        End();
        pid_ = std::exchange(other.pid_, -1);
        socket_ = std::move(other.socket_);
        reaper_ = std::move(other.reaper_);
    }
    return *this;
}

DecoderProcess::~DecoderProcess() {
    End();
}

void DecoderProcess::End() {
    socket_.reset();
    if (pid_ <= 0)
        return;
    // Nothing it could still say is wanted; killing it costs less than waiting for it.
    ::kill(pid_, SIGKILL);
    if (reaper_) {
        reaper_(std::exchange(pid_, -1));
        return;
    }
    while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
}

bool DecoderProcess::Send(const decoder::Message& message, int fd) {
    return socket_ && decoder::Send(socket_.get(), message, fd);
}

DecoderProcess::Wait DecoderProcess::Receive(decoder::Message& message, decoder::UniqueFd& fd,
                                             Deadline deadline, const std::stop_token& stop) {
    fd.reset();
    if (!socket_)
        return Wait::Closed;
    while (true) {
        if (stop.stop_requested())
            return Wait::Stopped;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return Wait::TimedOut;
        auto slice = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        if (stop.stop_possible())
            slice = std::min(slice, kStopCheck);
        pollfd ready{socket_.get(), POLLIN, 0};
        const int got = ::poll(&ready, 1, static_cast<int>(slice.count()));
        if (got < 0 && errno != EINTR)
            return Wait::Closed;
        if (got <= 0)
            continue;
        switch (decoder::Receive(socket_.get(), message, fd)) {
        case decoder::Received::Message:
            return Wait::Answered;
        case decoder::Received::Garbage:
            return Wait::Garbage;
        case decoder::Received::Closed:
        case decoder::Received::Failed:
            return Wait::Closed;
        }
    }
}

QString DecoderProcess::Ending() {
    socket_.reset();
    int status = 0;
    pid_t ended = -1;
    // The socket closes as the process exits; its status follows at once.
    for (int i = 0; i < 100 && (ended = ::waitpid(pid_, &status, WNOHANG)) == 0; ++i)
        ::usleep(1000);
    if (ended != pid_)
        return QStringLiteral("the picture decoder stopped answering");
    pid_ = -1;
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        if (signal == SIGXCPU || signal == SIGKILL)
            return QStringLiteral("took too long to decode");
        return QStringLiteral("the picture decoder crashed on it");
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 4)
        return QStringLiteral("the picture decoder cannot seal itself");
    return QStringLiteral("the picture decoder ended without an answer");
}

} // namespace pictures
