// What the command line asks of the program: a picture or folder to open, the help or the
// version. Read once from the raw arguments and again after Qt has taken its own options.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

struct CommandLine {
    enum class Request { Run, Help, Version, Misuse };
    Request request = Request::Run;
    std::optional<QString> path; // the picture or folder to start in
    QString problem;             // why the arguments are a misuse
};

// The arguments after the program's name. "--" ends the options, so a file may start with "-".
CommandLine ReadCommandLine(const QStringList& arguments);

// What the program prints for a request other than Run, and the status it then ends with.
struct Answer {
    QString text;
    bool toStandardError = false;
    int status = 0;
};
Answer AnswerTo(const CommandLine& line);
