#pragma once

// The main window's part of compiling: the compiler selection box, "Compile" (F9), the
// "File Formats" dialog, the compile status window and the error list lines.

#include "compilerlib.h"
#include "compilertable.h"
#include "kivcomp_model.h"
#include "kivcompile.h"
#include "preferences_model.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>

class QAction;
class QComboBox;
class QToolBar;

namespace kiv {

class Tfkivcomp;
class Tfkivmain;
class TErrorListModel;
class TOvcTextFileEditorSyntax;
class Tpreferences;

/// Everything the main window compiles with; it answers the compile controller for the main
/// window (pages, project, status bar, recent projects).
class TCompileParts : public QObject, public ICompileHost {
    Q_OBJECT

public:
    explicit TCompileParts(Tfkivmain &main);
    ~TCompileParts() override;

    TInstalledCompilers Compilers;
    TCompileOptions Options;
    TCompilerLibrary Library;
    TKivCompModel StatusModel;
    TErrorListModel *Errors = nullptr;
    Tfkivcomp *StatusWindow = nullptr;
    Tpreferences *Preferences = nullptr;
    QToolBar *CompilerSelectBar = nullptr;
    QComboBox *CompilerType = nullptr;   /// `compilertype`
    QAction *CompileAction = nullptr;    /// `ActionCompile`
    QAction *FileFormatsAction = nullptr;
    std::unique_ptr<TCompileController> Controller;

    /// The main window closes once the running compile has ended.
    bool CloseAfterCompile = false;

    /// Selects installed entry `index` in the list and the box.
    void SelectCompiler(int index);
    /// Status bar panel 2 shows a compile error (until the caret next moves).
    bool ErrorShown() const { return m_errorShown; }
    void ClearErrorStatus();

    // ICompileHost
    bool CurrentProject(QString *base, QString *extension) const override;
    QString IncludeDirs() const override;
    QString GlobalDefines() const override;
    bool DebugSessionActive() const override;
    void SetCompileEnabled(bool enabled) override;
    void SaveAll() override;
    void ReleasePages(const QStringList &paths) override;
    void ClosePages(const QString &path) override;
    void ReopenReleasedPages() override;
    void CompilerSelected(int index) override;
    void ShowOutputWindow() override;
    bool OpenErrorFile(const QString &path) override;
    void SelectErrorPosition(int line, int startColumn, int endColumn) override;
    void ShowCompileErrorStatus(const QString &message) override;
    void AddRecentProject(const QString &path) override;
    void CompileFinished() override;
    void UpdateCommandGroups(int mode) override;

private:
    Tfkivmain &m_main;
    QList<QPointer<QWidget>> m_released;
    QPointer<TOvcTextFileEditorSyntax> m_errorEditor;
    QMetaObject::Connection m_caretConnection;
    bool m_errorShown = false;
};

}  // namespace kiv
