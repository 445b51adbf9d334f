// EMF+ bitmaps: pixels in the formats GDI+ writes decoded to ARGB and written out as PNG files
// (stored, not deflated: the answer is bounded anyway), compressed files kept as they are.
#include "decoder/emfplus/EmfPlusObjects.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace pictures::metafile {
namespace {

constexpr std::int64_t kMaxPixels = 8 << 20;

std::uint32_t Unpremultiply(std::uint32_t p) {
    const std::uint32_t a = p >> 24;
    if (a == 0 || a == 255)
        return a == 0 ? 0 : p;
    const auto c = [a](std::uint32_t v) { return std::min<std::uint32_t>(255, v * 255 / a); };
    return a << 24 | c((p >> 16) & 255) << 16 | c((p >> 8) & 255) << 8 | c(p & 255);
}

std::uint32_t Expand5(std::uint32_t v) {
    return (v << 3) | (v >> 2);
}

void Decode(const LittleEndian& b, std::size_t at, std::uint32_t format, std::int64_t stride,
            EmfPlusImage& image) {
    std::vector<std::uint32_t> palette;
    if (format & 0x00010000) { // indexed: the palette comes first
        const std::uint32_t count = b.U32(at + 4);
        if (count > 256)
            throw DecodeError("the file has a corrupt record");
        for (std::uint32_t i = 0; i < count; ++i)
            palette.push_back(b.U32(at + 8 + 4 * i));
        at += 8 + 4 * std::size_t{count};
    }
    const unsigned bits = (format >> 8) & 0xFF;
    if (stride < (std::int64_t{image.width} * bits + 7) / 8)
        throw DecodeError("the file has a corrupt record");
    const auto rows = b.Span(at, static_cast<std::size_t>(stride * image.height));
    image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
    for (int y = 0; y < image.height; ++y) {
        const unsigned char* row = rows.data() + stride * y;
        for (int x = 0; x < image.width; ++x) {
            std::uint32_t p = 0;
            const auto u16 = [row](int i) { return std::uint32_t{row[i]} | row[i + 1] << 8; };
            switch (format) {
            case 0x00030101:
            case 0x00030402:
            case 0x00030803: {
                const unsigned bit = static_cast<unsigned>(x) * bits;
                const unsigned index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                p = index < palette.size() ? palette[index] : 0xFF000000;
                break;
            }
            case 0x00101004: {
                const std::uint32_t v = u16(2 * x) >> 8;
                p = 0xFF000000 | v << 16 | v << 8 | v;
                break;
            }
            case 0x00021005:
            case 0x00061007: {
                const std::uint32_t v = u16(2 * x);
                const std::uint32_t a = format == 0x00061007 && !(v & 0x8000) ? 0 : 255;
                p = a << 24 | Expand5((v >> 10) & 31) << 16 | Expand5((v >> 5) & 31) << 8 |
                    Expand5(v & 31);
                break;
            }
            case 0x00021006: {
                const std::uint32_t v = u16(2 * x), g = (v >> 5) & 63;
                p = 0xFF000000 | Expand5(v >> 11) << 16 | (g << 2 | g >> 4) << 8 | Expand5(v & 31);
                break;
            }
            case 0x00021808:
                p = 0xFF000000 | std::uint32_t{row[3 * x + 2]} << 16 | row[3 * x + 1] << 8 |
                    row[3 * x];
                break;
            default: {
                const unsigned char* q = row + 4 * x;
                p = std::uint32_t{q[3]} << 24 | std::uint32_t{q[2]} << 16 | q[1] << 8 | q[0];
                if (format == 0x00022009)
                    p |= 0xFF000000;
                else if (format == 0x000E200B)
                    p = Unpremultiply(p);
            }
            }
            image.pixels[static_cast<std::size_t>(y) * image.width + x] = p;
        }
    }
}

bool Known(std::uint32_t format) {
    static constexpr std::array<std::uint32_t, 11> formats = {
        0x00030101, 0x00030402, 0x00030803, 0x00101004, 0x00021005, 0x00021006,
        0x00061007, 0x00021808, 0x00022009, 0x0026200A, 0x000E200B};
    return std::find(formats.begin(), formats.end(), format) != formats.end();
}

std::uint32_t Crc(std::string_view bytes) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320 ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFF;
    for (const char ch : bytes)
        c = table[(c ^ static_cast<unsigned char>(ch)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFF;
}

void PutBE(std::string& out, std::uint32_t v) {
    for (int i = 3; i >= 0; --i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void Chunk(std::string& png, const char* type, const std::string& data) {
    PutBE(png, static_cast<std::uint32_t>(data.size()));
    const std::string body = type + data;
    png += body;
    PutBE(png, Crc(body));
}

} // namespace

EmfPlusImage ReadEmfPlusBitmap(const LittleEndian& b, std::size_t at) {
    EmfPlusImage image;
    image.width = b.S32(at);
    image.height = b.S32(at + 4);
    const std::int32_t stride = b.S32(at + 8);
    const std::uint32_t format = b.U32(at + 12);
    const std::uint32_t type = b.U32(at + 16);
    if (image.width <= 0 || image.height <= 0 ||
        std::int64_t{image.width} * image.height > kMaxPixels)
        throw DecodeError("the file has a corrupt record");
    const std::size_t data = at + 20;
    if (type == 1) {
        const auto file = b.Span(data, b.Size() - std::min(data, b.Size()));
        const std::string_view bytes(reinterpret_cast<const char*>(file.data()), file.size());
        if (bytes.starts_with("\x89PNG"))
            image.mime = "image/png";
        else if (bytes.starts_with("\xFF\xD8"))
            image.mime = "image/jpeg";
        else if (bytes.starts_with("GIF8"))
            image.mime = "image/gif";
        else if (bytes.starts_with("BM"))
            image.mime = "image/bmp";
        else
            throw DecodeError("the file has an unknown image");
        image.file = bytes;
        return image;
    }
    if (type != 0 || !Known(format))
        throw DecodeError("the file has an unknown image");
    Decode(b, data, format, stride, image);
    return image;
}

std::string EncodePng(const EmfPlusImage& image, int x, int y, int width, int height) {
    x = std::clamp(x, 0, image.width);
    y = std::clamp(y, 0, image.height);
    width = std::clamp(width, 0, image.width - x);
    height = std::clamp(height, 0, image.height - y);
    if (width == 0 || height == 0 || image.pixels.empty())
        return {};
    std::string raw;
    raw.reserve(static_cast<std::size_t>(height) * (1 + 4 * std::size_t(width)));
    for (int j = y; j < y + height; ++j) {
        raw += '\0'; // no filter
        for (int i = x; i < x + width; ++i) {
            const std::uint32_t p = image.pixels[static_cast<std::size_t>(j) * image.width + i];
            for (const int shift : {16, 8, 0, 24})
                raw += static_cast<char>((p >> shift) & 0xFF);
        }
    }
    // A zlib stream of stored blocks.
    std::string z = "\x78\x01";
    for (std::size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
        z += static_cast<char>(at + n >= raw.size() ? 1 : 0);
        z += static_cast<char>(n & 0xFF);
        z += static_cast<char>(n >> 8);
        z += static_cast<char>(~n & 0xFF);
        z += static_cast<char>((~n >> 8) & 0xFF);
        z.append(raw, at, n);
    }
    std::uint32_t s1 = 1, s2 = 0;
    for (const char ch : raw) {
        s1 = (s1 + static_cast<unsigned char>(ch)) % 65521;
        s2 = (s2 + s1) % 65521;
    }
    PutBE(z, s2 << 16 | s1);

    std::string png = "\x89PNG\r\n\x1a\n";
    std::string header;
    PutBE(header, static_cast<std::uint32_t>(width));
    PutBE(header, static_cast<std::uint32_t>(height));
    header += std::string("\x08\x06\x00\x00\x00", 5); // 8-bit RGBA
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", {});
    return png;
}

} // namespace pictures::metafile
