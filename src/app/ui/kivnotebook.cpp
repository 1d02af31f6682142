#include "kivnotebook.h"

#include "EditorSyntax.h"
#include "hexviewer.h"
#include "textfile.h"

#include <QDragEnterEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTabBar>
#include <QUrl>
#include <QVBoxLayout>

namespace kiv {

namespace {

QStringList DroppedFiles(const QMimeData *mime)
{
    QStringList paths;
    if (mime && mime->hasUrls()) {
        for (const QUrl &url : mime->urls()) {
            if (url.isLocalFile())
                paths << url.toLocalFile();
        }
    }
    return paths;
}

}  // namespace

TKivPage::TKivPage(QWidget *view, QWidget *parent)
    : QWidget(parent)
    , m_view(view)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
}

TOvcTextFileEditorSyntax *TKivPage::Editor() const
{
    return qobject_cast<TOvcTextFileEditorSyntax *>(m_view);
}

THexViewer *TKivPage::Viewer() const
{
    return qobject_cast<THexViewer *>(m_view);
}

TKivNotebook::TKivNotebook(QWidget *parent)
    : QTabWidget(parent)
{
    setObjectName(QStringLiteral("KivNotebook"));
    setDocumentMode(true);
    setUsesScrollButtons(true);
    setAcceptDrops(true);
    connect(this, &QTabWidget::currentChanged, this, [this](int index) {
        if (m_moving)
            return;
        if (m_updateDepth > 0) {
            m_changedWhileSuspended = true;
            return;
        }
        Q_EMIT PageChanged(index);
    });
}

TKivPage *TKivNotebook::NewPage(QWidget *view, const QString &path)
{
    view->setVisible(false);
    view->setEnabled(false);
    auto *page = new TKivPage(view);
    page->Stamp = FileAge(path);
    return page;
}

QStringList TKivNotebook::Captions() const
{
    QStringList captions;
    for (int i = 0; i < count(); ++i)
        captions << Caption(i);
    return captions;
}

QString TKivNotebook::Caption(int index) const
{
    TKivPage *page = Page(index);
    return page ? page->Caption : QString();
}

void TKivNotebook::UpdateTabCaptions()
{
    QList<bool> modified;
    for (int i = 0; i < count(); ++i) {
        TOvcTextFileEditorSyntax *editor = Editor(i);
        modified << (editor && editor->Modified());
    }
    const QStringList shown = TabCaptions(Captions(), PagePaths(), modified);
    for (int i = 0; i < count(); ++i) {
        if (tabText(i) != shown[i])
            setTabText(i, shown[i]);
        setTabToolTip(i, PagePath(i));
    }
}

int TKivNotebook::InsertPage(TKivPage *page, const QString &caption)
{
    const int at = m_ordered ? SortedInsertIndex(Captions(), caption) : count();
    page->Caption = caption;
    const int index = insertTab(at, page, caption);
    UpdateTabCaptions();
    setCurrentIndex(index);
    return index;
}

TOvcTextFileEditorSyntax *TKivNotebook::AddEditorPage(const QString &path, const QString &caption)
{
    auto *editor = new TOvcTextFileEditorSyntax;
    editor->SetFileName(path);
    connect(editor, &TOvcTextFileEditorSyntax::FilesDropped, this, &TKivNotebook::FilesDropped);
    // The tab shows whether the editor holds unsaved changes.
    connect(editor, &QsciScintilla::modificationChanged, this, [this] { UpdateTabCaptions(); });
    InsertPage(NewPage(editor, path), caption.isEmpty() ? QFileInfo(path).fileName() : caption);
    return editor;
}

THexViewer *TKivNotebook::AddViewerPage(const QString &path, const QString &caption)
{
    auto *viewer = new THexViewer;
    InsertPage(NewPage(viewer, path), caption.isEmpty() ? QFileInfo(path).fileName() : caption);
    return viewer;
}

void TKivNotebook::ShowView(QWidget *view)
{
    view->setEnabled(true);
    view->setVisible(true);
}

TKivPage *TKivNotebook::Page(int index) const
{
    return qobject_cast<TKivPage *>(widget(index));
}

QWidget *TKivNotebook::View(int index) const
{
    TKivPage *page = Page(index);
    return page ? page->View() : nullptr;
}

TOvcTextFileEditorSyntax *TKivNotebook::Editor(int index) const
{
    TKivPage *page = Page(index);
    return page ? page->Editor() : nullptr;
}

THexViewer *TKivNotebook::Viewer(int index) const
{
    TKivPage *page = Page(index);
    return page ? page->Viewer() : nullptr;
}

int TKivNotebook::IndexOfView(const QWidget *view) const
{
    for (int i = 0; i < count(); ++i) {
        if (View(i) == view)
            return i;
    }
    return -1;
}

int TKivNotebook::PageKind(int index) const
{
    if (TOvcTextFileEditorSyntax *editor = Editor(index))
        return EditorPageKind(editor->EditorType());
    if (Viewer(index))
        return ViewerPageKind(true);
    return 0;
}

QString TKivNotebook::PagePath(int index) const
{
    if (TOvcTextFileEditorSyntax *editor = Editor(index))
        return editor->FileName();
    if (THexViewer *viewer = Viewer(index))
        return viewer->FileName();
    return {};
}

QStringList TKivNotebook::PagePaths() const
{
    QStringList paths;
    for (int i = 0; i < count(); ++i)
        paths << PagePath(i);
    return paths;
}

void TKivNotebook::RenamePage(int index, const QString &caption)
{
    TKivPage *page = Page(index);
    if (!page)
        return;
    page->Caption = caption;
    if (!m_ordered) {
        UpdateTabCaptions();
        return;
    }
    const bool wasCurrent = index == currentIndex();
    QWidget *current = currentWidget();
    m_moving = true;
    removeTab(index);
    const int at = SortedInsertIndex(Captions(), caption);
    insertTab(at, page, caption);
    setCurrentWidget(wasCurrent ? page : current);
    m_moving = false;
    UpdateTabCaptions();
}

void TKivNotebook::RefreshStamp(int index)
{
    TKivPage *page = Page(index);
    if (!page)
        return;
    const qint64 age = FileAge(PagePath(index));
    if (age != -1)
        page->Stamp = age;
}

qint64 TKivNotebook::Stamp(int index) const
{
    TKivPage *page = Page(index);
    return page ? page->Stamp : -1;
}

void TKivNotebook::SetStamp(int index, qint64 stamp)
{
    if (TKivPage *page = Page(index))
        page->Stamp = stamp;
}

void TKivNotebook::SetOrdered(bool on)
{
    m_ordered = on;
    if (!on || count() < 2)
        return;
    // Every page comes out and goes back through the sorted insertion, in its former order.
    QWidget *current = currentWidget();
    QList<QPair<QWidget *, QString>> pages;
    for (int i = 0; i < count(); ++i)
        pages.append({widget(i), Caption(i)});
    m_moving = true;
    while (count() > 0)
        removeTab(0);
    for (const auto &[page, caption] : pages)
        insertTab(SortedInsertIndex(Captions(), caption), page, caption);
    setCurrentWidget(current);
    m_moving = false;
    UpdateTabCaptions();
}

void TKivNotebook::DeletePage(int index)
{
    TKivPage *page = Page(index);
    if (!page)
        return;
    removeTab(index);
    page->deleteLater();
    page->hide();
    UpdateTabCaptions();
}

void TKivNotebook::BeginUpdate()
{
    if (m_updateDepth++ == 0) {
        m_changedWhileSuspended = false;
        setUpdatesEnabled(false);
    }
}

void TKivNotebook::EndUpdate()
{
    if (m_updateDepth == 0 || --m_updateDepth > 0)
        return;
    setUpdatesEnabled(true);
    if (m_changedWhileSuspended) {
        m_changedWhileSuspended = false;
        Q_EMIT PageChanged(currentIndex());
    }
}

void TKivNotebook::dragEnterEvent(QDragEnterEvent *event)
{
    if (!DroppedFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TKivNotebook::dragMoveEvent(QDragMoveEvent *event)
{
    if (!DroppedFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TKivNotebook::dropEvent(QDropEvent *event)
{
    const QStringList paths = DroppedFiles(event->mimeData());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    Q_EMIT FilesDropped(paths);
}

}  // namespace kiv
