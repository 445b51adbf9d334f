// EMF to SVG with a player of our own: the header and the record chain are checked first, then
// the records drawn onto a canvas of the frame's size.
#include "pictures/metafile/Decoded.h"
#include "pictures/metafile/EmfFrame.h"
#include "pictures/metafile/EmfPlayer.h"
#include "pictures/metafile/EmfRecords.h"
#include "pictures/metafile/SvgCanvas.h"

namespace pictures::metafile {

DecodedDrawing DecodeEmf(std::span<unsigned char> bytes, const CodePages& codePages) {
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
