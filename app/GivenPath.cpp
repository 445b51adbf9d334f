#include "app/GivenPath.h"

#include "browser/MainForm.h"
#include "forms/Error.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>

GivenPath::GivenPath(const QString& argument) {
    const QFileInfo given(argument);
    const QString shown = QDir::toNativeSeparators(given.absoluteFilePath());
    if (argument.isEmpty() || !given.exists()) {
        failure_ = QStringLiteral("%1: no such file or folder").arg(shown);
    } else {
        const QString folder = given.isDir() ? given.absoluteFilePath() : given.absolutePath();
        if (!given.isDir()) {
            fileName_ = given.fileName();
            filePath_ = shown;
        }
        if (!QDir::setCurrent(folder))
            failure_ = QStringLiteral("%1: the folder cannot be opened")
                           .arg(QDir::toNativeSeparators(folder));
    }
    qApp->installEventFilter(this);
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
    if (!failure_.isEmpty()) {
        browser.ReportFailure(failure_);
        return;
    }
    if (fileName_.isEmpty())
        return;
    browser.Raise([&] {
        for (int index = 0; index < browser.File1.ListCount(); ++index) {
            if (browser.File1.List(index) == fileName_) {
                browser.File1.setListIndex(index);
                return;
            }
        }
        throw forms::Error(QStringLiteral("%1: not a picture the file list shows").arg(filePath_));
    });
}
