// Metafile pictures (WMF, EMF): decoded in a helper process so that a bad file cannot take
// the viewer down.
#pragma once

#include "pictures/Picture.h"

#include <QByteArray>
#include <QString>

namespace pictures {

enum class MetafileKind { Wmf, Emf };

// Decodes `bytes` (the whole file) in the helper process; throws LoadError naming
// `fileName` and the reason when the helper fails, crashes, overruns its limits or times out.
Picture LoadMetafile(const QByteArray& bytes, MetafileKind kind, const QString& fileName);

} // namespace pictures
