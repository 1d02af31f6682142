#include "uErrorList.h"

#include "kivhelp.h"
#include "uErrorList_model.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>

namespace kiv {

namespace {

/// Room beside the text, so the widest line is not cut at the edge.
constexpr int kTextMargin = 8;

}  // namespace

TOutputList::TOutputList(QWidget *parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setUniformItemSizes(false);
    setWordWrap(false);
}

void TOutputList::AppendLine(const QString &text)
{
    addItem(text);
    // Measuring shapes the whole text, which costs more than adding the line. An ASCII line
    // whose characters' own advances add up to clearly less than the widest line so far cannot
    // be the widest, and is not measured: that spares most lines of a long list.
    if (m_advances[0] < 0) {
        const QFontMetrics metrics = fontMetrics();
        for (int c = 0; c < 128; ++c)
            m_advances[c] = metrics.horizontalAdvance(QChar(c));
    }
    qint64 estimate = 0;
    for (const QChar c : text) {
        if (c.unicode() >= 128) {
            estimate = -1;
            break;
        }
        estimate += m_advances[c.unicode()];
    }
    if (estimate < 0 || estimate + estimate / 8 + kTextMargin > m_scrollWidth)
        m_scrollWidth = std::max(m_scrollWidth, fontMetrics().horizontalAdvance(text) + kTextMargin);
}

void TOutputList::ClearLines()
{
    clear();
    m_scrollWidth = 0;
}

void TOutputList::SelectFirstWhenNone()
{
    if (currentRow() < 0 && count() > 0)
        setCurrentRow(0);
}

void TOutputList::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && mods == Qt::NoModifier
        && currentRow() >= 0) {
        GoToSelected();
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void TOutputList::changeEvent(QEvent *event)
{
    QListWidget::changeEvent(event);
    if (event->type() != QEvent::FontChange)
        return;
    m_scrollWidth = 0;
    m_advances[0] = -1;
    for (int row = 0; row < count(); ++row)
        m_scrollWidth = std::max(m_scrollWidth,
                                 fontMetrics().horizontalAdvance(item(row)->text()) + kTextMargin);
}

TErrorList::TErrorList(QWidget *parent)
    : TOutputList(parent)
    , m_ownModel(new TErrorListModel(this))
    , m_model(nullptr)
{
    setObjectName(QStringLiteral("ErrorList"));
    SetModel(nullptr);
    connect(this, &QListWidget::currentRowChanged, this, [this](int row) {
        if (m_model->Selected() != row)
            m_model->SetSelected(row);
    });
    connect(this, &QListWidget::itemDoubleClicked, this, [this] { GoToSelected(); });
}

void TErrorList::SetModel(TErrorListModel *model)
{
    for (const QMetaObject::Connection &connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_model = model ? model : m_ownModel;
    m_connections << connect(m_model, &TErrorListModel::LinesChanged, this,
                             &TErrorList::ModelLinesChanged);
    m_connections << connect(m_model, &TErrorListModel::SelectionChanged, this,
                             &TErrorList::ModelSelectionChanged);
    // A model that goes away before the list leaves the list with its own.
    if (m_model != m_ownModel)
        m_connections << connect(m_model, &QObject::destroyed, this, [this] { SetModel(nullptr); });
    ClearLines();
    ModelLinesChanged();
}

void TErrorList::ModelLinesChanged()
{
    // The model only grows line by line or is refilled after being emptied: add what is new,
    // and start over when the list no longer matches the model.
    const QStringList &lines = m_model->Lines();
    const int shown = count();
    const bool matches = shown <= lines.size()
                         && (shown == 0 || item(shown - 1)->text() == lines.at(shown - 1));
    const QSignalBlocker blocker(this);
    if (!matches)
        ClearLines();
    for (int row = count(); row < lines.size(); ++row)
        AppendLine(lines.at(row));
    ModelSelectionChanged(m_model->Selected());
}

void TErrorList::ModelSelectionChanged(int index)
{
    if (currentRow() == index)
        return;
    const QSignalBlocker blocker(this);
    setCurrentRow(index);
    if (index >= 0)
        scrollToItem(item(index));
}

void TErrorList::AddLine(const QString &text)
{
    m_model->AddLine(text);
}

void TErrorList::Clear()
{
    m_model->Clear();
}

int TErrorList::Count() const
{
    return m_model->Count();
}

bool TErrorList::GoToSelected()
{
    if (m_model->Selected() < 0)
        m_model->SetSelected(0);
    const int selected = m_model->Selected();
    if (selected < 0)
        return false;
    const std::optional<TMessagePosition> position = ParseMessageLine(m_model->Line(selected));
    if (!position || !Navigation || !Navigation->OpenFile)
        return false;
    const int page = Navigation->OpenFile(position->file);
    if (page < 0)
        return false;
    if (Navigation->GoToPosition)
        Navigation->GoToPosition(page, position->line, position->startColumn,
                                 position->endColumn);
    QCoreApplication::processEvents();
    return true;
}

bool TErrorList::HelpOnSelected()
{
    const int selected = m_model->Selected();
    if (selected < 0)
        return false;
    const std::optional<int> number = MessageNumberOfLine(m_model->Line(selected));
    if (!number || !Navigation || !Navigation->ShowMessageHelp)
        return false;
    Navigation->ShowMessageHelp(*number + 1000);
    return true;
}

}  // namespace kiv
