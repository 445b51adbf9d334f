// Lumbrik: a picture browser and viewer. Starts at the splash window; ends when the last
// window is unloaded. One optional argument names a picture or a folder to open.
#include "app/CommandLine.h"
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

int Reply(const CommandLine& line) {
    const Answer answer = AnswerTo(line);
    std::fputs(answer.text.toLocal8Bit().constData(), answer.toStandardError ? stderr : stdout);
    return answer.status;
}

} // namespace

int main(int argc, char* argv[]) {
    QStringList raw;
    for (int index = 1; index < argc; ++index)
        raw << QString::fromLocal8Bit(argv[index]);
    // Help and version need no display. A misuse waits for QApplication when there is one,
    // because Qt's own options (-style, -platform ...) look like unknown ones until Qt takes them.
    const CommandLine asked = ReadCommandLine(raw);
    const bool display = HaveDisplay();
    if (asked.request == CommandLine::Request::Help ||
        asked.request == CommandLine::Request::Version ||
        (asked.request == CommandLine::Request::Misuse && !display))
        return Reply(asked);
    if (!display) {
        std::fputs("Lumbrik needs a graphical display: DISPLAY or WAYLAND_DISPLAY is not set.\n",
                   stderr);
        return 1;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName("Lumbrik");
    QApplication::setApplicationVersion(LUMBRIK_VERSION);
    QGuiApplication::setDesktopFileName("org.lumbrik.Lumbrik");
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(&forms::App, &forms::Application::lastFormUnloaded, &application,
                     &QApplication::quit, Qt::QueuedConnection);

    const CommandLine line = ReadCommandLine(QApplication::arguments().mid(1));
    if (line.request != CommandLine::Request::Run)
        return Reply(line);
    std::optional<GivenPath> given;
    if (line.path)
        given.emplace(*line.path);

    frmSplash->setVisible(true);
    const int status = QApplication::exec();
    forms::App.DestroyUnloaded();
    return status;
}
