// Lumbrik: a picture browser and viewer. Starts at the splash window; ends when the last
// window is unloaded.
#include "forms/Application.h"
#include "splash/SplashForm.h"

#include <QApplication>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

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

    frmSplash->setVisible(true);
    const int status = QApplication::exec();
    forms::App.DestroyUnloaded();
    return status;
}
