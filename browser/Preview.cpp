// The preview pane: the selected file fitted and centred in its box, its size in the status bar.
#include "browser/MainForm.h"

#include "forms/Error.h"
#include "forms/FileSystemObject.h"
#include "forms/LoadPicture.h"
#include "forms/Paths.h"
#include "forms/ReadAhead.h"

#include <QLocale>

#include <cmath>

namespace {

// A value rounded to 3 decimal places, a half going to the even neighbour, written in its
// shortest form with the locale's decimal separator and no grouping. Only the separator is the
// locale's: the digits are written as the byte counts are.
QString ThreePlaces(double value) {
    QString text = QString::number(std::nearbyint(value * 1000.0) / 1000.0, 'f', 3);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text.replace(u'.', QLocale().decimalPoint());
}

} // namespace

QString MainForm::SelectedFilePath() {
    return forms::JoinPath(Dir1.Path(), File1.FileName());
}

void MainForm::ArrangePreviewArea() {
    pic1.setHeight(ScaleHeight() - (statbar.Height() + 50 + 1650 + 50 + filter.Height() + 50));
    pic1.setTop(0);
    pic1.setWidth(Width() - 250);
    pic1.setLeft(50);
}

void MainForm::ShowPreview() {
    if (File1.FileName().isEmpty())
        return;
    pic1.setVisible(false);
    ArrangePreviewArea();
    const QString path = SelectedFilePath();
    const pictures::Picture picture = forms::LoadPicture(path);
    const qint64 size = forms::FileSystemObject().GetFile(path).Size();
    ShowFileSize(size);

    const float boxWidth = pic1.Width();
    const float boxHeight = pic1.Height();
    // A box or a picture without area has no ratio: the pane stays hidden.
    if (boxWidth <= 0 || boxHeight <= 0)
        throw forms::Error(
            QStringLiteral("%1: the preview pane has no room").arg(File1.FileName()));
    if (picture.Width() <= 0 || picture.Height() <= 0)
        throw forms::Error(QStringLiteral("%1: the picture has no size").arg(File1.FileName()));
    const float boxRatio = boxWidth / boxHeight;
    const float pictureRatio = static_cast<float>(picture.Width() / picture.Height());

    float fittedWidth = 0;
    float fittedHeight = 0;
    if (pictureRatio > boxRatio) {
        fittedWidth = boxWidth;
        fittedHeight = boxWidth / pictureRatio;
    } else {
        fittedWidth = boxHeight * pictureRatio;
        fittedHeight = boxHeight;
    }
    pic1.setWidth(fittedWidth);
    pic1.setHeight(fittedHeight);
    pic1.setTop((boxHeight - fittedHeight) / 2);
    pic1.setLeft((boxWidth - fittedWidth) / 2 + 50);
    pic1.setPicture(picture);
    pic1.setVisible(true);
    PrepareAround(boxWidth, boxHeight);
}

// Read-ahead once the selection has rested: the list's neighbours as the pane shows them, and
// the file itself as the viewer would, so that opening it is at once.
void MainForm::PrepareAround(float boxWidth, float boxHeight) {
    if (!Visible() || File1.ListIndex() < 0)
        return;
    std::vector<forms::ReadAhead> ahead{{SelectedFilePath(), Screen().Width(), Screen().Height()}};
    for (const QString& path : forms::NeighbourPaths(File1, Dir1.Path()))
        ahead.push_back({path, boxWidth, boxHeight, pic1.BorderStyle()});
    forms::PreparePictures(*this, ahead, 150);
}

void MainForm::ShowFileSize(qint64 size) {
    QString text;
    if (size < 1024)
        text = "size : " + QString::number(size) + " Bytes";
    else if (size / 1024.0 < 1024)
        text = "size : " + ThreePlaces(size / 1024.0) + " KB";
    // Gigabytes take over where megabytes would round to 1024.
    else if (std::nearbyint(size / 1048576.0 * 1000.0) < 1024 * 1000)
        text = "size : " + ThreePlaces(size / 1048576.0) + " MB";
    else
        text = "size : " + ThreePlaces(size / 1073741824.0) + " GB";
    statbar.setStatusText(text);
}

void MainForm::Form_Activate() {
    ShowPreview();
}

void MainForm::Form_GotFocus() {
    ShowPreview();
}

void MainForm::File1_Click() {
    ShowPreview();
}
