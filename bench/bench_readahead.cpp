// The full-screen viewer at a person's pace and with a held key, through a folder of
// camera-sized photos on a 1920 x 1080 screen, with the peak memory of the stepping; beside
// libjpeg's djpeg decoding the same files at 1/4 scale in the same run.
//
//   bench_readahead [--files N] [--rounds R]
//
// A step is a Right key sent to the viewer's window; it counts as drawn at the next paint of the
// viewer's picture, which comes only once the new pixels are in place. "A person's pace" waits
// 0.5 s after each picture is drawn before the next key; "a held key" sends 21 keys 33 ms apart
// and times the settled picture from the last key. Peak RSS is VmHWM, reset before the steps.
#include "bench/BenchSupport.h"
#include "browser/MainForm.h"
#include "forms/Application.h"
#include "viewer/ViewForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using bench::Clock;
using bench::Median;
using bench::RunFor;

constexpr QSize kPhotoSize(6000, 4000);

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The time of each paint of a widget.
class PaintClock : public QObject {
public:
    explicit PaintClock(QWidget* widget) { widget->installEventFilter(this); }
    std::vector<Clock::time_point> paints;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            paints.push_back(Clock::now());
        return false;
    }
};

// Runs the event loop until `clock` has seen a paint after `since`; false after 10 s.
bool WaitForPaint(const PaintClock& clock, Clock::time_point since) {
    QElapsedTimer waited;
    waited.start();
    const auto painted = [&] { return !clock.paints.empty() && clock.paints.back() > since; };
    while (!painted() && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return painted();
}

// Peak resident memory in MB since the last reset (VmHWM).
double PeakMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024.0;
    return NAN;
}

void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

} // namespace

int main(int argc, char** argv) {
    const int files = bench::IntOption(argc, argv, "--files", 24);
    const int rounds = bench::IntOption(argc, argv, "--rounds", 3);
    QTemporaryDir screenConfig;
    if (!bench::UseOffscreenScreen(screenConfig))
        return 1;
    QApplication app(argc, argv);

    QTemporaryDir folder;
    const std::vector<QString> paths = bench::WritePhotos(folder, files, kPhotoSize, 15, 10, 90);
    if (paths.empty())
        return 1;

    frmMain->setVisible(true);
    frmMain->Dir1.setPath(folder.path());
    frmMain->File1.setListIndex(0);
    frmMain->full.action()->trigger();
    if (!frmView.IsLoaded() || !frmView->Visible())
        return 1;
    const PaintClock painted(frmView->pic2.widget());
    if (!WaitForPaint(painted, Clock::time_point()))
        return 1;

    // A person's pace: each key half a second after the previous picture was drawn.
    ResetPeak();
    const double before = PeakMb();
    std::vector<double> paced;
    for (int step = 0; step < files; ++step) {
        RunFor(500);
        const std::size_t before = painted.paints.size();
        const auto pressed = Clock::now();
        bench::PressRight(frmView->window());
        if (!WaitForPaint(painted, pressed)) {
            std::fprintf(stderr, "a step drew nothing\n");
            return 1;
        }
        paced.push_back(Ms(painted.paints[before] - pressed));
    }
    const double peak = PeakMb();

    // A held key: 21 presses 33 ms apart; the last paint after the last press settles it.
    std::vector<double> held;
    for (int round = 0; round < rounds; ++round) {
        RunFor(500);
        const std::size_t before = painted.paints.size();
        int presses = 0;
        Clock::time_point lastPress;
        QTimer repeat;
        repeat.setTimerType(Qt::PreciseTimer);
        const auto press = [&] {
            lastPress = Clock::now();
            bench::PressRight(frmView->window());
            if (++presses == 21)
                repeat.stop();
        };
        QObject::connect(&repeat, &QTimer::timeout, press);
        press();
        repeat.start(33);
        while (presses < 21)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        // Only the last key's picture is drawn after it: an older one is never shown late.
        QElapsedTimer waited;
        waited.start();
        while ((painted.paints.size() == before || painted.paints.back() < lastPress) &&
               waited.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (painted.paints.size() == before || painted.paints.back() < lastPress) {
            std::fprintf(stderr, "a held key settled on nothing\n");
            return 1;
        }
        held.push_back(Ms(painted.paints.back() - lastPress));
    }
    const double peakHeld = PeakMb();
    forms::Unload(frmView);
    forms::Unload(frmMain);
    forms::App.DestroyUnloaded();

    std::vector<double> quarter;
    const QString djpeg = QStandardPaths::findExecutable(QStringLiteral("djpeg"));
    for (const QString& path : paths) {
        if (djpeg.isEmpty())
            break;
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        const auto start = Clock::now();
        process.start(djpeg, {"-scale", "1/4", "-outfile", "/dev/null", path});
        if (!process.waitForFinished() || process.exitCode() != 0)
            return 1;
        quarter.push_back(Ms(Clock::now() - start));
    }

    std::printf("%d files of %d x %d JPEG, quality 90, %.1f MB each; screen 1920 x 1080\n\n", files,
                kPhotoSize.width(), kPhotoSize.height(),
                QFile(paths.front()).size() / (1024.0 * 1024.0));
    std::printf("%-60s %8.1f ms (min %.1f, max %.1f, %zu steps)\n",
                "Right at a person's pace (0.5 s after drawn), key to drawn", Median(paced),
                *std::min_element(paced.begin(), paced.end()),
                *std::max_element(paced.begin(), paced.end()), paced.size());
    std::printf("%-60s %8.1f ms (median of %d rounds)\n",
                "Held Right (21 keys 33 ms apart), last key to settled", Median(held), rounds);
    std::printf("%-60s %8.1f MB (%.1f MB before the first step)\n", "Peak RSS over the paced steps",
                peak, before);
    std::printf("%-60s %8.1f MB\n", "Peak RSS with the held keys too", peakHeld);
    if (!quarter.empty())
        std::printf("%-60s %8.1f ms\n", "djpeg -scale 1/4 -outfile /dev/null (whole process)",
                    Median(quarter));
    return 0;
}
