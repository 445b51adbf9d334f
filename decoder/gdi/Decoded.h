// What the helper's decoders produce, and how they fail.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

namespace pictures::metafile {

struct DecodedDrawing {
    double width = 0; // natural size in hundredths of a millimetre
    double height = 0;
    std::string svg; // viewBox covers exactly the picture
};

// A file that cannot be decoded; the message says why, for a person.
class DecodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class CodePages;

// The natural size as the header gives it, once the header and the record chain are checked;
// none for a WMF without a placeable header, whose size only its drawing tells.
struct NaturalSize {
    double width = 0;
    double height = 0;
};
NaturalSize EmfSize(std::span<const unsigned char> bytes);
std::optional<NaturalSize> WmfSize(std::span<const unsigned char> bytes);

DecodedDrawing DecodeWmf(std::span<const unsigned char> bytes, const CodePages& codePages);
DecodedDrawing DecodeEmf(std::span<const unsigned char> bytes, const CodePages& codePages);

// How large the SVG of an input of `inputBytes` may grow: in proportion to the input, and
// never past the answer's cap.
std::size_t AnswerBudget(std::size_t inputBytes);

// Checks a natural size against the limits the viewer accepts; throws DecodeError otherwise.
void CheckNaturalSize(double width, double height);

} // namespace pictures::metafile
