#include "pictures/metafile/EmfPlusPlayer.h"

namespace pictures::metafile {

EmfPlusPlayer::EmfPlusPlayer(SvgCanvas& canvas, const EmfHeader& header)
    : canvas_(canvas), toDocument_(DocumentMapping(header)) {}

void EmfPlusPlayer::Play(std::span<const unsigned char> records) {
    (void)records;
    (void)canvas_;
    ++skipped_;
}

} // namespace pictures::metafile
