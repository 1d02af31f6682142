#pragma once

// The main window's part for the programmer and debugger tool slots: the long-lived options
// window and what the Program Chip and Tool commands start.

#include <QObject>

namespace kiv {

class Tfkivmain;
class Tfkivprgm;

class TToolParts : public QObject {
    Q_OBJECT
public:
    explicit TToolParts(Tfkivmain &main);

    /// "Device Programmer/Debugger Options", created at start-up and kept until exit.
    Tfkivprgm *Options = nullptr;
};

}  // namespace kiv
