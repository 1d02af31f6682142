#pragma once

// An input/output failure on a file an operation had to open, read or write. The main window
// shows it with its general error display.

#include <QString>

#include <stdexcept>

namespace kiv {

class TFileIoError : public std::runtime_error {
public:
    explicit TFileIoError(const QString &message) : std::runtime_error(message.toStdString()) {}
    QString Message() const { return QString::fromStdString(what()); }
};

}  // namespace kiv
