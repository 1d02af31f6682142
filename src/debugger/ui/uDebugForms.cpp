#include "uDebugForms.h"

#include "kivdbgwatch.h"
#include "kivprompt.h"
#include "pc_dirs.h"
#include "uDbgForm.h"
#include "uDbgForm_model.h"
#include "uDebugFormBreaks_model.h"
#include "uDebugFormConfigure_model.h"
#include "uDebugFormDataEE_model.h"
#include "uDebugFormLog_model.h"
#include "uDebugFormPeripherals_model.h"
#include "uDebugFormRAM_model.h"
#include "uDebugFormROM_model.h"
#include "uDebugFormStack_model.h"
#include "uDebugFormWatches_model.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace kiv {

namespace {

QFont FixedFont(int size = 0)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (size > 0)
        font.setPointSize(size);
    return font;
}

QToolButton *ToolButton(QWidget *parent, const char *name, const char *hint, const char *icon, const char *text)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(QLatin1String(hint));
    button->setIcon(QIcon::fromTheme(QLatin1String(icon)));
    // Without the theme's icon the button shows its hint as text.
    button->setText(button->icon().isNull() ? QLatin1String(hint) : QLatin1String(text));
    button->setToolButtonStyle(button->icon().isNull() ? Qt::ToolButtonTextOnly : Qt::ToolButtonIconOnly);
    return button;
}

QVBoxLayout *ClientLayout(TDockForm *form)
{
    auto *layout = new QVBoxLayout(form->Client());
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    return layout;
}

QString Hex(quint32 value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

// --- byte tables (RAM, Data EE) -------------------------------------------------------------------

/// The bytes of the RAM cache or the Data EE cache as a table: a row heading with the row's first
/// address, a cell per byte (blue when unchanged, red when changed, empty where there is no RAM).
class TByteTableModel : public QAbstractTableModel {
public:
    TByteTableModel(TDbgFormModel &session, bool ram)
        : m_session(session)
        , m_ram(ram)
    {
    }

    int BytesPerRow() const { return m_ram ? m_session.Ram().BytesPerRow() : m_session.DataEE().BytesPerRow(); }
    int Size() const { return m_ram ? m_session.Ram().Size() : m_session.DataEE().Size(); }
    void Reset()
    {
        beginResetModel();
        endResetModel();
    }
    void Redraw()
    {
        if (rowCount() > 0)
            Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : (Size() + BytesPerRow() - 1) / BytesPerRow();
    }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : BytesPerRow(); }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role != Qt::DisplayRole)
            return {};
        if (orientation == Qt::Horizontal)
            return TDebugRamModel::ColumnHeading(section, BytesPerRow());
        return Hex(quint32(section * BytesPerRow()), m_ram ? 3 : 2);
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        const int address = index.row() * BytesPerRow() + index.column();
        if (address >= Size())
            return {};
        if (m_ram && m_session.Ram().Valid(address) == 0)
            return {};
        const quint8 current = m_ram ? m_session.Ram().Current(address) : m_session.DataEE().Current(address);
        const quint8 previous = m_ram ? m_session.Ram().Previous(address) : m_session.DataEE().Previous(address);
        switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return Hex(current, 2);
        case Qt::ForegroundRole:
            return QColor(current == previous ? Qt::blue : Qt::red);
        case Qt::TextAlignmentRole:
            return int(Qt::AlignCenter);
        default:
            return {};
        }
    }
    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        const int address = index.row() * BytesPerRow() + index.column();
        const bool editable = m_session.State() == dsReady && address < Size()
                              && (m_ram ? m_session.Ram().Valid(address) != 0 : m_session.DataEE().HasData());
        if (editable)
            f |= Qt::ItemIsEditable;
        return f;
    }
    bool setData(const QModelIndex &index, const QVariant &value, int role) override
    {
        if (role != Qt::EditRole)
            return false;
        bool ok = false;
        const uint byte = value.toString().trimmed().toUInt(&ok, 16);
        if (!ok || byte > 0xFF)
            return false;
        const int address = index.row() * BytesPerRow() + index.column();
        const bool written = m_ram ? m_session.Ram().WriteByte(address, quint8(byte))
                                   : m_session.DataEE().WriteByte(address, quint8(byte));
        if (written)
            Q_EMIT dataChanged(index, index);
        return written;
    }

private:
    TDbgFormModel &m_session;
    bool m_ram;
};

TDebugFormBytes::TDebugFormBytes(TDbgForm *debugForm, TDbgFormModel &session, TDebugWindowModel *model, bool ram)
    : TDebugDockForm(debugForm, model)
    , m_session(session)
    , m_ram(ram)
{
    QVBoxLayout *layout = ClientLayout(this);
    auto *bar = new QHBoxLayout;
    m_autoRead = new QCheckBox(QStringLiteral("Auto Read"), Client());
    m_autoRead->setObjectName(QStringLiteral("autoread"));
    m_autoRead->setChecked(true);
    auto *refresh = new QPushButton(QStringLiteral("Refresh"), Client());
    refresh->setObjectName(QStringLiteral("refreshbut"));
    bar->addWidget(m_autoRead);
    bar->addWidget(refresh);
    bar->addStretch(1);
    layout->addLayout(bar);
    m_table = new QTableView(Client());
    m_table->setObjectName(ram ? QStringLiteral("ramgrid") : QStringLiteral("eegrid"));
    m_table->setFont(FixedFont());
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 4);
    m_tableModel = new TByteTableModel(session, ram);
    m_tableModel->setParent(this);
    m_table->setModel(m_tableModel);
    layout->addWidget(m_table, 1);
    m_none = new QLabel(QStringLiteral("The device does not support EE data"), Client());
    m_none->setObjectName(QStringLiteral("noeedata"));
    m_none->hide();
    layout->addWidget(m_none);

    connect(m_autoRead, &QCheckBox::toggled, this, [this](bool on) {
        if (m_ram)
            m_session.Ram().SetAutoRead(on);
        else
            m_session.DataEE().SetAutoRead(on);
    });
    connect(refresh, &QPushButton::clicked, this, [this] {
        if (!m_session.IsActive() || !m_session.IsHalted())
            return;
        try {
            if (m_ram) {
                const int first = m_table->rowAt(0);
                const int last = m_table->rowAt(m_table->viewport()->height() - 1);
                const int bytes = m_session.Ram().BytesPerRow();
                const int from = std::max(first, 0) * bytes;
                const int to = ((last < 0 ? m_tableModel->rowCount() - 1 : last) + 1) * bytes;
                m_session.Ram().ReadRange(from, to - from, true);
            } else {
                m_session.DataEE().ReadAll(true);
            }
        } catch (const std::exception &) {
        }
    });
    connect(m_table->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { VisibleRowsChanged(); });
}

void TDebugFormBytes::VisibleRowsChanged()
{
    if (!m_ram)
        return;
    const int first = std::max(m_table->rowAt(0), 0);
    int last = m_table->rowAt(m_table->viewport()->height() - 1);
    if (last < 0)
        last = m_tableModel->rowCount() - 1;
    try {
        m_session.Ram().SetVisibleRows(first, last);
    } catch (const std::exception &) {
    }
}

void TDebugFormBytes::ModelChanged()
{
    if (m_ram) {
        m_autoRead->setChecked(m_session.Ram().AutoRead());
    } else {
        m_autoRead->setChecked(m_session.DataEE().AutoRead());
        const bool none = m_session.IsActive() && !m_session.DataEE().HasData();
        m_table->setVisible(!none);
        m_autoRead->setVisible(!none);
        m_none->setVisible(none);
    }
    if (m_tableModel->columnCount() != m_table->horizontalHeader()->count()
        || m_tableModel->rowCount() != m_table->verticalHeader()->count())
        m_tableModel->Reset();
    else
        m_tableModel->Redraw();
}

void TDebugFormBytes::resizeEvent(QResizeEvent *event)
{
    TDebugDockForm::resizeEvent(event);
    if (m_ram)
        m_session.Ram().WidthChanged(width());
    else
        m_session.DataEE().WidthChanged(width());
    VisibleRowsChanged();
}

// --- ROM -------------------------------------------------------------------------------------------

/// The ROM image, one row per program word, its text made only when the row is shown.
class TRomTableModel : public QAbstractTableModel {
public:
    explicit TRomTableModel(TDebugRomModel &rom)
        : m_rom(rom)
    {
    }
    void Reset()
    {
        beginResetModel();
        endResetModel();
    }
    void Redraw()
    {
        if (rowCount() > 0)
            Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, 0));
    }
    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : m_rom.RowCount(); }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : 1; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        switch (role) {
        case Qt::DisplayRole: return m_rom.RowText(index.row());
        case Qt::ForegroundRole: return QColor(m_rom.IsBreakRow(index.row()) ? Qt::red : Qt::black);
        case Qt::BackgroundRole: return QColor(m_rom.IsPcRow(index.row()) ? Qt::yellow : Qt::white);
        default: return {};
        }
    }

private:
    TDebugRomModel &m_rom;
};

TDebugFormROM::TDebugFormROM(TDbgForm *debugForm, TDbgFormModel &session)
    : TDebugDockForm(debugForm, &session.Rom())
    , m_model(session.Rom())
{
    QVBoxLayout *layout = ClientLayout(this);
    m_table = new QTableView(Client());
    m_table->setObjectName(QStringLiteral("romgrid"));
    m_table->setFont(FixedFont());
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->hide();
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 2);
    m_table->setShowGrid(false);
    m_tableModel = new TRomTableModel(m_model);
    m_tableModel->setParent(this);
    m_table->setModel(m_tableModel);
    layout->addWidget(m_table, 1);
    connect(m_table, &QTableView::doubleClicked, this, [this](const QModelIndex &index) { m_model.ShowRowSource(index.row()); });
    connect(m_table->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        const int first = std::max(m_table->rowAt(0), 0);
        m_model.SetVisibleRows(first, m_table->viewport()->height() / std::max(m_table->verticalHeader()->defaultSectionSize(), 1));
    });
}

void TDebugFormROM::ModelChanged()
{
    if (m_tableModel->rowCount() != m_table->verticalHeader()->count())
        m_tableModel->Reset();
    else
        m_tableModel->Redraw();
    const int first = std::max(m_table->rowAt(0), 0);
    const int visible = m_table->viewport()->height() / std::max(m_table->verticalHeader()->defaultSectionSize(), 1);
    m_model.SetVisibleRows(first, visible);
    const int target = m_model.PendingScroll();
    if (target >= 0) {
        m_model.ClearPendingScroll();
        m_table->scrollTo(m_tableModel->index(target, 0), QAbstractItemView::PositionAtTop);
    }
}

// --- Breaks ------------------------------------------------------------------------------------

TDebugFormBreaks::TDebugFormBreaks(TDbgForm *debugForm, TDbgFormModel &session)
    : TDebugDockForm(debugForm, &session.Breaks())
    , m_model(session.Breaks())
{
    QVBoxLayout *layout = ClientLayout(this);
    auto *bar = new QHBoxLayout;
    bar->addWidget(new QLabel(QStringLiteral("Break Points:"), Client()));
    m_add = ToolButton(Client(), "addbut", "Add", "list-add", "");
    m_delete = ToolButton(Client(), "subbut", "Delete", "list-remove", "");
    bar->addWidget(m_add);
    bar->addWidget(m_delete);
    bar->addStretch(1);
    layout->addLayout(bar);
    m_list = new QListWidget(Client());
    m_list->setObjectName(QStringLiteral("breaklistbox"));
    m_list->setFont(FixedFont());
    m_list->setEnabled(false);
    layout->addWidget(m_list, 1);
    m_add->setEnabled(false);
    m_delete->setEnabled(false);
    connect(m_add, &QToolButton::clicked, this, [this] {
        try {
            m_model.AddAtCaret();
        } catch (const std::exception &) {
        }
    });
    connect(m_delete, &QToolButton::clicked, this, [this] {
        try {
            m_model.RemoveBreak(m_list->currentRow());
        } catch (const std::exception &) {
        }
    });
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) { m_model.ShowBreak(m_list->row(item)); });
    m_model.OnButtonsEnabled = [this](bool on) {
        m_add->setEnabled(on);
        m_delete->setEnabled(on);
    };
}

void TDebugFormBreaks::SetControlsEnabled(bool on)
{
    m_list->setEnabled(on);
}

void TDebugFormBreaks::ModelChanged()
{
    m_list->clear();
    for (int i = 0; i < m_model.BreakCount(); ++i)
        m_list->addItem(m_model.BreakItem(i).DisplayText());
}

// --- Stack ----------------------------------------------------------------------------------------

TDebugFormStack::TDebugFormStack(TDbgForm *debugForm, TDbgFormModel &session)
    : TDebugDockForm(debugForm, &session.Stack())
    , m_model(session.Stack())
{
    QVBoxLayout *layout = ClientLayout(this);
    m_list = new QListWidget(Client());
    m_list->setObjectName(QStringLiteral("stacklist"));
    m_list->setFont(FixedFont());
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    layout->addWidget(m_list, 1);
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) { m_model.ShowLine(m_list->row(item)); });
}

void TDebugFormStack::ModelChanged()
{
    m_list->clear();
    m_list->addItems(m_model.Lines());
}

// --- Watches -------------------------------------------------------------------------------------------

TDebugFormWatches::TDebugFormWatches(TDbgForm *debugForm, TDbgFormModel &session)
    : TDebugDockForm(debugForm, &session.Watches())
    , m_session(session)
    , m_model(session.Watches())
{
    QVBoxLayout *layout = ClientLayout(this);
    auto *bar = new QHBoxLayout;
    m_add = ToolButton(Client(), "addbut", "Add", "list-add", "");
    m_delete = ToolButton(Client(), "subbut", "Delete", "list-remove", "");
    bar->addWidget(m_add);
    bar->addWidget(m_delete);
    bar->addStretch(1);
    layout->addLayout(bar);
    m_table = new QTableWidget(Client());
    m_table->setObjectName(QStringLiteral("watchgrid"));
    m_table->setColumnCount(3);
    m_table->setHorizontalHeaderLabels({QStringLiteral("Count"), QStringLiteral("Expression"), QStringLiteral("Value")});
    m_table->setColumnWidth(0, 75);
    m_table->setColumnWidth(1, 70);
    m_table->setColumnWidth(2, 150);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->hide();
    m_table->setWordWrap(true);
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    m_table->viewport()->installEventFilter(this);
    layout->addWidget(m_table, 1);
    m_add->setEnabled(false);
    m_delete->setEnabled(false);
    connect(m_add, &QToolButton::clicked, this, &TDebugFormWatches::AddWatch);
    connect(m_delete, &QToolButton::clicked, this, [this] { m_model.DeleteWatch(m_table->currentRow()); });
    connect(m_table, &QTableWidget::customContextMenuRequested, this, &TDebugFormWatches::ContextMenu);
    connect(m_table, &QTableWidget::cellChanged, this, [this](int row, int column) {
        if (m_filling)
            return;
        const QString text = m_table->item(row, column)->text();
        try {
            if (column == 1)
                m_model.SetExpression(row, text);
            else if (column == 0)
                m_model.SetNumber(row, text);
        } catch (const std::exception &) {
        }
    });
    connect(m_table->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (section == 0 && !m_filling)
            m_model.SetCountColumnWidth(size);
    });
    m_model.OnButtonsEnabled = [this](bool on) {
        m_add->setEnabled(on);
        m_delete->setEnabled(on);
    };
    ModelChanged();
}

void TDebugFormWatches::SetControlsEnabled(bool on)
{
    m_table->setEnabled(on);
}

void TDebugFormWatches::ModelChanged()
{
    m_filling = true;
    m_table->setRowCount(m_model.WatchCount());
    for (int row = 0; row < m_model.WatchCount(); ++row) {
        const TWatchElement &element = m_model.WatchElement(row);
        const QString texts[3] = {element.number, element.expression, element.value};
        for (int column = 0; column < 3; ++column) {
            QTableWidgetItem *item = m_table->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                m_table->setItem(row, column, item);
            }
            item->setText(texts[column]);
            if (column == 2)
                item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        }
    }
    if (m_table->columnWidth(0) != m_model.CountColumnWidth())
        m_table->setColumnWidth(0, m_model.CountColumnWidth());
    m_filling = false;
}

bool TDebugFormWatches::eventFilter(QObject *watched, QEvent *event)
{
    // A double click below the rows adds a watch.
    if (watched == m_table->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (!m_table->indexAt(mouse->position().toPoint()).isValid()) {
            if (m_add->isEnabled())
                AddWatch();
            return true;
        }
    }
    return TDebugDockForm::eventFilter(watched, event);
}

void TDebugFormWatches::AddWatch()
{
    Tfkivdbgwatch dialog(m_session, this);
    dialog.SetForAdd();
    if (dialog.exec() != QDialog::Accepted)
        return;
    try {
        m_model.AddWatchText(dialog.ResultText());
    } catch (const std::exception &) {
    }
}

void TDebugFormWatches::EditWatch()
{
    const int row = m_table->currentRow();
    if (row < 0 || row >= m_model.WatchCount())
        return;
    Tfkivdbgwatch dialog(m_session, this);
    dialog.SetForEdit(m_model.WatchElement(row).expression);
    if (dialog.exec() != QDialog::Accepted)
        return;
    try {
        m_model.SetExpression(row, dialog.ResultText());
    } catch (const std::exception &) {
    }
}

void TDebugFormWatches::ContextMenu(const QPoint &pos)
{
    const QModelIndex index = m_table->indexAt(pos);
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("PopupMenuWatches"));
    QAction *edit = menu.addAction(QStringLiteral("Edit Watch..."), this, &TDebugFormWatches::EditWatch);
    menu.addAction(QStringLiteral("Add Watch..."), this, &TDebugFormWatches::AddWatch);
    QAction *remove = menu.addAction(QStringLiteral("Delete Watch"), this, [this] { m_model.DeleteWatch(m_table->currentRow()); });
    QAction *copyExpression = menu.addAction(QStringLiteral("Copy Watch Expression"), this, [this] {
        QApplication::clipboard()->setText(m_model.WatchElement(m_table->currentRow()).expression);
    });
    QAction *copyValue = menu.addAction(QStringLiteral("Copy Watch Value"), this, [this] {
        QApplication::clipboard()->setText(m_model.WatchElement(m_table->currentRow()).value);
    });
    menu.addAction(QStringLiteral("Delete All watches"), this, [this] { m_model.DeleteAllWatches(); });
    const bool onCell = index.isValid();
    if (onCell)
        m_table->setCurrentCell(index.row(), index.column());
    for (QAction *action : {edit, remove, copyExpression, copyValue})
        action->setVisible(onCell);
    for (QAction *action : menu.actions())
        action->setEnabled(m_add->isEnabled() || action == copyExpression || action == copyValue);
    menu.exec(m_table->viewport()->mapToGlobal(pos));
}

// --- Peripherals ------------------------------------------------------------------------------------

TDebugFormPeripherals::TDebugFormPeripherals(TDbgForm *debugForm, TDbgFormModel &session)
    : TDebugDockForm(debugForm, &session.Peripherals())
    , m_model(session.Peripherals())
{
    auto *layout = new QHBoxLayout(Client());
    layout->setContentsMargins(2, 2, 2, 2);
    m_selection = new QListWidget(Client());
    m_selection->setObjectName(QStringLiteral("prselection"));
    m_selection->setMaximumWidth(200);
    m_text = new QPlainTextEdit(Client());
    m_text->setObjectName(QStringLiteral("periphtext"));
    m_text->setReadOnly(true);
    m_text->setFont(FixedFont());
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(m_selection);
    layout->addWidget(m_text, 1);
    connect(m_selection, &QListWidget::currentRowChanged, this, [this](int row) {
        if (m_filling)
            return;
        try {
            m_model.Select(row);
        } catch (const std::exception &) {
        }
    });
}

void TDebugFormPeripherals::ModelChanged()
{
    m_filling = true;
    QStringList captions;
    for (const TPeripheralGroup &group : m_model.Groups())
        captions << group.caption;
    QStringList shown;
    for (int i = 0; i < m_selection->count(); ++i)
        shown << m_selection->item(i)->text();
    if (shown != captions) {
        m_selection->clear();
        m_selection->addItems(captions);
    }
    m_selection->setCurrentRow(m_model.Selected());
    m_filling = false;
    QString text = m_model.Text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (m_text->toPlainText() != text) {
        m_text->setPlainText(text);
        m_text->verticalScrollBar()->setValue(0);
    }
}

// --- Eval -----------------------------------------------------------------------------------------

TDebugFormEval::TDebugFormEval(TDbgForm *debugForm, TDbgFormModel &session)
    : TDebugDockForm(debugForm, &session.Eval())
    , m_model(session.Eval())
{
    QVBoxLayout *layout = ClientLayout(this);
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Expression:"), Client()));
    m_expression = new QLineEdit(Client());
    m_expression->setObjectName(QStringLiteral("eexpr"));
    row->addWidget(m_expression, 1);
    auto *eval = new QPushButton(QStringLiteral("Eval"), Client());
    eval->setObjectName(QStringLiteral("evalbut"));
    row->addWidget(eval);
    layout->addLayout(row);
    m_sideEffects = new QCheckBox(QStringLiteral("Keep side effects"), Client());
    m_sideEffects->setObjectName(QStringLiteral("esideeffects"));
    m_sideEffects->setToolTip(QStringLiteral("Write the changes in memory to the target chip after evaluating the expression"));
    layout->addWidget(m_sideEffects);
    layout->addWidget(new QLabel(QStringLiteral("Result:"), Client()));
    m_value = new QPlainTextEdit(Client());
    m_value->setObjectName(QStringLiteral("evalue"));
    m_value->setReadOnly(true);
    layout->addWidget(m_value, 1);
    connect(m_expression, &QLineEdit::textChanged, this, [this](const QString &text) { m_model.expression = text; });
    connect(m_sideEffects, &QCheckBox::toggled, this, [this](bool on) { m_model.keepSideEffects = on; });
    const auto evaluate = [this] {
        try {
            m_model.Evaluate();
        } catch (const std::exception &) {
        }
    };
    connect(eval, &QPushButton::clicked, this, evaluate);
    connect(m_expression, &QLineEdit::returnPressed, this, evaluate);
}

void TDebugFormEval::ModelChanged()
{
    if (m_expression->text() != m_model.expression)
        m_expression->setText(m_model.expression);
    m_sideEffects->setChecked(m_model.keepSideEffects);
    m_value->setPlainText(m_model.Result());
}

// --- Monitor ---------------------------------------------------------------------------------------

TDebugFormMonitor::TDebugFormMonitor(TDbgForm *debugForm, TDbgFormModel &session)
    : TDebugDockForm(debugForm, &session.Monitor())
    , m_model(session.Monitor())
{
    QVBoxLayout *layout = ClientLayout(this);
    m_editor = new QPlainTextEdit(Client());
    m_editor->setObjectName(QStringLiteral("OvcMon"));
    QFont font(QStringLiteral("Terminal"));
    if (!QFontInfo(font).fixedPitch())
        font = FixedFont();
    font.setPointSize(9);
    m_editor->setFont(font);
    QPalette palette = m_editor->palette();
    palette.setColor(QPalette::Base, Qt::black);
    palette.setColor(QPalette::Text, Qt::white);
    m_editor->setPalette(palette);
    m_editor->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_editor->installEventFilter(this);
    layout->addWidget(m_editor, 1);
    m_model.OnCharacter = [this](char c) { Insert(c); };
}

void TDebugFormMonitor::Insert(char c)
{
    // Output goes to the end whatever the user clicked meanwhile.
    QTextCursor cursor = m_editor->textCursor();
    cursor.movePosition(QTextCursor::End);
    if (c == '\r')
        return;
    cursor.insertText(QString(QChar::fromLatin1(c)));
    m_editor->setTextCursor(cursor);
    m_model.SetText(m_editor->toPlainText());
}

bool TDebugFormMonitor::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_editor && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QString text = key->text();
        if (text.size() == 1 && text.at(0).unicode() < 256) {
            try {
                if (m_model.KeyTyped(char(text.at(0).toLatin1())))
                    return true;
            } catch (const std::exception &) {
                return true;
            }
        }
    }
    return TDebugDockForm::eventFilter(watched, event);
}

void TDebugFormMonitor::ModelChanged()
{
    QFont font = m_editor->font();
    if (font.pointSize() != m_model.FontSize()) {
        font.setPointSize(m_model.FontSize());
        m_editor->setFont(font);
    }
    if (m_model.Text().isEmpty() && !m_editor->toPlainText().isEmpty())
        m_editor->clear();
}

// --- Break Log -------------------------------------------------------------------------------------

TDebugFormLog::TDebugFormLog(TDbgForm *debugForm, TDbgFormModel &session)
    : TDebugDockForm(debugForm, &session.Log())
    , m_model(session.Log())
{
    QVBoxLayout *layout = ClientLayout(this);
    auto *row = new QHBoxLayout;
    m_logLabel = new QLabel(QStringLiteral("Log:"), Client());
    m_on = new QCheckBox(Client());
    m_on->setObjectName(QStringLiteral("lgon"));
    row->addWidget(m_logLabel);
    row->addWidget(m_on);
    row->addWidget(new QLabel(QStringLiteral("Break:"), Client()));
    m_break = new QSpinBox(Client());
    m_break->setObjectName(QStringLiteral("lgbreak"));
    m_break->setRange(1, 1);
    row->addWidget(m_break);
    m_expressions = new QLineEdit(Client());
    m_expressions->setObjectName(QStringLiteral("lgexpr"));
    row->addWidget(m_expressions, 1);
    layout->addLayout(row);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(new QLabel(QStringLiteral("  Results:"), Client()));
    buttons->addStretch(1);
    m_clear = new QPushButton(QStringLiteral("Clear"), Client());
    m_clear->setObjectName(QStringLiteral("clearbut"));
    m_save = new QPushButton(QStringLiteral("Save"), Client());
    m_save->setObjectName(QStringLiteral("savebut"));
    buttons->addWidget(m_clear);
    buttons->addWidget(m_save);
    layout->addLayout(buttons);
    m_results = new QPlainTextEdit(Client());
    m_results->setObjectName(QStringLiteral("lglistbox"));
    m_results->setReadOnly(true);
    m_results->setFont(FixedFont());
    layout->addWidget(m_results, 1);
    m_clear->setEnabled(false);
    m_save->setEnabled(false);
    m_expressions->setEnabled(false);

    connect(m_on, &QCheckBox::toggled, this, [this](bool on) { m_model.SetLogOn(on); });
    connect(m_break, &QSpinBox::valueChanged, this, [this](int n) { m_model.SetBreakPosition(n); });
    connect(m_expressions, &QLineEdit::textChanged, this, [this](const QString &text) { m_model.SetExpressions(text); });
    connect(m_clear, &QPushButton::clicked, this, [this] { m_model.Clear(); });
    connect(m_save, &QPushButton::clicked, this, [this] {
        TFileQuestion question{QStringLiteral("Save BreakLog Output"), QString(), QString(),
                               {QStringLiteral("Text File (*.txt)"), QStringLiteral("All Files (*.*)")}, 1,
                               QStringLiteral("txt")};
        const QString path = Prompt().SaveFileName(question);
        if (!path.isEmpty())
            m_model.SaveTo(path);
    });
    m_model.OnStateChanged = [this] { UpdateLogControls(); };
    UpdateLogControls();
}

void TDebugFormLog::UpdateLogControls()
{
    const bool enabled = m_model.LogEnabled();
    m_on->setEnabled(enabled);
    m_logLabel->setEnabled(enabled);
    m_break->setEnabled(enabled);
    if (!enabled)
        m_on->setChecked(false);
    m_break->setMaximum(m_model.BreakPositionMaximum());
    m_break->setReadOnly(m_model.BreakPositionReadOnly());
    m_break->setValue(m_model.BreakPosition());
}

void TDebugFormLog::SetControlsEnabled(bool on)
{
    m_expressions->setEnabled(on);
    m_clear->setEnabled(on);
    m_save->setEnabled(on);
}

void TDebugFormLog::ModelChanged()
{
    const QString text = m_model.Lines().join(QLatin1Char('\n'));
    if (m_results->toPlainText() != text)
        m_results->setPlainText(text);
}

// --- RTOS Tasks ------------------------------------------------------------------------------------

TDebugFormTasks::TDebugFormTasks(TDbgForm *debugForm, TDbgFormModel &session)
    : TDebugDockForm(debugForm, &session.Tasks())
    , m_model(session.Tasks())
{
    QVBoxLayout *layout = ClientLayout(this);
    auto *row = new QHBoxLayout;
    m_selection = new QComboBox(Client());
    m_selection->setObjectName(QStringLiteral("taskselection"));
    m_currentLabel = new QLabel(QStringLiteral("Current"), Client());
    m_currentLabel->setObjectName(QStringLiteral("ctasklbl"));
    m_current = new QLabel(Client());
    m_current->setObjectName(QStringLiteral("ctaskvlbl"));
    row->addWidget(m_selection);
    row->addWidget(m_currentLabel);
    row->addWidget(m_current);
    row->addStretch(1);
    layout->addLayout(row);
    m_text = new QPlainTextEdit(Client());
    m_text->setObjectName(QStringLiteral("tasktext"));
    m_text->setReadOnly(true);
    QFont font(QStringLiteral("Lucida Console"));
    if (!QFontInfo(font).fixedPitch())
        font = FixedFont();
    font.setPointSize(8);
    m_text->setFont(font);
    layout->addWidget(m_text, 1);
    connect(m_selection, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (m_filling)
            return;
        try {
            m_model.Select(index);
        } catch (const std::exception &) {
        }
    });
}

void TDebugFormTasks::ModelChanged()
{
    m_filling = true;
    const bool tasks = !m_model.Entries().isEmpty();
    if (m_selection->count() != m_model.Entries().size()) {
        m_selection->clear();
        for (int i = 1; i <= m_model.Entries().size(); ++i)
            m_selection->addItem(QStringLiteral("Task%1").arg(i));
    }
    m_selection->setCurrentIndex(m_model.Selected());
    m_selection->setVisible(tasks);
    m_currentLabel->setVisible(tasks);
    m_current->setVisible(tasks);
    m_current->setText(m_model.CurrentTask());
    QString text = m_model.Text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_text->setPlainText(text);
    m_filling = false;
}

// --- the factory -----------------------------------------------------------------------------------

std::array<TDebugDockForm *, dwCount> CreateDebugWindows(TDbgForm *debugForm, TDbgFormModel &session)
{
    std::array<TDebugDockForm *, dwCount> windows{};
    windows[dwConfigure] = new TDebugFormConfigure(debugForm, session);
    windows[dwRAM] = new TDebugFormBytes(debugForm, session, &session.Ram(), true);
    windows[dwROM] = new TDebugFormROM(debugForm, session);
    windows[dwDataEE] = new TDebugFormBytes(debugForm, session, &session.DataEE(), false);
    windows[dwBreaks] = new TDebugFormBreaks(debugForm, session);
    windows[dwStack] = new TDebugFormStack(debugForm, session);
    windows[dwWatches] = new TDebugFormWatches(debugForm, session);
    windows[dwPeripherals] = new TDebugFormPeripherals(debugForm, session);
    windows[dwEval] = new TDebugFormEval(debugForm, session);
    windows[dwMonitor] = new TDebugFormMonitor(debugForm, session);
    windows[dwLog] = new TDebugFormLog(debugForm, session);
    windows[dwTasks] = new TDebugFormTasks(debugForm, session);
    return windows;
}

}  // namespace kiv
