// WMF to SVG through libwmf's player with a device layer of our own (WmfDevice). libwmf's SVG
// device rounds every colour to a named one, fills half-transparently and misplaces text, so
// our layer writes the drawing calls itself. The lite interface needs no font files: text is
// left for the viewer's renderer to shape, so libwmf's own string widths are never needed.
#include "decoder/gdi/Decoded.h"
#include "decoder/wmf/WmfDevice.h"
#include "decoder/wmf/WmfRecords.h"

#include <libwmf/api.h>
#include <libwmf/ipa.h>

#include <algorithm>
#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace pictures::metafile {
namespace {

constexpr double kHundredthsMmPerInch = 2540.0;

WmfDevice& DeviceOf(wmfAPI* api) {
    return *static_cast<WmfDevice*>(api->device_data);
}

// libwmf is C: no exception may cross it. A failure is kept and libwmf told to stop.
template <typename Call> void Guarded(wmfAPI* api, Call&& call) noexcept {
    WmfDevice& canvas = DeviceOf(api);
    if (canvas.failure)
        return;
    try {
        call(canvas);
    } catch (...) {
        canvas.failure = std::current_exception();
        api->err = wmf_E_DeviceError;
    }
}

void InstallDevice(wmfAPI* api) {
    auto* fr = static_cast<wmfFunctionReference*>(api->function_reference);
    fr->device_open = [](wmfAPI*) {};
    fr->device_close = [](wmfAPI*) {};
    fr->device_begin = [](wmfAPI*) {};
    fr->device_end = [](wmfAPI*) {};
    fr->flood_interior = [](wmfAPI*, wmfFlood_t*) {};
    fr->flood_exterior = [](wmfAPI*, wmfFlood_t*) {};
    fr->draw_pixel = [](wmfAPI* a, wmfDrawPixel_t* p) {
        Guarded(a, [p](WmfDevice& c) { c.Pixel(p); });
    };
    fr->draw_pie = [](wmfAPI* a, wmfDrawArc_t* p) {
        Guarded(a, [p](WmfDevice& c) { c.Arc(p, 1); });
    };
    fr->draw_chord = [](wmfAPI* a, wmfDrawArc_t* p) {
        Guarded(a, [p](WmfDevice& c) { c.Arc(p, 2); });
    };
    fr->draw_arc = [](wmfAPI* a, wmfDrawArc_t* p) {
        Guarded(a, [p](WmfDevice& c) { c.Arc(p, 0); });
    };
    fr->draw_ellipse = [](wmfAPI* a, wmfDrawArc_t* p) {
        Guarded(a, [p](WmfDevice& c) { c.Ellipse(p); });
    };
    fr->draw_line = [](wmfAPI* a, wmfDrawLine_t* p) {
        Guarded(a, [p](WmfDevice& c) { c.Line(p); });
    };
    fr->poly_line = [](wmfAPI* a, wmfPolyLine_t* p) {
        Guarded(a, [p](WmfDevice& c) { c.PolyLine(p); });
    };
    fr->draw_polygon = [](wmfAPI* a, wmfPolyLine_t* p) {
        Guarded(a, [p](WmfDevice& c) { c.Polygon(p); });
    };
    fr->draw_polypolygon = [](wmfAPI* a, wmfPolyPoly_t* p) {
        Guarded(a, [p](WmfDevice& c) { c.PolyPolygon(p); });
    };
    fr->draw_rectangle = [](wmfAPI* a, wmfDrawRectangle_t* p) {
        Guarded(a, [p](WmfDevice& c) { c.Rectangle(p); });
    };
    fr->rop_draw = [](wmfAPI* a, wmfROP_Draw_t* p) {
        Guarded(a, [p](WmfDevice& c) { c.RopDraw(p); });
    };
    fr->bmp_draw = [](wmfAPI* a, wmfBMP_Draw_t* p) {
        Guarded(a, [p](WmfDevice& c) { c.BitmapDraw(p); });
    };
    fr->bmp_read = [](wmfAPI* a, wmfBMP_Read_t* p) {
        Guarded(a, [p](WmfDevice& c) { c.BitmapRead(p); });
    };
    fr->bmp_free = [](wmfAPI*, wmfBMP* b) { b->data = nullptr; };
    fr->draw_text = [](wmfAPI* a, wmfDrawText_t* p) {
        Guarded(a, [p](WmfDevice& c) { c.Text(p); });
    };
    fr->udata_init = [](wmfAPI*, wmfUserData_t*) {};
    fr->udata_copy = [](wmfAPI*, wmfUserData_t*) {};
    fr->udata_set = [](wmfAPI*, wmfUserData_t*) {};
    fr->udata_free = [](wmfAPI*, wmfUserData_t*) {};
    fr->region_frame = [](wmfAPI* a, wmfPolyRectangle_t* p) {
        Guarded(a, [p](WmfDevice& c) { c.RegionFrame(p); });
    };
    fr->region_paint = [](wmfAPI* a, wmfPolyRectangle_t* p) {
        Guarded(a, [p](WmfDevice& c) { c.RegionPaint(p); });
    };
    fr->region_clip = [](wmfAPI* a, wmfPolyRectangle_t* p) {
        Guarded(a, [p](WmfDevice& c) { c.RegionClip(p); });
    };
}

std::string Describe(wmf_error_t error) {
    switch (error) {
    case wmf_E_InsMem:
        return "there is not enough memory to decode it";
    case wmf_E_EOF:
        return "the file is cut short";
    case wmf_E_BadFormat:
    case wmf_E_BadFile:
        return "the file is not a valid WMF picture";
    case wmf_E_DeviceError:
    case wmf_E_Glitch:
    case wmf_E_Assert:
        return "the file has corrupt drawing records";
    default:
        return "the WMF decoder failed (error " + std::to_string(static_cast<int>(error)) + ")";
    }
}

// Owns one libwmf instance.
class Player {
public:
    Player(WmfDevice& canvas, wmfFontData& fonts) {
        wmfAPI_Options options{};
        options.function = &InstallDevice;
        const unsigned long flags =
            WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
        const wmf_error_t error = wmf_lite_create(&api_, flags, &options);
        if (error != wmf_E_None || !api_)
            throw DecodeError(Describe(error));
        api_->device_data = &canvas;
        api_->font_data = &fonts;
    }
    ~Player() {
        // Not ours to free: libwmf releases only what it allocated.
        api_->device_data = nullptr;
        api_->font_data = nullptr;
        wmf_lite_destroy(api_);
    }
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;
    wmfAPI* get() const { return api_; }

private:
    wmfAPI* api_ = nullptr;
};

} // namespace

std::optional<NaturalSize> WmfSize(std::span<const unsigned char> bytes) {
    const std::optional<Placeable> placeable = ReadPlaceable(bytes);
    if (!placeable)
        return std::nullopt;
    if (placeable->unitsPerInch <= 0)
        throw DecodeError("the header gives no scale for the picture");
    const NaturalSize size{
        std::abs(placeable->box.Width()) * kHundredthsMmPerInch / placeable->unitsPerInch,
        std::abs(placeable->box.Height()) * kHundredthsMmPerInch / placeable->unitsPerInch};
    CheckNaturalSize(size.width, size.height);
    const std::size_t recordsStart = kPlaceableSize + kStandardHeaderSize;
    CheckHeader(bytes, recordsStart);
    ReadRecords(RepairRecords(bytes, recordsStart), recordsStart);
    return size;
}

DecodedDrawing DecodeWmf(std::span<const unsigned char> bytes, const CodePages& codePages) {
    const std::optional<Placeable> placeable = ReadPlaceable(bytes);
    DecodedDrawing drawing;
    if (placeable) {
        if (placeable->unitsPerInch <= 0)
            throw DecodeError("the header gives no scale for the picture");
        drawing.width =
            std::abs(placeable->box.Width()) * kHundredthsMmPerInch / placeable->unitsPerInch;
        drawing.height =
            std::abs(placeable->box.Height()) * kHundredthsMmPerInch / placeable->unitsPerInch;
        CheckNaturalSize(drawing.width, drawing.height);
    }

    const std::size_t recordsStart = (placeable ? kPlaceableSize : 0) + kStandardHeaderSize;
    CheckHeader(bytes, recordsStart);
    std::vector<unsigned char> file = RepairRecords(bytes, recordsStart);
    // Walked once: setting the header's size fields leaves the records where they are.
    std::vector<Record> records = ReadRecords(file, recordsStart);
    SetSizeFields(file, recordsStart, records);
    const std::size_t objects = ReadU16(file, recordsStart - kStandardHeaderSize + 10);
    WmfDevice canvas(placeable, std::move(records), objects, bytes.size(), codePages);
    // Text is measured by the viewer's renderer, not here: a zero width leaves alignment to it.
    wmfFontData fonts{};
    fonts.map = [](wmfAPI*, wmfFont* font) { font->user_data = nullptr; };
    fonts.stringwidth = [](wmfAPI*, wmfFont*, char*) { return 0.0f; };
    Player player(canvas, fonts);
    wmfAPI* api = player.get();

    wmf_status_function(api, &canvas, [](void* context, float) noexcept -> int {
        auto& c = *static_cast<WmfDevice*>(context);
        try {
            c.RecordPlayed();
            return 0;
        } catch (...) {
            c.failure = std::current_exception();
            return 1;
        }
    });

    wmf_error_t error = wmf_mem_open(api, file.data(), static_cast<long>(file.size()));
    if (error != wmf_E_None)
        throw DecodeError(Describe(error));
    error = wmf_scan(api, 0, &canvas.scanBounds);
    if (canvas.failure)
        std::rethrow_exception(canvas.failure);
    if (error != wmf_E_None)
        throw DecodeError(Describe(error));
    wmfD_Rect played{};
    error = wmf_play(api, 0, &played);
    if (canvas.failure)
        std::rethrow_exception(canvas.failure);
    if (error != wmf_E_None)
        throw DecodeError(Describe(error));

    if (canvas.HasFrame()) {
        drawing.width = canvas.NaturalWidth();
        drawing.height = canvas.NaturalHeight();
        drawing.svg = canvas.TakeDocument();
    } else if (placeable) {
        drawing.svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " +
                      Num(drawing.width) + " " + Num(drawing.height) + "\"/>\n";
    } else {
        throw DecodeError("the picture draws nothing and states no size");
    }
    return drawing;
}

} // namespace pictures::metafile
