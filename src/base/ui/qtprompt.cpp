#include "qtprompt.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace kiv {

namespace {

QWidget *DialogParent()
{
    return QApplication::activeWindow();
}

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
    QMessageBox box(icon, caption.isEmpty() ? StandardCaption(kind) : caption, text, set,
                    DialogParent());
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
    return RunFileDialog(question, QFileDialog::AcceptOpen);
}

QString TQtPrompt::SaveFileName(TFileQuestion &question)
{
    return RunFileDialog(question, QFileDialog::AcceptSave);
}

QString TQtPrompt::FolderName(const QString &caption, const QString &start)
{
    return QFileDialog::getExistingDirectory(DialogParent(), caption, start);
}

std::optional<int> TQtPrompt::Number(const QString &caption, const QString &label, int value,
                                     int minimum, int maximum)
{
    bool ok = false;
    const int n = QInputDialog::getInt(DialogParent(), caption, label, value, minimum, maximum, 1, &ok);
    if (!ok)
        return std::nullopt;
    return n;
}

}  // namespace kiv
