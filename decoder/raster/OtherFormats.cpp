#include "decoder/raster/OtherFormats.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string_view>
#include <utility>

namespace pictures {

namespace {

std::uint32_t U8(QByteArrayView bytes, qsizetype at) {
    return at >= 0 && at < bytes.size() ? static_cast<std::uint8_t>(bytes[at]) : 0;
}

// An SVG document: after a byte order mark, the XML declaration, comments and a document type,
// the first element is <svg>. Only the start of the file is looked at.
bool IsSvg(QByteArrayView bytes) {
    QByteArrayView rest = bytes.first(std::min<qsizetype>(bytes.size(), 4096));
    if (rest.startsWith("\xEF\xBB\xBF"))
        rest = rest.sliced(3);
    while (true) {
        rest = rest.trimmed();
        if (rest.startsWith("<svg"))
            return rest.size() > 4 && (std::isspace(static_cast<unsigned char>(rest[4])) ||
                                       rest[4] == '>' || rest[4] == ':' || rest[4] == '/');
        QByteArrayView close;
        if (rest.startsWith("<?"))
            close = "?>";
        else if (rest.startsWith("<!--"))
            close = "-->";
        else if (rest.startsWith("<!"))
            close = rest.indexOf('[') >= 0 && rest.indexOf('[') < rest.indexOf('>') ? "]>" : ">";
        else
            return false;
        const qsizetype end = rest.indexOf(close);
        if (end < 0)
            return false;
        rest = rest.sliced(end + close.size());
    }
}

std::uint32_t Be32(QByteArrayView bytes, qsizetype at) {
    return U8(bytes, at) << 24 | U8(bytes, at + 1) << 16 | U8(bytes, at + 2) << 8 |
           U8(bytes, at + 3);
}

// HEIF and AVIF files start with an ISO media file type box: its brands say which.
QString IsoMediaPicture(QByteArrayView bytes) {
    if (bytes.size() < 16 || bytes.sliced(4, 4) != "ftyp")
        return {};
    // A box size below the box's own head means "to the end" or a 64-bit size: a few brands.
    const qsizetype declared = Be32(bytes, 0);
    const qsizetype boxEnd = std::min<qsizetype>(bytes.size(), declared >= 16 ? declared : 64);
    bool heif = false;
    for (qsizetype at = 8; at + 4 <= boxEnd; at += at == 8 ? 8 : 4) { // major brand, version
        const QByteArrayView brand = bytes.sliced(at, 4);
        if (brand == "avif" || brand == "avis")
            return QStringLiteral("an AVIF picture");
        for (const char* h :
             {"heic", "heix", "hevc", "hevx", "heim", "heis", "hevm", "hevs", "mif1", "msf1"})
            heif = heif || brand == h;
    }
    return heif ? QStringLiteral("a HEIF picture") : QString();
}

} // namespace

QString OtherFormatOf(QByteArrayView bytes) {
    using namespace std::string_view_literals; // signatures hold zero bytes
    static constexpr std::pair<std::string_view, const char*> kSignatures[] = {
        {"\x89PNG\r\n\x1A\n"sv, "a PNG picture"},
        {"II*\0"sv, "a TIFF picture"},
        {"MM\0*"sv, "a TIFF picture"},
        {"II+\0"sv, "a TIFF picture"},
        {"MM\0+"sv, "a TIFF picture"},
        {"%PDF-"sv, "a PDF document"},
        {"%!PS"sv, "a PostScript document"},
        {"8BPS"sv, "a Photoshop (PSD) picture"},
        {"\xFF\x0A"sv, "a JPEG XL picture"},
        {"\0\0\0\x0CJXL \r\n\x87\n"sv, "a JPEG XL picture"},
        {"\0\0\0\x0CjP  \r\n\x87\n"sv, "a JPEG 2000 picture"},
        {"\xFF\x4F\xFF\x51"sv, "a JPEG 2000 picture"},
        {"v/1\x01"sv, "an OpenEXR picture"},
        {"qoif"sv, "a QOI picture"},
        {"gimp xcf"sv, "a GIMP (XCF) picture"},
    };
    for (const auto& [signature, name] : kSignatures)
        if (bytes.startsWith(QByteArrayView(signature.data(), qsizetype(signature.size()))))
            return QString::fromLatin1(name);
    if (bytes.startsWith("RIFF") && bytes.size() >= 12 && bytes.sliced(8, 4) == "WEBP")
        return QStringLiteral("a WebP picture");
    if (QString iso = IsoMediaPicture(bytes); !iso.isEmpty())
        return iso;
    if (IsSvg(bytes))
        return QStringLiteral("an SVG drawing");
    return {};
}

} // namespace pictures
