// EMF to SVG with a player of our own: the header and the record chain are checked first, then
// the records drawn onto a canvas of the frame's size.
#include "decoder/canvas/SvgCanvas.h"
#include "decoder/emf/EmfFrame.h"
#include "decoder/emf/EmfPlayer.h"
#include "decoder/emf/EmfRecords.h"
#include "decoder/gdi/Decoded.h"

namespace pictures::metafile {

NaturalSize EmfSize(std::span<const unsigned char> bytes) {
    const EmfHeader header = ReadEmfHeader(bytes);
    EmfRecords(bytes);
    const NaturalSize size{static_cast<double>(header.frame.Width()),
                           static_cast<double>(header.frame.Height())};
    CheckNaturalSize(size.width, size.height);
    return size;
}

DecodedDrawing DecodeEmf(std::span<const unsigned char> bytes, const CodePages& codePages) {
    const EmfHeader header = ReadEmfHeader(bytes);
    const std::vector<EmfRecord> records = EmfRecords(bytes);
    DecodedDrawing drawing;
    drawing.width = static_cast<double>(header.frame.Width());
    drawing.height = static_cast<double>(header.frame.Height());
    SvgCanvas canvas(AnswerBudget(bytes.size()));
    canvas.SetSize(drawing.width, drawing.height);
    EmfPlayer player(canvas, header, codePages);
    player.Play(records);
    drawing.svg = canvas.TakeDocument();
    return drawing;
}

} // namespace pictures::metafile
