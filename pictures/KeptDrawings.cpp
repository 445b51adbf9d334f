#include "pictures/KeptDrawings.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cstdlib>

namespace pictures {

namespace {

constexpr int kKeptLarge = 3;
constexpr int kKeptSmall = 8;

// Larger than a quarter of the largest screen counts as screen-sized.
bool Large(QSize size) {
    qint64 screen = 1920 * 1080;
    for (const QScreen* s : QGuiApplication::screens()) {
        const QSizeF pixels = QSizeF(s->size()) * s->devicePixelRatio();
        screen = std::max(screen, static_cast<qint64>(pixels.width() * pixels.height()));
    }
    return qint64{size.width()} * size.height() * 4 > screen;
}

qint64 Area(QSize size) {
    return qint64{size.width()} * size.height();
}

} // namespace

bool NearSize(QSize a, QSize b) {
    return std::abs(a.width() - b.width()) <= 1 && std::abs(a.height() - b.height()) <= 1;
}

const Rendering* KeptDrawings::Find(const DrawingKey& key) {
    auto found =
        std::find_if(kept_.begin(), kept_.end(), [&](const Kept& k) { return k.key == key; });
    if (found == kept_.end())
        found = std::find_if(kept_.begin(), kept_.end(), [&](const Kept& k) {
            return k.key.file == key.file && NearSize(k.key.size, key.size);
        });
    if (found == kept_.end())
        return nullptr;
    kept_.splice(kept_.begin(), kept_, found);
    return &kept_.front().drawn;
}

void KeptDrawings::Keep(const DrawingKey& key, Rendering drawn) {
    std::erase_if(kept_, [&](const Kept& k) { return k.key == key; });
    kept_.push_front({key, std::move(drawn)});
    int large = 0;
    int small = 0;
    for (auto k = kept_.begin(); k != kept_.end();) {
        const bool isLarge = Large(k->key.size);
        if (++(isLarge ? large : small) > (isLarge ? kKeptLarge : kKeptSmall))
            k = kept_.erase(k);
        else
            ++k;
    }
}

QImage KeptDrawings::Largest(const FileIdentity& file) const {
    QImage largest;
    for (const Kept& k : kept_)
        if (k.key.file == file && !k.drawn.image.isNull() &&
            Area(k.key.size) > Area(largest.size()))
            largest = k.drawn.image;
    return largest;
}

} // namespace pictures
