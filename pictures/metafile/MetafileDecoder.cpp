#include "pictures/metafile/MetafileDecoder.h"

#include "pictures/metafile/HelperProtocol.h"
#include "pictures/metafile/SvgDrawing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <memory>
#include <mutex>
#include <optional>

namespace pictures::metafile {
namespace {

constexpr qsizetype kMaxReasonBytes = 4096;

// A metafile drawn from the helper's SVG, at whatever size it is asked for.
class SvgSource final : public Source {
public:
    SvgSource(double width, double height, std::unique_ptr<SvgDrawing> drawing)
        : width_(width), height_(height), drawing_(std::move(drawing)) {}

    double naturalWidth() const override { return width_; }
    double naturalHeight() const override { return height_; }

    Rendering render(QSize size, const std::stop_token&) const override {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        if (image.isNull())
            return {QImage(), QStringLiteral("there is not enough memory to draw it this large")};
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                               QPainter::SmoothPixmapTransform);
        bool drawn = false;
        {
            // Pictures share their source across threads; the drawing is not reentrant.
            const std::lock_guard lock(mutex_);
            drawn = drawing_->Draw(painter, QRectF(0, 0, size.width(), size.height()));
        }
        painter.end();
        if (!drawn)
            return {image, QStringLiteral("the metafile decoder gave an unreadable drawing")};
        return {image, {}};
    }

private:
    double width_;
    double height_;
    std::unique_ptr<SvgDrawing> drawing_;
    mutable std::mutex mutex_;
};

[[noreturn]] void Fail(const QString& fileName, const QString& reason) {
    throw LoadError(QStringLiteral("%1: %2").arg(fileName, reason).toStdString());
}

// The helper's own one-line reason, made safe to show.
QString ReasonFrom(const QByteArray& standardError) {
    QString reason = QString::fromUtf8(standardError).trimmed();
    reason = reason.section(QLatin1Char('\n'), -1).trimmed();
    reason.truncate(200);
    for (QChar& c : reason)
        if (!c.isPrint())
            c = QLatin1Char('?');
    return reason;
}

struct Answer {
    double width = 0;
    double height = 0;
    QByteArray svg;
};

std::optional<Answer> ParseAnswer(const QByteArray& out) {
    const auto line = [&out](qsizetype& at) -> std::optional<QByteArray> {
        const qsizetype end = out.indexOf('\n', at);
        if (end < 0 || end - at > 200)
            return std::nullopt;
        QByteArray text = out.mid(at, end - at);
        at = end + 1;
        return text;
    };
    qsizetype at = 0;
    const auto magic = line(at);
    if (!magic || *magic != QByteArrayView(kHelperMagic.data(), qsizetype(kHelperMagic.size())))
        return std::nullopt;
    const auto size = line(at);
    const auto svg = line(at);
    if (!size || !svg)
        return std::nullopt;
    const QList<QByteArray> sizeWords = size->split(' ');
    const QList<QByteArray> svgWords = svg->split(' ');
    if (sizeWords.size() != 3 || sizeWords[0] != "size" || svgWords.size() != 2 ||
        svgWords[0] != "svg")
        return std::nullopt;
    bool okWidth = false, okHeight = false, okLength = false;
    Answer answer;
    answer.width = sizeWords[1].toDouble(&okWidth);
    answer.height = sizeWords[2].toDouble(&okHeight);
    const qlonglong length = svgWords[1].toLongLong(&okLength);
    if (!okWidth || !okHeight || !okLength || length != out.size() - at)
        return std::nullopt;
    if (!std::isfinite(answer.width) || !std::isfinite(answer.height) || answer.width <= 0 ||
        answer.height <= 0 || answer.width > kMaxNaturalSide || answer.height > kMaxNaturalSide)
        return std::nullopt;
    answer.svg = out.mid(at);
    return answer;
}

} // namespace

QString FindHelper() {
    const QString name = QStringLiteral("lumbrik-metafile");
    // Beside the program in the build tree; under the program's own prefix after an
    // installation, wherever that prefix was moved; then where it was configured to go.
    if (QCoreApplication::instance()) {
        const QString bin = QCoreApplication::applicationDirPath();
        for (const QString& candidate :
             {bin + QLatin1Char('/') + name, bin + QStringLiteral("/../libexec/lumbrik/") + name}) {
            const QFileInfo helper(candidate);
            if (helper.isFile() && helper.isExecutable())
                return helper.absoluteFilePath();
        }
    }
    const QFileInfo installed(QStringLiteral(LUMBRIK_METAFILE_HELPER_INSTALLED));
    if (installed.isFile() && installed.isExecutable())
        return installed.absoluteFilePath();
    return {};
}

Picture LoadMetafile(const QByteArray& bytes, MetafileKind kind, const QString& fileName,
                     const QString& helperPath, const HelperLimits& limits) {
    if (static_cast<std::size_t>(bytes.size()) > kMaxInputBytes)
        Fail(fileName, QStringLiteral("the file is too large for a metafile"));

    QProcess helper;
    helper.setProgram(helperPath);
    const std::string_view argument = kind == MetafileKind::Wmf ? kWmfArgument : kEmfArgument;
    helper.setArguments({QString::fromLatin1(argument.data(), qsizetype(argument.size()))});
    helper.setProcessChannelMode(QProcess::SeparateChannels);
    // The helper needs none of the user's environment, and it could hold secrets.
    helper.setProcessEnvironment(QProcessEnvironment());
    const rlim_t cpu = limits.cpuSeconds;
    const rlim_t addressSpace = limits.addressSpaceBytes;
    // Runs in the child between fork and exec: only async-signal-safe calls.
    helper.setChildProcessModifier([cpu, addressSpace] {
        const rlimit cpuLimit{cpu, cpu + 1}; // SIGXCPU first, SIGKILL a second later
        setrlimit(RLIMIT_CPU, &cpuLimit);
        const rlimit memoryLimit{addressSpace, addressSpace};
        setrlimit(RLIMIT_AS, &memoryLimit);
        const rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
    });

    QElapsedTimer clock;
    clock.start();
    const auto remaining = [&] {
        return std::max<qint64>(0, limits.timeout.count() - clock.elapsed());
    };
    const auto stop = [&helper](const QString& fileName, const QString& reason) {
        helper.kill();
        helper.waitForFinished(1000);
        Fail(fileName, reason);
    };

    helper.start();
    if (!helper.waitForStarted(int(std::max<qint64>(1, remaining()))))
        Fail(fileName, QStringLiteral("the metafile decoder could not be started (%1)")
                           .arg(helper.errorString()));
    helper.write(bytes);
    helper.closeWriteChannel();

    QByteArray out;
    QByteArray standardError;
    const auto drain = [&] {
        out += helper.readAllStandardOutput();
        standardError += helper.readAllStandardError();
        if (standardError.size() > kMaxReasonBytes)
            standardError = standardError.right(kMaxReasonBytes);
    };
    while (helper.state() != QProcess::NotRunning) {
        const qint64 left = remaining();
        if (left <= 0)
            stop(fileName, QStringLiteral("the metafile decoder took too long"));
        helper.waitForReadyRead(int(std::min<qint64>(left, 100)));
        drain();
        if (out.size() > limits.maxAnswerBytes)
            stop(fileName, QStringLiteral("the metafile decoder gave too much output"));
    }
    drain();

    if (helper.exitStatus() == QProcess::CrashExit) {
        // On Unix the exit code of a crashed process is the signal that ended it.
        const int signal = helper.exitCode();
        if (signal == SIGXCPU || signal == SIGKILL)
            Fail(fileName, QStringLiteral("the metafile decoder took too long"));
        Fail(fileName, QStringLiteral("the metafile decoder crashed"));
    }
    if (helper.exitCode() != kDecoded) {
        const QString reason = ReasonFrom(standardError);
        if (helper.exitCode() == kOutOfMemory)
            Fail(fileName, QStringLiteral("the metafile decoder ran out of memory"));
        if ((helper.exitCode() == kUnreadable || helper.exitCode() == kUnsealed) &&
            !reason.isEmpty())
            Fail(fileName, reason);
        Fail(fileName,
             QStringLiteral("the metafile decoder failed (exit status %1)").arg(helper.exitCode()));
    }
    if (out.size() > limits.maxAnswerBytes)
        Fail(fileName, QStringLiteral("the metafile decoder gave too much output"));

    std::optional<Answer> answer = ParseAnswer(out);
    if (!answer)
        Fail(fileName, QStringLiteral("the metafile decoder gave a garbled answer"));
    std::unique_ptr<SvgDrawing> drawing = SvgDrawing::Read(answer->svg);
    if (!drawing)
        Fail(fileName, QStringLiteral("the metafile decoder gave an unreadable drawing"));
    return Picture(
        std::make_shared<const SvgSource>(answer->width, answer->height, std::move(drawing)));
}

} // namespace pictures::metafile
