#pragma once

// The main window's part of the Output window and of help: where the lists' double clicks
// lead, the help lookup with its window, and the help topics of the compile windows.

#include "kivhelp.h"

#include <QObject>

namespace kiv {

class Tfkivhelpwin;
class Tfkivmain;

/// The help lookup and its window, and the Output window's navigation into the main window.
class TOutputParts : public QObject {
    Q_OBJECT

public:
    explicit TOutputParts(Tfkivmain &main);
    ~TOutputParts() override;

    THelpLookup Help;
    Tfkivhelpwin *HelpWindow = nullptr;

    /// Opens the file a message line names for editing: a relative name is looked for beside
    /// the project's main file first. The page index, or -1 (a missing file opens nothing).
    int OpenMessageFile(const QString &path);

private:
    Tfkivmain &m_main;
};

}  // namespace kiv
