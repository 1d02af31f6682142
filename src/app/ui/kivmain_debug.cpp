#include "kivmain_debug.h"

#include "EditorSyntax.h"
#include "kivdbgsnap.h"
#include "kivmain.h"
#include "kivmain_compile.h"
#include "kivnotebook.h"
#include "pc_dirs.h"
#include "uDbgForm.h"
#include "uDockingLib.h"
#include "uVerificationDisplay.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

namespace kiv {

namespace {

/// The Debug Windows commands and the window each shows.
struct TWindowCommand {
    const char *name;
    TDebugWindowId id;
};

const TWindowCommand kWindowCommands[] = {
    {"ActionDebugBreaks", dwBreaks},         {"ActionDebugStack", dwStack},   {"ActionDebugWatches", dwWatches},
    {"ActionDebugRAM", dwRAM},               {"ActionDebugROM", dwROM},       {"ActionDebugDataEE", dwDataEE},
    {"ActionDebugPeripherals", dwPeripherals}, {"ActionDebugTasks", dwTasks}, {"ActionDebugEval", dwEval},
    {"ActionDebugMonitor", dwMonitor},       {"ActionDebugLog", dwLog},       {"ActionDebugConfigure", dwConfigure},
};

const char *const kSessionCommands[] = {"ActionDbgReset", "ActionDbgRun", "ActionDbgHalt", "ActionDbgStep",
                                        "ActionDbgStepOver", "ActionDbgRunTo", "ActionDbgSnapshot"};

const char *const kWindowsMenuCommands[] = {"ActionDebugShowAll", "ActionDebugHideAll", "ActionDebugResetWindows"};

}  // namespace

TDebugParts::TDebugParts(Tfkivmain &main)
    : QObject(&main)
    , m_main(main)
{
    setObjectName(QStringLiteral("DebugParts"));
}

TDebugParts::~TDebugParts()
{
    if (m_busy)
        QApplication::restoreOverrideCursor();
}

TDbgFormModel *TDebugParts::Session() const
{
    return m_main.DebugForm() ? m_main.DebugForm()->Session() : nullptr;
}

QString TDebugParts::ProjectBase() const
{
    const TCurrentProject &project = m_main.CurrentProject();
    return project.IsEmpty() ? QString() : project.Base();
}

int TDebugParts::DebugFileFormat() const
{
    return m_main.CompileParts()->Options.debugFormat;
}

QString TDebugParts::ActivePagePath() const
{
    return m_main.Notebook()->CurrentPath();
}

int TDebugParts::ActiveCaretLine() const
{
    TKivNotebook *notebook = m_main.Notebook();
    const TOvcTextFileEditorSyntax *editor = notebook->Editor(notebook->CurrentPage());
    return editor ? editor->CaretPos().line : 0;
}

TOvcTextFileEditorSyntax *TDebugParts::EditorOf(const QString &path) const
{
    if (path.isEmpty())
        return nullptr;
    TKivNotebook *notebook = m_main.Notebook();
    for (int i = 0; i < notebook->PageCount(); ++i) {
        if (notebook->PagePath(i).compare(path, Qt::CaseInsensitive) == 0) {
            if (TOvcTextFileEditorSyntax *editor = notebook->Editor(i))
                return editor;
        }
    }
    return nullptr;
}

bool TDebugParts::IsOpen(const QString &path) const
{
    return EditorOf(path) != nullptr;
}

bool TDebugParts::OpenEditor(const QString &path)
{
    if (IsOpen(path))
        return true;
    if (m_main.OpenByExtension(path, false) < 0)
        return false;
    return IsOpen(path);
}

QStringList TDebugParts::OpenEditorPaths() const
{
    QStringList paths;
    TKivNotebook *notebook = m_main.Notebook();
    for (int i = 0; i < notebook->PageCount(); ++i) {
        if (notebook->Editor(i))
            paths << notebook->PagePath(i);
    }
    return paths;
}

void TDebugParts::WatchEditor(TOvcTextFileEditorSyntax *editor)
{
    if (editor->property("kivDebugWatched").toBool())
        return;
    editor->setProperty("kivDebugWatched", true);
    editor->viewport()->setMouseTracking(true);
    editor->viewport()->installEventFilter(this);
}

void TDebugParts::SetDebugMode(const QString &path, bool on)
{
    if (TOvcTextFileEditorSyntax *editor = EditorOf(path)) {
        WatchEditor(editor);
        editor->SetDebug(on);
    }
}

void TDebugParts::LeaveDebugModeAll()
{
    TKivNotebook *notebook = m_main.Notebook();
    for (int i = 0; i < notebook->PageCount(); ++i) {
        if (TOvcTextFileEditorSyntax *editor = notebook->Editor(i)) {
            editor->CodeFlags().SetCurrentLine(0);
            editor->SetDebug(false);
        }
    }
}

void TDebugParts::SetCurrentLine(const QString &path, int line)
{
    if (TOvcTextFileEditorSyntax *editor = EditorOf(path))
        editor->CodeFlags().SetCurrentLine(line);
}

void TDebugParts::SetBreakFlags(const QString &path, const QList<int> &lines)
{
    TOvcTextFileEditorSyntax *editor = EditorOf(path);
    if (!editor)
        return;
    editor->CodeFlags().Clear();
    for (const int line : lines)
        editor->CodeFlags().Add(line);
}

void TDebugParts::ShowLine(const QString &path, int line, bool select, bool focus)
{
    TKivNotebook *notebook = m_main.Notebook();
    TOvcTextFileEditorSyntax *editor = EditorOf(path);
    if (!editor)
        return;
    notebook->SetCurrentPage(notebook->IndexOfView(editor));
    ScrollToLine(path, line);
    if (select)
        editor->SetSelection(TextPos{line, 1}, TextPos{line, editor->LineLength(line) + 1});
    else
        editor->SetCaretPos(TextPos{line, 1});
    if (focus)
        editor->setFocus();
}

void TDebugParts::ScrollToLine(const QString &path, int line)
{
    TOvcTextFileEditorSyntax *editor = EditorOf(path);
    if (!editor || line < 1)
        return;
    // Centred when the line is outside the view.
    const int first = editor->firstVisibleLine();
    const int onScreen = std::max(int(editor->SendScintilla(QsciScintilla::SCI_LINESONSCREEN)), 1);
    if (line - 1 < first || line - 1 >= first + onScreen)
        editor->setFirstVisibleLine(std::max(line - 1 - onScreen / 2, 0));
}

void TDebugParts::ShowStatus(const TDebugStatus &status)
{
    if (TDbgForm *form = m_main.DebugForm())
        form->ShowStatus(status);
}

void TDebugParts::SetCommands(const TDebugCommands &commands)
{
    m_commands = commands;
    ApplySessionCommands();
}

void TDebugParts::ApplySessionCommands()
{
    const TDebugCommands &c = m_commands;
    const auto set = [this](const char *name, bool on) {
        if (QAction *action = m_main.Command(QString::fromLatin1(name)))
            action->setEnabled(on);
    };
    set("ActionDbgRun", c.run);
    set("ActionDbgHalt", c.halt);
    for (const char *name : {"ActionDbgStep", "ActionDbgStepOver", "ActionDbgRunTo", "ActionDbgSnapshot"})
        set(name, c.step);
    set("ActionDbgReset", c.reset);
    // The Halt button takes the Run button's place while the target runs.
    if (QAction *run = m_main.Command(QStringLiteral("ActionDbgRun")))
        run->setVisible(!c.haltShown);
    if (QAction *halt = m_main.Command(QStringLiteral("ActionDbgHalt")))
        halt->setVisible(c.haltShown);
}

void TDebugParts::SetEnableCommands(bool enableDebugger, bool disable)
{
    if (QAction *enable = m_main.Command(QStringLiteral("ActionDbgEnable")))
        enable->setEnabled(enableDebugger);
    if (QAction *off = m_main.Command(QStringLiteral("ActionDbgDisable")))
        off->setEnabled(disable);
}

void TDebugParts::SetDebugWindowsCommands(bool on)
{
    m_windowsCommands = on;
    for (const TWindowCommand &command : kWindowCommands) {
        if (QAction *action = m_main.Command(QString::fromLatin1(command.name)))
            action->setEnabled(on);
    }
    for (const char *name : kWindowsMenuCommands) {
        if (QAction *action = m_main.Command(QString::fromLatin1(name)))
            action->setEnabled(on);
    }
}

void TDebugParts::SetBusyCursor(bool on)
{
    if (on == m_busy)
        return;
    m_busy = on;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

bool TDebugParts::DebugWindowShowing() const
{
    TDbgForm *form = m_main.DebugForm();
    return form && form->Visible() && m_main.DockingLib()->IsDockedFormShowing(form);
}

void TDebugParts::ShowDebugWindow()
{
    TDbgForm *form = m_main.DebugForm();
    form->show();
    m_main.DockingLib()->ShowDockedForm(form);
}

void TDebugParts::CloseDebugWindow()
{
    if (TDbgForm *form = m_main.DebugForm())
        form->CloseQuietly();
}

void TDebugParts::SetWindowVisible(TDebugWindowId id, bool on)
{
    m_main.DebugForm()->SetWindowVisible(id, on);
}

bool TDebugParts::WindowVisible(TDebugWindowId id) const
{
    return m_main.DebugForm()->WindowVisible(id);
}

bool TDebugParts::AskWarning(const QString &text, const QString &caption, bool &showWarnings)
{
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::NoButton, &m_main);
    QPushButton *goOn = box.addButton(QStringLiteral("Continue"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("Stop"), QMessageBox::RejectRole);
    auto *show = new QCheckBox(QStringLiteral("Show Warnings"), &box);
    show->setChecked(showWarnings);
    box.setCheckBox(show);
    box.exec();
    showWarnings = show->isChecked();
    return box.clickedButton() == goOn;
}

void TDebugParts::ShowVerificationResults(const QString &text)
{
    TVerificationDisplay display(&m_main);
    display.ShowResults(text);
}

void TDebugParts::ShowSnapshotDialog()
{
    if (TDbgFormModel *session = Session()) {
        Tfkivdbgsnap dialog(session->Snapshot(), &m_main);
        dialog.ShowSnapshotDialog();
    }
}

bool TDebugParts::eventFilter(QObject *watched, QEvent *event)
{
    if (m_mainClosing)
        return false;
    auto *viewport = qobject_cast<QWidget *>(watched);
    auto *editor = viewport ? qobject_cast<TOvcTextFileEditorSyntax *>(viewport->parentWidget()) : nullptr;
    TDbgForm *form = m_main.DebugForm();
    if (!editor || !form)
        return false;
    if (event->type() == QEvent::MouseMove) {
        form->EditorMouseMove(editor, static_cast<QMouseEvent *>(event)->position().toPoint());
    } else if (event->type() == QEvent::MouseButtonDblClick) {
        // A double click in the left margin sets or clears a breakpoint on its line.
        const QPoint pos = static_cast<QMouseEvent *>(event)->position().toPoint();
        int margins = 0;
        for (int m = 0; m < editor->margins(); ++m)
            margins += editor->marginWidth(m);
        TDbgFormModel *session = form->Session();
        if (pos.x() < margins && session && session->IsActive()) {
            // The nearest position on the row: the margin is no text, so the "close" lookup
            // finds nothing there.
            const long position = editor->SendScintilla(QsciScintilla::SCI_POSITIONFROMPOINT, ulong(margins + 1), long(pos.y()));
            const int line = int(editor->SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION, ulong(position)));
            if (position >= 0 && line >= 0)
                session->ToggleBreakAtLine(editor->FileName(), line + 1);
            return true;
        }
    }
    return false;
}

// --- the main window ---------------------------------------------------------------------------

void Tfkivmain::CreateDebugger()
{
    m_debug = new TDebugParts(*this);
    QStringList libraries;
    ListDebuggerLibraries(libraries);
    m_debugForm->CreateSession(*m_debug, SettingsFilePath(), WatchDir() + QStringLiteral("vynwatch.so"), libraries,
                               UtilsDir() + QStringLiteral("devices.dat"));
    TDbgFormModel *session = m_debugForm->Session();
    session->SetSfrFile(CompilerDir() + QStringLiteral("sfr.txt"));
    session->SetFirmwareDir(CompilerDir());
    session->SetIcdDir(IcdDir());

    StartDebugSession = [session] { session->Enable(); };
    DebugSessionActive = [session] { return session->IsActive(); };
    StopDebugSessionThenClose = [this, session] {
        // The window closes once the library is unloaded, after the close request returned.
        session->Stop(true, [this] { QTimer::singleShot(0, this, &Tfkivmain::close); });
    };
    const auto compileFinished = CompileFinishedHook;
    CompileFinishedHook = [compileFinished, session] {
        if (compileFinished)
            compileFinished();
        session->CompileFinished();
    };
    const auto viewOpened = SourceViewOpened;
    SourceViewOpened = [viewOpened, session] {
        if (viewOpened)
            viewOpened();
        session->EditorFileOpened();
    };
    // Page and project changes must not leave Enable Debugger on or Disable off during a session.
    const auto groupsHook = UpdateCommandGroupsHook;
    UpdateCommandGroupsHook = [this, groupsHook, session](int mode) {
        if (groupsHook)
            groupsHook(mode);
        if (session->IsActive())
            m_debug->SetEnableCommands(false, true);
    };
    m_debugForm->OnHidden = [this] {
        SetCommandEnabled("ActionDbgEnable", true);
        SetCommandEnabled("ActionDbgDisable", false);
    };

    const auto wire = [this](const char *name, auto function) {
        QAction *action = Command(QString::fromLatin1(name));
        if (!action)
            return;
        action->setProperty("available", true);
        connect(action, &QAction::triggered, this, function);
    };
    wire("ActionDbgDisable", [session] { session->Disable(); });
    wire("ActionDbgReset", [session] { session->Reset(); });
    wire("ActionDbgRun", [session] { session->Run(); });
    wire("ActionDbgHalt", [session] { session->Halt(); });
    wire("ActionDbgStep", [session] { session->Step(); });
    wire("ActionDbgStepOver", [session] { session->StepOver(); });
    wire("ActionDbgRunTo", [session] { session->RunToCursor(); });
    wire("ActionDbgSnapshot", [this] { m_debug->ShowSnapshotDialog(); });
    wire("ActionDebugShowAll", [this] {
        m_debug->ShowDebugWindow();
        m_debugForm->ShowAllWindows();
    });
    wire("ActionDebugHideAll", [this] { m_debugForm->HideAllWindows(); });
    wire("ActionDebugResetWindows", [this] {
        m_debug->ShowDebugWindow();
        m_debugForm->ResetWindows();
    });
    for (const TWindowCommand &command : kWindowCommands) {
        const TDebugWindowId id = command.id;
        wire(command.name, [this, id] { m_debugForm->ShowWindow(id); });
    }
    // The commands follow the session from its start.
    session->SetState(dsDisabled);
    m_debug->SetDebugWindowsCommands(false);
    for (const char *name : kSessionCommands) {
        if (QAction *action = Command(QString::fromLatin1(name)))
            action->setEnabled(false);
    }
}

}  // namespace kiv
