#include "kivwizard.h"

#include "enternumber.h"
#include "fuseselection.h"
#include "kivpopup.h"
#include "kivwizard_code.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
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

// Lists the window shows as a group of radio buttons rather than a drop-down list.
const QStringList kRadioLists = {"functiongenoptions", "np_i2c_mode", "np_i2c_speed", "SPI_MS", "adc_pinsrb"};
// Group boxes that lay their controls out in a grid of that many columns.
const QHash<QString, int> kGridGroups = {{"t0srcbox", 3}, {"t0resbox", 3}, {"wdtsbox", 4}, {"t1group", 2},
                                         {"t2resolution", 3}, {"t3resbox", 2}, {"t4resolution", 3},
                                         {"compa", 3}, {"adc_pinscb", 2}};
// Controls that start the right-hand column of their page.
const QStringList kRightColumn = {"NP_I2C", "NP_LCD"};

bool SameFuseControls(const TFuseFrameModel &a, const TFuseFrameModel &b)
{
    if (a.Controls().size() != b.Controls().size())
        return false;
    for (int i = 0; i < a.Controls().size(); ++i) {
        const TFuseControl &x = a.Controls()[i];
        const TFuseControl &y = b.Controls()[i];
        if (x.kind != y.kind || x.captions != y.captions || x.checked != y.checked || x.chosen != y.chosen)
            return false;
    }
    return a.ChoiceNames() == b.ChoiceNames();
}

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

Tfkivwizard::Tfkivwizard(QWidget *parent, bool open) : QDialog(parent)
{
    setObjectName("fkivwizard");
    setWindowTitle("New project");
    auto *layout = new QVBoxLayout(this);
    m_tabs = new QTabBar(this);
    m_tabs->setObjectName("TabSet");
    m_tabs->setExpanding(false);
    m_tabs->setUsesScrollButtons(true);
    for (const QString &caption : WizardPageCaptions())
        m_tabs->addTab(caption);
    layout->addWidget(m_tabs);
    m_pages = new QStackedWidget(this);
    m_pages->setObjectName("PageControl");
    layout->addWidget(m_pages, 1);

    auto *buttons = new QHBoxLayout;
    auto *view = new QPushButton("View Code  Generated from this tab <<<<<<<", this);
    view->setObjectName("np_view");
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
    connect(view, &QPushButton::clicked, this, &Tfkivwizard::PreviewPage);
    connect(m_tabs, &QTabBar::currentChanged, this, [this](int page) { SelectPage(page); });

    BuildPages();
    m_model.changed = [this] { ShowModel(); };
    m_model.enterNumber = [this](const QString &prompt) { return EnterNumber(this, prompt); };
    if (open)
        m_model.Open();
    ShowModel();
    resize(820, 600);
}

Tfkivwizard::~Tfkivwizard()
{
    m_model.changed = nullptr;
    m_model.enterNumber = nullptr;
    m_model.WriteBraceStyle();
}

QWidget *Tfkivwizard::MakeControl(const TWizardControl &c, QWidget *parent)
{
    const QString name = c.name;
    QWidget *w = nullptr;
    switch (c.kind) {
    case wcLabel:
        w = new QLabel(c.caption, parent);
        break;
    case wcGroup: {
        auto *box = new QGroupBox(c.caption, parent);
        if (kGridGroups.contains(name))
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
        if (kRadioLists.contains(name)) {
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
        w = list;
        break;
    }
    case wcButton: {
        if (name == "np_spin") {
            auto *spin = new QWidget(parent);
            auto *l = new QVBoxLayout(spin);
            l->setContentsMargins(0, 0, 0, 0);
            l->setSpacing(0);
            auto *up = new QToolButton(spin);
            up->setObjectName("np_spin_up");
            up->setArrowType(Qt::UpArrow);
            auto *down = new QToolButton(spin);
            down->setObjectName("np_spin_down");
            down->setArrowType(Qt::DownArrow);
            l->addWidget(up);
            l->addWidget(down);
            connect(up, &QToolButton::clicked, this, [this] { m_model.Click("np_spin+"); });
            connect(down, &QToolButton::clicked, this, [this] { m_model.Click("np_spin-"); });
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

void Tfkivwizard::BuildPages()
{
    QList<QFormLayout *> columns[wpPageCount];
    for (int page = 0; page < wpPageCount; ++page) {
        auto *scroll = new QScrollArea(m_pages);
        scroll->setObjectName(WizardPageCaptions()[page]);
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        auto *content = new QWidget(scroll);
        auto *row = new QHBoxLayout(content);
        for (int col = 0; col < 2; ++col) {
            auto *column = new QWidget(content);
            auto *form = new QFormLayout(column);
            form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
            form->setContentsMargins(0, 0, 0, 0);
            row->addWidget(column, 1, Qt::AlignTop);
            columns[page] << form;
        }
        scroll->setWidget(content);
        m_pages->addWidget(scroll);
    }
    int groups[wpPageCount] = {};
    bool right[wpPageCount] = {};
    auto place = [&](const TWizardControl &c, QWidget *w) {
        QFormLayout *form = nullptr;
        if (!c.parent.isEmpty()) {
            auto *box = qobject_cast<QGroupBox *>(m_widgets.value(c.parent));
            if (box)
                if (auto *grid = qobject_cast<QGridLayout *>(box->layout())) {
                    const int columns = kGridGroups.value(c.parent, 2);
                    const int n = grid->count();
                    grid->addWidget(w, n / columns, n % columns);
                    return;
                }
            form = box ? qobject_cast<QFormLayout *>(box->layout()) : nullptr;
        }
        if (!form) {
            // Group boxes alternate between the columns; other controls stay on the left
            // unless the page's right-hand column has begun.
            if (kRightColumn.contains(c.name))
                right[c.page] = true;
            int col = right[c.page] ? 1 : 0;
            if (!right[c.page] && (c.kind == wcGroup || c.kind == wcCheckList || kRadioLists.contains(c.name)))
                col = groups[c.page]++ % 2;
            if (c.page == wpGeneral || c.page == wpHeaders)
                col = 0;
            form = columns[c.page][col];
        }
        const bool labelled = !c.caption.isEmpty() && (c.kind == wcList || c.kind == wcEdit || c.kind == wcNumber) &&
                              !kRadioLists.contains(c.name);
        if (labelled) {
            auto *label = new QLabel(c.caption, w->parentWidget());
            label->setObjectName(c.name + "_label");
            label->setBuddy(w);
            form->addRow(label, w);
        } else {
            form->addRow(w);
        }
    };
    for (const TWizardControl &c : m_model.Controls()) {
        QWidget *parent = m_pages->widget(c.page);
        QWidget *w = MakeControl(c, parent);
        place(c, w);
        if (c.name == "np_clock") {
            // The fuse frame sits in its group "Fuses" after the clock.
            auto *fuses = new QGroupBox("Fuses", w->parentWidget());
            fuses->setObjectName("fusesbox");
            auto *l = new QVBoxLayout(fuses);
            m_fuseFrame = new TOtherFusesFrame(fuses);
            l->addWidget(m_fuseFrame);
            columns[wpGeneral][1]->addRow(fuses);
            connect(m_fuseFrame, &TOtherFusesFrame::FusesChanged, this,
                    [this] { m_model.Fuses() = m_fuseFrame->Model(); });
        }
    }
    // The pin table.
    m_pinTable = new QTableWidget(m_pages->widget(wpPins));
    m_pinTable->setObjectName("pintable");
    m_pinTable->setColumnCount(3);
    m_pinTable->setHorizontalHeaderLabels({"Pins", "I/O Type", "Identifiers"});
    m_pinTable->horizontalHeader()->setStretchLastSection(true);
    m_pinTable->verticalHeader()->setVisible(false);
    m_pinTable->setMinimumHeight(360);
    columns[wpPins][0]->insertRow(0, m_pinTable);
    connect(m_pinTable, &QTableWidget::cellChanged, this, [this](int row, int column) {
        if (column == 2 && !m_showing)
            m_model.SetPinIdentifiers(row, m_pinTable->item(row, column)->text());
    });
    // The Pins page uses one wide column.
    columns[wpPins][1]->parentWidget()->hide();
    columns[wpInterrupts][1]->parentWidget()->hide();
    columns[wpDrivers][1]->parentWidget()->hide();
    static_cast<QListWidget *>(m_widgets.value("intchecklist"))->setMinimumHeight(360);
    static_cast<QListWidget *>(m_widgets.value("driverlist"))->setMinimumHeight(300);
}

void Tfkivwizard::ShowPins()
{
    const QList<TPinRow> &pins = m_model.Pins();
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
            type->addItems(PinTypeNames());
            connect(type, &QComboBox::activated, this, [this, type](int index) {
                for (int r = 0; r < m_pinTable->rowCount(); ++r)
                    if (m_pinTable->cellWidget(r, 1) == type)
                        m_model.SetPinType(r, index);
                ShowModel();
            });
            m_pinTable->setCellWidget(row, 1, type);
        }
        type->setObjectName("pintype_" + p.pin);
        type->setCurrentIndex(p.ioType);
        auto *ids = m_pinTable->item(row, 2);
        if (!ids) {
            ids = new QTableWidgetItem;
            m_pinTable->setItem(row, 2, ids);
        }
        if (ids->text() != p.identifiers)
            ids->setText(p.identifiers);
    }
    m_pinTable->resizeColumnToContents(0);
    m_pinTable->resizeColumnToContents(1);
}

void Tfkivwizard::ShowFuses()
{
    if (!SameFuseControls(m_fuseFrame->Model(), m_model.Fuses()))
        m_fuseFrame->SetFuseModel(m_model.Fuses());
}

void Tfkivwizard::ShowModel()
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
            QStringList shown;
            for (int i = 0; i < list->count(); ++i)
                shown << list->item(i)->text();
            if (shown != c.items) {
                list->clear();
                for (const QString &text : c.items) {
                    auto *item = new QListWidgetItem(text.isEmpty() ? QStringLiteral(" ") : text, list);
                    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
                }
                // Rows without a description show the interrupt name.
                for (int i = 0; i < list->count(); ++i)
                    if (c.items[i].isEmpty() && c.name == "intchecklist")
                        list->item(i)->setText(m_model.InterruptNames().value(i));
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
    ShowFuses();
    ShowPins();
    {
        const QSignalBlocker blocker(m_tabs);
        m_tabs->setCurrentIndex(m_model.CurrentPage());
    }
    m_pages->setCurrentIndex(m_model.CurrentPage());
    m_showing = false;
}

void Tfkivwizard::SelectPage(int page)
{
    m_model.ShowPage(page);
    ShowModel();
}

void Tfkivwizard::PreviewPage()
{
    ShowCode(this, PreviewText(m_model, m_model.CurrentPage()));
}

TWizardRunResult Tfkivwizard::Run(const QString &includes)
{
    return RunProjectWizard(m_model, includes, [this] { return exec() == QDialog::Accepted; });
}

}  // namespace kiv
