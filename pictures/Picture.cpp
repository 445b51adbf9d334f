#include "pictures/Picture.h"

namespace pictures {

Rendering Picture::render(QSize size, const std::stop_token& stop) const {
    if (!source_ || size.isEmpty())
        return {};
    return source_->render(size, stop);
}

} // namespace pictures
