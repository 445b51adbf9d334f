// One step of the full-screen viewer through a folder of camera-sized photos: the time from the
// Right key to the next picture drawn on a 1920 x 1080 screen, beside libjpeg's djpeg decoding
// the same files at 1/4 scale in the same run.
//
//   bench_viewer [--files N] [--rounds R]
//
// It runs on the offscreen platform with one 1920 x 1080 screen unless QT_QPA_PLATFORM is set.
// A step is what a user's Right key does: the hidden browser previews the next file (its size
// text and pane follow), the viewer loads it again and fits it, and the screen is drawn at once
// (QWidget::repaint) so that the decoding falls inside the step.
#include "bench/BenchSupport.h"
#include "browser/MainForm.h"
#include "forms/Application.h"
#include "pictures/LoadPicture.h"
#include "viewer/ViewForm.h"

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

using bench::Clock;
using bench::MillisecondsSince;

constexpr QSize kPhotoSize(6000, 4000);
constexpr int kQuality = 90;

struct Figures {
    double median = NAN;
    double min = NAN;
    double max = NAN;
};

Figures Summary(std::vector<double> values) {
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    const double median =
        values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    return {median, values.front(), values.back()};
}

// Counts the paint events of the viewer's picture, to be sure each step drew it.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

// Wall time of one run of a program, its output thrown away; nullopt when it fails.
std::optional<double> TimeProcess(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return std::nullopt;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return MillisecondsSince(start);
}

void PrintRow(const char* label, const Figures& figures) {
    std::printf("%-52s %9.1f %9.1f %9.1f\n", label, figures.median, figures.min, figures.max);
}

} // namespace

int main(int argc, char** argv) {
    const int files = bench::IntOption(argc, argv, "--files", 4);
    const int rounds = bench::IntOption(argc, argv, "--rounds", 5);

    QTemporaryDir screenConfig;
    if (!bench::UseOffscreenScreen(screenConfig))
        return 1;
    QApplication app(argc, argv);

    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 1;
    }
    const std::vector<QString> paths =
        bench::WritePhotos(folder, files, kPhotoSize, 40, 1, kQuality);
    if (paths.empty())
        return 1;

    // The browser at the folder on the first file, then View, Full Screen.
    frmMain->setVisible(true);
    frmMain->Dir1.setPath(folder.path());
    frmMain->File1.setListIndex(0);
    frmMain->full.action()->trigger();
    if (!frmView.IsLoaded() || !frmView->Visible()) {
        std::fprintf(stderr, "the viewer did not open\n");
        return 1;
    }
    QWidget* screen = frmView->pic2.widget();
    const PaintCounter painted(screen);
    screen->repaint();
    QApplication::processEvents();
    const QSize drawn = screen->size();

    const QString djpegPath = QStandardPaths::findExecutable(QStringLiteral("djpeg"));
    const std::string djpeg = QFile::encodeName(djpegPath).toStdString();

    // Round by round, each kind of figure over every file, so that all of them meet the same
    // load on the machine.
    std::vector<double> steps;
    std::vector<double> handlers;
    std::vector<double> paints;
    std::vector<double> renders;
    std::vector<double> quarter;
    std::vector<double> half;
    for (int round = 0; round < rounds; ++round) {
        for (int file = 0; file < files; ++file) {
            const int paintsBefore = painted.count;
            const auto start = Clock::now();
            bench::PressRight(frmView->window());
            const auto handled = Clock::now();
            screen->repaint();
            const auto end = Clock::now();
            if (painted.count == paintsBefore || frmView->pic2.Picture().isNull()) {
                std::fprintf(stderr, "a step drew nothing\n");
                return 1;
            }
            steps.push_back(std::chrono::duration<double, std::milli>(end - start).count());
            handlers.push_back(std::chrono::duration<double, std::milli>(handled - start).count());
            paints.push_back(std::chrono::duration<double, std::milli>(end - handled).count());
            QApplication::processEvents(); // what the event loop does between two keys
        }
        // The decoding alone, in this process: each picture loaded and drawn at the size shown.
        for (const QString& path : paths) {
            const auto start = Clock::now();
            const pictures::Picture picture =
                pictures::LoadPicture(QFile::encodeName(path).toStdString());
            const pictures::Rendering rendering = picture.render(drawn);
            if (rendering.image.isNull() || !rendering.error.isEmpty())
                return 1;
            renders.push_back(MillisecondsSince(start));
        }
        for (const QString& path : paths) {
            if (djpeg.empty())
                break;
            const std::string file = QFile::encodeName(path).toStdString();
            const auto a = TimeProcess({djpeg, "-scale", "1/4", "-outfile", "/dev/null", file});
            const auto b = TimeProcess({djpeg, "-scale", "1/2", "-outfile", "/dev/null", file});
            if (!a || !b) {
                std::fprintf(stderr, "djpeg failed\n");
                return 1;
            }
            quarter.push_back(*a);
            half.push_back(*b);
        }
    }
    forms::Unload(frmView);
    forms::Unload(frmMain);
    forms::App.DestroyUnloaded();

    std::printf("%d files of %d x %d JPEG, quality %d, %.1f MB each; screen %d x %d; picture "
                "drawn at %d x %d; %d steps\n\n",
                files, kPhotoSize.width(), kPhotoSize.height(), kQuality,
                QFile(paths.front()).size() / (1024.0 * 1024.0),
                QGuiApplication::primaryScreen()->size().width(),
                QGuiApplication::primaryScreen()->size().height(), drawn.width(), drawn.height(),
                files * rounds);
    std::printf("%-52s %9s %9s %9s\n", "", "median ms", "min ms", "max ms");
    PrintRow("Right step, key to picture drawn (Lumbrik)", Summary(steps));
    PrintRow("  the key handler: hidden preview, load, fit", Summary(handlers));
    PrintRow("  the paint: decode, scale, draw", Summary(paints));
    PrintRow("LoadPicture + render at the size drawn", Summary(renders));
    if (djpeg.empty()) {
        std::printf("djpeg not found (Debian package libjpeg-turbo-progs)\n");
        return 0;
    }
    PrintRow("djpeg -scale 1/4 -outfile /dev/null (whole process)", Summary(quarter));
    PrintRow("djpeg -scale 1/2 -outfile /dev/null (whole process)", Summary(half));
    std::printf("\nThe step and render times are inside one process; djpeg's include starting it.\n"
                "At 1/4 libjpeg gives %d x %d, less than the size drawn, so the picture is decoded "
                "at 1/2 and scaled down.\n",
                kPhotoSize.width() / 4, kPhotoSize.height() / 4);
    return 0;
}
