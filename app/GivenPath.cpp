// The picture or folder named on the command line, opened in the browser once it shows.
#include "app/GivenPath.h"

#include "browser/MainForm.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>

#include <cstdio>

GivenPath::GivenPath(const QString& argument) {
    const QFileInfo given(argument);
    const QString absolute = QDir::cleanPath(given.absoluteFilePath());
    if (argument.isEmpty() || !given.exists()) {
        Refuse(argument.isEmpty() ? QString() : absolute, "no such file or folder");
    } else {
        const QString folder = given.isDir() ? absolute : given.absolutePath();
        if (!given.isDir()) {
            fileName_ = given.fileName();
            filePath_ = absolute;
        }
        if (!QDir::setCurrent(folder))
            Refuse(folder, "the folder cannot be opened");
    }
    qApp->installEventFilter(this);
}

// The status bar names the file as other failures do; the terminal that started the program
// gets the whole path.
void GivenPath::Refuse(const QString& path, const char* reason) {
    const QString name = path.isEmpty() ? QStringLiteral("\"\"") : QFileInfo(path).fileName();
    failure_ = QStringLiteral("%1: %2").arg(name.isEmpty() ? path : name, reason);
    const QString full = QDir::toNativeSeparators(path.isEmpty() ? QStringLiteral("\"\"") : path);
    std::fprintf(stderr, "Lumbrik: %s: %s\n", qPrintable(full), reason);
}

bool GivenPath::eventFilter(QObject* watched, QEvent* event) {
    // The browser is loaded by the splash's hand-over; the path applies once it is on screen.
    if (event->type() == QEvent::Show && frmMain.IsLoaded() && watched == frmMain->window()) {
        qApp->removeEventFilter(this);
        QMetaObject::invokeMethod(this, &GivenPath::ApplyToBrowser, Qt::QueuedConnection);
    }
    return false;
}

void GivenPath::ApplyToBrowser() {
    // Closed before the hand-over finished: there is nothing left to open the path in.
    if (!frmMain.IsLoaded())
        return;
    MainForm& browser = *frmMain;
    if (failure_.isEmpty() && !fileName_.isEmpty()) {
        for (int index = 0; index < browser.File1.ListCount(); ++index) {
            if (browser.File1.List(index) == fileName_) {
                browser.Raise([&] { browser.File1.setListIndex(index); });
                return;
            }
        }
        Refuse(filePath_, "not a picture the file list shows");
    }
    if (!failure_.isEmpty())
        browser.ReportFailure(failure_);
}
