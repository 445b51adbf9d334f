#include "pictures/metafile/Metafile.h"

#include "pictures/metafile/MetafileDecoder.h"

namespace pictures {

Picture LoadMetafile(const QByteArray& bytes, MetafileKind kind, const QString& fileName) {
    const QString helper = metafile::FindHelper();
    if (helper.isEmpty())
        throw LoadError(QStringLiteral("%1: the metafile decoder (lumbrik-metafile) is not "
                                       "installed")
                            .arg(fileName)
                            .toStdString());
    return metafile::LoadMetafile(bytes, kind, fileName, helper);
}

} // namespace pictures
