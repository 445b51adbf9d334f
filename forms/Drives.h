// The drives of the drive list: the mounted volumes a person would recognise.
#pragma once

#include <QString>

#include <vector>

namespace forms {

struct Drive {
    QString root;  // the volume's mount point, native form
    QString label; // what the list shows
};

// The root file system, volumes under /home, /media, /mnt and /run/media, and the volume that
// holds `mustInclude`, sorted by mount point.
std::vector<Drive> RecognisedDrives(const QString& mustInclude);

// The mount point of the volume that holds `path`.
QString DriveOf(const QString& path);

} // namespace forms
