#pragma once

#include "kivnotebook_model.h"

#include <QTabWidget>

namespace kiv {

class THexViewer;
class TOvcTextFileEditorSyntax;

/// One page of the container: it holds exactly one view (an editor or a hex file viewer) and
/// the time stamp of the view's file.
class TKivPage : public QWidget {
    Q_OBJECT

public:
    TKivPage(QWidget *view, QWidget *parent = nullptr);
    QWidget *View() const { return m_view; }
    TOvcTextFileEditorSyntax *Editor() const;
    THexViewer *Viewer() const;
    /// The file's modification time stamp when it was last opened, saved or reloaded.
    qint64 Stamp = -1;
    /// The page's caption as its opener gave it; the tab may show more (TabCaptions).
    QString Caption;

private:
    QWidget *m_view;
};

/// The page container of the main window's client area: one tabbed page per open file, kept
/// in name order when "Order Open Files" is on. Files dropped on it from the desktop are
/// reported through FilesDropped.
class TKivNotebook : public QTabWidget {
    Q_OBJECT

public:
    explicit TKivNotebook(QWidget *parent = nullptr);

    int PageCount() const { return count(); }
    int CurrentPage() const { return currentIndex(); }
    void SetCurrentPage(int index) { setCurrentIndex(index); }

    /// Inserts a page captioned `caption` (the file name of `path` when empty) at the end, or at
    /// its sorted place when ordering is on; creates its view hidden and disabled, so the caller
    /// configures it and then shows it with ShowView; records the file's time stamp and makes
    /// the page current.
    TOvcTextFileEditorSyntax *AddEditorPage(const QString &path, const QString &caption = {});
    THexViewer *AddViewerPage(const QString &path, const QString &caption = {});
    /// Shows and enables the view of a configured page.
    void ShowView(QWidget *view);

    /// The page's kind bits (0 for an index with no page), path (empty when out of range),
    /// and the current page's path.
    int PageKind(int index) const;
    QString PagePath(int index) const;
    QString CurrentPath() const { return PagePath(currentIndex()); }
    /// Page paths in page order.
    QStringList PagePaths() const;

    TKivPage *Page(int index) const;
    QWidget *View(int index) const;
    TOvcTextFileEditorSyntax *Editor(int index) const;
    THexViewer *Viewer(int index) const;
    int IndexOfView(const QWidget *view) const;

    /// Changes a caption; with ordering on the page moves to its sorted place.
    void RenamePage(int index, const QString &caption);
    /// The page's caption (the tab adds a "*" while an editor is modified, and folder names
    /// when another page has the same caption).
    QString Caption(int index) const;
    /// Shows the captions again (after an editor's modified state or a file name changed).
    void UpdateTabCaptions();
    /// Re-reads the file's time stamp; a missing file leaves the old stamp.
    void RefreshStamp(int index);
    qint64 Stamp(int index) const;
    /// Sets the page's stamp (-1: its file is known to be missing).
    void SetStamp(int index, qint64 stamp);

    bool Ordered() const { return m_ordered; }
    /// Sets the ordering flag; turning it on re-sorts all pages at once, keeping the current view.
    void SetOrdered(bool on);

    void DeletePage(int index);

    /// Suspends and resumes painting and the page-change notification while pages are added
    /// in a row; nested calls count.
    void BeginUpdate();
    void EndUpdate();

Q_SIGNALS:
    /// The current page changed (index -1 when there is none).
    void PageChanged(int index);
    /// Files dropped on the container or on one of its views, in drop order.
    void FilesDropped(const QStringList &paths);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    int InsertPage(TKivPage *page, const QString &caption);
    TKivPage *NewPage(QWidget *view, const QString &path);
    QStringList Captions() const;

    bool m_ordered = false;
    int m_updateDepth = 0;
    bool m_changedWhileSuspended = false;
    bool m_moving = false;
};

}  // namespace kiv
