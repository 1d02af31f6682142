// The main window's documents: opening files into pages, saving, closing, the disk change check
// and the page ordering.

#include "kivmain.h"

#include "CODDUMP.h"
#include "EditorSyntax.h"
#include "FixedFont.h"
#include "fileioerror.h"
#include "hexviewer.h"
#include "keycommands.h"
#include "kivnotebook.h"
#include "kivprompt.h"
#include "pc_dirs.h"
#include "textfile.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QMenu>
#include <QProcess>

namespace kiv {

namespace {

QString FileNameOf(const QString &path)
{
    return QFileInfo(path).fileName();
}

QString AbsolutePath(const QString &path)
{
    return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
}

QString FolderOf(const QString &path)
{
    QString folder = QFileInfo(path).absolutePath();
    if (!folder.endsWith('/'))
        folder += '/';
    return folder;
}

// A font of the given family in plain style, or the system's fixed-pitch font when that family
// is not installed.
QFont PlainFont(const QString &family, int pointSize)
{
    QFont font = QFontDatabase::families().contains(family, Qt::CaseInsensitive)
                     ? QFont(family)
                     : FixedPitchFont();
    if (pointSize > 0)
        font.setPointSize(pointSize);
    font.setBold(false);
    font.setItalic(false);
    font.setUnderline(false);
    return font;
}

// Why a file the user named cannot be opened at all, or an empty text.
QString OpenProblem(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("The file ") + path + QStringLiteral(" does not exist.");
    if (info.isDir())
        return path + QStringLiteral(" is a folder, not a file.");
    return {};
}

// The colours of the "Default" preset, used while no editor properties are applied.
const QColor kDefaultText(0, 0, 0);
const QColor kDefaultBackground(255, 255, 255);
const QColor kDefaultSelectionText(255, 255, 255);
const QColor kDefaultSelectionBackground(0, 0, 128);

// How long the COFF tool may run before it is given up.
constexpr int kCoffToolTimeoutMs = 120000;

}  // namespace

void Tfkivmain::CreateDocuments()
{
    m_notebook = new TKivNotebook(this);
    connect(m_notebook, &TKivNotebook::PageChanged, this, [this] { DocumentsChanged(2); });
    connect(m_notebook, &TKivNotebook::FilesDropped, this, [this](const QStringList &paths) {
        for (const QString &path : paths)
            OpenByExtension(path, false);
    });
    ReopenFile = [this](const QString &path) {
        const QString problem = OpenProblem(path);
        if (!problem.isEmpty()) {
            ShowError(problem);
            return;
        }
        OpenByFilter(path, FilterIndexForPath(path));
    };
    CodDump = [](const QString &cod, const QString &lst, const QString &txt, QString *error) {
        try {
            DumpCodFile(cod, txt, lst);
            return true;
        } catch (const TFileIoError &failure) {
            if (error)
                *error = failure.Message();
            return false;
        }
    };
    // The disk change check runs each time the application becomes active again.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive && isVisible())
            CheckDiskChanges();
    });
}

// --- status and notifications ---------------------------------------------------------------

void Tfkivmain::DocumentsChanged(int mode)
{
    UpdateCommandGroups(mode);
}

void Tfkivmain::ShowCaret(QWidget *view, const TextPos &pos)
{
    if (m_notebook->View(m_notebook->CurrentPage()) == view)
        SetStatusText(0, QString::number(pos.line) + ':' + QString::number(pos.column));
}

void Tfkivmain::ApplyEditorProperties(TOvcTextFileEditorSyntax *editor)
{
    if (ApplyEditorPropertiesHook) {
        ApplyEditorPropertiesHook(editor);
        return;
    }
    // Without the properties object the defaults hold: syntax colouring on.
    if (editor->EditorType() == NormalEditor)
        editor->SetEditorType(SyntaxColoringEditor);
}

void Tfkivmain::ApplyViewerProperties(THexViewer *viewer)
{
    if (ApplyViewerPropertiesHook) {
        ApplyViewerPropertiesHook(viewer);
        return;
    }
    viewer->SetViewerColors(kDefaultText, kDefaultBackground, kDefaultSelectionText,
                            kDefaultSelectionBackground, viewer->palette().color(QPalette::Button));
}

// --- opening ----------------------------------------------------------------------------------

int Tfkivmain::FindPage(const QString &path) const
{
    const QString wanted = AbsolutePath(path);
    int found = -1;
    for (int i = 0; i < m_notebook->PageCount(); ++i) {
        if (SameFile(m_notebook->PagePath(i), wanted))
            found = i;
    }
    return found;
}

int Tfkivmain::doopenfile(const QString &path, QChar mode)
{
    // Pages keep absolute paths: the working folder may change while they are open.
    const QString file = AbsolutePath(path);
    const QFileInfo info(file);
    if (file.isEmpty() || !info.isFile())
        return -1;
    if (!info.permissions().testFlag(QFileDevice::WriteOwner))
        ShowWarning(QStringLiteral("File is marked READ ONLY"));
    const int existing = FindPage(file);
    if (existing >= 0) {
        m_notebook->SetCurrentPage(existing);
        return existing;
    }

    m_notebook->BeginUpdate();
    TOvcTextFileEditorSyntax *editor = m_notebook->AddEditorPage(file);
    const int index = m_notebook->IndexOfView(editor);
    editor->SetTabInsertion(true);
    editor->SetBackupOnSave(true);
    QString error;
    if (!editor->LoadFromFile(file, &error)) {
        m_notebook->DeletePage(index);
        m_notebook->EndUpdate();
        ShowError(error);
        return -1;
    }
    AddRecentFile(file);
    SetDialogFolder(FolderOf(file));
    connect(editor, &TOvcTextFileEditorSyntax::CaretMoved, this,
            [this, editor](const TextPos &pos) { ShowCaret(editor, pos); });
    // The WordStar block commands Ctrl+K R and Ctrl+K W.
    connect(editor, &TOvcTextFileEditorSyntax::UserCommand, this, [this](int command) {
        if (command == kUserCopyFromFile)
            CopyFromFile();
        else if (command == kUserPasteToFile)
            PasteToFile();
    });
    if (EditorOpened)
        EditorOpened(editor);
    // The first document opened into an empty container becomes the project's main file.
    if (m_notebook->PageCount() == 1)
        SetProject(file);
    if (mode == 'T')
        editor->SetEditorType(TextEditor);
    else if (mode == 'D')
        editor->SetEditorType(DiffFileViewer);
    ApplyEditorProperties(editor);
    m_notebook->ShowView(editor);
    DocumentsChanged(0);
    editor->setFocus();
    m_notebook->EndUpdate();
    return m_notebook->IndexOfView(editor);
}

int Tfkivmain::doopenreadonly(const QString &path, const QString &caption, QChar mode)
{
    const QString file = AbsolutePath(path);
    if (file.isEmpty() || !QFileInfo(file).isFile())
        return -1;
    const int existing = FindPage(file);
    if (existing >= 0) {
        m_notebook->SetCurrentPage(existing);
        return existing;
    }

    m_notebook->BeginUpdate();
    QWidget *view = nullptr;
    QString error;
    bool opened = false;
    if (mode == 'H') {
        THexViewer *viewer = m_notebook->AddViewerPage(file, caption);
        view = viewer;
        opened = viewer->Open(file, &error);
        if (opened) {
            ApplyViewerProperties(viewer);
            connect(viewer, &THexViewer::CaretMoved, this,
                    [this, viewer](const TextPos &pos) { ShowCaret(viewer, pos); });
        }
    } else {
        TOvcTextFileEditorSyntax *editor = m_notebook->AddEditorPage(file, caption);
        view = editor;
        opened = editor->LoadFromFile(file, &error);
        if (opened) {
            editor->SetEditorType(AdvancedViewer);
            ApplyEditorProperties(editor);
            connect(editor, &TOvcTextFileEditorSyntax::CaretMoved, this,
                    [this, editor](const TextPos &pos) { ShowCaret(editor, pos); });
        }
    }
    if (!opened) {
        m_notebook->DeletePage(m_notebook->IndexOfView(view));
        m_notebook->EndUpdate();
        ShowError(error);
        return -1;
    }
    m_notebook->ShowView(view);
    if (auto *viewer = qobject_cast<THexViewer *>(view))
        viewer->ScrollToEnd();
    DocumentsChanged(0);
    view->setFocus();
    m_notebook->EndUpdate();
    return m_notebook->IndexOfView(view);
}

int Tfkivmain::SourceOpener(const QString &path, bool includeSearch)
{
    const QString file = includeSearch
                             ? FindSourceFile(path, QDir::currentPath(), m_environment.IncludeDirs)
                             : path;
    const int index = doopenfile(file, 'R');
    if (index >= 0 && SourceViewOpened)
        SourceViewOpened();
    return index;
}

int Tfkivmain::ContentOpener(const QString &path)
{
    switch (ContentOf(path)) {
    case TContent::ctCompare: return doopenfile(path, 'D');
    case TContent::ctBinary: return doopenreadonly(path, FileNameOf(path), 'H');
    case TContent::ctText: break;
    }
    return doopenfile(path, 'T');
}

int Tfkivmain::OpenProjectFile(const QString &path)
{
    if (OpenProjectHook)
        return OpenProjectHook(path);
    if (ReopenProject) {
        ReopenProject(path);
        return m_notebook->CurrentPage();
    }
    return -1;
}

int Tfkivmain::OpenByExtension(const QString &path, bool includeSearch)
{
    if (path.isEmpty())
        return -1;
    const QString name = FileNameOf(path);
    switch (OpenerForPath(path)) {
    case TOpener::opSource:
        return SourceOpener(path, includeSearch);
    case TOpener::opList: {
        const int index = doopenreadonly(path, name + " (C/ASM)", 'A');
        if (index >= 0 && SourceViewOpened)
            SourceViewOpened();
        return index;
    }
    case TOpener::opOutput:
        return doopenreadonly(path, name, 'A');
    case TOpener::opTree: {
        const int index = doopenreadonly(path, name + " (Tree)", 'A');
        if (TOvcTextFileEditorSyntax *editor = m_notebook->Editor(index))
            editor->setFont(PlainFont(QStringLiteral("Terminal"), editor->font().pointSize()));
        return index;
    }
    case TOpener::opCompare:
        return doopenfile(path, 'D');
    case TOpener::opCod:
        return CodView(path);
    case TOpener::opCoff:
        return CoffView(path);
    case TOpener::opProject:
        return OpenProjectFile(path);
    case TOpener::opContent:
        break;
    }
    return ContentOpener(path);
}

int Tfkivmain::OpenByFilter(const QString &path, int filterIndex)
{
    switch (filterIndex) {
    case 0: return ContentOpener(path);
    case 1: return SourceOpener(path, false);
    case 2: return doopenreadonly(path, FileNameOf(path), 'A');
    case 3: return doopenfile(path, 'T');
    case 4: return CodView(path);
    case 5: return CoffView(path);
    case 6: return OpenProjectFile(path);
    default: return -1;
    }
}

int Tfkivmain::OpenStatistics(const QString &path)
{
    return doopenreadonly(path, FileNameOf(path) + " (Stats)", 'A');
}

int Tfkivmain::CodView(const QString &path)
{
    if (!CodDump) {
        ShowError(QStringLiteral("The COD dump is not available: ") + path);
        return -1;
    }
    const QString txt = path + ".txt";
    const QFileInfo info(path);
    const QString lst = info.dir().filePath(info.completeBaseName() + ".lst");
    QString error;
    if (!CodDump(path, lst, txt, &error)) {
        if (!error.isEmpty())
            ShowError(error);
        return -1;
    }
    const int open = FindPage(txt);
    if (open >= 0)
        ReloadPage(open);
    return doopenreadonly(txt, FileNameOf(path), 'A');
}

int Tfkivmain::CoffView(const QString &path)
{
    const QString txt = path + ".txt";
    const QString tool = InstallDir() + "vyncoff";
    {
        QFile out(txt);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            ShowError("Cannnot create the file " + txt);
            return -1;
        }
    }
    QProcess process;
    process.setProgram(tool);
    process.setArguments({path});
    process.setStandardOutputFile(txt, QIODevice::Truncate);
    process.setStandardInputFile(QProcess::nullDevice());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    process.start();
    if (!process.waitForStarted()) {
        QApplication::restoreOverrideCursor();
        ShowError("Cannot start the coff viewer tool: " + tool);
        return -1;
    }
    if (!process.waitForFinished(kCoffToolTimeoutMs)) {
        process.kill();
        process.waitForFinished();
    }
    QApplication::restoreOverrideCursor();
    // A view of an earlier dump shows the new one.
    const int open = FindPage(txt);
    if (open >= 0)
        ReloadPage(open);
    return doopenreadonly(txt, FileNameOf(txt), 'A');
}

QString Tfkivmain::AskOpenFileName(int filterIndex, int *chosenFilter)
{
    TFileQuestion question;
    question.caption = QStringLiteral("Open");
    question.folder = m_dialogFolder;
    question.filters = OpenDialogFilters();
    question.filterIndex = filterIndex;
    const QString path = Prompt().OpenFileName(question);
    if (chosenFilter)
        *chosenFilter = question.filterIndex;
    return path;
}

void Tfkivmain::ActionFileOpenExecute()
{
    int filter = 1;
    const QString path = AskOpenFileName(1, &filter);
    if (path.isEmpty())
        return;
    SetDialogFolder(FolderOf(path));
    if (filter == kAllFilesFilter)
        filter = FilterIndexForPath(path);
    OpenByFilter(path, filter);
}

// --- saving -----------------------------------------------------------------------------------

bool Tfkivmain::SavePage(int index)
{
    TOvcTextFileEditorSyntax *editor = m_notebook->Editor(index);
    if (!editor)
        return false;
    QString error;
    if (!editor->SaveToFile(&error)) {
        ShowError(error);
        return false;
    }
    m_notebook->RefreshStamp(index);
    return true;
}

void Tfkivmain::ActionFileSaveExecute()
{
    SavePage(m_notebook->CurrentPage());
}

bool Tfkivmain::SaveAs(int index)
{
    TOvcTextFileEditorSyntax *editor = m_notebook->Editor(index);
    if (!editor)
        return false;
    TFileQuestion question;
    question.caption = QStringLiteral("Save As");
    question.folder = m_dialogFolder;
    question.fileName = editor->FileName();
    question.filters = QStringList{QStringLiteral("Source files (*.c *.h)")};
    const QString chosen = Prompt().SaveFileName(question);
    if (chosen.isEmpty())
        return false;
    const QString file = AbsolutePath(WithDefaultExtension(chosen));
    const QString project = ProjectMainFile();
    const bool wasProject = !project.isEmpty()
                            && AbsolutePath(project).toUpper() == editor->FileName().toUpper();
    QString error;
    if (!editor->SaveToFile(file, &error)) {
        ShowError(error);
        return false;
    }
    if (wasProject)
        SetProject(file);
    m_notebook->RenamePage(index, FileNameOf(file));
    m_notebook->RefreshStamp(m_notebook->IndexOfView(editor));
    DocumentsChanged(2);
    return true;
}

void Tfkivmain::SaveAll()
{
    for (int i = 0; i < m_notebook->PageCount(); ++i) {
        TOvcTextFileEditorSyntax *editor = m_notebook->Editor(i);
        if (editor && editor->Modified())
            SavePage(i);
    }
    if (RecordOpenFilesHook)
        RecordOpenFilesHook();
}

void Tfkivmain::NewFile()
{
    TFileQuestion question;
    question.caption = QStringLiteral("New");
    // A new file usually belongs to the project that is open.
    question.folder = m_project.IsEmpty() ? m_dialogFolder : m_project.Folder();
    question.filters = QStringList{QStringLiteral("Source files (*.c *.h)")};
    const QString chosen = Prompt().SaveFileName(question);
    if (chosen.isEmpty())
        return;
    const QString file = AbsolutePath(WithDefaultExtension(chosen));
    QFile created(file);
    if (!created.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        ShowError("Cannot create " + file + ": " + created.errorString());
        return;
    }
    created.close();
    doopenfile(file, 'R');
    SetDialogFolder(FolderOf(file));
}

// --- closing ----------------------------------------------------------------------------------

bool Tfkivmain::doclosefile(int index)
{
    const int count = m_notebook->PageCount();
    if (index < 0 || index >= count)
        return true;
    const int current = m_notebook->CurrentPage();
    if (index == current) {
        const int next = PageToSelectOnClose(count, current, index);
        if (next >= 0)
            m_notebook->SetCurrentPage(next);
    }
    TOvcTextFileEditorSyntax *editor = m_notebook->Editor(index);
    if (editor && editor->Modified()) {
        const TMsgResult answer =
            Prompt().Message(mtConfirmation, {}, "Save changes to " + editor->FileName(), mbYesNo);
        // Escape or the question's close box: nothing is closed and nothing is lost.
        if (answer == mrCancel) {
            m_notebook->SetCurrentPage(current);
            return false;
        }
        // Text that could not be saved is not thrown away: the page stays open.
        if (answer == mrYes && !SavePage(index))
            return false;
    }
    m_notebook->DeletePage(index);
    DocumentsChanged(0);
    return true;
}

void Tfkivmain::CloseFile()
{
    const int current = m_notebook->CurrentPage();
    if (current >= 0)
        doclosefile(current);
}

bool Tfkivmain::CloseAll()
{
    if (RecordOpenFilesHook && m_notebook->PageCount() > 0)
        RecordOpenFilesHook();
    while (m_notebook->PageCount() > 0) {
        if (!doclosefile(0))
            return false;
    }
    return true;
}

// --- the disk change check --------------------------------------------------------------------

bool Tfkivmain::ReloadPage(int index)
{
    QString error;
    bool reloaded = false;
    if (TOvcTextFileEditorSyntax *editor = m_notebook->Editor(index)) {
        const TextPos caret = editor->CaretPos();
        reloaded = editor->LoadFromFile(editor->FileName(), &error);
        if (reloaded)
            editor->SetCaretPos(caret);
    } else if (THexViewer *viewer = m_notebook->Viewer(index)) {
        reloaded = viewer->Reload(&error);
    }
    if (!reloaded && !error.isEmpty())
        ShowError(error);
    return reloaded;
}

void Tfkivmain::CheckDiskChanges()
{
    // The questions themselves deactivate and reactivate the application.
    if (m_checkingDisk)
        return;
    m_checkingDisk = true;
    for (int i = 0; i < m_notebook->PageCount(); ++i) {
        const QString path = m_notebook->PagePath(i);
        const qint64 age = FileAge(path);
        if (age == m_notebook->Stamp(i))
            continue;
        TOvcTextFileEditorSyntax *editor = m_notebook->Editor(i);
        if (age == -1) {
            // A deleted file cannot be reloaded. Said once per deletion: the page remembers
            // the file as missing until it is saved or the file comes back.
            m_notebook->SetStamp(i, -1);
            if (editor) {
                // The text now exists only in the editor; closing it must ask first.
                editor->MarkModified();
                ShowWarning(DeletedFileMessage(path, true));
            } else {
                ShowWarning(DeletedFileMessage(path, false));
            }
            continue;
        }
        if (AskYesNo(DiskChangeQuestion(path, editor && editor->Modified())))
            ReloadPage(i);
        m_notebook->RefreshStamp(i);
    }
    m_checkingDisk = false;
}

// --- IEnvironmentHost: the open documents -----------------------------------------------------

void Tfkivmain::SetOrderFiles(bool on)
{
    m_notebook->SetOrdered(on);
}

QStringList Tfkivmain::PagePaths() const
{
    return m_notebook->PagePaths();
}

QString Tfkivmain::CurrentPagePath() const
{
    return m_notebook->CurrentPath();
}

void Tfkivmain::BeginPageUpdate()
{
    m_notebook->BeginUpdate();
}

void Tfkivmain::EndPageUpdate()
{
    m_notebook->EndUpdate();
}

void Tfkivmain::OpenRecalledFile(const QString &path)
{
    OpenByExtension(path, false);
}

void Tfkivmain::OpenCommandLineFile(const QString &path)
{
    if (path.toUpper().contains(QLatin1String(".PJT"))) {
        OpenProjectFile(path);
        return;
    }
    // The one file the user asked for: an empty window without a word would leave them guessing.
    const QString problem = OpenProblem(AbsolutePath(path));
    if (!problem.isEmpty()) {
        ShowError(problem);
        return;
    }
    OpenByExtension(path, false);
}

void Tfkivmain::SelectPage(const QString &path)
{
    const int index = FindPage(path);
    if (index >= 0)
        m_notebook->SetCurrentPage(index);
}

}  // namespace kiv
