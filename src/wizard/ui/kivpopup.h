#pragma once

// The "Code" window: the text a wizard page would generate, read-only, with a vertical scroll bar.

#include <QDialog>

class QPlainTextEdit;

namespace kiv {

class Tfkivpopup : public QDialog {
    Q_OBJECT

public:
    explicit Tfkivpopup(QWidget *parent = nullptr);
    /// The memo `Memo`.
    QPlainTextEdit *Memo() const { return m_memo; }

private:
    QPlainTextEdit *m_memo = nullptr;
};

/// `ShowCode`: creates the "Code" window, shows the text modally and frees the window.
void ShowCode(QWidget *parent, const QString &text);

}  // namespace kiv
