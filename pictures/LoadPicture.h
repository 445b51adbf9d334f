// LoadPicture: reads a picture file, recognising its format by content, not by name.
#pragma once

#include "pictures/Picture.h"

#include <filesystem>

namespace pictures {

// Reads the file and checks that it can be decoded; throws LoadError with the file's name (not
// its path) and the reason otherwise. The returned picture owns the file's bytes: it draws even
// if the file goes.
Picture LoadPicture(const std::filesystem::path& path);

// A picture made from pixels already in memory (embedded resources).
Picture PictureFromImage(const QImage& image);

} // namespace pictures
