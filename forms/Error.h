// The one kind of failure the runtime raises: a call that could not be done, with a message
// that names the file and the reason. Handlers do not catch it; the event boundary does.
#pragma once

#include <QString>

#include <stdexcept>

namespace forms {

class Error : public std::runtime_error {
public:
    explicit Error(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

} // namespace forms
