#include "wizardform.h"

#include "kivpopup.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabBar>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace kiv {

namespace {

// A radio group over a list control: one button per item.
class TRadioList : public QGroupBox {
public:
    TRadioList(const QString &title, QWidget *parent) : QGroupBox(title, parent)
    {
        m_layout = new QVBoxLayout(this);
        m_group = new QButtonGroup(this);
    }
    void SetItems(const QStringList &items)
    {
        if (items == m_items)
            return;
        m_items = items;
        for (QAbstractButton *b : m_group->buttons()) {
            m_group->removeButton(b);
            delete b;
        }
        for (int i = 0; i < items.size(); ++i) {
            auto *b = new QRadioButton(items[i], this);
            b->setObjectName(objectName() + QString::number(i));
            m_group->addButton(b, i);
            m_layout->addWidget(b);
        }
    }
    void SetIndex(int index)
    {
        if (QAbstractButton *b = m_group->button(index)) {
            b->setChecked(true);
        } else if (QAbstractButton *checked = m_group->checkedButton()) {
            m_group->setExclusive(false);
            checked->setChecked(false);
            m_group->setExclusive(true);
        }
    }
    QButtonGroup *Group() const { return m_group; }

private:
    QVBoxLayout *m_layout;
    QButtonGroup *m_group;
    QStringList m_items;
};

}  // namespace

TWizardForm::TWizardForm(TControlModel &model, const QStringList &pages, const QString &viewName, QWidget *parent)
    : QDialog(parent), m_model(model), m_pageCaptions(pages)
{
    auto *layout = new QVBoxLayout(this);
    m_tabs = new QTabBar(this);
    m_tabs->setObjectName("TabSet");
    m_tabs->setExpanding(false);
    m_tabs->setUsesScrollButtons(true);
    for (const QString &caption : pages)
        m_tabs->addTab(caption);
    layout->addWidget(m_tabs);
    m_pages = new QStackedWidget(this);
    m_pages->setObjectName("PageControl");
    layout->addWidget(m_pages, 1);

    auto *buttons = new QHBoxLayout;
    auto *view = new QPushButton("View Code  Generated from this tab <<<<<<<", this);
    view->setObjectName(viewName);
    buttons->addWidget(view);
    buttons->addStretch();
    auto *ok = new QPushButton("OK", this);
    ok->setObjectName("OKBtn");
    ok->setDefault(true);
    auto *cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("CancelBtn");
    auto *help = new QPushButton("Help", this);
    help->setObjectName("HelpBtn");
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(help);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [this] {
        if (showHelp)
            showHelp("ProjectWizard");
    });
    connect(view, &QPushButton::clicked, this, [this] { ShowCode(this, PreviewCurrentPage()); });
    connect(m_tabs, &QTabBar::currentChanged, this, [this](int page) { SelectPage(page); });
}

bool TWizardForm::IsRadioList(const QString &name) const
{
    return false;
}

QFormLayout *TWizardForm::Column(int page, int column) const
{
    return m_columns.value(page).value(column);
}

QWidget *TWizardForm::Page(int page) const
{
    return m_pages->widget(page);
}

QWidget *TWizardForm::MakeControl(const TWizardControl &c, QWidget *parent)
{
    const QString name = c.name;
    QWidget *w = nullptr;
    switch (c.kind) {
    case wcLabel:
        w = new QLabel(c.caption, parent);
        break;
    case wcGroup: {
        auto *box = new QGroupBox(c.caption, parent);
        if (GridColumns(name) > 0)
            new QGridLayout(box);
        else
            new QFormLayout(box);
        w = box;
        break;
    }
    case wcCheck: {
        auto *box = new QCheckBox(c.caption, parent);
        connect(box, &QCheckBox::toggled, this, [this, name](bool on) { m_model.SetChecked(name, on); });
        w = box;
        break;
    }
    case wcRadio: {
        auto *button = new QRadioButton(c.caption, parent);
        button->setAutoExclusive(false);
        connect(button, &QRadioButton::toggled, this, [this, name](bool on) {
            if (on)
                m_model.SetChecked(name, true);
            else
                ShowModel();   // a radio button is unchecked only by checking another
        });
        w = button;
        break;
    }
    case wcList:
        if (IsRadioList(name)) {
            auto *radios = new TRadioList(c.caption, parent);
            radios->setObjectName(name);
            connect(radios->Group(), &QButtonGroup::idClicked, this,
                    [this, name](int id) { m_model.SetIndex(name, id); });
            w = radios;
        } else {
            auto *list = new QComboBox(parent);
            list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
            list->setMinimumContentsLength(name == "NP_DEVICE" ? 14 : 10);
            connect(list, &QComboBox::activated, this, [this, name](int index) { m_model.SetIndex(name, index); });
            w = list;
        }
        break;
    case wcEdit: {
        auto *edit = new QLineEdit(parent);
        connect(edit, &QLineEdit::textEdited, this, [this, name](const QString &text) { m_model.SetText(name, text); });
        w = edit;
        break;
    }
    case wcNumber: {
        auto *spin = new QSpinBox(parent);
        spin->setRange(int(c.minimum), int(qMin<qint64>(c.maximum, 2147483647)));
        spin->setGroupSeparatorShown(c.maximum > 9999);
        spin->setKeyboardTracking(false);
        connect(spin, &QSpinBox::valueChanged, this, [this, name](int value) { m_model.SetValue(name, value); });
        w = spin;
        break;
    }
    case wcCheckList: {
        auto *list = new QListWidget(parent);
        connect(list, &QListWidget::itemChanged, this, [this, name, list](QListWidgetItem *item) {
            m_model.SetItemChecked(name, list->row(item), item->checkState() == Qt::Checked);
        });
        list->setMinimumHeight(300);
        w = list;
        break;
    }
    case wcButton: {
        // A button without a caption is a spin button: up and down arrows.
        if (c.caption.isEmpty()) {
            auto *spin = new QWidget(parent);
            auto *l = new QVBoxLayout(spin);
            l->setContentsMargins(0, 0, 0, 0);
            l->setSpacing(0);
            auto *up = new QToolButton(spin);
            up->setObjectName(name + "_up");
            up->setArrowType(Qt::UpArrow);
            auto *down = new QToolButton(spin);
            down->setObjectName(name + "_down");
            down->setArrowType(Qt::DownArrow);
            l->addWidget(up);
            l->addWidget(down);
            connect(up, &QToolButton::clicked, this, [this, name] { m_model.Click(name + "+"); });
            connect(down, &QToolButton::clicked, this, [this, name] { m_model.Click(name + "-"); });
            w = spin;
        } else {
            auto *button = new QPushButton(c.caption, parent);
            connect(button, &QPushButton::clicked, this, [this, name] { m_model.Click(name); });
            w = button;
        }
        break;
    }
    }
    if (w->objectName().isEmpty())
        w->setObjectName(name);
    m_widgets.insert(name, w);
    return w;
}

void TWizardForm::BuildPages()
{
    m_model.changed = [this] { ShowModel(); };
    for (int page = 0; page < m_pageCaptions.size(); ++page) {
        auto *scroll = new QScrollArea(m_pages);
        scroll->setObjectName(m_pageCaptions[page]);
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        auto *content = new QWidget(scroll);
        auto *row = new QHBoxLayout(content);
        QList<QFormLayout *> forms;
        for (int col = 0; col < 2; ++col) {
            auto *column = new QWidget(content);
            auto *form = new QFormLayout(column);
            form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
            form->setContentsMargins(0, 0, 0, 0);
            row->addWidget(column, 1, Qt::AlignTop);
            forms << form;
        }
        scroll->setWidget(content);
        m_pages->addWidget(scroll);
        m_columns << forms;
    }
    QList<int> groups(m_pageCaptions.size(), 0);
    QList<bool> right(m_pageCaptions.size(), false);
    for (const TWizardControl &c : m_model.Controls()) {
        if (c.page < 0 || c.page >= m_pageCaptions.size())
            continue;
        QWidget *w = MakeControl(c, m_pages->widget(c.page));
        QFormLayout *form = nullptr;
        bool placed = false;
        if (!c.parent.isEmpty()) {
            if (auto *box = qobject_cast<QGroupBox *>(m_widgets.value(c.parent))) {
                if (auto *grid = qobject_cast<QGridLayout *>(box->layout())) {
                    const int columns = qMax(1, GridColumns(c.parent));
                    const int n = grid->count();
                    grid->addWidget(w, n / columns, n % columns);
                    placed = true;
                } else {
                    form = qobject_cast<QFormLayout *>(box->layout());
                }
            }
        }
        if (!placed) {
            if (!form) {
                // Group boxes alternate between the columns; other controls stay on the left
                // unless the page's right-hand column has begun.
                if (StartsRightColumn(c.name))
                    right[c.page] = true;
                int col = right[c.page] ? 1 : 0;
                if (!right[c.page] && (c.kind == wcGroup || c.kind == wcCheckList || IsRadioList(c.name)))
                    col = groups[c.page]++ % 2;
                if (SingleColumn(c.page))
                    col = 0;
                form = m_columns[c.page][col];
            }
            const bool labelled = !c.caption.isEmpty() && !IsRadioList(c.name) &&
                                  (c.kind == wcList || c.kind == wcEdit || c.kind == wcNumber);
            if (labelled) {
                auto *label = new QLabel(c.caption, w->parentWidget());
                label->setObjectName(c.name + "_label");
                label->setBuddy(w);
                form->addRow(label, w);
            } else {
                form->addRow(w);
            }
        }
        ControlPlaced(c, w);
    }
    for (int page = 0; page < m_pageCaptions.size(); ++page)
        if (SingleColumn(page))
            m_columns[page][1]->parentWidget()->hide();
}

void TWizardForm::ShowModel()
{
    if (m_showing)
        return;
    m_showing = true;
    for (const TWizardControl &c : m_model.Controls()) {
        QWidget *w = m_widgets.value(c.name);
        if (!w)
            continue;
        const QSignalBlocker blocker(w);
        switch (c.kind) {
        case wcLabel:
            static_cast<QLabel *>(w)->setText(c.name == "MAIN_NAME" ? c.text : c.caption);
            break;
        case wcCheck:
            static_cast<QCheckBox *>(w)->setChecked(c.checked);
            static_cast<QCheckBox *>(w)->setText(c.caption);
            break;
        case wcRadio:
            static_cast<QRadioButton *>(w)->setChecked(c.checked);
            static_cast<QRadioButton *>(w)->setText(c.caption);
            break;
        case wcList:
            if (auto *radios = dynamic_cast<TRadioList *>(w)) {
                const QSignalBlocker groupBlocker(radios->Group());
                radios->SetItems(c.items);
                radios->SetIndex(c.index);
            } else if (auto *list = qobject_cast<QComboBox *>(w)) {
                QStringList shown;
                for (int i = 0; i < list->count(); ++i)
                    shown << list->itemText(i);
                if (shown != c.items) {
                    list->clear();
                    list->addItems(c.items);
                }
                list->setCurrentIndex(c.index);
            }
            break;
        case wcEdit:
            if (static_cast<QLineEdit *>(w)->text() != c.text)
                static_cast<QLineEdit *>(w)->setText(c.text);
            break;
        case wcNumber:
            static_cast<QSpinBox *>(w)->setValue(int(c.value));
            break;
        case wcCheckList: {
            auto *list = static_cast<QListWidget *>(w);
            if (list->count() != c.items.size() || list->property("kivItems").toStringList() != c.items) {
                list->clear();
                for (const QString &text : c.items) {
                    auto *item = new QListWidgetItem(text, list);
                    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
                }
                list->setProperty("kivItems", c.items);
            }
            for (int i = 0; i < list->count(); ++i)
                list->item(i)->setCheckState(c.itemChecked.value(i) ? Qt::Checked : Qt::Unchecked);
            break;
        }
        default:
            break;
        }
        w->setEnabled(c.enabled);
        w->setVisible(c.visible);
        if (QWidget *label = findChild<QWidget *>(c.name + "_label")) {
            label->setEnabled(c.enabled);
            label->setVisible(c.visible);
        }
    }
    ShowOwnWidgets();
    {
        const QSignalBlocker blocker(m_tabs);
        m_tabs->setCurrentIndex(ModelPage());
    }
    m_pages->setCurrentIndex(ModelPage());
    m_showing = false;
}

QTableWidget *TWizardForm::CreatePinTable(int page, const QStringList &typeNames, bool pullups)
{
    m_typeNames = typeNames;
    m_pullups = pullups;
    m_pinTable = new QTableWidget(m_pages->widget(page));
    m_pinTable->setObjectName("pintable");
    QStringList headers = {"Pins", "I/O Type"};
    if (pullups)
        headers << "PU";
    headers << "Identifiers";
    m_pinTable->setColumnCount(int(headers.size()));
    m_pinTable->setHorizontalHeaderLabels(headers);
    m_pinTable->horizontalHeader()->setStretchLastSection(true);
    m_pinTable->verticalHeader()->setVisible(false);
    m_pinTable->setMinimumHeight(360);
    m_columns[page][0]->insertRow(0, m_pinTable);
    const int idColumn = int(headers.size()) - 1;
    connect(m_pinTable, &QTableWidget::cellChanged, this, [this, idColumn](int row, int column) {
        if (m_showing)
            return;
        if (column == idColumn)
            m_model.SetPinIdentifiers(row, m_pinTable->item(row, column)->text());
        else if (m_pullups && column == 2)
            m_model.SetPinPullup(row, m_pinTable->item(row, column)->checkState() == Qt::Checked);
    });
    return m_pinTable;
}

void TWizardForm::ShowPinTable()
{
    if (!m_pinTable)
        return;
    const bool wasShowing = m_showing;
    m_showing = true;
    const QList<TPinRow> &pins = m_model.Pins();
    const int idColumn = m_pinTable->columnCount() - 1;
    m_pinTable->setRowCount(int(pins.size()));
    for (int row = 0; row < pins.size(); ++row) {
        const TPinRow &p = pins[row];
        auto *pin = m_pinTable->item(row, 0);
        if (!pin) {
            pin = new QTableWidgetItem;
            pin->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            m_pinTable->setItem(row, 0, pin);
        }
        pin->setText(p.pin);
        auto *type = qobject_cast<QComboBox *>(m_pinTable->cellWidget(row, 1));
        if (!type) {
            type = new QComboBox(m_pinTable);
            type->addItems(m_typeNames);
            connect(type, &QComboBox::activated, this, [this, type](int index) {
                for (int r = 0; r < m_pinTable->rowCount(); ++r)
                    if (m_pinTable->cellWidget(r, 1) == type)
                        m_model.SetPinType(r, index);
                ShowModel();
            });
            m_pinTable->setCellWidget(row, 1, type);
        }
        type->setObjectName("pintype_" + p.pin);
        {
            const QSignalBlocker blocker(type);
            type->setCurrentIndex(p.ioType);
        }
        if (m_pullups) {
            auto *pu = m_pinTable->item(row, 2);
            if (!pu) {
                pu = new QTableWidgetItem;
                pu->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
                m_pinTable->setItem(row, 2, pu);
            }
            pu->setCheckState(p.pullup ? Qt::Checked : Qt::Unchecked);
        }
        auto *ids = m_pinTable->item(row, idColumn);
        if (!ids) {
            ids = new QTableWidgetItem;
            m_pinTable->setItem(row, idColumn, ids);
        }
        if (ids->text() != p.identifiers)
            ids->setText(p.identifiers);
    }
    m_pinTable->resizeColumnToContents(0);
    m_pinTable->resizeColumnToContents(1);
    if (m_pullups)
        m_pinTable->resizeColumnToContents(2);
    m_showing = wasShowing;
}

void TWizardForm::SelectPage(int page)
{
    ShowModelPage(page);
    ShowModel();
}

}  // namespace kiv
