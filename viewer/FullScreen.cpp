// Showing a picture full screen: fitted to the screen, touching two opposite edges, centred.
#include "viewer/ViewForm.h"

#include "browser/MainForm.h"
#include "forms/Error.h"
#include "forms/Fit.h"
#include "forms/LoadPicture.h"
#include "forms/Paths.h"

#include <QFileInfo>

void ViewForm::Form_Load() {
    setWindowState(forms::vbMaximized);
    pic2.setTop(0);
    pic2.setLeft(0);
    pic2.setHeight(Screen().Height());
    pic2.setWidth(Screen().Width());
    ShowFullScreenPicture(frmMain->File1.FileName());
}

void ViewForm::ShowFullScreenPicture(const QString& fileName) {
    // The browser's folder and the name given, by the same rule as SelectedFilePath.
    const QString path = forms::JoinPath(frmMain->Dir1.Path(), fileName);
    triedPath_ = path;
    if (fileName.isEmpty())
        throw forms::Error(QStringLiteral("No picture is selected"));
    const pictures::Picture picture = forms::LoadPicture(path);
    const double W = Screen().Width();
    const double H = Screen().Height();
    const double w = picture.Width();
    const double h = picture.Height();
    if (w <= 0 || h <= 0)
        throw forms::Error(QStringLiteral("%1: the picture has no size").arg(fileName));
    const QSizeF fitted = forms::FitInside(w, h, W, H);
    const double fw = fitted.width();
    const double fh = fitted.height();
    pic2.setWidth(static_cast<float>(fw));
    pic2.setHeight(static_cast<float>(fh));
    pic2.setTop(static_cast<float>(H / 2 - fh / 2));
    pic2.setLeft(static_cast<float>(W / 2 - fw / 2));
    pic2.setPicture(picture);
    message_.setVisible(false);
    PrepareNeighbours();
}

// Messages begin with the file's name; the viewer's line has room for the whole path.
void ViewForm::ReportFailure(const QString& message) {
    const QString name = QFileInfo(triedPath_).fileName();
    const bool named = !name.isEmpty() && message.startsWith(name + QStringLiteral(": "));
    message_.setCaption(named ? triedPath_ + message.mid(name.size()) : message);
    message_.Move(300, 300, std::max(0.0f, Screen().Width() - 600), 600);
    message_.setVisible(true);
    message_.widget()->raise();
}
