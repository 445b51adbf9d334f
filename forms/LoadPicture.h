// LoadPicture for window code: the picture loader, failing with the runtime's Error.
#pragma once

#include "pictures/Picture.h"

#include <QString>

namespace forms {

// Loads the picture at `path` (native form). Throws Error naming the file and the reason.
pictures::Picture LoadPicture(const QString& path);

} // namespace forms
