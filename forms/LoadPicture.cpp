#include "forms/LoadPicture.h"

#include "forms/Application.h"
#include "forms/Error.h"
#include "pictures/LoadPicture.h"

#include <QFile>

namespace forms {

pictures::Picture LoadPicture(const QString& path) {
    try {
        return pictures::LoadPicture(std::filesystem::path(QFile::encodeName(path).toStdString()),
                                     App.Pictures().decoders());
    } catch (const pictures::LoadError& failure) {
        throw Error(QString::fromUtf8(failure.what()));
    }
}

} // namespace forms
