// Showing a picture full screen: fitted to the screen, touching two opposite edges, centred.
#include "viewer/ViewForm.h"

#include "browser/MainForm.h"
#include "forms/Error.h"
#include "forms/Fit.h"
#include "forms/LoadPicture.h"
#include "forms/Paths.h"
#include "forms/Twips.h"

#include <QFontMetrics>
#include <QLabel>

#include <algorithm>
#include <cmath>

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

// The report lies across the lower part of the screen in letters a person reads from a
// distance; a message too long for one line loses its middle, keeping the name and the reason.
void ViewForm::ReportFailure(const QString& message) {
    auto* banner = static_cast<QLabel*>(message_.widget());
    const float W = Screen().Width();
    const float H = Screen().Height();
    QFont font = banner->font();
    const float letters = H * kReportTextShare;
    font.setPixelSize(std::max(1, static_cast<int>(std::ceil(letters / forms::TwipsPerPixel))));
    banner->setFont(font);
    // The line with room above and below it, ending a tenth of the screen above its bottom.
    const float band = letters * 2.2f;
    message_.Move(0, H - H / 10 - band, W, band);
    const QMargins margins = banner->contentsMargins();
    const int room = forms::ToPixels(W) - margins.left() - margins.right();
    banner->setText(QFontMetrics(font).elidedText(message, Qt::ElideMiddle, std::max(0, room)));
    message_.setVisible(true);
    banner->raise();
}
