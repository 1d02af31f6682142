#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace kiv {

/// The bits of a page's kind: 1 editor, 2 file viewer, 4 read-only, 8 hexadecimal viewer,
/// 0x10 compare result. 0 is a position with no page.
enum TPageKindBits : int {
    pkEditor = 0x01,
    pkViewer = 0x02,
    pkReadOnly = 0x04,
    pkHex = 0x08,
    pkCompare = 0x10,
};

/// The kind of an editor page from its editor type (the values of tEditorType): compare results
/// (2) and advanced viewers (4) are read-only.
int EditorPageKind(int editorType);
/// The kind of a file viewer page: always read-only.
int ViewerPageKind(bool hex);

/// How OpenByExtension opens a path.
enum class TOpener {
    opSource,     /// "C", "H": the source opener
    opList,       /// "LST": read-only, caption + " (C/ASM)"
    opOutput,     /// "HEX", "SYM": read-only, caption the file name
    opTree,       /// "TRE": read-only, caption + " (Tree)", Terminal font
    opCompare,    /// "$$$": compare result
    opCod,        /// "COD": COD view
    opCoff,       /// "COF", "O": COFF view
    opProject,    /// "PJT": open the project
    opContent,    /// anything else: the content test
};

/// The text after the last "." of the file name (not of a folder), in upper case; empty when
/// the name has no ".".
QString UpperExtension(const QString &path);
TOpener OpenerForPath(const QString &path);

/// How the content test opens a file whose extension is not in the table.
enum class TContent { ctCompare, ctBinary, ctText };
/// Binary when one of the first 1024 bytes is 0, or has the high bit set outside a well-formed
/// UTF-8 sequence (UTF-8 text is text). Empty data is text.
bool IsBinaryData(const QByteArray &head);
/// Compare result when the extension is "$$$" and the file starts with "Comparing" (at least
/// 10 bytes read); else binary or text by IsBinaryData. An unreadable file is text.
TContent ContentOf(const QString &path);

/// The Open dialog's filters, index 1 .. 7: "Source Code (*.c *.h)" ... "All files (*.*)".
QStringList OpenDialogFilters();
constexpr int kAllFilesFilter = 7;
/// The filter an opened path belongs to: "*." + upper-case extension searched as a substring
/// of each filter's upper-case patterns in order; 0 when none holds it (and for a name
/// without extension, which goes to the content test).
int FilterIndexForPath(const QString &path);

/// Whether a page showing `pagePath` shows `path`: equal paths, compared in lower case. Two
/// paths that differ only in letter case are still different when both exist as different
/// files (a file system that tells cases apart).
bool SameFile(const QString &pagePath, const QString &path);

/// Where a page with `caption` goes when pages are ordered: before the first caption that is
/// greater or equal (ordinal, case-sensitive), else at the end.
int SortedInsertIndex(const QStringList &captions, const QString &caption);

/// The page to make current before page `closing` of `count` is deleted: the previous page
/// when it is the current one (page 1 when it is page 0 and more exist, -1 when it is the
/// only one); otherwise the current page stays.
int PageToSelectOnClose(int count, int current, int closing);

/// The captions the tabs show. Pages with the same caption whose files lie in different folders
/// get as many trailing folder names in front as it takes to tell them apart
/// ("copy/blink.asm" beside "examples/blink.asm"); a modified editor's caption starts with
/// "*". `paths` and `modified` run parallel to `captions`.
QStringList TabCaptions(const QStringList &captions, const QStringList &paths,
                        const QList<bool> &modified);

/// `name` + ".c" when the file name has no extension.
QString WithDefaultExtension(const QString &name);

/// The source opener's search: `path` when it exists; else the working folder + "/" + path;
/// else each folder of the ";"-separated include list + path, in order. The first that exists,
/// or `path` unchanged when none does.
QString FindSourceFile(const QString &path, const QString &workingDir, const QString &includeDirs);

/// The question of the disk change check.
QString DiskChangeQuestion(const QString &path, bool modifiedEditor);
/// What the disk change check says when a page's file was deleted: an editor keeps its text and
/// can save it again; a viewer keeps showing what it read.
QString DeletedFileMessage(const QString &path, bool editor);

}  // namespace kiv
