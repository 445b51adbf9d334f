// EMF (with EMF+ records) to SVG through libemf2svg, after checking the header and the record
// chain ourselves so that the library only sees structurally sound input.
#include "pictures/metafile/Decoded.h"
#include "pictures/metafile/HelperProtocol.h"
#include "pictures/metafile/SvgText.h"

#include <emf2svg.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace pictures::metafile {
namespace {

constexpr std::uint32_t kEmrHeader = 1;
constexpr std::uint32_t kEmrEof = 14;
constexpr std::uint32_t kEmrComment = 70;
constexpr std::uint32_t kEmfPlusSignature = 0x2B464D45; // "EMF+"
constexpr std::uint32_t kEmfSignature = 0x464D4520;     // " EMF"
constexpr std::size_t kHeaderMinimum = 88;
// Device coordinates are 32-bit; keep their differences 32-bit too.
constexpr double kMaxPixelCoordinate = 1 << 30;

std::uint32_t U32(std::span<const unsigned char> b, std::size_t at) {
    return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 | std::uint32_t{b[at + 2]} << 16 |
           std::uint32_t{b[at + 3]} << 24;
}

std::int32_t S32(std::span<const unsigned char> b, std::size_t at) {
    return static_cast<std::int32_t>(U32(b, at));
}

void PutS32(std::span<unsigned char> b, std::size_t at, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

struct Rectl {
    std::int64_t left, top, right, bottom;
    std::int64_t Width() const { return right - left; }
    std::int64_t Height() const { return bottom - top; }
};

Rectl ReadRectl(std::span<const unsigned char> b, std::size_t at) {
    return {S32(b, at), S32(b, at + 4), S32(b, at + 8), S32(b, at + 12)};
}

// libemf2svg reads the header's description (UTF-16, at offDescription, nDescription units, or
// up to a terminator when that is 0) and its pixel format wherever the header points; a span
// that leaves the header is dropped instead.
void ForgetStraySpans(std::span<unsigned char> b, std::size_t headerSize) {
    const auto within = [headerSize](std::size_t offset, std::size_t length) {
        return offset >= kHeaderMinimum && length > 0 && offset <= headerSize &&
               length <= headerSize - offset;
    };
    if (U32(b, 64) != 0 && !within(U32(b, 64), std::size_t{U32(b, 60)} * 2)) {
        PutS32(b, 60, 0);
        PutS32(b, 64, 0);
    }
    if (headerSize >= 100 && U32(b, 92) != 0 && !within(U32(b, 92), U32(b, 88))) {
        PutS32(b, 88, 0);
        PutS32(b, 92, 0);
    }
}

// Whether the EMF+ records in the comment record at `at` each lie within it.
bool EmfPlusRecordsFit(std::span<const unsigned char> b, std::size_t at, std::size_t size) {
    const std::size_t dataSize = U32(b, at + 8);
    if (dataSize > size - 12)
        return false;
    const std::size_t end = at + 12 + dataSize;
    for (std::size_t r = at + 16; r < end;) {
        if (end - r < 12)
            return false;
        const std::size_t recordSize = U32(b, r + 4), recordData = U32(b, r + 8);
        if (recordSize < 12 || recordSize % 4 != 0 || recordSize > end - r ||
            recordData > recordSize - 12)
            return false;
        r += recordSize;
    }
    return true;
}

// Length of the records up to and including EMR_EOF; throws when the chain is broken. EMF+
// records that run past their comment (libemf2svg reads on past them) turn the comment into a
// plain one, so that only its GDI records draw.
std::size_t RecordChainLength(std::span<unsigned char> b) {
    std::size_t at = 0;
    while (true) {
        if (b.size() - at < 8)
            throw DecodeError("the file is truncated");
        const std::uint32_t type = U32(b, at);
        const std::uint32_t size = U32(b, at + 4);
        if (size < 8 || size % 4 != 0)
            throw DecodeError("the file has a corrupt record");
        if (size > b.size() - at)
            throw DecodeError("the file is truncated");
        if (at != 0 && type == kEmrHeader)
            throw DecodeError("the file has a corrupt record");
        if (type == kEmrComment && size >= 16 && U32(b, at + 12) == kEmfPlusSignature &&
            !EmfPlusRecordsFit(b, at, size))
            PutS32(b, at + 12, 0);
        at += size;
        if (type == kEmrEof)
            return at;
    }
}

} // namespace

DecodedDrawing DecodeEmf(std::span<unsigned char> bytes) {
    if (bytes.size() < kHeaderMinimum || U32(bytes, 0) != kEmrHeader ||
        U32(bytes, 40) != kEmfSignature)
        throw DecodeError("the file is not an EMF picture");
    const std::uint32_t headerSize = U32(bytes, 4);
    if (headerSize < kHeaderMinimum || headerSize > bytes.size())
        throw DecodeError("the file has a corrupt header");
    ForgetStraySpans(bytes, headerSize);

    // rclFrame is the picture's extent in hundredths of a millimetre.
    const Rectl frame = ReadRectl(bytes, 24);
    if (frame.Width() <= 0 || frame.Height() <= 0)
        throw DecodeError("the header gives the picture an empty or negative size");
    DecodedDrawing drawing;
    drawing.width = static_cast<double>(frame.Width());
    drawing.height = static_cast<double>(frame.Height());
    CheckNaturalSize(drawing.width, drawing.height);

    const std::size_t length = RecordChainLength(bytes);

    // libemf2svg sizes its output from rclBounds (device pixels); when a writer left them empty,
    // derive them from the frame and the reference device, which libemf2svg would divide by.
    Rectl bounds = ReadRectl(bytes, 8);
    if (bounds.Width() <= 0 || bounds.Height() <= 0) {
        const double devicePixelsX = S32(bytes, 72), devicePixelsY = S32(bytes, 76);
        const double deviceMmX = S32(bytes, 80), deviceMmY = S32(bytes, 84);
        if (devicePixelsX <= 0 || devicePixelsY <= 0 || deviceMmX <= 0 || deviceMmY <= 0)
            throw DecodeError("the header gives no drawing area");
        const auto toPixels = [](double hundredths, double pixels, double mm) {
            const double value = hundredths * pixels / (mm * 100.0);
            if (!(std::abs(value) < kMaxPixelCoordinate))
                throw DecodeError("the header claims an implausibly large picture");
            return static_cast<std::int32_t>(value);
        };
        bounds = {toPixels(frame.left, devicePixelsX, deviceMmX),
                  toPixels(frame.top, devicePixelsY, deviceMmY),
                  toPixels(frame.right, devicePixelsX, deviceMmX),
                  toPixels(frame.bottom, devicePixelsY, deviceMmY)};
        if (bounds.Width() <= 0 || bounds.Height() <= 0)
            throw DecodeError("the header gives no drawing area");
        PutS32(bytes, 8, static_cast<std::int32_t>(bounds.left));
        PutS32(bytes, 12, static_cast<std::int32_t>(bounds.top));
        PutS32(bytes, 16, static_cast<std::int32_t>(bounds.right));
        PutS32(bytes, 20, static_cast<std::int32_t>(bounds.bottom));
    }

    generatorOptions options{};
    // A namespace prefix makes EMF+ output malformed XML.
    options.nameSpace = nullptr;
    options.verbose = false;
    options.emfplus = true;
    options.svgDelimiter = true;
    char* out = nullptr;
    std::size_t outLength = 0;
    const int converted =
        emf2svg(reinterpret_cast<char*>(bytes.data()), length, &out, &outLength, &options);
    const std::unique_ptr<char, decltype(&std::free)> owned(out, &std::free);
    if (!converted || !out)
        throw DecodeError("the file has corrupt drawing records");

    if (outLength > AnswerBudget(bytes.size()))
        throw DecodeError("the drawing is too large to show");
    std::string svg(out, outLength);
    std::size_t elements = 0;
    for (std::size_t at = svg.find('<'); at != std::string::npos; at = svg.find('<', at + 1))
        elements += at + 1 < svg.size() && svg[at + 1] != '/';
    if (elements > kMaxAnswerElements)
        throw DecodeError("the drawing is too large to show");
    // Make the mapping of the drawing onto the picture explicit rather than left to defaults.
    const auto root = svg.find("<svg ");
    if (root == std::string::npos)
        throw DecodeError("the file has corrupt drawing records");
    svg.insert(root + 5, "viewBox=\"0 0 " + Num(static_cast<double>(bounds.Width())) + " " +
                             Num(static_cast<double>(bounds.Height())) +
                             "\" preserveAspectRatio=\"none\" ");
    drawing.svg = std::move(svg);
    return drawing;
}

} // namespace pictures::metafile
