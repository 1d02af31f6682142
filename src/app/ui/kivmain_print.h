#pragma once

// The main window's printing: the one printer of the session.

#include <QObject>

#include <memory>

class QPrinter;

namespace kiv {

class Tfkivmain;

/// What printing keeps for the main window: the printer, whose set-up lasts the session.
class TPrintParts : public QObject {
    Q_OBJECT

public:
    explicit TPrintParts(Tfkivmain &main);
    ~TPrintParts() override;

    std::unique_ptr<QPrinter> Printer;
};

}  // namespace kiv
