#pragma once

#include <QDialog>
#include <QUrl>

#include <functional>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

namespace kiv {

/// The "Technical Support Information" dialog: hints for writing a support request, a check box
/// asking for an immediate response with a tracking number, and a button that starts a new
/// e-mail to the support mailbox in the user's mail program.
class Tfkivsupport : public QDialog {
    Q_OBJECT

public:
    /// `compilerVersion` is the installed compiler's version text; it goes into the subject.
    explicit Tfkivsupport(const QString &compilerVersion, QWidget *parent = nullptr);

    /// The mail the button would start now, with the check box's current state.
    QUrl MailUrl() const;

    /// Opens the mail; closes the dialog (accepted) when the mail program started, otherwise
    /// shows an error naming the support address and keeps the dialog open.
    void StartMailClick();

    /// Opens a URL in the desktop's handler; tests replace it. By default
    /// QDesktopServices::openUrl.
    static std::function<bool(const QUrl &)> &OpenUrlHook();
    /// Runs a dialog modally; tests replace it to drive the dialog without blocking. The
    /// result is QDialog::Accepted or QDialog::Rejected.
    static std::function<int(QDialog &)> &ExecHook();

private:
    QString m_compilerVersion;
    QPlainTextEdit *m_hints = nullptr;
    QCheckBox *m_immediate = nullptr;
    QPushButton *m_startMail = nullptr;
};

/// Shows the "Technical Support Information" dialog modally for the given compiler version text.
void ShowTechnicalSupport(QWidget *parent, const QString &compilerVersion);

}  // namespace kiv
