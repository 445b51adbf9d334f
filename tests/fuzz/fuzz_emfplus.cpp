// libFuzzer target: the EMF+ player on arbitrary bytes as the records of one comment, after a
// fixed EMF+ header, drawing onto a canvas of a fixed picture.
#include "decoder/emfplus/EmfPlusPlayer.h"
#include "decoder/gdi/Decoded.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pictures::metafile;
    EmfHeader header;
    header.frame = {0, 0, 12700, 7620};
    header.bounds = {0, 0, 479, 287};
    header.devicePixelsX = 1920;
    header.devicePixelsY = 960;
    header.deviceMmX = 508;
    header.deviceMmY = 254;
    SvgCanvas canvas(AnswerBudget(size));
    canvas.SetSize(12700, 7620);
    EmfPlusPlayer player(canvas, header);
    // An EMF+ header record: version, flags, 96 dpi.
    static constexpr unsigned char kHeader[] = {1,  0x40, 1, 0,    28,   0,    0, 0, 16, 0,
                                                0,  0,    2, 0x10, 0xC0, 0xDB, 1, 0, 0,  0,
                                                96, 0,    0, 0,    96,   0,    0, 0};
    try {
        player.Play(kHeader);
        player.Play(std::span(data, size));
        canvas.TakeDocument();
    } catch (const DecodeError&) {
        // A drawing past the answer's limits is a result, not a finding.
    }
    return 0;
}
