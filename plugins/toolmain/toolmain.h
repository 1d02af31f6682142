#pragma once

// What the three outside tools (chipedit, dunet, telm) share in their main(): --shot, which
// renders the window to a PNG file instead of running it, and --help, both without a display.

#include <QString>

class QWidget;

namespace kiv {

/// Call first thing in main(): for --shot and --help the program needs no display, so it draws
/// offscreen.
void PrepareToolPlatform(int argc, char **argv);

/// Shows `window`. With `shot` empty runs the event loop and returns its result; otherwise
/// lets the window settle, writes its picture to `shot` and returns 0 (1 when it cannot be
/// written).
int RunToolWindow(QWidget &window, const QString &shot);

}  // namespace kiv
