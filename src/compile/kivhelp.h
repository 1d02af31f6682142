#pragma once

// Help lookup: the help file of the selected compiler edition, the pages of compiler messages,
// the topic for the word at the caret and the fixed topics of the Help menu.
//
// A help file is a folder of HTML pages, CompilerDir + base + ".help/"; a page address
// "::/X.htm#a" of the help file is the page X.htm of that folder at anchor a. Without that
// folder the help file is the old-style CompilerDir + base + ".hlp", which has no viewer here.

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace kiv {

/// A page of a help folder: its path inside the folder ("/" separated) and an anchor (empty for
/// the top of the page).
struct THelpPage {
    QString page;
    QString anchor;

    friend bool operator==(const THelpPage &, const THelpPage &) = default;
};

/// Shows pages of a help folder. The window layer implements it with the help window; without
/// one, HTML help pages are not shown.
class IHelpViewer {
public:
    virtual ~IHelpViewer() = default;

    /// Shows `page` of the help folder `folder` (which ends with "/"); `topic` is the name the
    /// page was asked for by, for a page the folder does not have.
    virtual void ShowPage(const QString &folder, const THelpPage &page, const QString &topic) = 0;
    /// Shows the folder's default page with its contents.
    virtual void ShowContents(const QString &folder) = 0;
    /// Shows the folder's index.
    virtual void ShowIndex(const QString &folder) = 0;
    /// Closes every help window (at exit).
    virtual void CloseAll() = 0;
};

/// One entry of a help folder's contents (level 0 is the top) or index.
struct THelpEntry {
    int level = 0;
    QString title;
    THelpPage target;
};

/// The contents and the index of a help folder, read from its files "contents.txt" and
/// "index.txt". Each non-empty line is "Title | page.htm#anchor"; in the contents every two
/// leading spaces go one level deeper. Lines without " | " are skipped.
class THelpSet {
public:
    /// Reads both files of `folder`; a missing or unreadable file leaves its list empty.
    void Load(const QString &folder);

    const QList<THelpEntry> &Contents() const { return m_contents; }
    /// Index entries sorted by keyword, without regard to case.
    const QList<THelpEntry> &Index() const { return m_index; }
    /// The default page: the first contents entry's page; "index.htm" without contents.
    THelpPage DefaultPage() const;

    /// The entries of one file's text (see the class comment).
    static QList<THelpEntry> ParseEntries(const QString &text);

private:
    QList<THelpEntry> m_contents;
    QList<THelpEntry> m_index;
};

/// "page.htm#anchor" as a THelpPage.
THelpPage SplitHelpAddress(const QString &address);

/// The full path of `page` inside `folder`; empty when the page would lie outside the folder.
QString HelpPagePath(const QString &folder, const QString &page);

/// The page and anchor of a compiler message's help: with n = context mod 1000, warnings
/// (n >= 200) are on "Warnings/Warnings.htm#W" + n, errors on "Error_Messages/Errors.htm#E" + n.
/// Callers pass the message number + 1000.
THelpPage MessageHelpPage(int context);

/// The number of the compiler message an error list line names, for "Help on this message": the
/// line begins with "*", "-" or ">"; the number is the first run of digits after the first
/// "Error" (or "Warning", which this system's compilers write on warning lines), whichever
/// comes first. Nothing for other lines.
std::optional<int> MessageNumberOfLine(const QString &line);

/// The word at the caret on `line`, the caret standing before the 1-based `caretColumn`: letters,
/// digits and "_" on both sides of the caret, with one "#" directly before them. A word starting
/// with "#USE" (any case) takes the blanks after it and the next word as well.
QString WordAtCaret(const QString &line, int caretColumn);

/// The help topic of a word at the caret: a leading "#" becomes "_", and a word starting with
/// "_USE" (any case) is rebuilt as "_USE_" + the rest without the blanks after those four
/// characters ("#use delay" gives "_USE_delay").
QString KeywordTopic(const QString &word);

/// The base name of the help file for a compiler edition: "maz" when its display name contains
/// "cenix", otherwise "vync".
QString HelpBaseForEdition(const QString &displayName);

/// What "Keyword at cursor" looks at.
struct TKeywordContext {
    bool editorPage = false;          /// the current page is an editor
    bool compileErrorShown = false;   /// status bar panel 2 shows a compile error
    qint16 lastMessage = -1;          /// number of the last compiler message, -1 for none
    QString caretLine;                /// the text of the caret's line
    int caretColumn = 1;              /// the caret's 1-based column
};

/// The help state and the help operations.
class THelpLookup {
public:
    /// `compilerDir` is where the help files are (CompilerDir, ending with "/").
    explicit THelpLookup(QString compilerDir);

    /// The viewer that shows HTML help (not owned); nullptr: none.
    void SetViewer(IHelpViewer *viewer) { m_viewer = viewer; }
    IHelpViewer *Viewer() const { return m_viewer; }

    /// Makes CompilerDir + base + ".help/" the help file when that folder exists (HTML mode),
    /// otherwise CompilerDir + base + ".hlp" (old-style mode).
    void SelectHelpFile(const QString &baseName);
    /// SelectHelpFile for the compiler edition with `displayName` (HelpBaseForEdition).
    void SelectHelpFileForEdition(const QString &displayName);
    /// The help file: a folder ending with "/" in HTML mode, a ".hlp" file otherwise.
    QString HelpFile() const { return m_helpFile; }
    bool HtmlHelp() const { return m_html; }

    /// Shows the page topic + ".htm".
    void ShowHelpTopic(const QString &topic);
    /// Shows the page topic + ".htm" of help file `baseName`, whatever file is selected (the
    /// compile status window's help uses "vync").
    void ShowHelpTopicOf(const QString &baseName, const QString &topic);
    /// Shows the help of compiler message context c (message number + 1000).
    void ShowMessageHelp(int context);
    /// Shows the help file's default page with its contents.
    void ShowHelpContents();
    /// Shows the help file's index.
    void ShowHelpIndex();
    /// "Keyword at cursor" (F1): the index without an editor page, the last message's help
    /// while a compile error is shown (the errors page when it has no number), otherwise the
    /// topic of the word at the caret: its own page, else the page its index entry names, else
    /// the topic as asked for (the index when there is no word).
    void KeywordHelp(const TKeywordContext &context);
    /// "Last Error": the help of the last compiler message, when there is one.
    void LastError(qint16 lastMessage);
    /// At exit: the viewer closes its windows and is let go.
    void Close();

private:
    struct TFile {
        QString path;
        bool html = false;
    };
    TFile HelpFileFor(const QString &baseName) const;
    /// The page of the help file's index entry titled `word` or `topic` (without regard to
    /// case); nothing in old-style mode or without such an entry.
    std::optional<THelpPage> IndexPageFor(const QString &word, const QString &topic) const;
    void Show(const TFile &file, const THelpPage &page, const QString &topic);
    void NoViewer(const TFile &file);

    QString m_compilerDir;
    QString m_helpFile;
    bool m_html = false;
    IHelpViewer *m_viewer = nullptr;
};

}  // namespace kiv
