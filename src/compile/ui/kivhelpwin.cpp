#include "kivhelpwin.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kiv {

namespace {

constexpr int kTargetRole = Qt::UserRole;

QString AddressOf(const THelpPage &page)
{
    return page.anchor.isEmpty() ? page.page : page.page + '#' + page.anchor;
}

}  // namespace

Tfkivhelpwin::Tfkivhelpwin(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("kivhelpwin"));
    setWindowTitle(QStringLiteral("Help"));
    BuildControls();
    resize(860, 600);
}

void Tfkivhelpwin::closeEvent(QCloseEvent *event)
{
    // The keyboard goes back to the window the help was opened from: without a window manager
    // nobody else gives it back, and that window's shortcuts would stay dead until clicked.
    const bool active = isActiveWindow();
    QWidget::closeEvent(event);
    QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
    if (active && owner && owner->isVisible())
        owner->activateWindow();
}

void Tfkivhelpwin::keyPressEvent(QKeyEvent *event)
{
    // Escape closes the help, as it does a dialog; the controls inside pass it on to here.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

Tfkivhelpwin::~Tfkivhelpwin() = default;

void Tfkivhelpwin::BuildControls()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("HelpToolBar"));
    QAction *back = bar->addAction(QStringLiteral("Back"));
    back->setObjectName(QStringLiteral("HelpBack"));
    QAction *forward = bar->addAction(QStringLiteral("Forward"));
    forward->setObjectName(QStringLiteral("HelpForward"));
    QAction *home = bar->addAction(QStringLiteral("Contents"));
    home->setObjectName(QStringLiteral("HelpHome"));
    layout->addWidget(bar);

    auto *splitter = new QSplitter(Qt::Horizontal, this);
    layout->addWidget(splitter, 1);

    m_tabs = new QTabWidget(splitter);
    m_tabs->setObjectName(QStringLiteral("HelpTabs"));
    m_contents = new QTreeWidget;
    m_contents->setObjectName(QStringLiteral("ContentsTree"));
    m_contents->setHeaderHidden(true);
    m_tabs->addTab(m_contents, QStringLiteral("Contents"));

    auto *indexPage = new QWidget;
    auto *indexLayout = new QVBoxLayout(indexPage);
    indexLayout->setContentsMargins(4, 4, 4, 4);
    m_indexKey = new QLineEdit(indexPage);
    m_indexKey->setObjectName(QStringLiteral("IndexKey"));
    m_indexKey->setPlaceholderText(QStringLiteral("Type the keyword to find"));
    m_index = new QListWidget(indexPage);
    m_index->setObjectName(QStringLiteral("IndexList"));
    indexLayout->addWidget(m_indexKey);
    indexLayout->addWidget(m_index, 1);
    m_tabs->addTab(indexPage, QStringLiteral("Index"));

    m_browser = new QTextBrowser(splitter);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->setOpenExternalLinks(true);
    splitter->addWidget(m_tabs);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({240, 620});

    connect(back, &QAction::triggered, m_browser, &QTextBrowser::backward);
    connect(forward, &QAction::triggered, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(home, &QAction::triggered, this, [this] {
        if (!m_folder.isEmpty())
            ShowContents(m_folder);
    });
    connect(m_browser, &QTextBrowser::sourceChanged, this, [this] { m_notePage = false; });
    connect(m_contents, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item) {
        Open(SplitHelpAddress(item->data(0, kTargetRole).toString()), item->text(0));
    });
    connect(m_contents, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) {
        Open(SplitHelpAddress(item->data(0, kTargetRole).toString()), item->text(0));
    });
    connect(m_indexKey, &QLineEdit::textEdited, this, &Tfkivhelpwin::IndexKeyEdited);
    connect(m_indexKey, &QLineEdit::returnPressed, this,
            [this] { OpenIndexEntry(m_index->currentRow()); });
    connect(m_index, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { OpenIndexEntry(m_index->row(item)); });
}

QUrl Tfkivhelpwin::Source() const
{
    return m_notePage ? QUrl() : m_browser->source();
}

void Tfkivhelpwin::LoadFolder(const QString &folder)
{
    if (folder == m_folder)
        return;
    m_folder = folder;
    m_set.Load(folder);

    m_contents->clear();
    // The parents of the entry being added, one per level above it.
    QList<QTreeWidgetItem *> parents;
    for (const THelpEntry &entry : m_set.Contents()) {
        const int level = std::min<int>(entry.level, int(parents.size()));
        parents.resize(level);
        auto *item = parents.isEmpty() ? new QTreeWidgetItem(m_contents)
                                       : new QTreeWidgetItem(parents.last());
        item->setText(0, entry.title);
        item->setData(0, kTargetRole, AddressOf(entry.target));
        parents << item;
    }
    m_contents->expandToDepth(0);

    m_index->clear();
    for (const THelpEntry &entry : m_set.Index()) {
        auto *item = new QListWidgetItem(entry.title, m_index);
        item->setData(kTargetRole, AddressOf(entry.target));
    }
    m_indexKey->clear();
}

void Tfkivhelpwin::Open(const THelpPage &page, const QString &topic)
{
    const QString path = HelpPagePath(m_folder, page.page);
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        // A topic the help has no page for: say so and offer the index from that word on.
        m_notePage = true;
        m_browser->setHtml(QStringLiteral("<h2>No help page</h2><p>The help has no page on "
                                          "<b>%1</b>. The index lists the topics it has.</p>")
                               .arg(topic.toHtmlEscaped()));
        m_tabs->setCurrentIndex(1);
        m_indexKey->setText(topic);
        IndexKeyEdited(topic);
        return;
    }
    m_notePage = false;
    QUrl url = QUrl::fromLocalFile(path);
    if (!page.anchor.isEmpty())
        url.setFragment(page.anchor);
    m_browser->setSource(url);
    if (!page.anchor.isEmpty())
        m_browser->scrollToAnchor(page.anchor);
}

void Tfkivhelpwin::Present()
{
    if (!isVisible()) {
        // Each time it opens, the window stands over the middle of the window it helps with
        // (or of the screen), wholly on that screen.
        const QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
        const QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
        const QRect area = screen ? screen->availableGeometry() : QRect();
        const QPoint centre = owner && owner->isVisible() ? owner->frameGeometry().center() : area.center();
        QRect place(QPoint(0, 0), size().boundedTo(area.isValid() ? area.size() : size()));
        place.moveCenter(centre);
        if (area.isValid()) {
            place.moveLeft(qBound(area.left(), place.left(), area.right() - place.width() + 1));
            place.moveTop(qBound(area.top(), place.top(), area.bottom() - place.height() + 1));
        }
        setGeometry(place);
    }
    show();
    raise();
    activateWindow();
}

void Tfkivhelpwin::ShowPage(const QString &folder, const THelpPage &page, const QString &topic)
{
    LoadFolder(folder);
    Open(page, topic);
    Present();
}

void Tfkivhelpwin::ShowContents(const QString &folder)
{
    LoadFolder(folder);
    m_tabs->setCurrentIndex(0);
    Open(m_set.DefaultPage(), QStringLiteral("Contents"));
    Present();
}

void Tfkivhelpwin::ShowIndex(const QString &folder)
{
    LoadFolder(folder);
    if (m_browser->source().isEmpty() && !m_notePage)
        Open(m_set.DefaultPage(), QStringLiteral("Contents"));
    m_tabs->setCurrentIndex(1);
    Present();
    m_indexKey->setFocus();
    m_indexKey->selectAll();
}

void Tfkivhelpwin::CloseAll()
{
    hide();
}

void Tfkivhelpwin::IndexKeyEdited(const QString &text)
{
    // The first keyword that begins with what was typed; the list is sorted without case.
    for (int row = 0; row < m_index->count(); ++row) {
        if (m_index->item(row)->text().startsWith(text.trimmed(), Qt::CaseInsensitive)) {
            m_index->setCurrentRow(row);
            m_index->scrollToItem(m_index->item(row), QAbstractItemView::PositionAtTop);
            return;
        }
    }
    m_index->setCurrentRow(-1);
}

void Tfkivhelpwin::OpenIndexEntry(int row)
{
    QListWidgetItem *item = m_index->item(row);
    if (!item)
        return;
    Open(SplitHelpAddress(item->data(kTargetRole).toString()), item->text());
}

}  // namespace kiv
