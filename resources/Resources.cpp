#include "resources/Resources.h"

#include "pictures/LoadPicture.h"

#include <QImage>

// Outside any namespace, as the resource compiler's initialiser is.
static void InitialiseResources() {
    Q_INIT_RESOURCE(resources);
}

namespace resources {

namespace {

pictures::Picture Embedded(const char* name) {
    InitialiseResources();
    return pictures::PictureFromImage(QImage(QStringLiteral(":/lumbrik/") + name));
}

} // namespace

pictures::Picture DefaultPicture() {
    return Embedded("default.gif");
}
pictures::Picture SecondSplashPicture() {
    return Embedded("splash2.gif");
}

QIcon ApplicationIcon() {
    InitialiseResources();
    return QIcon(QStringLiteral(":/lumbrik/lumbrik.ico"));
}

} // namespace resources
