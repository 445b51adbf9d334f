// Metafile pictures: how long a ~160 KB EMF and a ~160 KB WMF (and two WMFs that once
// stalled the drawing) take to load (the helper process started, fed and answered, its SVG
// parsed) and to draw in the browser's preview pane and at full screen; then how long every
// sample takes to draw at full screen.
//
//   bench_metafiles [--runs N]
//
// Uses the committed samples in tests/data/metafiles and the helper built beside this program.
// Besides wall-clock times it gives the processor time of each step, the helper's included,
// which a machine shared with other work disturbs less.
#include "pictures/metafile/Metafile.h"

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

    struct Sample {
        const char* name;
        pictures::MetafileKind kind;
    };
    // The last two once stalled the drawing: corners far outside the frame, spaced glyphs.
    for (const Sample sample : {Sample{"big-libreoffice.emf", pictures::MetafileKind::Emf},
                                Sample{"big-libreoffice.wmf", pictures::MetafileKind::Wmf},
                                Sample{"far-corners.wmf", pictures::MetafileKind::Wmf},
                                Sample{"long-spacing.wmf", pictures::MetafileKind::Wmf}}) {
        QFile file(QStringLiteral(LUMBRIK_METAFILE_SAMPLES "/") + sample.name);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(file.fileName()));
            return 1;
        }
        const QByteArray bytes = file.readAll();
        std::printf("%s (%lld bytes), %d runs\n", sample.name, static_cast<long long>(bytes.size()),
                    runs);

        pictures::Picture picture;
        Report("load (helper included)", Time(runs, [&] {
                   picture = pictures::LoadMetafile(bytes, sample.kind, sample.name);
               }));
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
                   const pictures::Picture fresh =
                       pictures::LoadMetafile(bytes, sample.kind, sample.name);
                   fresh.render(QSize(250, 130));
               }));
    }
    // Every sample: how long the largest screen's drawing takes.
    std::printf("every sample, %d runs: render 1920x1080\n", runs);
    const QDir samples(QStringLiteral(LUMBRIK_METAFILE_SAMPLES));
    for (const QFileInfo& info : samples.entryInfoList({"*.wmf", "*.emf"}, QDir::Files)) {
        QFile file(info.filePath());
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        const auto kind =
            info.suffix() == "emf" ? pictures::MetafileKind::Emf : pictures::MetafileKind::Wmf;
        const pictures::Picture picture =
            pictures::LoadMetafile(file.readAll(), kind, info.fileName());
        Report(qPrintable(info.fileName()), Time(runs, [&] { picture.render(QSize(1920, 1080)); }));
    }
    return 0;
}
