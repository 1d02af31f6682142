// The main window's finding and replacing, find in files, replace in project, the editor's
// context menu and the user tools.

#include "kivmain_find.h"

#include "EditorSyntax.h"
#include "hexviewer.h"
#include "kivfif.h"
#include "kivfif_replace.h"
#include "kivhelp.h"
#include "kivmain.h"
#include "kivmain_compile.h"
#include "kivmain_output.h"
#include "uOutputForm_model.h"
#include "kivnotebook.h"
#include "kivproject.h"
#include "kivprompt.h"
#include "kivreplace.h"
#include "preferences_model.h"
#include "uFindResultsList.h"
#include "uOutputForm.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QEventLoop>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QProgressDialog>
#include <QTabBar>

#include <Qsci/qsciscintillabase.h>

namespace kiv {

namespace {

const QString kNotFound = QStringLiteral("String not found.");

// A match in an editor as byte positions of the document, or start -1.
struct TEditorMatch {
    long start = -1;
    long end = -1;
};

// The first match of `text` searching from `from` toward `to` (backward when `to` < `from`).
TEditorMatch SearchEditor(TOvcTextFileEditorSyntax *editor, const QString &text, bool matchCase,
                          long from, long to)
{
    const QByteArray utf8 = text.toUtf8();
    if (utf8.isEmpty())
        return {};
    editor->SendScintilla(QsciScintillaBase::SCI_SETSEARCHFLAGS,
                          static_cast<unsigned long>(matchCase ? QsciScintillaBase::SCFIND_MATCHCASE : 0));
    editor->SendScintilla(QsciScintillaBase::SCI_SETTARGETSTART, static_cast<unsigned long>(from));
    editor->SendScintilla(QsciScintillaBase::SCI_SETTARGETEND, static_cast<unsigned long>(to));
    const long at = editor->SendScintilla(QsciScintillaBase::SCI_SEARCHINTARGET,
                                          static_cast<unsigned long>(utf8.size()), utf8.constData());
    if (at < 0)
        return {};
    return {at, editor->SendScintilla(QsciScintillaBase::SCI_GETTARGETEND)};
}

long DocumentLength(TOvcTextFileEditorSyntax *editor)
{
    return editor->SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
}

long SelectionStart(TOvcTextFileEditorSyntax *editor)
{
    return editor->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART);
}

long SelectionEnd(TOvcTextFileEditorSyntax *editor)
{
    return editor->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONEND);
}

// Selects a match, gives the editor the focus and shows the match's line 10 lines below the top.
void ShowEditorMatch(TOvcTextFileEditorSyntax *editor, const TEditorMatch &match)
{
    const TextPos start = editor->TextPosAt(int(match.start));
    editor->SetSelection(start, editor->TextPosAt(int(match.end)));
    editor->setFirstVisibleLine(qMax(1, start.line - kGoToLinesAbove) - 1);
    editor->setFocus();
}

// The next match in an editor from the selection: forward from its end, backward from its start,
// or forward from the start of the text.
TEditorMatch NextEditorMatch(TOvcTextFileEditorSyntax *editor, const QString &text, bool matchCase,
                             int options)
{
    if (options & soBackward)
        return SearchEditor(editor, text, matchCase, SelectionStart(editor), 0);
    const long from = (options & soGlobal) ? 0 : SelectionEnd(editor);
    return SearchEditor(editor, text, matchCase, from, DocumentLength(editor));
}

// The bytes a hex viewer's file search looks for: Latin-1 when it holds the text, else UTF-8.
QByteArray ViewerBytes(const QString &text)
{
    const bool latin1 = std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 0xFF; });
    return latin1 ? text.toLatin1() : text.toUtf8();
}

// Searches a hex viewer's file for `text` in chunks, forward from `from` or backward before it;
// the offset of the match or -1.
qint64 SearchViewerFile(const QString &path, const QString &text, bool matchCase, qint64 from,
                        bool backward)
{
    QByteArray needle = ViewerBytes(text);
    if (needle.isEmpty())
        return -1;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const qint64 size = file.size();
    if (!matchCase)
        needle = needle.toLower();
    constexpr qint64 kChunk = 1 << 20;
    const qint64 overlap = needle.size() - 1;
    const auto read = [&](qint64 at, qint64 length) {
        file.seek(at);
        QByteArray data = file.read(length);
        return matchCase ? data : data.toLower();
    };
    if (!backward) {
        for (qint64 at = qMax<qint64>(0, from); at < size; at += kChunk) {
            const QByteArray data = read(at, kChunk + overlap);
            const qsizetype hit = data.indexOf(needle);
            if (hit >= 0)
                return at + hit;
        }
        return -1;
    }
    // The match must start before `from`.
    for (qint64 end = qMin(from + overlap, size); end > 0; end -= kChunk) {
        const qint64 at = qMax<qint64>(0, end - kChunk - overlap);
        const QByteArray data = read(at, end - at);
        qsizetype hit = data.lastIndexOf(needle);
        while (hit >= 0 && at + hit >= from)
            hit = hit > 0 ? data.lastIndexOf(needle, hit - 1) : -1;
        if (hit >= 0)
            return at + hit;
    }
    return -1;
}

}  // namespace

// --- TFindParts -------------------------------------------------------------------------------

TFindParts::TFindParts(Tfkivmain &main)
    : QObject(&main)
    , m_main(main)
{
    setObjectName(QStringLiteral("FindParts"));
}

bool TFindParts::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ContextMenu)
        return false;
    auto *widget = qobject_cast<QWidget *>(watched);
    TKivNotebook *notebook = m_main.Notebook();
    if (!widget || !notebook || (widget != notebook && !notebook->isAncestorOf(widget)))
        return false;
    // The tab bar's own menu (if any) and the page views' menus give way to PopupMenu1.
    const QPoint at = static_cast<QContextMenuEvent *>(event)->globalPos();
    if (QMenu *menu = m_main.EditorPopupMenu(at))
        menu->popup(at);
    return true;
}

// --- set-up and commands ----------------------------------------------------------------------

void Tfkivmain::CreateFind()
{
    m_find = new TFindParts(*this);
    m_find->Dialog = new Tfkivfif(&m_environment.FindHistory, this);
    TFindDialogHost &host = m_find->Dialog->Host;
    host.FindInPage = [this](const QString &text, bool matchCase, int direction) {
        return FindInPage(text, matchCase, direction);
    };
    host.FindAllInPage = [this](const QString &text, bool matchCase, int direction) {
        FindAllInPage(text, matchCase, direction);
    };
    host.FindInFiles = [this](const TFindOptions &options, const TFindRequest &request) {
        FindInFiles(options, request);
    };

    m_find->Replace = new TReplaceDialog(this);
    TReplaceDialog *replace = m_find->Replace;
    connect(replace, &TReplaceDialog::FindNextClicked, this, [this, replace] {
        // Forward, without further options.
        if (!FindInPage(replace->FindText(), false, 1))
            Prompt().Message(mtInformation, QStringLiteral("Find"), kNotFound, mbOK);
    });
    const auto replaceIn = [this, replace](bool all) {
        m_find->State.text = replace->FindText();
        m_find->State.mode = QLatin1Char('R');
        m_find->State.replaceOptions = ReplaceOptionSet(replace->Down(), replace->MatchCase(), all);
        if (!ReplaceInPage(m_find->State.text, replace->ReplaceText(), m_find->State.replaceOptions))
            Prompt().Message(mtInformation, QStringLiteral("Replace"), kNotFound, mbOK);
    };
    connect(replace, &TReplaceDialog::ReplaceClicked, this, [replaceIn] { replaceIn(false); });
    connect(replace, &TReplaceDialog::ReplaceAllClicked, this, [replaceIn] { replaceIn(true); });
    connect(replace, &TReplaceDialog::ReplaceInProjectClicked, this, [this, replace] {
        TFindOptions options;
        options.text = replace->FindText();
        options.matchCase = replace->MatchCase();
        ReplaceInProject(options, replace->ReplaceText());
    });

    qApp->installEventFilter(m_find);
}

void Tfkivmain::ActionEditFindExecute()
{
    if (m_notebook->PageCount() == 0)
        return;
    QString word;
    if (TOvcTextFileEditorSyntax *editor = m_notebook->Editor(m_notebook->CurrentPage())) {
        const TextPos caret = editor->CaretPos();
        word = WordAtCaret(editor->Line(caret.line), caret.column);
    }
    m_find->Dialog->ShowFind(word);
}

void Tfkivmain::ActionEditReplaceExecute()
{
    TOvcTextFileEditorSyntax *editor = m_notebook->Editor(m_notebook->CurrentPage());
    if (!editor || editor->ReadOnly())
        return;
    const TextPos caret = editor->CaretPos();
    const QString word = WordAtCaret(editor->Line(caret.line), caret.column);
    if (!word.isEmpty())
        m_find->Replace->SetFindText(word);
    m_find->Replace->SetDown(true);
    m_find->Replace->show();
    m_find->Replace->raise();
    m_find->Replace->activateWindow();
}

void Tfkivmain::ActionProjectFindTextExecute()
{
    SaveAll();
    m_find->Dialog->ShowFindInFiles();
}

// --- find and replace in the current page --------------------------------------------------------

bool Tfkivmain::FindInPage(const QString &text, bool matchCase, int direction)
{
    m_find->State.text = text;
    m_find->State.mode = QLatin1Char('F');
    m_find->State.findOptions = FindOptionSet(matchCase, direction);
    const bool found = FindNext();
    // "From the start" is for this search only: "Next" goes on from the match.
    m_find->State.findOptions &= ~soGlobal;
    return found;
}

bool Tfkivmain::FindNext()
{
    const TSearchState &state = m_find->State;
    const int current = m_notebook->CurrentPage();
    if (state.text.isEmpty() || current < 0)
        return false;
    TOvcTextFileEditorSyntax *editor = m_notebook->Editor(current);
    if (state.mode == QLatin1Char('R')) {
        if (!editor || editor->ReadOnly())
            return false;
        // Again with the dialog's current texts, never from the start.
        return ReplaceInPage(m_find->Replace->FindText(), m_find->Replace->ReplaceText(),
                             state.replaceOptions & ~soGlobal);
    }
    const bool matchCase = state.findOptions & soMatchCase;
    if (editor) {
        const TEditorMatch match = NextEditorMatch(editor, state.text, matchCase, state.findOptions);
        if (match.start < 0)
            return false;
        ShowEditorMatch(editor, match);
        return true;
    }
    if (THexViewer *viewer = m_notebook->Viewer(current)) {
        const bool backward = state.findOptions & soBackward;
        const qint64 from = (state.findOptions & soGlobal) ? 0
                            : backward                     ? viewer->SelectionFirst()
                                                           : viewer->SelectionEnd();
        const qint64 at = SearchViewerFile(viewer->FileName(), state.text, matchCase, from, backward);
        if (at < 0)
            return false;
        viewer->SelectBytes(at, at + ViewerBytes(state.text).size());
        viewer->setFocus();
        return true;
    }
    return false;
}

bool Tfkivmain::ReplaceInPage(const QString &text, const QString &replacement, int options)
{
    TOvcTextFileEditorSyntax *editor = m_notebook->Editor(m_notebook->CurrentPage());
    if (!editor || editor->ReadOnly() || text.isEmpty())
        return false;
    const bool matchCase = options & soMatchCase;
    const bool backward = options & soBackward;
    const QByteArray with = replacement.toUtf8();
    const auto replaceTarget = [&](const TEditorMatch &match) {
        editor->SendScintilla(QsciScintillaBase::SCI_SETTARGETSTART, static_cast<unsigned long>(match.start));
        editor->SendScintilla(QsciScintillaBase::SCI_SETTARGETEND, static_cast<unsigned long>(match.end));
        editor->SendScintilla(QsciScintillaBase::SCI_REPLACETARGET, static_cast<unsigned long>(with.size()),
                              with.constData());
    };

    if (options & soReplaceAll) {
        // From the selection to the end (or the start) of the text, as one undoable change.
        long from = backward ? SelectionEnd(editor) : SelectionStart(editor);
        int count = 0;
        editor->SendScintilla(QsciScintillaBase::SCI_BEGINUNDOACTION);
        for (;;) {
            const TEditorMatch match = backward ? SearchEditor(editor, text, matchCase, from, 0)
                                                : SearchEditor(editor, text, matchCase, from, DocumentLength(editor));
            if (match.start < 0)
                break;
            replaceTarget(match);
            ++count;
            from = backward ? match.start : match.start + with.size();
        }
        editor->SendScintilla(QsciScintillaBase::SCI_ENDUNDOACTION);
        if (count > 0) {
            editor->SetCaretPos(editor->TextPosAt(int(from)));
            editor->setFocus();
        }
        return count > 0;
    }

    // Replace one: the selection is replaced when it is a match; then the next match is shown.
    bool replaced = false;
    const long selStart = SelectionStart(editor);
    const long selEnd = SelectionEnd(editor);
    if (selEnd > selStart) {
        const TEditorMatch selected = SearchEditor(editor, text, matchCase, selStart, selEnd);
        if (selected.start == selStart && selected.end == selEnd) {
            replaceTarget(selected);
            const long after = backward ? selStart : selStart + with.size();
            editor->SendScintilla(QsciScintillaBase::SCI_SETSEL, static_cast<unsigned long>(after), after);
            replaced = true;
        }
    }
    const TEditorMatch next = NextEditorMatch(editor, text, matchCase, options & soBackward);
    if (next.start >= 0)
        ShowEditorMatch(editor, next);
    return replaced || next.start >= 0;
}

void Tfkivmain::FindAllInPage(const QString &text, bool matchCase, int direction)
{
    TFindResultsList *list = m_outputForm->FindResultsList();
    list->Clear();
    const int current = m_notebook->CurrentPage();
    TOvcTextFileEditorSyntax *editor = m_notebook->Editor(current);
    qint64 found = 0;
    if (editor) {
        TFindAllPage page;
        page.caption = m_notebook->tabText(current);
        page.lineCount = editor->LineCount();
        page.caretLine = editor->CaretPos().line;
        page.lineText = [editor](int line) { return editor->Line(line); };
        const QString path = m_notebook->PagePath(current);
        for (const QString &line : FindAllInLines(page, text, matchCase, direction)) {
            list->AddResult(line, path);
            ++found;
        }
    }
    ShowFindResults(found);
}

void Tfkivmain::ShowFindResults(qint64 found)
{
    TFindResultsList *list = m_outputForm->FindResultsList();
    if (found == 0) {
        ShowWarning(kNotFound);
        return;
    }
    list->setCurrentRow(0);
    m_outputForm->ShowTab(TOutputForm::otFind);
    list->setFocus();
}

// --- find in files and replace in project ---------------------------------------------------

void Tfkivmain::FindInFiles(const TFindOptions &options, const TFindRequest &given)
{
    TFindRequest request = given;
    if (!m_project.IsEmpty()) {
        const QString symFile = m_project.Base() + QStringLiteral(".sym");
        request.projectCompiled = QFileInfo(symFile).isFile();
        if (request.projectCompiled)
            request.projectFiles = ProjectFileList(symFile);
    }
    request.includeDirs = m_environment.IncludeDirs;
    QStringList errors;
    const std::optional<TFindScope> scope = FindScopeOf(request, &errors);
    if (!scope) {
        ShowError(ProjectNotCompiledMessage());
        return;
    }
    for (const QString &error : std::as_const(errors))
        ShowError(error);

    TFindResultsList *list = m_outputForm->FindResultsList();
    list->Clear();
    m_find->LastSummary = TFindSummary();
    if (options.text.isEmpty()) {
        ShowWarning(kNotFound);
        return;
    }
    // What the search reads is what the pages show.
    for (int i = 0; i < m_notebook->PageCount(); ++i) {
        TOvcTextFileEditorSyntax *editor = m_notebook->Editor(i);
        if (editor && editor->Modified() && InFindScope(*scope, m_notebook->PagePath(i)))
            SavePage(i);
    }

    TFindInFilesJob job(options, *scope);
    // Over the find dialog when it is open, else over the main window.
    QWidget *owner = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : this;
    QProgressDialog progress(owner);
    progress.setObjectName(QStringLiteral("FindProgress"));
    progress.setWindowTitle(QStringLiteral("Find in files"));
    progress.setLabelText(QStringLiteral("Searching..."));
    progress.setCancelButtonText(QStringLiteral("Cancel"));
    progress.setRange(0, 0);
    progress.setMinimumDuration(300);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setWindowModality(Qt::WindowModal);
    connect(&progress, &QProgressDialog::canceled, &job, &TFindInFilesJob::Cancel);
    connect(&job, &TFindInFilesJob::Found, this, [list](const QList<TFindResult> &batch) {
        for (const TFindResult &result : batch)
            list->AddResult(result.text, result.path);
    });
    connect(&job, &TFindInFilesJob::Progress, &progress,
            [&progress](qint64 files, qint64 lines, const QString &file) {
                progress.setLabelText(QStringLiteral("%1 lines found in %2 files\n%3")
                                          .arg(lines)
                                          .arg(files)
                                          .arg(file));
            });
    QEventLoop loop;
    connect(&job, &TFindInFilesJob::Finished, &loop, [this, &loop](const TFindSummary &summary) {
        m_find->LastSummary = summary;
        loop.quit();
    });
    job.Start();
    loop.exec();
    progress.close();

    const TFindSummary &summary = m_find->LastSummary;
    list->AddResult(FindSummaryText(summary), QString());
    if (summary.cancelled && summary.linesFound == 0)
        return;
    ShowFindResults(summary.linesFound);
}

void Tfkivmain::ReplaceInProject(const TFindOptions &options, const QString &replacement)
{
    if (options.text.isEmpty())
        return;
    const QString symFile = m_project.IsEmpty() ? QString() : m_project.Base() + QStringLiteral(".sym");
    if (symFile.isEmpty() || !QFileInfo(symFile).isFile()) {
        ShowError(ProjectNotCompiledMessage());
        return;
    }
    const QStringList files = ProjectFileList(symFile);
    if (!AskYesNo(QStringLiteral("Replace every \"%1\" with \"%2\" in the %3 files of the project?")
                      .arg(options.text, replacement)
                      .arg(files.size()),
                  QStringLiteral("Replace in Project")))
        return;

    QApplication::setOverrideCursor(Qt::WaitCursor);
    qsizetype replacements = 0;
    int changedFiles = 0;
    QStringList failures;
    for (const QString &file : files) {
        const int page = FindPage(file);
        TOvcTextFileEditorSyntax *editor = page >= 0 ? m_notebook->Editor(page) : nullptr;
        if (editor) {
            // An open page changes in its editor, where the change can be undone and is saved
            // with the page.
            if (editor->ReadOnly()) {
                failures << file + QStringLiteral(": the page is read-only");
                continue;
            }
            QByteArray text = editor->DocumentBytes();
            const qsizetype count = ReplaceInBytes(text, TTextEncoding::teUtf8, options, replacement);
            if (count > 0) {
                const TextPos caret = editor->CaretPos();
                editor->SetDocumentText(QString::fromUtf8(text));
                editor->SetCaretPos(caret);
                replacements += count;
                ++changedFiles;
            }
            continue;
        }
        const TReplaceOutcome outcome = ReplaceInFile(file, options, replacement);
        if (outcome.failed) {
            failures << outcome.error;
        } else if (outcome.replacements > 0) {
            replacements += outcome.replacements;
            ++changedFiles;
            if (page >= 0)
                ReloadPage(page);
        }
    }
    QApplication::restoreOverrideCursor();

    QString report = QStringLiteral("%1 replacements in %2 of %3 files.")
                         .arg(replacements)
                         .arg(changedFiles)
                         .arg(files.size());
    if (!failures.isEmpty()) {
        report += QStringLiteral("\n\nThese files were not changed:\n") + failures.join(QLatin1Char('\n'));
        Prompt().Message(mtWarning, QStringLiteral("Replace in Project"), report, mbOK);
    } else {
        Prompt().Message(mtInformation, QStringLiteral("Replace in Project"), report, mbOK);
    }
}

// --- the editor's context menu ------------------------------------------------------------------

QMenu *Tfkivmain::EditorPopupMenu(const QPoint &globalPos)
{
    const int current = m_notebook->CurrentPage();
    if (m_notebook->PageCount() == 0 || current < 0)
        return nullptr;
    TOvcTextFileEditorSyntax *editor = m_notebook->Editor(current);
    QString word;
    QString include;
    if (editor) {
        // Without a selection the caret first goes where the click was.
        if (!editor->HasSelection()) {
            const QPoint at = editor->viewport()->mapFromGlobal(globalPos);
            if (editor->viewport()->rect().contains(at)) {
                const long pos = editor->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMPOINT,
                                                       static_cast<unsigned long>(at.x()), static_cast<long>(at.y()));
                editor->SetCaretPos(editor->TextPosAt(int(pos)));
            }
        }
        const TextPos caret = editor->CaretPos();
        const QString line = editor->Line(caret.line);
        word = WordAtCaret(line, caret.column);
        include = IncludeNameOfLine(line);
    }

    if (m_find->LastPopup)
        m_find->LastPopup->deleteLater();
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("PopupMenu1"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    m_find->LastPopup = menu;
    const auto entry = [menu](const char *name, const QString &caption) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    const auto commandEntry = [this, &entry](const char *name, const QString &caption, const char *command) {
        QAction *target = Command(QString::fromLatin1(command));
        QAction *action = entry(name, caption);
        action->setEnabled(target && target->isEnabled());
        connect(action, &QAction::triggered, this, [target] {
            if (target && target->isEnabled())
                target->trigger();
        });
        return action;
    };

    if (!word.isEmpty()) {
        connect(entry("PopupFindNext", FindNextCaption(word)), &QAction::triggered, this, [this, word] {
            TOvcTextFileEditorSyntax *e = m_notebook->Editor(m_notebook->CurrentPage());
            if (!e)
                return;
            // One character on, then forward without options.
            const long from = qMin(e->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS) + 1, DocumentLength(e));
            const TEditorMatch match = SearchEditor(e, word, false, from, DocumentLength(e));
            if (match.start < 0)
                Prompt().Message(mtInformation, QStringLiteral("Find"), kNotFound, mbOK);
            else
                ShowEditorMatch(e, match);
        });
        connect(entry("PopupFindInProject", FindInProjectCaption(word)), &QAction::triggered, this,
                [this, word] { m_find->Dialog->FindWordInProject(word); });
        connect(entry("PopupHelpOn", HelpOnCaption(word)), &QAction::triggered, this,
                [this, word] { m_output->Help.ShowHelpTopic(word); });
    }
    if (!include.isEmpty()) {
        // A header beside the current file comes first, then the include-folder search.
        const QString beside = QFileInfo(m_notebook->CurrentPath()).absoluteDir().filePath(include);
        connect(entry("PopupOpenInclude", OpenIncludeCaption(include)), &QAction::triggered, this,
                [this, include, beside] {
                    OpenByExtension(QFileInfo(beside).isFile() ? beside : include, true);
                });
    }
    menu->addSeparator();
    commandEntry("PopupMatchBrace", QStringLiteral("Find next } or )"), "ActionEditMatchBrace");
    commandEntry("PopupDataSheet", QStringLiteral("Data Sheet"), "ActionViewDataSheet");
    connect(entry("PopupMakeProject", QStringLiteral("Make file project")), &QAction::triggered, this, [this] {
        const QString path = m_notebook->CurrentPath();
        if (!path.isEmpty())
            SetProject(path);
    });
    menu->addSeparator();
    // Cut, Copy and Paste as the idle update leaves them.
    IdleUpdate();
    for (const char *name : {"ActionEditCut", "ActionEditCopy", "ActionEditPaste"})
        menu->addAction(Command(QString::fromLatin1(name)));
    menu->addSeparator();
    connect(entry("PopupClose", QStringLiteral("Close")), &QAction::triggered, this, [this] { CloseFile(); });
    commandEntry("PopupCompile", QStringLiteral("Compile"), "ActionCompile");
    return menu;
}

// --- user tools -------------------------------------------------------------------------------

void Tfkivmain::ActionToolExecute(int n)
{
    if (!LaunchUserTool)
        return;
    // The tool works on the files on disk: they get the pages' text first.
    for (int i = 0; i < m_notebook->PageCount(); ++i) {
        TOvcTextFileEditorSyntax *editor = m_notebook->Editor(i);
        if (editor && editor->Modified() && !SavePage(i))
            return;
    }
    QString base;
    QString objectFile;
    if (m_notebook->PageCount() > 0 && !m_project.IsEmpty()) {
        base = m_project.Base();
        objectFile = base + QLatin1Char('.') + TCompileOptions::get_object_ext();
    }
    showMinimized();
    LaunchUserTool(n, objectFile, base);
    // Pages whose files the tool changed show the new text.
    for (int i = 0; i < m_notebook->PageCount(); ++i) {
        if (FileAge(m_notebook->PagePath(i)) != m_notebook->Stamp(i)) {
            ReloadPage(i);
            m_notebook->RefreshStamp(i);
        }
    }
    showMaximized();
}

}  // namespace kiv
