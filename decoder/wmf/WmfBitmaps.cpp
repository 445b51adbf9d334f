// Bitmaps of WMF records: libwmf hands over device-independent bitmaps, kept as BMP files and
// drawn as SVG images.
#include "decoder/wmf/WmfDevice.h"

#include <libwmf/macro.h>

#include <cmath>
#include <optional>

namespace pictures::metafile {

void WmfDevice::BitmapRead(wmfBMP_Read_t* b) {
    b->bmp.data = nullptr;
    if (!b->buffer || b->length < 16)
        return;
    std::optional<Bitmap> read = BmpOfPackedDib({b->buffer, static_cast<std::size_t>(b->length)});
    if (!read)
        return;
    Bitmap& bitmap = bitmaps.emplace_back(std::move(*read));
    b->bmp.width = static_cast<U16>(bitmap.width);
    b->bmp.height = static_cast<U16>(bitmap.height);
    b->bmp.data = &bitmap;
}

void WmfDevice::BitmapDraw(wmfBMP_Draw_t* b) {
    Frame(b->dc);
    const auto* bitmap = static_cast<const Bitmap*>(b->bmp.data);
    if (!bitmap || b->crop.w == 0 || b->crop.h == 0)
        return;
    // Only the cropped part is wanted: scale the whole bitmap so that part fills the target.
    const double pw = std::abs(b->pixel_width), ph = std::abs(b->pixel_height);
    const Rect target = Rect{b->pt.x, b->pt.y, b->pt.x + b->pixel_width * b->crop.w,
                             b->pt.y + b->pixel_height * b->crop.h}
                            .Normalized();
    const Rect whole = Rect{X(target.x0 - b->crop.x * pw), Y(target.y0 - b->crop.y * ph),
                            X(target.x0 + (bitmap->width - b->crop.x) * pw),
                            Y(target.y0 + (bitmap->height - b->crop.y) * ph)};
    svg_.Add("<image x=\"" + Num(whole.x0) + "\" y=\"" + Num(whole.y0) + "\" width=\"" +
             Num(whole.Width()) + "\" height=\"" + Num(whole.Height()) +
             "\" preserveAspectRatio=\"none\" xlink:href=\"data:image/bmp;base64," +
             Base64(bitmap->bmpFile) + "\"/>\n");
}

} // namespace pictures::metafile
