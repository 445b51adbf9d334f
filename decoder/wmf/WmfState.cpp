#include "decoder/wmf/WmfState.h"

#include <algorithm>
#include <cstdlib>

namespace pictures::metafile {
namespace {

// Record functions whose effect libwmf loses or mangles.
constexpr std::uint16_t kSaveDc = 0x001E;
constexpr std::uint16_t kRestoreDc = 0x0127;
constexpr std::uint16_t kSetBkColor = 0x0201;
constexpr std::uint16_t kSetBkMode = 0x0102;
constexpr std::uint16_t kSetPolyFillMode = 0x0106;
constexpr std::uint16_t kSetTextAlign = 0x012E;
constexpr std::uint16_t kSetTextColor = 0x0209;
constexpr std::uint16_t kSetWindowExt = 0x020C;
constexpr std::uint16_t kCreateFont = 0x02FB;
constexpr std::uint16_t kCreatePen = 0x02FA;
constexpr std::uint16_t kSelectObject = 0x012D;
constexpr std::uint16_t kDeleteObject = 0x01F0;
// Records that take a slot in the object table besides pens and fonts.
constexpr std::uint16_t kCreateRegion = 0x06FF;
constexpr std::uint16_t kSelectClipRegion = 0x012C;
constexpr std::uint16_t kOtherObjects[] = {0x02FC, 0x0142, 0x01F9, 0x00F7};

FontSpec ReadFont(std::span<const unsigned char> p) {
    FontSpec f;
    if (p.size() < 18)
        return f;
    f.height = ReadS16(p, 0);
    f.escapement = ReadS16(p, 4);
    f.weight = ReadS16(p, 8);
    f.italic = p[10] != 0;
    f.underline = p[11] != 0;
    f.strikeOut = p[12] != 0;
    f.charset = p[13];
    f.pitchAndFamily = p[17];
    const auto name = p.subspan(18, std::min<std::size_t>(32, p.size() - 18));
    f.face.assign(name.begin(), std::find(name.begin(), name.end(), 0));
    return f;
}

wmfRGB ColorRef(std::span<const unsigned char> p) {
    if (p.size() < 3)
        return {0, 0, 0};
    return {p[0], p[1], p[2]};
}

std::vector<Rect> RegionRects(std::span<const unsigned char> params) {
    std::vector<Rect> rects;
    for (const RegionScan& scan : ReadRegion(params))
        for (const auto& [left, right] : scan.spans)
            rects.push_back({static_cast<double>(left), static_cast<double>(scan.top),
                             static_cast<double>(right), static_cast<double>(scan.bottom)});
    return rects;
}

} // namespace

void DeviceState::RecordPlayed() {
    if (played_ >= records_.size())
        return;
    const Record& r = records_[played_++];
    const auto word = [&r](std::size_t i) -> std::uint16_t {
        return r.params.size() >= 2 * i + 2 ? ReadU16(r.params, 2 * i) : 0;
    };
    switch (r.function) {
    case kSaveDc:
        saved_.push_back(state_);
        break;
    case kRestoreDc:
        // libwmf pops one level whatever the record asks; stay in step with it.
        if (!saved_.empty()) {
            state_ = saved_.back();
            saved_.pop_back();
        }
        break;
    case kSetTextAlign:
        state_.textAlign = word(0);
        break;
    case kSetTextColor:
        state_.textColor = ColorRef(r.params);
        break;
    case kSetBkColor:
        state_.bkColor = ColorRef(r.params);
        break;
    case kSetBkMode:
        state_.bkMode = word(0);
        break;
    case kSetPolyFillMode:
        state_.polyFill = word(0);
        break;
    case kSetWindowExt:
        windowSet_ = true;
        break;
    case kCreatePen:
    case kCreateFont: {
        // libwmf selects what it creates, like the first free slot it takes.
        const auto slot = std::find_if(objects_.begin(), objects_.end(), [](const GdiObject& o) {
            return o.kind == GdiObject::Kind::Free;
        });
        if (slot == objects_.end())
            break;
        if (r.function == kCreatePen) {
            *slot = {GdiObject::Kind::Pen, std::abs(static_cast<std::int16_t>(word(1))), {}, {}};
            state_.penWidth = slot->penWidth;
        } else {
            *slot = {GdiObject::Kind::Font, 0, ReadFont(r.params), {}};
            state_.font = slot->font;
        }
        break;
    }
    case kCreateRegion: {
        const auto slot = std::find_if(objects_.begin(), objects_.end(), [](const GdiObject& o) {
            return o.kind == GdiObject::Kind::Free;
        });
        // Set member by member: from a braced temporary GCC 12 at -O3 warns falsely that its
        // font's name may be used uninitialised. A free slot holds the defaults.
        if (slot != objects_.end()) {
            slot->kind = GdiObject::Kind::Region;
            slot->region = RegionRects(r.params);
        }
        break;
    }
    case kSelectClipRegion:
    case kSelectObject:
        if (word(0) < objects_.size()) {
            const GdiObject& o = objects_[word(0)];
            if (o.kind == GdiObject::Kind::Pen) {
                state_.penWidth = o.penWidth;
            } else if (o.kind == GdiObject::Kind::Font) {
                state_.font = o.font;
            } else if (o.kind == GdiObject::Kind::Region) {
                clip_ = o.region;
                ++clipSelections_;
            }
        }
        break;
    case kDeleteObject:
        if (word(0) < objects_.size())
            objects_[word(0)] = {};
        break;
    default:
        if (std::find(std::begin(kOtherObjects), std::end(kOtherObjects), r.function) !=
            std::end(kOtherObjects)) {
            const auto slot =
                std::find_if(objects_.begin(), objects_.end(),
                             [](const GdiObject& o) { return o.kind == GdiObject::Kind::Free; });
            if (slot != objects_.end())
                slot->kind = GdiObject::Kind::Other;
        }
        break;
    }
}

} // namespace pictures::metafile
