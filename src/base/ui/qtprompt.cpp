#include "qtprompt.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

namespace kiv {

namespace {

QWidget *DialogParent()
{
    return QApplication::activeWindow();
}

// Gives the window that was active before a question, and its focused control, the keyboard
// back once the question is answered. Without a window manager (and with some) nobody else
// does, and then the window's shortcuts stay dead until it is clicked.
class TActivationKeeper {
public:
    TActivationKeeper()
        : m_window(QApplication::activeWindow())
        , m_focus(QApplication::focusWidget())
    {
    }
    ~TActivationKeeper()
    {
        if (!m_window || !m_window->isVisible())
            return;
        m_window->activateWindow();
        if (m_focus && m_focus->isVisible() && m_focus->window() == m_window)
            m_focus->setFocus(Qt::ActiveWindowFocusReason);
    }
    TActivationKeeper(const TActivationKeeper &) = delete;
    TActivationKeeper &operator=(const TActivationKeeper &) = delete;

private:
    QPointer<QWidget> m_window;
    QPointer<QWidget> m_focus;
};

// Runs a file dialog with the question's filters and starting filter, and hands back the
// user's filter choice.
QString RunFileDialog(TFileQuestion &q, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(DialogParent(), q.caption, q.folder);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setNameFilters(q.filters);
    if (q.filterIndex >= 1 && q.filterIndex <= q.filters.size())
        dialog.selectNameFilter(q.filters.at(q.filterIndex - 1));
    if (!q.fileName.isEmpty())
        dialog.selectFile(q.fileName);
    if (!q.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(q.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    q.filterIndex = int(q.filters.indexOf(dialog.selectedNameFilter())) + 1;
    return dialog.selectedFiles().first();
}

}  // namespace

TMsgResult TQtPrompt::Message(TMsgKind kind, const QString &caption, const QString &text,
                              TMsgButtons buttons)
{
    QMessageBox::Icon icon = QMessageBox::Information;
    switch (kind) {
    case mtError: icon = QMessageBox::Critical; break;
    case mtWarning: icon = QMessageBox::Warning; break;
    case mtInformation: icon = QMessageBox::Information; break;
    case mtConfirmation: icon = QMessageBox::Question; break;
    }
    QMessageBox::StandardButtons set = QMessageBox::Ok;
    if (buttons == mbYesNo)
        set = QMessageBox::Yes | QMessageBox::No;
    else if (buttons == mbYesNoCancel)
        set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    else if (buttons == mbRetryCancel)
        set = QMessageBox::Retry | QMessageBox::Cancel;
    TActivationKeeper keeper;
    QMessageBox box(icon, caption.isEmpty() ? StandardCaption(kind) : caption, text, set,
                    DialogParent());
    if (buttons == mbYesNo) {
        // Escape and the close box answer neither Yes nor No: a hidden Cancel takes them, so a
        // question such as "Save changes to" is never answered No by a stray key.
        box.addButton(QMessageBox::Cancel)->hide();
        box.setEscapeButton(QMessageBox::Cancel);
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return mrYes;
    case QMessageBox::No: return mrNo;
    case QMessageBox::Ok: return mrOk;
    case QMessageBox::Retry: return mrRetry;
    default: return mrCancel;
    }
}

QString TQtPrompt::OpenFileName(TFileQuestion &question)
{
    TActivationKeeper keeper;
    return RunFileDialog(question, QFileDialog::AcceptOpen);
}

QString TQtPrompt::SaveFileName(TFileQuestion &question)
{
    TActivationKeeper keeper;
    return RunFileDialog(question, QFileDialog::AcceptSave);
}

QString TQtPrompt::FolderName(const QString &caption, const QString &start)
{
    TActivationKeeper keeper;
    return QFileDialog::getExistingDirectory(DialogParent(), caption, start);
}

std::optional<int> TQtPrompt::Number(const QString &caption, const QString &label, int value,
                                     int minimum, int maximum)
{
    TActivationKeeper keeper;
    QInputDialog dialog(DialogParent());
    dialog.setWindowTitle(caption);
    dialog.setLabelText(label);
    dialog.setInputMode(QInputDialog::IntInput);
    dialog.setIntRange(minimum, maximum);
    dialog.setIntValue(value);
    // The number shown is selected, so typing replaces it.
    QTimer::singleShot(0, &dialog, [&dialog] {
        if (auto *box = dialog.findChild<QSpinBox *>())
            box->selectAll();
    });
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.intValue();
}

}  // namespace kiv
