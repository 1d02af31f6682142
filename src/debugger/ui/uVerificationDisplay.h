#pragma once

#include <QDialog>

class QPlainTextEdit;
class QTabWidget;
class QTreeWidget;

namespace kiv {

/// The "Verification Results" dialog: the mismatches found when the program was verified after
/// the download, on the pages Program Memory, Data Memory and Configuration Fuses.
class TVerificationDisplay : public QDialog {
    Q_OBJECT

public:
    explicit TVerificationDisplay(QWidget *parent = nullptr);
    /// Fills the pages from the library's text; false (and nothing shown) for an empty text.
    bool SetResults(const QString &text);
    /// Fills and shows the dialog modally.
    void ShowResults(const QString &text);

    QTabWidget *ResultTabs() const { return m_tabs; }
    QTreeWidget *ProgList() const { return m_prog; }
    QTreeWidget *DataList() const { return m_data; }
    QTreeWidget *FuseList() const { return m_fuses; }
    QPlainTextEdit *ActualFuses() const { return m_actual; }
    QPlainTextEdit *ExpectedFuses() const { return m_expected; }

private:
    QTabWidget *m_tabs;
    QTreeWidget *m_prog;
    QTreeWidget *m_data;
    QTreeWidget *m_fuses;
    QPlainTextEdit *m_actual;
    QPlainTextEdit *m_expected;
};

}  // namespace kiv
