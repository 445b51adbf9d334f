// Preview of a camera-sized photo in the browser's small pane: how long loading and drawing
// take and how much memory they need, beside libjpeg's own djpeg decoding at 1/8 scale.
//
//   bench_preview [--runs N]
//
// Each variant runs in a fresh child process (this program started again with --child), so
// that each peak resident size (VmHWM as the child exits) is its own.
#include "bench/BenchSupport.h"
#include "pictures/LoadPicture.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <csignal>
#include <fcntl.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using bench::Clock;
using bench::Median;
using bench::MillisecondsSince;
using bench::PhotoLike;

constexpr QSize kPhotoSize(6000, 4000);
constexpr QSize kPane(250, 130);
constexpr int kQuality = 90;

// The largest size of the picture's shape that fits the pane, as the image control draws it.
QSize Fitted(const pictures::Picture& picture, QSize pane) {
    const double scale = std::min(pane.width() / picture.Width(), pane.height() / picture.Height());
    return QSize(std::max(1, static_cast<int>(std::lround(picture.Width() * scale))),
                 std::max(1, static_cast<int>(std::lround(picture.Height() * scale))));
}

// --- child side: one variant, timed run by run, times printed one a line -------------------

using Variant = bool (*)(const QString& file);

bool LoadAndRender(const QString& file) {
    const pictures::Picture picture = pictures::LoadPicture(QFile::encodeName(file).toStdString());
    const pictures::Rendering drawn = picture.render(Fitted(picture, kPane));
    return drawn.error.isEmpty() && !drawn.image.isNull();
}

bool LoadOnly(const QString& file) {
    return !pictures::LoadPicture(QFile::encodeName(file).toStdString()).isNull();
}

// What drawing costs without the decoder's scaling: every pixel decoded, then scaled down.
bool FullDecodeThenScale(const QString& file) {
    QImageReader reader(file, "jpeg");
    const QImage full = reader.read();
    const QSize size = full.size().scaled(kPane, Qt::KeepAspectRatio);
    return !full.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).isNull();
}

// The process as it stands before any picture: Qt, its JPEG plugin and libjpeg loaded.
bool Baseline(const QString&) {
    QImage tiny(8, 8, QImage::Format_RGB32);
    tiny.fill(Qt::gray);
    QImageWriter("/dev/null", "jpeg").write(tiny);
    return true;
}

struct VariantEntry {
    const char* key;
    const char* label;
    Variant run;
    bool timed = true;
};

constexpr VariantEntry kVariants[] = {
    {"lumbrik", "LoadPicture + render (Lumbrik)", LoadAndRender},
    {"load", "LoadPicture only", LoadOnly},
    {"full", "QImageReader full decode + smooth scale", FullDecodeThenScale},
    {"baseline", "Qt process, no picture", Baseline, false},
};

int RunChild(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s --child VARIANT FILE RUNS\n", argv[0]);
        return 2;
    }
    QCoreApplication app(argc, argv);
    const std::string key = argv[2];
    const QString file = QFile::decodeName(argv[3]);
    const int runs = std::atoi(argv[4]);
    const auto* variant = std::find_if(std::begin(kVariants), std::end(kVariants),
                                       [&](const VariantEntry& v) { return key == v.key; });
    if (variant == std::end(kVariants))
        return 2;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        if (!variant->run(file)) {
            std::fprintf(stderr, "%s failed\n", variant->label);
            return 1;
        }
        std::printf("%.3f\n", MillisecondsSince(start));
    }
    return 0;
}

// --- parent side -----------------------------------------------------------------------------

struct ProcessRun {
    double wallMs = 0;
    long peakKb = 0;
    bool ok = false;
};

long PeakKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return 0;
}

// Runs `args` (a full program path first), its standard output into `outputFile`, and reads
// its peak resident size as it exits. Not wait4's ru_maxrss: Linux carries the parent's
// resident size into a child across fork and exec, so that figure is never below this
// process's own.
ProcessRun Run(const std::vector<std::string>& args, const std::string& outputFile) {
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    ProcessRun result;
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid < 0)
        return result;
    if (pid == 0) {
        const int out = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || dup2(out, STDOUT_FILENO) < 0 || ptrace(PTRACE_TRACEME, 0, nullptr, nullptr))
            _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFSTOPPED(status)) // stopped at exec
        return result;
    ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACEEXIT | PTRACE_O_EXITKILL);
    ptrace(PTRACE_CONT, pid, nullptr, nullptr);
    while (waitpid(pid, &status, 0) == pid && WIFSTOPPED(status)) {
        int signal = WSTOPSIG(status);
        if (status >> 8 == (SIGTRAP | PTRACE_EVENT_EXIT << 8)) {
            result.peakKb = PeakKb(pid); // still there, on its way out
            signal = 0;
        }
        ptrace(PTRACE_CONT, pid, nullptr, signal);
    }
    result.wallMs = MillisecondsSince(start);
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

struct Row {
    std::string label;
    double medianMs = NAN;
    double peakMb = NAN;
};

std::optional<Row> MeasureVariant(const VariantEntry& variant, const std::string& self,
                                  const QString& jpeg, int runs, const QString& scratch) {
    const std::string output = QFile::encodeName(scratch).toStdString();
    const ProcessRun run = Run(
        {self, "--child", variant.key, QFile::encodeName(jpeg).toStdString(), std::to_string(runs)},
        output);
    if (!run.ok)
        return std::nullopt;
    QFile file(scratch);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    std::vector<double> times;
    while (!file.atEnd())
        times.push_back(file.readLine().trimmed().toDouble());
    return Row{variant.label, variant.timed ? Median(times) : NAN, run.peakKb / 1024.0};
}

std::optional<Row> MeasureDjpeg(const std::string& djpeg, const QString& jpeg, int runs) {
    std::vector<double> times;
    long peakKb = 0;
    for (int i = 0; i < runs; ++i) {
        const ProcessRun run = Run({djpeg, "-scale", "1/8", "-outfile", "/dev/null",
                                    QFile::encodeName(jpeg).toStdString()},
                                   "/dev/null");
        if (!run.ok)
            return std::nullopt;
        times.push_back(run.wallMs);
        peakKb = std::max(peakKb, run.peakKb);
    }
    return Row{"djpeg -scale 1/8 (whole process)", Median(times), peakKb / 1024.0};
}

int RunParent(int argc, char** argv) {
    int runs = 15;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--runs")
            runs = std::max(1, std::atoi(argv[i + 1]));
    }
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 1;
    }
    const QString jpeg = dir.filePath(QStringLiteral("photo.jpg"));
    {
        QImageWriter writer(jpeg, "jpeg");
        writer.setQuality(kQuality);
        if (!writer.write(PhotoLike(kPhotoSize))) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(jpeg));
            return 1;
        }
    }
    const pictures::Picture picture = pictures::LoadPicture(QFile::encodeName(jpeg).toStdString());
    const QSize drawn = Fitted(picture, kPane);
    std::printf("%d x %d JPEG, quality %d, %.1f MB; drawn into a %d x %d pane at %d x %d; "
                "median of %d runs\n\n",
                kPhotoSize.width(), kPhotoSize.height(), kQuality,
                QFile(jpeg).size() / (1024.0 * 1024.0), kPane.width(), kPane.height(),
                drawn.width(), drawn.height(), runs);

    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const QString scratch = dir.filePath(QStringLiteral("times.txt"));
    std::vector<Row> rows;
    for (const VariantEntry& variant : kVariants) {
        if (const auto row = MeasureVariant(variant, self, jpeg, runs, scratch))
            rows.push_back(*row);
        else
            std::fprintf(stderr, "%s: the child process failed\n", variant.label);
    }
    const QString djpeg = QStandardPaths::findExecutable(QStringLiteral("djpeg"));
    if (djpeg.isEmpty()) {
        std::fprintf(stderr, "djpeg not found (Debian package libjpeg-turbo-progs)\n");
    } else if (const auto row = MeasureDjpeg(QFile::encodeName(djpeg).toStdString(), jpeg, runs)) {
        rows.push_back(*row);
    } else {
        std::fprintf(stderr, "djpeg failed\n");
    }

    std::printf("%-42s %12s %14s\n", "variant", "median ms", "peak RSS MB");
    for (const Row& row : rows) {
        if (std::isnan(row.medianMs))
            std::printf("%-42s %12s %14.1f\n", row.label.c_str(), "-", row.peakMb);
        else
            std::printf("%-42s %12.1f %14.1f\n", row.label.c_str(), row.medianMs, row.peakMb);
    }
    std::printf("\nTimes are per run inside one process, except djpeg's, which include starting "
                "it.\nThe Qt process row is the floor under the first three: Qt, its JPEG plugin "
                "and libjpeg loaded.\n");
    return rows.size() == std::size(kVariants) + (djpeg.isEmpty() ? 0 : 1) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--child")
        return RunChild(argc, argv);
    return RunParent(argc, argv);
}
