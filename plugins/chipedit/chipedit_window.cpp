#include "chipedit_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kiv {

namespace {

// Columns of the device list.
enum { colName, colFamily, colProgram, colData, colEeprom, colAdc, colPins, colSerial, colCount };

QString Hex4(uint16_t v)
{
    return QStringLiteral("0x%1").arg(v, 4, 16, QLatin1Char('0')).toUpper().replace(QLatin1String("0X"), QLatin1String("0x"));
}

QString SerialText(const TDeviceSummary &s)
{
    QStringList parts;
    if (s.usart)
        parts << QStringLiteral("USART");
    if (s.spi)
        parts << QStringLiteral("SPI");
    if (s.i2c)
        parts << QStringLiteral("I2C");
    return parts.join(QLatin1Char(' '));
}

// Data addresses of the map as ranges ("0x020-0x07F, 0x0A0-0x0EF").
QString MapRanges(const DeviceRecord &record)
{
    QStringList ranges;
    int start = -1;
    for (int a = 0; a <= 512; ++a) {
        const bool on = a < 512 && record.ramMap(a) != 0;
        if (on && start < 0)
            start = a;
        if (!on && start >= 0) {
            ranges << QStringLiteral("0x%1-0x%2").arg(start, 3, 16, QLatin1Char('0')).arg(a - 1, 3, 16, QLatin1Char('0'));
            start = -1;
        }
    }
    return ranges.isEmpty() ? QStringLiteral("none") : ranges.join(QStringLiteral(", "));
}

QSpinBox *MakeMinimum(QWidget *parent, const char *name, int max, const QString &suffix)
{
    auto *box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(0, max);
    box->setSpecialValueText(QStringLiteral("any"));
    box->setSuffix(suffix);
    return box;
}

}  // namespace

Tfchipedit::Tfchipedit(bool selector, QWidget *parent) : QMainWindow(parent), m_selector(selector)
{
    setObjectName(QStringLiteral("Tfchipedit"));
    auto *split = new QSplitter(this);
    split->setObjectName(QStringLiteral("split"));

    // The device list with its search and, for the selector, the features asked for.
    auto *left = new QWidget(split);
    auto *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    m_search = new QLineEdit(left);
    m_search->setObjectName(QStringLiteral("search"));
    m_search->setPlaceholderText(QStringLiteral("Search by name"));
    m_search->setClearButtonEnabled(true);
    leftLayout->addWidget(m_search);
    if (m_selector) {
        auto *features = new QGroupBox(QStringLiteral("Features"), left);
        features->setObjectName(QStringLiteral("features"));
        auto *grid = new QGridLayout(features);
        m_core = new QComboBox(features);
        m_core->setObjectName(QStringLiteral("core"));
        m_core->addItem(QStringLiteral("any"), -1);
        for (int kind : {int(dkPic12), int(dkPic14), int(dkPic18), int(dkSx)})
            m_core->addItem(KindName(kind), kind);
        m_minProgram = MakeMinimum(features, "minprogram", 1 << 22, QStringLiteral(" words"));
        m_minData = MakeMinimum(features, "mindata", 65535, QStringLiteral(" bytes"));
        m_minEeprom = MakeMinimum(features, "mineeprom", 4096, QStringLiteral(" bytes"));
        m_minAdc = MakeMinimum(features, "minadc", 255, QString());
        m_minPins = MakeMinimum(features, "minpins", 255, QString());
        m_needUsart = new QCheckBox(QStringLiteral("&USART"), features);
        m_needUsart->setObjectName(QStringLiteral("needusart"));
        m_needSpi = new QCheckBox(QStringLiteral("S&PI"), features);
        m_needSpi->setObjectName(QStringLiteral("needspi"));
        m_needI2c = new QCheckBox(QStringLiteral("I&2C"), features);
        m_needI2c->setObjectName(QStringLiteral("needi2c"));
        const QList<QPair<const char *, QWidget *>> rows = {
            {"Core:", m_core}, {"Program memory at least:", m_minProgram}, {"Data memory at least:", m_minData},
            {"EEPROM at least:", m_minEeprom}, {"A/D channels at least:", m_minAdc}, {"I/O pins at least:", m_minPins}};
        int row = 0;
        for (const auto &r : rows) {
            grid->addWidget(new QLabel(QLatin1String(r.first), features), row, 0);
            grid->addWidget(r.second, row, 1, 1, 3);
            ++row;
        }
        grid->addWidget(new QLabel(QStringLiteral("Needs:"), features), row, 0);
        grid->addWidget(m_needUsart, row, 1);
        grid->addWidget(m_needSpi, row, 2);
        grid->addWidget(m_needI2c, row, 3);
        leftLayout->addWidget(features);
        connect(m_core, &QComboBox::currentIndexChanged, this, &Tfchipedit::ApplyFilter);
        for (QSpinBox *box : {m_minProgram, m_minData, m_minEeprom, m_minAdc, m_minPins})
            connect(box, &QSpinBox::valueChanged, this, &Tfchipedit::ApplyFilter);
        for (QCheckBox *box : {m_needUsart, m_needSpi, m_needI2c})
            connect(box, &QCheckBox::toggled, this, &Tfchipedit::ApplyFilter);
    }
    m_devices = new QTreeWidget(left);
    m_devices->setObjectName(QStringLiteral("devices"));
    m_devices->setRootIsDecorated(false);
    m_devices->setUniformRowHeights(true);
    m_devices->setSortingEnabled(true);
    m_devices->setHeaderLabels({QStringLiteral("Device"), QStringLiteral("Family"), QStringLiteral("Program"),
                                QStringLiteral("Data"), QStringLiteral("EEPROM"), QStringLiteral("A/D"),
                                QStringLiteral("I/O"), QStringLiteral("Serial")});
    m_devices->sortByColumn(-1, Qt::AscendingOrder);
    leftLayout->addWidget(m_devices, 1);
    auto *bottom = new QHBoxLayout;
    m_count = new QLabel(left);
    m_count->setObjectName(QStringLiteral("count"));
    bottom->addWidget(m_count, 1);
    if (m_selector) {
        auto *copy = new QPushButton(QStringLiteral("&Copy Name"), left);
        copy->setObjectName(QStringLiteral("copyname"));
        copy->setToolTip(QStringLiteral("Copy the chosen device's name to the clipboard"));
        bottom->addWidget(copy);
        connect(copy, &QPushButton::clicked, this, &Tfchipedit::CopyName);
        connect(m_devices, &QTreeWidget::itemDoubleClicked, this, &Tfchipedit::CopyName);
    }
    leftLayout->addLayout(bottom);

    // The chosen device.
    auto *pages = new QTabWidget(split);
    pages->setObjectName(QStringLiteral("pages"));
    m_fields = new QTableWidget(0, 3, pages);
    m_fields->setObjectName(QStringLiteral("fields"));
    m_fields->setHorizontalHeaderLabels({QStringLiteral("Field"), QStringLiteral("Offset"), QStringLiteral("Value")});
    m_fields->verticalHeader()->hide();
    m_fields->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_fields->horizontalHeader()->setStretchLastSection(true);
    m_fields->setEditTriggers(m_selector ? QAbstractItemView::NoEditTriggers
                                         : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                                               | QAbstractItemView::AnyKeyPressed);
    pages->addTab(m_fields, QStringLiteral("&Record"));
    m_fuses = new QTreeWidget(pages);
    m_fuses->setObjectName(QStringLiteral("fuses"));
    m_fuses->setHeaderLabels({QStringLiteral("Fuse"), QStringLiteral("Mask"), QStringLiteral("Value"), QStringLiteral("Entry")});
    pages->addTab(m_fuses, QStringLiteral("F&uses"));
    m_interrupts = new QTreeWidget(pages);
    m_interrupts->setObjectName(QStringLiteral("interrupts"));
    m_interrupts->setRootIsDecorated(false);
    m_interrupts->setHeaderLabels({QStringLiteral("Interrupt"), QStringLiteral("Number")});
    pages->addTab(m_interrupts, QStringLiteral("&Interrupts"));
    m_ports = new QTableWidget(PortLetters().size(), 8, pages);
    m_ports->setObjectName(QStringLiteral("ports"));
    QStringList pins;
    for (int pin = 7; pin >= 0; --pin)
        pins << QString::number(pin);
    m_ports->setHorizontalHeaderLabels(pins);
    QStringList ports;
    for (QChar letter : PortLetters())
        ports << QStringLiteral("Port ") + letter;
    m_ports->setVerticalHeaderLabels(ports);
    m_ports->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_ports->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_ports->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pages->addTab(m_ports, QStringLiteral("Ports and &Pins"));
    m_memory = new QLabel(pages);
    m_memory->setObjectName(QStringLiteral("memory"));
    m_memory->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_memory->setWordWrap(true);
    m_memory->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_memory->setMargin(8);
    pages->addTab(m_memory, QStringLiteral("&Memory"));
    split->addWidget(left);
    split->addWidget(pages);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    split->setSizes({520, 480});
    setCentralWidget(split);

    // Menus.
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("filemenu"));
    if (!m_selector) {
        m_save = file->addAction(QStringLiteral("&Save"), this, &Tfchipedit::Save);
        m_save->setObjectName(QStringLiteral("actionsave"));
        m_save->setShortcut(QKeySequence::Save);
        m_revert = file->addAction(QStringLiteral("&Revert Device"), this, [this] {
            m_model.Revert(Chosen());
            RefreshRow(Chosen());
            ShowDevice();
            ShowTitle();
        });
        m_revert->setObjectName(QStringLiteral("actionrevert"));
        file->addSeparator();
    }
    QAction *quit = file->addAction(QStringLiteral("&Quit"), this, &QWidget::close);
    quit->setShortcut(QKeySequence::Quit);
    QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    QAction *copyName = edit->addAction(QStringLiteral("&Copy Device Name"), this, &Tfchipedit::CopyName);
    copyName->setObjectName(QStringLiteral("actioncopyname"));
    copyName->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    QAction *find = edit->addAction(QStringLiteral("&Search"), m_search, qOverload<>(&QWidget::setFocus));
    find->setShortcut(QKeySequence::Find);

    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("message"));
    statusBar()->addWidget(m_message, 1);

    connect(m_search, &QLineEdit::textChanged, this, &Tfchipedit::ApplyFilter);
    connect(m_devices, &QTreeWidget::currentItemChanged, this, &Tfchipedit::ShowDevice);
    connect(m_fields, &QTableWidget::itemChanged, this, &Tfchipedit::FieldEdited);
    connect(m_interrupts, &QTreeWidget::itemChanged, this, &Tfchipedit::InterruptToggled);
    connect(m_ports, &QTableWidget::itemChanged, this, &Tfchipedit::PinToggled);
    ShowTitle();
    resize(1040, 640);
}

bool Tfchipedit::Open(const QString &path, QString *error)
{
    if (!m_model.Load(path, error)) {
        ShowMessage(*error, true);
        ApplyFilter();
        return false;
    }
    ApplyFilter();
    ShowMessage(QStringLiteral("%1 devices in %2").arg(m_model.Count()).arg(path), false);
    ShowTitle();
    return true;
}

TDeviceFilter Tfchipedit::Filter() const
{
    TDeviceFilter f;
    f.name = m_search->text();
    if (m_selector) {
        f.kind = m_core->currentData().toInt();
        f.minProgramWords = uint32_t(m_minProgram->value());
        f.minDataBytes = m_minData->value();
        f.minEepromBytes = m_minEeprom->value();
        f.minAdcChannels = m_minAdc->value();
        f.minIoPins = m_minPins->value();
        f.usart = m_needUsart->isChecked();
        f.spi = m_needSpi->isChecked();
        f.i2c = m_needI2c->isChecked();
    }
    return f;
}

void Tfchipedit::ApplyFilter()
{
    const int chosen = Chosen();
    const QList<int> shown = m_model.Select(Filter());
    m_showing = true;
    m_devices->setSortingEnabled(false);
    m_devices->clear();
    QTreeWidgetItem *current = nullptr;
    for (int index : shown) {
        auto *item = new QTreeWidgetItem(m_devices);
        item->setData(colName, Qt::UserRole, index);
        if (index == chosen)
            current = item;
    }
    for (int row = 0; row < m_devices->topLevelItemCount(); ++row)
        RefreshRow(m_devices->topLevelItem(row)->data(colName, Qt::UserRole).toInt());
    m_devices->setSortingEnabled(true);
    for (int c = 0; c < colCount; ++c)
        m_devices->resizeColumnToContents(c);
    m_count->setText(QStringLiteral("%1 of %2 devices").arg(shown.size()).arg(m_model.Count()));
    m_showing = false;
    if (!current && m_devices->topLevelItemCount() > 0)
        current = m_devices->topLevelItem(0);
    m_devices->setCurrentItem(current);
    if (!current)
        ShowDevice();
}

void Tfchipedit::RefreshRow(int index)
{
    for (int row = 0; row < m_devices->topLevelItemCount(); ++row) {
        QTreeWidgetItem *item = m_devices->topLevelItem(row);
        if (item->data(colName, Qt::UserRole).toInt() != index)
            continue;
        const DeviceRecord &r = m_model.Device(index);
        const TDeviceSummary s = Summarize(r);
        item->setText(colName, r.name() + (m_model.IsModified(index) ? QStringLiteral(" *") : QString()));
        item->setText(colFamily, KindName(r.kind()));
        item->setText(colProgram, s.programWords ? QString::number(s.programWords) : QString());
        item->setText(colData, s.dataBytes ? QString::number(s.dataBytes) : QString());
        item->setText(colEeprom, s.eepromBytes ? QString::number(s.eepromBytes) : QString());
        item->setText(colAdc, s.adcChannels ? QString::number(s.adcChannels) : QString());
        item->setText(colPins, QString::number(s.ioPins));
        item->setText(colSerial, SerialText(s));
        for (int c = colProgram; c <= colPins; ++c)
            item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
}

int Tfchipedit::Chosen() const
{
    const QTreeWidgetItem *item = m_devices->currentItem();
    return item ? item->data(colName, Qt::UserRole).toInt() : -1;
}

bool Tfchipedit::Choose(const QString &name)
{
    const int index = m_model.Find(name);
    for (int row = 0; row < m_devices->topLevelItemCount(); ++row) {
        QTreeWidgetItem *item = m_devices->topLevelItem(row);
        if (index >= 0 && item->data(colName, Qt::UserRole).toInt() == index) {
            m_devices->setCurrentItem(item);
            return true;
        }
    }
    return false;
}

void Tfchipedit::ShowDevice()
{
    if (m_showing)
        return;
    const int index = Chosen();
    m_showing = true;
    m_fields->setRowCount(0);
    m_fuses->clear();
    m_interrupts->clear();
    m_memory->clear();
    if (m_revert)
        m_revert->setEnabled(index >= 0);
    for (int row = 0; row < m_ports->rowCount(); ++row)
        for (int col = 0; col < 8; ++col)
            m_ports->setItem(row, col, nullptr);
    if (index < 0) {
        m_showing = false;
        return;
    }
    const DeviceRecord &r = m_model.Device(index);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);

    const QList<TRecordField> &fields = RecordFields();
    m_fields->setRowCount(int(fields.size()));
    for (int row = 0; row < fields.size(); ++row) {
        const TRecordField &f = fields.at(row);
        auto *caption = new QTableWidgetItem(QLatin1String(f.caption));
        caption->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        caption->setToolTip(QLatin1String(f.name));
        auto *offset = new QTableWidgetItem(QString::number(f.offset));
        offset->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        offset->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto *value = new QTableWidgetItem(FieldText(r, f));
        value->setFont(fixed);
        value->setData(Qt::UserRole, row);
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (!m_selector && f.editable)
            flags |= Qt::ItemIsEditable;
        value->setFlags(flags);
        if (f.offset == devrec::kind)
            value->setToolTip(KindName(r.kind()));
        m_fields->setItem(row, 0, caption);
        m_fields->setItem(row, 1, offset);
        m_fields->setItem(row, 2, value);
    }
    m_fields->resizeColumnsToContents();

    for (const TFuseGroup &g : FuseGroups(r, m_model.FuseNames())) {
        auto *group = new QTreeWidgetItem(m_fuses);
        group->setText(0, QStringLiteral("Word %1").arg(g.word));
        group->setText(1, Hex4(g.mask));
        group->setText(2, QStringLiteral("%1 choices").arg(g.choices.size()));
        for (const TFuseChoice &c : g.choices) {
            auto *choice = new QTreeWidgetItem(group);
            choice->setText(0, c.name);
            choice->setText(1, Hex4(c.mask));
            choice->setText(2, Hex4(c.value));
            choice->setText(3, QString::number(c.entry));
        }
    }
    m_fuses->expandAll();
    for (int c = 0; c < 4; ++c)
        m_fuses->resizeColumnToContents(c);

    for (const TInterruptInfo &info : Interrupts(r)) {
        auto *item = new QTreeWidgetItem(m_interrupts);
        item->setText(0, info.name);
        item->setText(1, QString::number(info.number));
        item->setData(0, Qt::UserRole, info.number);
        item->setCheckState(0, info.present ? Qt::Checked : Qt::Unchecked);
        if (m_selector)
            item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
    }
    m_interrupts->resizeColumnToContents(0);

    for (int row = 0; row < PortLetters().size(); ++row) {
        const char port = char(PortLetters().at(row).unicode());
        for (int col = 0; col < 8; ++col) {
            const int pin = 7 - col;
            auto *cell = new QTableWidgetItem;
            cell->setData(Qt::UserRole, pin);
            cell->setFlags(m_selector ? Qt::ItemIsEnabled : (Qt::ItemIsEnabled | Qt::ItemIsUserCheckable));
            cell->setCheckState((r.portMask(port) >> pin) & 1 ? Qt::Checked : Qt::Unchecked);
            cell->setToolTip(QStringLiteral("R%1%2").arg(QLatin1Char(port)).arg(pin));
            m_ports->setItem(row, col, cell);
        }
    }

    const TDeviceSummary s = Summarize(r);
    QString memory = QStringLiteral("<b>%1</b> — %2<br><br>").arg(r.name().toHtmlEscaped(), KindName(r.kind()));
    memory += QStringLiteral("Program memory: %1<br>").arg(s.programWords ? QStringLiteral("%1 words").arg(s.programWords)
                                                                         : QStringLiteral("not given"));
    memory += QStringLiteral("Data memory: %1<br>").arg(s.dataBytes ? QStringLiteral("%1 bytes").arg(s.dataBytes)
                                                                   : QStringLiteral("not given"));
    memory += QStringLiteral("Data EEPROM: %1<br>").arg(s.eepromBytes ? QStringLiteral("%1 bytes").arg(s.eepromBytes)
                                                                     : QStringLiteral("none"));
    memory += QStringLiteral("I/O pins: %1<br>A/D channels: %2").arg(s.ioPins).arg(s.adcChannels);
    if (s.adcChannels)
        memory += QStringLiteral(" (%1 bits)").arg(r.adcBits());
    if (r.kind() == dkPic14)
        memory += QStringLiteral("<br><br>Data memory map: ") + MapRanges(r);
    m_memory->setText(memory);
    m_showing = false;
}

void Tfchipedit::FieldEdited(QTableWidgetItem *item)
{
    if (m_showing || item->column() != 2)
        return;
    const int index = Chosen();
    const TRecordField &field = RecordFields().at(item->data(Qt::UserRole).toInt());
    QString error;
    if (!m_model.SetField(index, field, item->text(), &error)) {
        ShowMessage(error, true);
    } else {
        ShowMessage(QStringLiteral("%1 changed (not saved yet)").arg(QLatin1String(field.caption)), false);
    }
    // The table always shows what the record holds, so a refused value goes back.
    RefreshRow(index);
    ShowTitle();
    QMetaObject::invokeMethod(this, [this] { ShowDevice(); }, Qt::QueuedConnection);
}

void Tfchipedit::InterruptToggled(QTreeWidgetItem *item)
{
    if (m_showing)
        return;
    const int index = Chosen();
    m_model.SetInterrupt(index, item->data(0, Qt::UserRole).toInt(), item->checkState(0) == Qt::Checked);
    RefreshRow(index);
    ShowTitle();
}

void Tfchipedit::PinToggled(QTableWidgetItem *item)
{
    if (m_showing)
        return;
    const int index = Chosen();
    const char port = char(PortLetters().at(item->row()).unicode());
    m_model.SetPin(index, port, item->data(Qt::UserRole).toInt(), item->checkState() == Qt::Checked);
    RefreshRow(index);
    ShowTitle();
    QMetaObject::invokeMethod(this, [this] { ShowDevice(); }, Qt::QueuedConnection);
}

void Tfchipedit::CopyName()
{
    const int index = Chosen();
    if (index < 0) {
        ShowMessage(QStringLiteral("Choose a device first."), true);
        return;
    }
    const QString name = m_model.Device(index).name();
    QApplication::clipboard()->setText(name);
    ShowMessage(QStringLiteral("%1 copied to the clipboard").arg(name), false);
}

bool Tfchipedit::Save()
{
    if (m_selector)
        return false;
    const QString name = Chosen() >= 0 ? m_model.Device(Chosen()).name() : QString();
    QString error;
    if (!m_model.Save(&error)) {
        ShowMessage(error, true);
        return false;
    }
    ApplyFilter();
    Choose(name);
    ShowTitle();
    ShowMessage(QStringLiteral("Saved %1 (the previous file is %2)")
                    .arg(m_model.Path(), QFileInfo(m_model.Path()).dir().filePath(QStringLiteral("devices.BAK"))),
                false);
    return true;
}

QString Tfchipedit::Message() const
{
    return m_message->text();
}

void Tfchipedit::closeEvent(QCloseEvent *event)
{
    if (!m_selector && m_model.IsModified()) {
        const auto answer = QMessageBox::question(
            this, QStringLiteral("Device Editor"), QStringLiteral("Save the changed devices?"),
            QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
        if (answer == QMessageBox::Cancel || (answer == QMessageBox::Save && !Save())) {
            event->ignore();
            return;
        }
    }
    event->accept();
}

void Tfchipedit::ShowTitle()
{
    QString title = m_selector ? QStringLiteral("Device Selector") : QStringLiteral("Device Editor");
    if (!m_model.Path().isEmpty())
        title += QStringLiteral(" - ") + m_model.Path();
    if (!m_selector && m_model.IsModified())
        title += QStringLiteral(" *");
    setWindowTitle(title);
    if (m_save)
        m_save->setEnabled(m_model.IsModified());
}

void Tfchipedit::ShowMessage(const QString &text, bool error)
{
    m_message->setText(text);
    m_message->setStyleSheet(error ? QStringLiteral("color: #b00000;") : QString());
}

}  // namespace kiv
