// Lumbrik: a picture browser and viewer. Starts at the splash window; ends when the last
// window is unloaded. One optional argument names a picture or a folder to open.
#include "app/GivenPath.h"
#include "forms/Application.h"
#include "splash/SplashForm.h"

#include <QApplication>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

bool HaveDisplay() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform)
        return true;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

} // namespace

int main(int argc, char* argv[]) {
    if (!HaveDisplay()) {
        std::fputs("Lumbrik needs a graphical display: DISPLAY or WAYLAND_DISPLAY is not set.\n",
                   stderr);
        return 1;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName("Lumbrik");
    QApplication::setApplicationVersion("1.00");
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(&forms::App, &forms::Application::lastFormUnloaded, &application,
                     &QApplication::quit, Qt::QueuedConnection);

    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 2) {
        std::fputs("Usage: Lumbrik [picture or folder]\n", stderr);
        return 2;
    }
    std::optional<GivenPath> given;
    if (arguments.size() == 2)
        given.emplace(arguments.at(1));

    frmSplash->setVisible(true);
    const int status = QApplication::exec();
    forms::App.DestroyUnloaded();
    return status;
}
