#pragma once

#include <QDialog>

#include <functional>

namespace kiv {

/// The About box: the program's name, title and version, the installed compiler edition and
/// its version, and the versions of the libraries the IDE is built on.
class Tfkivabout : public QDialog {
    Q_OBJECT

public:
    /// `compilerEdition` and `compilerVersion` may be empty; a line is shown only for what is
    /// given.
    Tfkivabout(const QString &compilerEdition, const QString &compilerVersion,
               QWidget *parent = nullptr);

    /// Runs a dialog modally; tests replace it to drive the dialog without blocking.
    static std::function<int(QDialog &)> &ExecHook();
};

/// Shows the About box modally.
void ShowAbout(QWidget *parent, const QString &compilerEdition, const QString &compilerVersion);

}  // namespace kiv
