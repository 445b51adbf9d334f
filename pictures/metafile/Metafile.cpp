#include "pictures/metafile/Metafile.h"

namespace pictures {

Picture LoadMetafile(const QByteArray&, MetafileKind kind, const QString& fileName)
{
    throw LoadError(QStringLiteral("%1: %2 pictures are not supported yet")
                        .arg(fileName, kind == MetafileKind::Wmf ? "WMF" : "EMF")
                        .toStdString());
}

} // namespace pictures
