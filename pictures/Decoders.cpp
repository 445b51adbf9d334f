#include "pictures/Decoders.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <fcntl.h>

#include <cerrno>

#include <memory>

namespace pictures {

namespace {

using decoder::Kind;
using decoder::Message;

QString Named(const QString& fileName, const QString& reason) {
    return fileName + QStringLiteral(": ") + reason;
}

// The decoder's own words, made safe to show.
QString Said(const Message& message) {
    QString text = QString::fromUtf8(message.Text().data(), qsizetype(message.Text().size()));
    for (QChar& c : text)
        if (!c.isPrint())
            c = QLatin1Char('?');
    return text;
}

QString Unanswered(DecoderProcess& process, DecoderProcess::Wait wait) {
    switch (wait) {
    case DecoderProcess::Wait::TimedOut:
        return QStringLiteral("took too long to decode");
    case DecoderProcess::Wait::Closed:
        return process.Ending();
    default:
        return QStringLiteral("the picture decoder gave a garbled answer");
    }
}

// A read-only mapping of the pixels, released with the last image that shows them.
struct Mapping {
    Mapping(void* start, std::size_t length) : start(start), length(length) {}
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;
    ~Mapping() { ::munmap(start, length); }
    void* start;
    std::size_t length;
};

// The answer's shared memory mapped read-only as an image, or null when it is not exactly what
// was asked: the size, the row length, the byte count, and seals that keep it so.
QImage Map(const Message& answer, const decoder::UniqueFd& memory, QSize asked) {
    const std::int64_t stride = std::int64_t{asked.width()} * 4;
    if (answer.width != asked.width() || answer.height != asked.height() ||
        answer.stride != stride || answer.bytes != stride * asked.height() || !memory)
        return {};
    struct stat status {};
    if (::fstat(memory.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size != answer.bytes)
        return {};
    constexpr int kNeeded = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE;
    const int seals = ::fcntl(memory.get(), F_GET_SEALS);
    if (seals < 0 || (seals & kNeeded) != kNeeded)
        return {};
    void* mapped = ::mmap(nullptr, static_cast<std::size_t>(answer.bytes), PROT_READ, MAP_SHARED,
                          memory.get(), 0);
    if (mapped == MAP_FAILED)
        return {};
    auto mapping = std::make_unique<Mapping>(mapped, static_cast<std::size_t>(answer.bytes));
    return QImage(
        static_cast<const uchar*>(mapped), asked.width(), asked.height(),
        static_cast<qsizetype>(stride), QImage::Format_ARGB32_Premultiplied,
        [](void* info) { std::unique_ptr<Mapping>(static_cast<Mapping*>(info)); },
        mapping.release());
}

} // namespace

Decoders::Decoders(DecoderProgram program, int spares)
    : program_(std::move(program)), spares_(static_cast<std::size_t>(std::max(0, spares))) {
    if (spares_ > 0) {
        reaping_ = true;
        refill_ = std::jthread([this](const std::stop_token& stop) { Refill(stop); });
    }
}

Decoders::~Decoders() {
    refill_.request_stop();
    wanted_.notify_all();
}

DecoderProgram Decoders::Installed() {
    const QString name = QStringLiteral("lumbrik-decoder");
    // Beside the program in the build tree; under the program's own prefix after an
    // installation, wherever that prefix was moved; then where it was configured to go.
    QStringList candidates;
    if (QCoreApplication::instance()) {
        const QString bin = QCoreApplication::applicationDirPath();
        candidates << bin + QLatin1Char('/') + name
                   << bin + QStringLiteral("/../libexec/lumbrik/") + name;
    }
    candidates << QStringLiteral(LUMBRIK_DECODER_INSTALLED);
    for (const QString& candidate : candidates) {
        const QFileInfo program(candidate);
        if (program.isFile() && program.isExecutable())
            return {
                std::filesystem::path(QFile::encodeName(program.absoluteFilePath()).toStdString()),
                {}};
    }
    return {};
}

std::optional<DecoderProcess> Decoders::Take(Need need) {
    std::optional<DecoderProcess> process;
    {
        const std::lock_guard lock(mutex_);
        if (waiting_.size() > (need == Need::Now ? 0u : 1u)) {
            process = std::move(waiting_.front());
            waiting_.pop_front();
        }
    }
    wanted_.notify_all();
    if (!process && !program_.path.empty())
        process = DecoderProcess::Start(program_);
    if (!process)
        return process;
    process->ReapWith([pool = weak_from_this()](pid_t pid) {
        if (const std::shared_ptr<Decoders> decoders = pool.lock())
            decoders->Reap(pid);
        else
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
    });
    // Work ahead of need gives way to what a window waits for, on two cores above all.
    if (need == Need::Ahead)
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(process->pid()), 10);
    return process;
}

void Decoders::Reap(pid_t pid) {
    {
        const std::lock_guard lock(mutex_);
        if (reaping_) {
            ended_.push_back(pid);
            wanted_.notify_all();
            return;
        }
    }
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

void Decoders::Refill(const std::stop_token& stop) {
    bool canStart = !program_.path.empty();
    while (true) {
        std::vector<pid_t> ended;
        bool start = false;
        {
            std::unique_lock lock(mutex_);
            wanted_.wait(lock, stop, [&] {
                return !ended_.empty() || (canStart && waiting_.size() < spares_);
            });
            ended.swap(ended_);
            start = canStart && waiting_.size() < spares_ && !stop.stop_requested();
            if (ended.empty() && stop.stop_requested()) {
                reaping_ = false;
                break;
            }
        }
        for (const pid_t pid : ended)
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        if (!start)
            continue;
        std::optional<DecoderProcess> started = DecoderProcess::Start(program_);
        // One that does not start will not start later either: Take() starts its own and
        // says why.
        canStart = started.has_value();
        if (started) {
            const std::lock_guard lock(mutex_);
            waiting_.push_back(std::move(*started));
        }
    }
    std::deque<DecoderProcess> spares;
    {
        const std::lock_guard lock(mutex_);
        spares.swap(waiting_);
    }
}

std::variant<Message, QString> Decoders::Open(DecoderProcess& process, int file,
                                              const QString& fileName,
                                              DecoderProcess::Deadline deadline,
                                              const std::stop_token& stop) {
    Message open;
    open.kind = Kind::Open;
    open.setText(fileName.toStdString());
    if (!process.Send(open, file))
        return Named(fileName, process.Ending());
    for (const Kind expected : {Kind::Ready, Kind::Facts}) {
        Message answer;
        decoder::UniqueFd extra;
        const DecoderProcess::Wait wait = process.Receive(answer, extra, deadline, stop);
        if (wait != DecoderProcess::Wait::Answered)
            return Named(fileName, Unanswered(process, wait));
        if (answer.kind == Kind::Failed)
            return Said(answer);
        if (answer.kind != expected || extra)
            return Named(fileName, QStringLiteral("the picture decoder gave a garbled answer"));
        if (expected == Kind::Facts) {
            const bool sound = answer.naturalWidth > 0 && answer.naturalHeight > 0 &&
                               answer.naturalWidth <= 1e7 && answer.naturalHeight <= 1e7 &&
                               answer.width >= 0 && answer.height >= 0;
            if (!sound)
                return Named(fileName, QStringLiteral("the picture decoder gave a garbled answer"));
            return answer;
        }
    }
    return Named(fileName, QStringLiteral("the picture decoder gave a garbled answer"));
}

Decoders::Drawn Decoders::Draw(DecoderProcess& process, QSize size, const QString& fileName,
                               DecoderProcess::Deadline deadline, const std::stop_token& stop) {
    Message draw;
    draw.kind = Kind::Draw;
    draw.width = size.width();
    draw.height = size.height();
    if (!process.Send(draw))
        return {{}, Named(fileName, process.Ending())};
    Message answer;
    decoder::UniqueFd memory;
    const DecoderProcess::Wait wait = process.Receive(answer, memory, deadline, stop);
    if (wait == DecoderProcess::Wait::Stopped)
        return {{}, {}, true};
    if (wait != DecoderProcess::Wait::Answered)
        return {{}, Named(fileName, Unanswered(process, wait))};
    if (answer.kind == Kind::Failed && !memory)
        return {{}, Said(answer)};
    QImage image = answer.kind == Kind::Pixels ? Map(answer, memory, size) : QImage();
    if (image.isNull())
        return {{}, Named(fileName, QStringLiteral("the picture decoder gave a garbled answer"))};
    return {image, Said(answer)};
}

} // namespace pictures
