// The EMF+ record loop: the header, the object table (objects split across records gathered
// first), transforms, containers and clipping. Drawing records are in EmfPlusDraw.cpp.
#include "decoder/emfplus/EmfPlusPlayer.h"

#include "decoder/canvas/SvgText.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pictures::metafile {
namespace {

enum Type : unsigned {
    kHeader = 0x4001,
    kEndOfFile = 0x4002,
    kGetDc = 0x4004,
    kObject = 0x4008,
    kFirstHint = 0x401D, // rendering origin and hints up to compositing quality: ignored
    kLastHint = 0x4024,
    kSave = 0x4025,
    kRestore = 0x4026,
    kBeginContainer = 0x4027,
    kBeginContainerNoParams = 0x4028,
    kEndContainer = 0x4029,
    kSetWorldTransform = 0x402A,
    kResetWorldTransform = 0x402B,
    kMultiplyWorldTransform = 0x402C,
    kTranslateWorldTransform = 0x402D,
    kScaleWorldTransform = 0x402E,
    kRotateWorldTransform = 0x402F,
    kSetPageTransform = 0x4030,
    kResetClip = 0x4031,
    kSetClipRect = 0x4032,
    kSetClipPath = 0x4033,
    kSetClipRegion = 0x4034,
    kOffsetClip = 0x4035,
};

// The largest object the file may claim to split across records.
constexpr std::size_t kMaxObjectBytes = 64 << 20;
// A transform's flag: applied after the world transform rather than before it.
constexpr unsigned kAppend = 0x2000;

Matrix ReadMatrix(const LittleEndian& b, std::size_t at) {
    return {b.F32(at),      b.F32(at + 4),  b.F32(at + 8),
            b.F32(at + 12), b.F32(at + 16), b.F32(at + 20)};
}

} // namespace

EmfPlusPlayer::EmfPlusPlayer(SvgCanvas& canvas, const EmfHeader& header)
    : canvas_(canvas), toDocument_(DocumentMapping(header)) {
    const double side = static_cast<double>(std::max(header.frame.Width(), header.frame.Height()));
    tolerance_ = std::max(side / 1920 / 4, 1e-3);
    state_.SetDpi(header.devicePixelsX * 25.4 / header.deviceMmX,
                  header.devicePixelsY * 25.4 / header.deviceMmY);
}

void EmfPlusPlayer::Play(std::span<const unsigned char> records) {
    const LittleEndian all(records);
    std::size_t at = 0;
    while (all.Size() - at >= 12) {
        const unsigned type = all.U16(at), flags = all.U16(at + 2);
        const std::size_t size = all.U32(at + 4), dataSize = all.U32(at + 8);
        if (size < 12 || size > all.Size() - at || dataSize > size - 12) {
            ++skipped_; // where the next record starts is lost
            return;
        }
        try {
            if (!Record(type, flags, LittleEndian(records.subspan(at + 12, dataSize))))
                ++skipped_;
        } catch (const DecodeError&) {
            if (full_)
                throw;
            ++skipped_;
        }
        at += size;
    }
}

bool EmfPlusPlayer::Record(unsigned type, unsigned flags, const LittleEndian& data) {
    if (type == kHeader) {
        started_ = true;
        gdiDraws_ = false;
        // Bit 0 of the record's flags tells a dual file from an EMF+ only one; both draw
        // from EMF+ here. The dpi sizes the physical page units.
        // The display unit is a pixel on video displays, a hundredth of an inch on printers.
        if (data.Has(0, 16)) {
            state_.SetDpi(data.U32(8), data.U32(12));
            state_.SetVideoDisplay(data.U32(4) & 1);
        }
        return true;
    }
    if (!started_)
        return false;
    if (type == kEndOfFile) {
        gdiDraws_ = true; // what follows is GDI's alone
        return true;
    }
    gdiDraws_ = type == kGetDc;
    if (type == kGetDc || (type >= kFirstHint && type <= kLastHint))
        return true;
    if (type == kObject)
        return Object(flags, data);
    return StateRecord(type, flags, data) || Draw(type, flags, data);
}

bool EmfPlusPlayer::Object(unsigned flags, const LittleEndian& data) {
    const unsigned id = flags & 0xFF, type = (flags >> 8) & 0x7F;
    if (id >= objects_.size())
        throw DecodeError("the file has a corrupt record");
    if (pending_ && (pending_->id != id || pending_->type != type))
        pending_.reset(); // an object never finished
    if (flags & 0x8000) {
        const std::size_t total = data.U32(0);
        const auto piece = data.Span(4, data.Size() - 4);
        if (!pending_) {
            if (total > kMaxObjectBytes)
                throw DecodeError("the file has a corrupt record");
            pending_ = Pending{id, type, total, {}};
        }
        if (piece.size() > pending_->total - pending_->bytes.size()) {
            pending_.reset();
            objects_[id] = std::monostate{};
            throw DecodeError("the file has a corrupt record");
        }
        pending_->bytes.insert(pending_->bytes.end(), piece.begin(), piece.end());
        if (pending_->bytes.size() < pending_->total)
            return true;
        // Some writers mark the last piece as continued too; the total tells it.
        const std::vector<unsigned char> whole = std::move(pending_->bytes);
        pending_.reset();
        return Define(id, type, whole);
    }
    std::vector<unsigned char> whole;
    std::span<const unsigned char> bytes = data.Span(0, data.Size());
    if (pending_) {
        whole = std::move(pending_->bytes);
        const bool fits = bytes.size() <= pending_->total - whole.size();
        pending_.reset();
        if (!fits)
            throw DecodeError("the file has a corrupt record");
        whole.insert(whole.end(), bytes.begin(), bytes.end());
        bytes = whole;
    }
    return Define(id, type, bytes);
}

bool EmfPlusPlayer::Define(unsigned id, unsigned type, std::span<const unsigned char> bytes) {
    objects_[id] = std::monostate{}; // a definition that cannot be read leaves none
    std::optional<EmfPlusObject> object = ReadEmfPlusObject(type, bytes);
    if (!object)
        return false;
    objects_[id] = std::move(*object);
    return true;
}

bool EmfPlusPlayer::StateRecord(unsigned type, unsigned flags, const LittleEndian& data) {
    EmfPlusGraphics& g = state_.Current();
    Matrix world = g.world;
    // A transform applied before the world transform, or after it with the append flag.
    const auto apply = [&](const Matrix& m) {
        world = flags & kAppend ? world.Then(m) : m.Then(world);
    };
    switch (type) {
    case kSave:
        state_.Save(data.U32(0));
        return true;
    case kRestore:
        state_.Restore(data.U32(0));
        return true;
    case kBeginContainer: {
        const double dx = data.F32(0), dy = data.F32(4), dw = data.F32(8), dh = data.F32(12);
        // The source rectangle is in the record's unit; the destination in page units.
        const Point unit = state_.UnitSize(flags & 0xFF), page = state_.UnitSize(g.unit);
        const double kx = unit.x / (page.x * g.pageScale), ky = unit.y / (page.y * g.pageScale);
        const double sx = data.F32(16) * kx, sy = data.F32(20) * ky;
        const double sw = data.F32(24) * kx, sh = data.F32(28) * ky;
        Matrix fromTo{1, 0, 0, 1, dx - sx, dy - sy};
        if (sw != 0 && sh != 0)
            fromTo = {dw / sw, 0, 0, dh / sh, dx - sx * dw / sw, dy - sy * dh / sh};
        if (!fromTo.IsFinite())
            throw DecodeError("the file has a corrupt record");
        state_.BeginContainer(data.U32(32), fromTo);
        return true;
    }
    case kBeginContainerNoParams:
        state_.BeginContainer(data.U32(0), Matrix{});
        return true;
    case kEndContainer:
        state_.EndContainer(data.U32(0));
        return true;
    case kSetWorldTransform:
        world = ReadMatrix(data, 0);
        break;
    case kResetWorldTransform:
        world = Matrix{};
        break;
    case kMultiplyWorldTransform:
        apply(ReadMatrix(data, 0));
        break;
    case kTranslateWorldTransform:
        apply({1, 0, 0, 1, data.F32(0), data.F32(4)});
        break;
    case kScaleWorldTransform:
        apply({data.F32(0), 0, 0, data.F32(4), 0, 0});
        break;
    case kRotateWorldTransform: {
        const double angle = data.F32(0) * std::numbers::pi / 180;
        apply({std::cos(angle), std::sin(angle), -std::sin(angle), std::cos(angle), 0, 0});
        break;
    }
    case kSetPageTransform: {
        const double scale = data.F32(0);
        if (!(std::abs(scale) > 1e-9 && std::abs(scale) < 1e9))
            throw DecodeError("the file has a corrupt record");
        g.unit = flags & 0xFF;
        g.pageScale = scale;
        return true;
    }
    case kResetClip:
        g.clip.reset();
        return true;
    case kSetClipRect: {
        const double x = data.F32(0), y = data.F32(4), w = data.F32(8), h = data.F32(12);
        SetClip((flags >> 8) & 0xF,
                {{std::min(x, x + w), std::min(y, y + h), std::max(x, x + w), std::max(y, y + h)}});
        return true;
    }
    case kSetClipPath: { // taken as the path's bounding box
        const EmfPlusPath& path = Get<EmfPlusPath>(flags & 0xFF);
        Box box;
        SetClip((flags >> 8) & 0xF, BoundsOf(path.points, &box) ? Boxes{box} : Boxes{});
        return true;
    }
    case kSetClipRegion:
        SetClip((flags >> 8) & 0xF, Get<EmfPlusRegion>(flags & 0xFF).boxes);
        return true;
    case kOffsetClip:
        if (g.clip) {
            const Point d = ToDocument().MapVector({data.F32(0), data.F32(4)});
            for (Box& b : *g.clip)
                b = {b.x0 + d.x, b.y0 + d.y, b.x1 + d.x, b.y1 + d.y};
        }
        return true;
    default:
        return false;
    }
    if (!world.IsFinite())
        throw DecodeError("the file has a corrupt record");
    g.world = world;
    return true;
}

Matrix EmfPlusPlayer::ToDocument() const {
    return state_.WorldToDevice().Then(toDocument_.ToMatrix());
}

Flattener EmfPlusPlayer::MakeFlattener() const {
    const Matrix m = ToDocument();
    if (!m.IsFinite())
        throw DecodeError("the file has a corrupt record");
    return Flattener(m, tolerance_);
}

Boxes EmfPlusPlayer::ToDocumentBoxes(const Boxes& world) const {
    const Matrix m = ToDocument();
    Boxes out;
    for (const Box& b : world)
        out.push_back(DocumentBox(m, b.x0, b.y0, b.x1, b.y1));
    return out;
}

// Clips are kept in document units, rotated ones as their bounding boxes.
void EmfPlusPlayer::SetClip(unsigned mode, const Boxes& world) {
    EmfPlusGraphics& g = state_.Current();
    const Boxes current = g.clip ? *g.clip : Boxes{kWholePlane};
    g.clip = CombineBoxes(current, ToDocumentBoxes(world), mode);
    const Box m = canvas_.Margin();
    if (g.clip->size() == 1 && g.clip->front().Contains({m.x0, m.y0}) &&
        g.clip->front().Contains({m.x1, m.y1}))
        g.clip.reset();
}

bool EmfPlusPlayer::UseClip() {
    const std::optional<Boxes> clip = state_.EffectiveClip();
    if (!clip) {
        canvas_.SetClip({});
        return true;
    }
    // Cut to the margin too: a clip reaching far beyond it must not let far shapes through.
    const Boxes visible = CombineBoxes(*clip, {canvas_.Margin()}, 1);
    if (visible.empty())
        return false;
    canvas_.SetClip(visible);
    return true;
}

template <typename T> const T& EmfPlusPlayer::Get(unsigned id) const {
    if (id >= objects_.size() || !std::holds_alternative<T>(objects_[id]))
        throw DecodeError("the file uses an object it does not define");
    return std::get<T>(objects_[id]);
}

template const EmfPlusBrush& EmfPlusPlayer::Get<EmfPlusBrush>(unsigned) const;
template const EmfPlusPen& EmfPlusPlayer::Get<EmfPlusPen>(unsigned) const;
template const EmfPlusPath& EmfPlusPlayer::Get<EmfPlusPath>(unsigned) const;
template const EmfPlusRegion& EmfPlusPlayer::Get<EmfPlusRegion>(unsigned) const;
template const EmfPlusFont& EmfPlusPlayer::Get<EmfPlusFont>(unsigned) const;
template const EmfPlusImage& EmfPlusPlayer::Get<EmfPlusImage>(unsigned) const;
template const EmfPlusStringFormat& EmfPlusPlayer::Get<EmfPlusStringFormat>(unsigned) const;

Argb EmfPlusPlayer::BrushColor(unsigned flags, std::uint32_t brush) const {
    if (flags & 0x8000) // the brush is a colour given inline
        return Argb::FromU32(brush);
    return Get<EmfPlusBrush>(brush).color;
}

} // namespace pictures::metafile
