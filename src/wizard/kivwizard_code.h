#pragma once

// The text the project wizard generates: one section per page for each of three placements (the
// header file, the C file before main(), the C file inside main()), the page preview, and the run
// that writes the C file, its header and the project file.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>

namespace kiv {

class TWizardModel;

/// Where a section's text goes.
enum TPlacement { plHeader = 1, plBeforeMain = 2, plInMain = 3 };

/// The pages in the order their sections are written.
const QList<int> &SectionOrder();

/// One page's text for one placement; lines end with CR LF. Writing the Analog section may
/// choose the first clock item (a port option without analog pins needs no converter clock).
QString SectionText(TWizardModel &model, int page, int placement);

/// What the "View Code" button shows for a page: for each placement with text, an empty line,
/// the placement's heading, an empty line and the text.
QString PreviewText(TWizardModel &model, int page);

/// Appends a section text to a file's text: each piece up to a CR becomes one line with CR LF,
/// the character after the CR is skipped; an empty text adds nothing.
void AppendSection(QString &out, const QString &text);

/// The header path of a C path: the C path up to its first ".c" in the file name, then ".h"
/// (the whole path + ".h" when the file name holds no ".c").
QString WizardHeaderPath(const QString &cPath);
/// The project base (the C path up to its first ".c" in the file name, or the whole path) and
/// the source extension (up to three characters after that point's ".").
void WizardProjectBase(const QString &cPath, QString *base, QString *extension);

/// The whole C file for `headerPath`.
QByteArray WizardCFile(TWizardModel &model, const QString &headerPath);
/// The whole header file.
QByteArray WizardHeaderFile(TWizardModel &model);

/// The result of a run: both paths empty when the user cancelled or a file could not be
/// written (the error then says why; it has been shown to the user).
struct TWizardRunResult {
    QString cPath;
    QString headerPath;
    QString error;
};

/// Writes the C file, the header and the project for a C path (the part of the run after the
/// window closed with OK). A file that cannot be written ends the run with a message; files are
/// written whole or not at all.
TWizardRunResult WriteWizardFiles(TWizardModel &model, const QString &cPath, const QString &includes);

/// A run without a window, as a user would make it: chooses the device, starts the run (per-run
/// texts cleared, General page refreshed), then shows every page in tab order and, on each,
/// applies the settings of that page's controls in the order given. A setting "pin:C6" sets a
/// pin's identifiers, "pintype:C6" its I/O type (0 to 4). False with a reason on a bad device or
/// setting.
bool RunWizardScript(TWizardModel &model, const QString &device,
                     const QList<QPair<QString, QString>> &settings, QString *error);

/// `RunProjectWizard`: clears the per-run texts, refreshes the General page, asks for the main
/// file through the prompt, shows the window with `showModal` (true = OK) and writes the files.
TWizardRunResult RunProjectWizard(TWizardModel &model, const QString &includes,
                                  const std::function<bool()> &showModal);

}  // namespace kiv
