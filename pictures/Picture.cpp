#include "pictures/Picture.h"

namespace pictures {

Rendering Picture::render(QSize size) const {
    if (!source_ || size.isEmpty())
        return {};
    return source_->render(size);
}

} // namespace pictures
