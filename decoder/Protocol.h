// What the viewer and its decoder process (lumbrik-decoder) say to each other; both sides
// include this file. One message a datagram on a SOCK_SEQPACKET socket, always a whole Message.
//
//   decoder: Ready                once it has sealed itself
//   viewer:  Open + the file's descriptor, with the file's name for messages
//   decoder: Facts                format, natural size, pixel size, orientation; or Failed
//   viewer:  Draw width height    any number of times
//   decoder: Pixels + a sealed memfd of exactly stride x height bytes of premultiplied ARGB32
//            (native byte order), stride = 4 x width; or Failed
// The decoder ends when the viewer closes its end.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace decoder {

inline constexpr std::uint32_t kMagic = 0x4c4d4231; // "LMB1"
// The descriptor the decoder finds its socket on.
inline constexpr int kSocket = 3;

enum class Kind : std::uint32_t { Ready = 1, Open, Facts, Draw, Pixels, Failed };

enum class Format : std::uint32_t { Gif = 1, Jpeg, Bmp, Ico, Wmf, Emf };

// Sides past this are never asked for or answered: the widest picture any reader accepts.
inline constexpr std::int32_t kMaxDrawSide = 65535;

struct Message {
    std::uint32_t magic = kMagic;
    Kind kind = Kind::Ready;
    Format format = Format::Gif;
    std::int32_t orientation = 1; // Exif orientation of a JPEG, 1 otherwise
    std::int32_t width = 0,
                 height = 0; // Facts: pixel size as shown (0 for metafiles); Draw, Pixels
    double naturalWidth = 0; // Facts: hundredths of a millimetre
    double naturalHeight = 0;
    std::int64_t stride = 0, bytes = 0; // Pixels
    char text[240] = {};                // Open: the file's name; Failed, Pixels: why, if at all

    void setText(std::string_view s) {
        const std::size_t n = s.size() < sizeof text - 1 ? s.size() : sizeof text - 1;
        std::memcpy(text, s.data(), n);
        text[n] = '\0';
    }
    std::string_view Text() const { return {text, strnlen(text, sizeof text)}; }
};

} // namespace decoder
