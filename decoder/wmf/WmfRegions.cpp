// Region records as libwmf plays them: filled, framed, painted, and clipping what follows.
#include "decoder/wmf/WmfDevice.h"

#include <libwmf/defs.h>
#include <libwmf/macro.h>

#include <cmath>

namespace pictures::metafile {

void WmfDevice::RegionFrame(wmfPolyRectangle_t* r) {
    Frame(r->dc);
    if (!r->TL || !r->BR)
        return;
    // The frame lies inside the region: stroke each rectangle inset by half the frame.
    const double halfWidth = std::abs(r->width) / 2, halfHeight = std::abs(r->height) / 2;
    const double width = (std::abs(r->width) * sx_ + std::abs(r->height) * sy_) / 2;
    for (unsigned i = 0; i < r->count; ++i) {
        const Rect d = Rect{r->TL[i].x, r->TL[i].y, r->BR[i].x, r->BR[i].y}.Normalized();
        RectElement(d.x0 + halfWidth, d.y0 + halfHeight, d.x1 - halfWidth, d.y1 - halfHeight,
                    " fill=\"none\" stroke=\"" + Color(r->dc->brush->lbColor) +
                        "\" stroke-width=\"" + Num(width) + "\"");
    }
}

void WmfDevice::RegionPaint(wmfPolyRectangle_t* r) {
    Frame(r->dc);
    if (!r->TL || !r->BR || !TO_FILL(r))
        return;
    const std::string style = Fill(r->dc) + " stroke=\"none\"";
    for (unsigned i = 0; i < r->count; ++i)
        RectElement(r->TL[i].x, r->TL[i].y, r->BR[i].x, r->BR[i].y, style);
}

void WmfDevice::RegionClip(wmfPolyRectangle_t* r) {
    Frame(r->dc);
    std::vector<Box> boxes;
    for (unsigned i = 0; r->TL && r->BR && i < r->count; ++i)
        boxes.push_back({X(r->TL[i].x), Y(r->TL[i].y), X(r->BR[i].x), Y(r->BR[i].y)});
    svg_.SetClip(boxes);
}

} // namespace pictures::metafile
