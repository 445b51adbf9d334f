// LoadPicture: opens a picture file and has a decoder process tell its format (by content, not
// by name) and size; the file's bytes are read by decoders only.
#pragma once

#include "pictures/Decoders.h"
#include "pictures/Picture.h"

#include <filesystem>
#include <memory>

namespace pictures {

// Opens the file and waits (blocking, at most a second) for a decoder's answer: its format and
// size. Throws LoadError with the file's name (not its path) and the reason otherwise. The
// picture keeps the file open: it draws the version opened even if the file is replaced.
// `need`: Ahead for read-ahead, which leaves the last spare decoder to the windows.
Picture LoadPicture(const std::filesystem::path& path, const std::shared_ptr<Decoders>& decoders,
                    Decoders::Need need = Decoders::Need::Now);

// The same with a decoder started for the purpose, for callers without a render service.
Picture LoadPicture(const std::filesystem::path& path);

// A picture made from pixels already in memory (embedded resources).
Picture PictureFromImage(const QImage& image);

} // namespace pictures
