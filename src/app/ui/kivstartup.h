#pragma once

#include "kivcmdline.h"

#include <QStringList>

#include <memory>

namespace kiv {

class TFrmEditorProperties;
class Tfkivmain;
class TQtPrompt;

/// The running IDE: its main window and the long-lived windows created at start-up.
struct TKivSession {
    TCommandLine commandLine;
    std::unique_ptr<TQtPrompt> prompt;
    std::unique_ptr<Tfkivmain> main;
    /// Milestone "X": the editor properties (destroyed before the main window).
    std::unique_ptr<TFrmEditorProperties> editorProperties;
    ~TKivSession();
};

/// Reads the command line before anything else: sets the trace level, creates the trace file
/// for "+DEBUG", and writes milestone "A".
TCommandLine KivReadCommandLine(const QStringList &args);

/// With the application object created: milestones "B" and "D", the application title, the
/// main window and the long-lived windows in their fixed order, and the first show of the main
/// window. An argument that cannot be accepted is reported once the window is up.
std::unique_ptr<TKivSession> KivStart(const TCommandLine &commandLine);

/// The whole program: command line, application, start-up, event loop, milestone "Z".
int KivMain(int argc, char **argv);

}  // namespace kiv
