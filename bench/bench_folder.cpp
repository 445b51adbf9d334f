// Opening a large folder in the browser: how long File1.setPath takes for a folder of 30,000
// files of which 10,000 match the seven picture extensions, until the list is filled and
// until it is drawn, and Dir1.setPath for both lists, beside find(1) matching the same
// patterns in the same folder.
//
//   bench_folder [--runs N] [--files N] [--matching N]
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include "bench/BenchSupport.h"
#include "browser/MainForm.h"
#include "forms/Application.h"
#include "forms/Folder.h"

#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using bench::Clock;
using bench::Median;
using bench::MillisecondsSince;

// The pattern's seven extensions, spelt in the mixed case that cameras and old programs use.
const char* const kMatching[] = {"gif", "JPG", "jpeg", "Bmp", "ICO", "wmf", "EMF", "jpg", "GIF"};
// Names that must not be listed: other extensions, a picture extension that is not the last.
const char* const kOther[] = {"txt", "png", "xmp", "jpg.bak", "DAT", "html", "gif~"};

bool MakeFolder(const QString& folder, int files, int matching) {
    for (int i = 0; i < files; ++i) {
        const bool match = i % (files / matching) == 0 && i / (files / matching) < matching;
        const char* const* list = match ? kMatching : kOther;
        const int kinds = match ? std::size(kMatching) : std::size(kOther);
        const QString name = QStringLiteral("IMG_%1.%2")
                                 .arg(i, 6, 10, QLatin1Char('0'))
                                 .arg(QLatin1String(list[i % kinds]));
        QFile file(folder + '/' + name);
        if (!file.open(QIODevice::WriteOnly))
            return false;
    }
    return true;
}

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// find DIR -maxdepth 1 ( -iname '*.gif' -o ... ): its time and how many names it printed.
double TimeFind(const QString& folder, const QStringList& patterns, int* found) {
    QStringList arguments{folder, "-maxdepth", "1", "("};
    for (int i = 0; i < patterns.size(); ++i) {
        if (i > 0)
            arguments << "-o";
        arguments << "-iname" << patterns[i];
    }
    arguments << ")";
    QProcess find;
    find.setStandardErrorFile(QProcess::nullDevice());
    const auto start = Clock::now();
    find.start("find", arguments);
    if (!find.waitForFinished(60000))
        return NAN;
    const QByteArray output = find.readAllStandardOutput();
    const double ms = MillisecondsSince(start);
    *found = output.count('\n');
    return ms;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    int runs = 7;
    int files = 30000;
    int matching = 10000;
    const QStringList arguments = QApplication::arguments();
    for (int i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == "--runs")
            runs = arguments[i + 1].toInt();
        else if (arguments[i] == "--files")
            files = arguments[i + 1].toInt();
        else if (arguments[i] == "--matching")
            matching = arguments[i + 1].toInt();
    }
    if (runs < 1 || files < 1 || matching < 1 || matching > files) {
        std::fputs("usage: bench_folder [--runs N] [--files N] [--matching N<=files]\n", stderr);
        return 2;
    }

    QTemporaryDir big;
    QTemporaryDir empty;
    if (!big.isValid() || !empty.isValid() || !MakeFolder(big.path(), files, matching)) {
        std::fputs("cannot make the sample folder\n", stderr);
        return 1;
    }

    MainForm& form = *frmMain;
    form.setVisible(true);
    QApplication::processEvents();
    auto* list = qobject_cast<QListWidget*>(form.File1.widget());
    PaintCounter counter;
    list->viewport()->installEventFilter(&counter);

    std::vector<double> filled, drawn, finds, read, opened;
    std::vector<int> paints;
    int listed = 0;
    int found = 0;
    for (int run = 0; run < runs; ++run) {
        // Leave the folder first, so that each run opens it as a user does.
        form.File1.setPath(empty.path());
        QApplication::processEvents();
        counter.paints = 0;

        const auto start = Clock::now();
        form.File1.setPath(big.path());
        filled.push_back(MillisecondsSince(start));
        // Layout and the first repaint of the list, as queued by the fill.
        QApplication::processEvents();
        drawn.push_back(MillisecondsSince(start));
        paints.push_back(counter.paints);
        listed = form.File1.ListCount();

        finds.push_back(TimeFind(big.path(), form.File1.Pattern().split(';'), &found));

        // As the user opens it: the folder list reads its subfolders, then its Change sets
        // the file list's path.
        form.Dir1.setPath(empty.path());
        QApplication::processEvents();
        const auto opening = Clock::now();
        form.Dir1.setPath(big.path());
        QApplication::processEvents();
        opened.push_back(MillisecondsSince(opening));
        if (form.File1.ListCount() != listed)
            return 1;

        const auto reading = Clock::now();
        const QStringList names = forms::ReadFileNames(big.path(), form.File1.Pattern());
        read.push_back(MillisecondsSince(reading));
        if (names.size() != listed)
            return 1;
    }

    std::printf("folder: %d files, %d matching the pattern %s\n", files, matching,
                qPrintable(form.File1.Pattern()));
    std::printf("runs: %d (median reported)\n\n", runs);
    std::printf("%-52s %10s %8s\n", "", "median ms", "entries");
    std::printf("%-52s %10.1f %8d\n", "File1.setPath (list filled)", Median(filled), listed);
    std::printf("%-52s %10.1f %8d\n", "  of which reading and sorting the names", Median(read),
                listed);
    std::printf("%-52s %10.1f %8d\n", "File1.setPath + layout and first repaint", Median(drawn),
                listed);
    std::printf("%-52s %10.1f %8d\n", "Dir1.setPath, both lists filled and drawn", Median(opened),
                listed);
    std::printf("%-52s %10.1f %8d\n", "find DIR -maxdepth 1 ( -iname '*.gif' -o ... )",
                Median(finds), found);
    std::printf("\nrepaints of the list per opening: %d to %d\n",
                *std::min_element(paints.begin(), paints.end()),
                *std::max_element(paints.begin(), paints.end()));

    forms::Unload(frmMain);
    forms::App.DestroyUnloaded();
    return listed == matching && found == matching ? 0 : 1;
}
