// Metafile pictures: how long a ~160 KB EMF and a ~160 KB WMF (and two WMFs that once
// stalled the drawing) take to load (a decoder handed the file, its size answered) and to draw
// in the browser's preview pane and at full screen (a decoder's pixels); then how long every
// sample takes to draw at full screen.
//
//   bench_metafiles [--runs N]
//
// Uses the committed samples in tests/data/metafiles and the decoder built beside this program.
// Besides wall-clock times it gives the processor time of each step, the decoders' included,
// which a machine shared with other work disturbs less.
#include "pictures/LoadPicture.h"
#include "pictures/Picture.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

namespace {

struct Stats {
    double median = 0, min = 0, max = 0, cpu = 0;
};

// Processor time of this process and of its children that have ended, in milliseconds.
double ProcessorMilliseconds() {
    double ms = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        for (const timeval& t : {usage.ru_utime, usage.ru_stime})
            ms += t.tv_sec * 1e3 + t.tv_usec / 1e3;
    }
    return ms;
}

Stats Time(int runs, const std::function<void()>& work) {
    std::vector<double> ms, cpu;
    for (int i = 0; i < runs; ++i) {
        const double processor = ProcessorMilliseconds();
        const auto start = std::chrono::steady_clock::now();
        work();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        cpu.push_back(ProcessorMilliseconds() - processor);
    }
    std::sort(ms.begin(), ms.end());
    std::sort(cpu.begin(), cpu.end());
    return {ms[ms.size() / 2], ms.front(), ms.back(), cpu[cpu.size() / 2]};
}

void Report(const char* what, const Stats& s) {
    std::printf("  %-28s median %8.2f ms   min %8.2f   max %8.2f   cpu %8.2f\n", what, s.median,
                s.min, s.max, s.cpu);
}

} // namespace

int main(int argc, char** argv) {
    int runs = 20;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));
    // Drawing text needs a GUI application; a screen does not.
    std::vector<char*> args(argv, argv + argc);
    char platformFlag[] = "-platform";
    char offscreen[] = "offscreen";
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        args.push_back(platformFlag);
        args.push_back(offscreen);
    }
    int count = int(args.size());
    QGuiApplication app(count, args.data());

    // The last two once stalled the drawing: corners far outside the frame, spaced glyphs.
    for (const char* name :
         {"big-libreoffice.emf", "big-libreoffice.wmf", "far-corners.wmf", "long-spacing.wmf"}) {
        const std::string path = std::string(LUMBRIK_METAFILE_SAMPLES "/") + name;
        if (!QFile::exists(QString::fromStdString(path))) {
            std::fprintf(stderr, "cannot read %s\n", path.c_str());
            return 1;
        }
        std::printf("%s (%lld bytes), %d runs\n", name,
                    static_cast<long long>(QFile(QString::fromStdString(path)).size()), runs);

        pictures::Picture picture;
        Report("load (size answered)", Time(runs, [&] { picture = pictures::LoadPicture(path); }));
        std::printf("  natural size %.0f x %.0f hundredths of a mm\n", picture.Width(),
                    picture.Height());
        for (const QSize size : {QSize(250, 130), QSize(1920, 1080)}) {
            const QByteArray label = "render " + QByteArray::number(size.width()) + "x" +
                                     QByteArray::number(size.height());
            Report(label.constData(), Time(runs, [&] {
                       const pictures::Rendering r = picture.render(size);
                       if (r.image.isNull())
                           std::abort();
                   }));
        }
        Report("load + render 250x130", Time(runs, [&] {
                   const pictures::Picture fresh = pictures::LoadPicture(path);
                   fresh.render(QSize(250, 130));
               }));
    }
    // Every sample: how long the largest screen's drawing takes.
    std::printf("every sample, %d runs: render 1920x1080\n", runs);
    const QDir samples(QStringLiteral(LUMBRIK_METAFILE_SAMPLES));
    for (const QFileInfo& info : samples.entryInfoList({"*.wmf", "*.emf"}, QDir::Files)) {
        const pictures::Picture picture =
            pictures::LoadPicture(QFile::encodeName(info.filePath()).toStdString());
        Report(qPrintable(info.fileName()), Time(runs, [&] { picture.render(QSize(1920, 1080)); }));
    }
    return 0;
}
