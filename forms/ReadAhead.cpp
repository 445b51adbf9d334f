#include "forms/ReadAhead.h"

#include "forms/Application.h"
#include "forms/FileListBox.h"
#include "forms/Fit.h"
#include "forms/Form.h"
#include "forms/Image.h"
#include "forms/Paths.h"
#include "forms/Twips.h"

#include <QFile>

namespace forms {

std::vector<QString> NeighbourPaths(const FileListBox& list, const QString& folder) {
    const int i = list.ListIndex();
    const int n = list.ListCount();
    if (i < 0 || n < 2)
        return {};
    std::vector<QString> paths{JoinPath(folder, list.List((i + 1) % n))};
    if (n > 2)
        paths.push_back(JoinPath(folder, list.List((i + n - 1) % n)));
    return paths;
}

void PreparePictures(const Form& form, const std::vector<ReadAhead>& files, int afterMs) {
    const qreal ratio = form.window()->devicePixelRatioF();
    std::vector<pictures::RenderService::Preparation> preparations;
    for (const ReadAhead& file : files) {
        const double W = file.boxWidth;
        const double H = file.boxHeight;
        const int border = file.borderStyle;
        // The fit the windows make; run on a worker thread, so it only computes.
        auto sizeFor = [W, H, border, ratio](const pictures::Picture& picture) {
            const double w = picture.Width();
            const double h = picture.Height();
            if (w <= 0 || h <= 0 || W <= 0 || H <= 0)
                return QSize();
            const QSizeF fitted = FitInside(w, h, W, H);
            const QSize widget(ToPixels(static_cast<float>(fitted.width())),
                               ToPixels(static_cast<float>(fitted.height())));
            return DrawnPixels(widget, border, ratio);
        };
        preparations.push_back(
            {std::filesystem::path(QFile::encodeName(file.path).toStdString()), sizeFor});
    }
    App.Pictures().prepare(std::move(preparations), std::chrono::milliseconds(afterMs));
}

} // namespace forms
