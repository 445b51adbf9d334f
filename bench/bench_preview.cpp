// A camera-sized photo drawn cold, as the browser's small pane previews it and as the viewer
// opens it on a 1920 x 1080 screen: how long loading and drawing take and how much memory they
// need, beside libjpeg's own djpeg decoding the same file at 1/8 and at 1/4 scale.
//
//   bench_preview [--runs N]
//
// Each timed run is a fresh child process (this program started again with --child), so that
// the file is decoded cold and each peak resident size (VmHWM as the child exits) is its own;
// the decoder processes (two spares, sealed before the first run, as the program keeps them)
// are not counted in it.
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
#include <thread>
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
constexpr QSize kScreen(1920, 1080);
constexpr int kQuality = 90;

// The largest size of the picture's shape that fits the pane, as the image control draws it.
QSize Fitted(const pictures::Picture& picture, QSize pane) {
    const double scale = std::min(pane.width() / picture.Width(), pane.height() / picture.Height());
    return QSize(std::max(1, static_cast<int>(std::lround(picture.Width() * scale))),
                 std::max(1, static_cast<int>(std::lround(picture.Height() * scale))));
}

// --- child side: one variant, timed run by run, times printed one a line -------------------

using Variant = bool (*)(const QString& file);

// The program's decoders: spares started and sealed before the first timed run, as the program
// has them waiting by the time a person picks a file.
const std::shared_ptr<pictures::Decoders>& Decoders() {
    static const auto decoders =
        std::make_shared<pictures::Decoders>(pictures::Decoders::Installed(), 2);
    return decoders;
}

pictures::Picture Load(const QString& file) {
    return pictures::LoadPicture(QFile::encodeName(file).toStdString(), Decoders());
}

bool LoadAndRender(const QString& file, QSize box) {
    const pictures::Picture picture = Load(file);
    const pictures::Rendering drawn = picture.render(Fitted(picture, box));
    return drawn.error.isEmpty() && !drawn.image.isNull();
}

bool Preview(const QString& file) {
    return LoadAndRender(file, kPane);
}

// Double-click to pixels: the viewer loads the picture and draws it fitted to the screen.
bool Opening(const QString& file) {
    return LoadAndRender(file, kScreen);
}

bool LoadOnly(const QString& file) {
    return !Load(file).isNull();
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
    {"preview", "preview: LoadPicture + render in the pane", Preview},
    {"opening", "opening: LoadPicture + render full screen", Opening},
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
    Baseline(file);
    if (variant->run != FullDecodeThenScale && variant->run != Baseline) {
        Decoders();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
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

// What one row collects over the rounds.
struct Row {
    std::string label;
    std::vector<double> times;
    long peakKb = 0;
    bool timed = true;
    bool failed = false;

    void add(const ProcessRun& run, std::vector<double> runTimes) {
        failed = failed || !run.ok;
        peakKb = std::max(peakKb, run.peakKb);
        times.insert(times.end(), runTimes.begin(), runTimes.end());
    }
    double median() const { return timed ? Median(times) : NAN; }
};

// One timed run of a variant in a fresh child process.
void MeasureVariant(Row& row, const VariantEntry& variant, const std::string& self,
                    const QString& jpeg, const QString& scratch) {
    const ProcessRun run =
        Run({self, "--child", variant.key, QFile::encodeName(jpeg).toStdString(), "1"},
            QFile::encodeName(scratch).toStdString());
    std::vector<double> times;
    QFile file(scratch);
    if (run.ok && file.open(QIODevice::ReadOnly)) {
        while (!file.atEnd())
            times.push_back(file.readLine().trimmed().toDouble());
    }
    row.add(run, times);
}

void MeasureDjpeg(Row& row, const std::string& djpeg, const std::string& scale,
                  const QString& jpeg) {
    const ProcessRun run = Run(
        {djpeg, "-scale", scale, "-outfile", "/dev/null", QFile::encodeName(jpeg).toStdString()},
        "/dev/null");
    row.add(run, {run.wallMs});
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
    const QSize opened = Fitted(picture, kScreen);
    std::printf("%d x %d JPEG, quality %d, %.1f MB; drawn into a %d x %d pane at %d x %d and on "
                "a %d x %d screen at %d x %d; median of %d runs\n\n",
                kPhotoSize.width(), kPhotoSize.height(), kQuality,
                QFile(jpeg).size() / (1024.0 * 1024.0), kPane.width(), kPane.height(),
                drawn.width(), drawn.height(), kScreen.width(), kScreen.height(), opened.width(),
                opened.height(), runs);

    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const QString scratch = dir.filePath(QStringLiteral("times.txt"));
    const QString djpegPath = QStandardPaths::findExecutable(QStringLiteral("djpeg"));
    if (djpegPath.isEmpty())
        std::fprintf(stderr, "djpeg not found (Debian package libjpeg-turbo-progs)\n");
    const std::string djpeg = QFile::encodeName(djpegPath).toStdString();
    const std::vector<std::string> scales =
        djpeg.empty() ? std::vector<std::string>() : std::vector<std::string>{"1/8", "1/4"};

    std::vector<Row> rows;
    for (const VariantEntry& variant : kVariants)
        rows.push_back({variant.label, {}, 0, variant.timed});
    for (const std::string& scale : scales)
        rows.push_back({"djpeg -scale " + scale + " (whole process)", {}, 0, true});
    // Round by round, every variant once, so that a busy spell of the machine falls on all.
    for (int round = 0; round < runs; ++round) {
        for (std::size_t i = 0; i < std::size(kVariants); ++i)
            MeasureVariant(rows[i], kVariants[i], self, jpeg, scratch);
        for (std::size_t i = 0; i < scales.size(); ++i)
            MeasureDjpeg(rows[std::size(kVariants) + i], djpeg, scales[i], jpeg);
    }

    bool complete = true;
    std::printf("%-42s %12s %14s\n", "variant", "median ms", "peak RSS MB");
    for (const Row& row : rows) {
        if (row.failed)
            std::fprintf(stderr, "%s: failed\n", row.label.c_str());
        complete = complete && !row.failed;
        if (!row.timed)
            std::printf("%-42s %12s %14.1f\n", row.label.c_str(), "-", row.peakKb / 1024.0);
        else
            std::printf("%-42s %12.1f %14.1f\n", row.label.c_str(), row.median(),
                        row.peakKb / 1024.0);
    }
    if (complete && !scales.empty())
        std::printf("\npreview / djpeg -scale 1/8: %.2f   opening / djpeg -scale 1/4: %.2f\n",
                    rows[0].median() / rows[std::size(kVariants)].median(),
                    rows[1].median() / rows[std::size(kVariants) + 1].median());
    std::printf("\nTimes are per run inside one process, except djpeg's, which include starting "
                "it.\nEach child has Qt's JPEG plugin loaded before its timed run, as the program "
                "has.\nThe Qt process row is the floor under the first four: Qt, its JPEG plugin "
                "and libjpeg loaded.\n");
    return complete && !scales.empty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--child")
        return RunChild(argc, argv);
    return RunParent(argc, argv);
}
