// The options a shell user expects (--help, --version) and the one optional path.
#include "app/CommandLine.h"

namespace {

const QString kUsage = QStringLiteral("Usage: Lumbrik [OPTION] [PICTURE | FOLDER]\n");

const QString kHelp = QStringLiteral(
    "Browse folders of GIF, JPEG, BMP, ICO, WMF and EMF pictures and view them full screen.\n"
    "Starts in the folder given, or in the picture's folder with the picture selected;\n"
    "without an argument, in the working folder.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n"
    "\n"
    "Browser: Enter opens a folder; a double-click on a file name or a click on the preview\n"
    "  shows it full screen; Delete deletes the file after asking; Escape quits.\n"
    "Full screen: Right or Left, the next or previous picture; 1 to 9, a slide show with a\n"
    "  picture every 1 to 9 seconds; 0 stops it; Escape or a click, back to the browser.\n");

} // namespace

CommandLine ReadCommandLine(const QStringList& arguments) {
    CommandLine line;
    QStringList paths;
    QString unknown;
    bool options = true;
    for (const QString& argument : arguments) {
        if (options && argument == QLatin1String("--")) {
            options = false;
        } else if (options && (argument == QLatin1String("--help") || argument == "-h")) {
            line.request = CommandLine::Request::Help;
        } else if (options && argument == QLatin1String("--version")) {
            if (line.request != CommandLine::Request::Help)
                line.request = CommandLine::Request::Version;
        } else if (options && argument.size() > 1 && argument.startsWith(QLatin1Char('-'))) {
            if (unknown.isEmpty())
                unknown = argument;
        } else {
            paths << argument;
        }
    }
    // Asked for help or the version, the user gets it whatever else is on the line.
    if (line.request != CommandLine::Request::Run)
        return line;
    if (!unknown.isEmpty()) {
        line.request = CommandLine::Request::Misuse;
        line.problem = QStringLiteral("unknown option '%1'").arg(unknown);
    } else if (paths.size() > 1) {
        line.request = CommandLine::Request::Misuse;
        line.problem = QStringLiteral("one picture or folder at most");
    } else if (!paths.isEmpty()) {
        line.path = paths.front();
    }
    return line;
}

Answer AnswerTo(const CommandLine& line) {
    switch (line.request) {
    case CommandLine::Request::Help:
        return {kUsage + kHelp, false, 0};
    case CommandLine::Request::Version:
        return {QStringLiteral("Lumbrik " LUMBRIK_VERSION "\n"), false, 0};
    case CommandLine::Request::Misuse:
        return {kUsage + QStringLiteral("Lumbrik: %1\n").arg(line.problem), true, 2};
    case CommandLine::Request::Run:
        break;
    }
    return {};
}
