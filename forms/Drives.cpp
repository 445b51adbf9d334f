#include "forms/Drives.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>

namespace forms {

namespace {

bool PersonWouldRecognise(const QStorageInfo& volume) {
    const QString root = volume.rootPath();
    if (root == QLatin1String("/"))
        return true;
    static const QStringList places{QStringLiteral("/home"), QStringLiteral("/media/"),
                                    QStringLiteral("/mnt/"), QStringLiteral("/run/media/")};
    const bool place = std::any_of(places.begin(), places.end(),
                                   [&](const QString& p) { return root.startsWith(p); });
    return place && QFileInfo(root).isDir() && volume.device().startsWith("/dev/");
}

Drive DriveFor(const QStorageInfo& volume) {
    const QString root = QDir::toNativeSeparators(volume.rootPath());
    const QString name = volume.displayName();
    return {root, name.isEmpty() || name == volume.rootPath()
                      ? root
                      : QStringLiteral("%1 [%2]").arg(root, name)};
}

} // namespace

std::vector<Drive> RecognisedDrives(const QString& mustInclude) {
    std::vector<Drive> drives;
    const QString needed = DriveOf(mustInclude);
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        if (PersonWouldRecognise(volume) || QDir::toNativeSeparators(volume.rootPath()) == needed)
            drives.push_back(DriveFor(volume));
    }
    if (std::none_of(drives.begin(), drives.end(),
                     [&](const Drive& d) { return d.root == needed; }))
        drives.push_back({needed, needed});
    std::sort(drives.begin(), drives.end(),
              [](const Drive& a, const Drive& b) { return a.root < b.root; });
    drives.erase(std::unique(drives.begin(), drives.end(),
                             [](const Drive& a, const Drive& b) { return a.root == b.root; }),
                 drives.end());
    return drives;
}

QString DriveOf(const QString& path) {
    const QStorageInfo volume(path);
    return QDir::toNativeSeparators(volume.isValid() ? volume.rootPath() : QDir::rootPath());
}

} // namespace forms
