// Stepping past a metafile whose drawing takes far longer than a step: a JPEG, a valid EMF of
// 150,000 small triangles (tests/data/metafiles/make-polygons.py) and another JPEG. Times from
// the second of two keys 40 ms apart to the last JPEG shown, in the file list (Down) and in the
// full-screen viewer (Right), and from Escape with the EMF selected to the program's exit.
//
//   bench_stepping [--rounds R]
//
// Each round steps through fresh copies of the three files, so that no drawing of an earlier
// round is reused. The second key counts from 40 ms after the first, even when the first key's
// handler is still running then, as a person's second key waits in the queue. A picture is
// shown at the paint that puts its pixels on the screen. The exit is timed in a child (this
// program started again with --escape FOLDER), from the key until its parent sees it end.
#include "bench/BenchSupport.h"
#include "browser/MainForm.h"
#include "forms/Application.h"
#include "viewer/ViewForm.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

using bench::Clock;
using bench::Median;

constexpr QSize kPhotoSize(1600, 1200);
constexpr auto kKeyGap = std::chrono::milliseconds(40);
constexpr int kPolygons = 150000;
const QColor kFirst(200, 30, 30);
const QColor kLast(30, 60, 220);
const char* const kNames[] = {"a-first.jpg", "b-polygons.emf", "c-last.jpg"};

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The time of each paint of a widget, but for the paints of its own grabs.
class PaintClock : public QObject {
public:
    explicit PaintClock(QWidget* widget) : widget_(widget) { widget->installEventFilter(this); }

    // Whether the widget now shows `colour` at its centre, as the last paint drew it.
    bool Shows(const QColor& colour) {
        grabbing_ = true;
        const QImage image = widget_->grab().toImage();
        grabbing_ = false;
        if (image.isNull())
            return false;
        const QColor centre = image.pixelColor(image.width() / 2, image.height() / 2);
        return std::abs(centre.red() - colour.red()) + std::abs(centre.green() - colour.green()) +
                   std::abs(centre.blue() - colour.blue()) <=
               12;
    }

    std::vector<Clock::time_point> paints;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !grabbing_)
            paints.push_back(Clock::now());
        return false;
    }

private:
    QWidget* widget_;
    bool grabbing_ = false;
};

// Runs the event loop until `until`, at once when that has passed.
void RunUntil(Clock::time_point until) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
    if (left.count() <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(left.count()), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until a paint of `widget` after `since` shows `colour`: milliseconds from
// `since` to that paint; nullopt after 10 s.
std::optional<double> WaitShown(QWidget* widget, const QColor& colour, Clock::time_point since) {
    PaintClock clock(widget);
    std::size_t seen = 0;
    while (Clock::now() - since < std::chrono::seconds(10)) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        if (clock.paints.size() == seen)
            continue;
        seen = clock.paints.size();
        if (clock.Shows(colour))
            return Ms(clock.paints.back() - since);
    }
    return std::nullopt;
}

// A JPEG that decodes like a photo, with a wide patch of `colour` about its centre.
bool WritePhoto(const QString& path, const QColor& colour) {
    QImage photo = bench::PhotoLike(kPhotoSize);
    QPainter(&photo).fillRect(QRect(QPoint(), kPhotoSize / 2).translated(400, 300), colour);
    return photo.save(path, "jpeg", 90);
}

// The three files in `folder`; false when one cannot be written.
bool WriteFiles(const QString& folder) {
    const QString script = QStringLiteral(LUMBRIK_METAFILE_SAMPLES "/make-polygons.py");
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty() || !WritePhoto(folder + '/' + kNames[0], kFirst) ||
        !WritePhoto(folder + '/' + kNames[2], kLast))
        return false;
    return QProcess::execute(python,
                             {script, QString::number(kPolygons), folder + '/' + kNames[1]}) == 0;
}

// A fresh copy of the three files in a new subfolder of `folder`: new files to the cache.
QString CopyFiles(const QString& folder, int round) {
    const QString copy = folder + QStringLiteral("/round%1").arg(round);
    QDir().mkpath(copy);
    for (const char* name : kNames)
        if (!QFile::copy(folder + '/' + name, copy + '/' + name))
            return {};
    return copy;
}

// The browser active on `folder`, its file list in focus, its first file selected and
// previewed.
bool AtFirstFile(const QString& folder) {
    frmMain->setVisible(true);
    frmMain->window()->activateWindow();
    frmMain->File1.widget()->setFocus();
    frmMain->Dir1.setPath(folder);
    const auto start = Clock::now();
    frmMain->File1.setListIndex(0);
    return WaitShown(frmMain->pic1.widget(), kFirst, start).has_value();
}

// Two keys 40 ms apart to `window`: when the second one counts from, and how long each key's
// handler ran.
struct Keys {
    Clock::time_point second;
    double firstHandler = 0;
    double secondHandler = 0;
};

Keys TwoKeys(QWidget* window, Qt::Key first, Qt::Key second) {
    Keys keys;
    const auto pressed = Clock::now();
    bench::PressKey(window, first);
    keys.firstHandler = Ms(Clock::now() - pressed);
    RunUntil(pressed + kKeyGap);
    const auto handling = Clock::now();
    bench::PressKey(window, second);
    keys.secondHandler = Ms(Clock::now() - handling);
    keys.second = pressed + kKeyGap;
    return keys;
}

// The child's part: Escape 40 ms after Down onto the EMF ended the program as its main does;
// the nominal time of the key is printed for the parent.
int EscapeChild(const QString& folder) {
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(&forms::App, &forms::Application::lastFormUnloaded, qApp, &QApplication::quit,
                     Qt::QueuedConnection);
    if (!AtFirstFile(folder))
        return 1;
    bench::RunFor(500);
    const auto pressed = Clock::now();
    bench::PressKey(frmMain->window(), Qt::Key_Down);
    RunUntil(pressed + kKeyGap);
    if (frmMain->File1.FileName() != QLatin1String(kNames[1]))
        return 1;
    std::printf("%lld\n", static_cast<long long>((pressed + kKeyGap).time_since_epoch().count()));
    std::fflush(stdout);
    bench::PressKey(frmMain->window(), Qt::Key_Escape);
    const int status = QApplication::exec();
    forms::App.DestroyUnloaded();
    return status;
}

// Milliseconds from Escape to the end of a child started on `folder`; nullopt when it fails.
std::optional<double> TimeEscape(const QString& folder) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {"--escape", folder});
    if (!child.waitForFinished(30000) || child.exitStatus() != QProcess::NormalExit ||
        child.exitCode() != 0)
        return std::nullopt;
    const auto ended = Clock::now();
    bool ok = false;
    const long long key = child.readAllStandardOutput().trimmed().toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return Ms(ended - Clock::time_point(Clock::duration(key)));
}

void PrintRow(const char* label, const std::vector<double>& values) {
    std::printf("%-58s %8.1f ms (min %.1f, max %.1f, %zu rounds)\n", label, Median(values),
                *std::min_element(values.begin(), values.end()),
                *std::max_element(values.begin(), values.end()), values.size());
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = bench::IntOption(argc, argv, "--rounds", 5);
    QTemporaryDir screenConfig;
    if (!bench::UseOffscreenScreen(screenConfig))
        return 1;
    QApplication app(argc, argv);
    if (argc == 3 && std::string(argv[1]) == "--escape")
        return EscapeChild(QString::fromLocal8Bit(argv[2]));

    QTemporaryDir folder;
    if (!folder.isValid() || !WriteFiles(folder.path())) {
        std::fprintf(stderr, "cannot write the three files\n");
        return 1;
    }
    // The status text the file list's steps must end on: the last file's, selected at once.
    frmMain->setVisible(true);
    frmMain->Dir1.setPath(folder.path());
    frmMain->File1.setListIndex(2);
    const QString lastStatus = frmMain->statbar.StatusText();

    // Per kind of step: the second key to the last picture shown, and each key's handler.
    std::vector<double> list[3];
    std::vector<double> viewer[3];
    std::vector<double> escape;
    for (int round = 0; round < rounds; ++round) {
        const QString listFolder = CopyFiles(folder.path(), 3 * round);
        if (listFolder.isEmpty() || !AtFirstFile(listFolder))
            return 1;
        bench::RunFor(500);
        const Keys down = TwoKeys(frmMain->window(), Qt::Key_Down, Qt::Key_Down);
        const auto shown = WaitShown(frmMain->pic1.widget(), kLast, down.second);
        if (!shown || frmMain->statbar.StatusText() != lastStatus) {
            std::fprintf(stderr, "Down twice did not show the last file\n");
            return 1;
        }
        list[0].push_back(*shown);
        list[1].push_back(down.firstHandler);
        list[2].push_back(down.secondHandler);

        const QString viewerFolder = CopyFiles(folder.path(), 3 * round + 1);
        if (viewerFolder.isEmpty() || !AtFirstFile(viewerFolder))
            return 1;
        frmMain->full.action()->trigger();
        if (!frmView.IsLoaded() || !frmView->Visible() ||
            !WaitShown(frmView->pic2.widget(), kFirst, Clock::now()))
            return 1;
        bench::RunFor(500);
        const Keys right = TwoKeys(frmView->window(), Qt::Key_Right, Qt::Key_Right);
        const auto full = WaitShown(frmView->pic2.widget(), kLast, right.second);
        if (!full) {
            std::fprintf(stderr, "Right twice did not show the last file\n");
            return 1;
        }
        viewer[0].push_back(*full);
        viewer[1].push_back(right.firstHandler);
        viewer[2].push_back(right.secondHandler);
        bench::PressKey(frmView->window(), Qt::Key_Escape);

        const QString escapeFolder = CopyFiles(folder.path(), 3 * round + 2);
        const auto ended = escapeFolder.isEmpty() ? std::nullopt : TimeEscape(escapeFolder);
        if (!ended) {
            std::fprintf(stderr, "the program did not end after Escape\n");
            return 1;
        }
        escape.push_back(*ended);
    }
    forms::Unload(frmView);
    forms::Unload(frmMain);
    forms::App.DestroyUnloaded();

    std::printf("%s (%d x %d, %.0f KB), %s (%d triangles, %.1f MB), %s; screen 1920 x 1080; keys "
                "%lld ms apart\n\n",
                kNames[0], kPhotoSize.width(), kPhotoSize.height(),
                QFile(folder.filePath(kNames[0])).size() / 1024.0, kNames[1], kPolygons,
                QFile(folder.filePath(kNames[1])).size() / (1024.0 * 1024.0), kNames[2],
                static_cast<long long>(kKeyGap.count()));
    PrintRow("Down twice in the file list, second key to last preview", list[0]);
    PrintRow("  the first key's handler (onto the EMF)", list[1]);
    PrintRow("  the second key's handler", list[2]);
    PrintRow("Right twice full screen, second key to last picture", viewer[0]);
    PrintRow("  the first key's handler (onto the EMF)", viewer[1]);
    PrintRow("  the second key's handler", viewer[2]);
    PrintRow("Escape with the EMF selected, key to exit (child process)", escape);
    std::printf("Goal: at most 50 ms each.\n");
    return 0;
}
