#include "kivtools.h"

#include "kivini.h"
#include "kivprompt.h"
#include "kivtoolbars.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kiv {

namespace {

QString Plain(QString caption)
{
    return caption.remove('&');
}

QLabel *BuddyLabel(const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

}  // namespace

Tfkivtools::Tfkivtools(TToolbars *toolbars, QMenuBar *menus, QString settingsPath, QWidget *parent)
    : QDialog(parent)
    , m_toolbars(toolbars)
    , m_menus(menus)
    , m_settingsPath(std::move(settingsPath))
{
    setObjectName(QStringLiteral("fkivtools"));
    setWindowTitle(QStringLiteral("Customize Window"));
    auto *outer = new QVBoxLayout(this);
    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    outer->addWidget(m_pages);

    // Page "Toolbars".
    auto *toolbarPage = new QWidget;
    toolbarPage->setObjectName(QStringLiteral("ToolbarsTab"));
    auto *toolbarGrid = new QGridLayout(toolbarPage);
    m_toolbarList = new QListWidget;
    m_toolbarList->setObjectName(QStringLiteral("ToolbarCheckListBox"));
    m_toolbarCommands = new QListWidget;
    m_toolbarCommands->setObjectName(QStringLiteral("ToolbarCommands"));
    m_toolbarCommands->setIconSize(QSize(16, 16));
    auto *descBox = new QGroupBox(QStringLiteral("Description:"));
    auto *descLayout = new QVBoxLayout(descBox);
    m_description = new QPlainTextEdit;
    m_description->setObjectName(QStringLiteral("ToolbarDescMemo"));
    m_description->setReadOnly(true);
    m_description->setMaximumHeight(60);
    descLayout->addWidget(m_description);
    auto *reset = new QPushButton(QStringLiteral("&Reset"));
    reset->setObjectName(QStringLiteral("ResetButton"));
    toolbarGrid->addWidget(BuddyLabel(QStringLiteral("&Toolbars:"), m_toolbarList), 0, 0);
    toolbarGrid->addWidget(BuddyLabel(QStringLiteral("&Commands:"), m_toolbarCommands), 0, 1);
    toolbarGrid->addWidget(m_toolbarList, 1, 0);
    toolbarGrid->addWidget(m_toolbarCommands, 1, 1);
    toolbarGrid->addWidget(descBox, 2, 0, 1, 2);
    toolbarGrid->addWidget(reset, 3, 0, Qt::AlignLeft);
    toolbarGrid->setColumnStretch(1, 1);
    m_pages->addTab(toolbarPage, QStringLiteral("Toolbars"));

    // Page "Keyboard".
    auto *keyPage = new QWidget;
    keyPage->setObjectName(QStringLiteral("KeyboardTab"));
    auto *keyRow = new QHBoxLayout(keyPage);
    m_categories = new QComboBox;
    m_categories->setObjectName(QStringLiteral("CategoryCB"));
    m_commands = new QListWidget;
    m_commands->setObjectName(QStringLiteral("CommandsLB"));
    m_currentKeys = new QListWidget;
    m_currentKeys->setObjectName(QStringLiteral("CurrentKeysLB"));
    m_hotKey = new QKeySequenceEdit;
    m_hotKey->setObjectName(QStringLiteral("HotKey"));
    m_assign = new QPushButton(QStringLiteral("&Assign"));
    m_assign->setObjectName(QStringLiteral("AssignB"));
    m_remove = new QPushButton(QStringLiteral("&Remove"));
    m_remove->setObjectName(QStringLiteral("RemoveB"));
    auto *resetAll = new QPushButton(QStringLiteral("Re&set All"));
    resetAll->setObjectName(QStringLiteral("ResetAllB"));
    resetAll->setEnabled(false);
    m_assign->setEnabled(false);
    m_remove->setEnabled(false);
    auto *left = new QVBoxLayout;
    left->addWidget(BuddyLabel(QStringLiteral("&Category:"), m_categories));
    left->addWidget(m_categories);
    left->addWidget(BuddyLabel(QStringLiteral("C&ommands:"), m_commands));
    left->addWidget(m_commands, 1);
    auto *right = new QVBoxLayout;
    right->addWidget(BuddyLabel(QStringLiteral("C&urrent Key(s):"), m_currentKeys));
    right->addWidget(m_currentKeys, 1);
    right->addWidget(BuddyLabel(QStringLiteral("Press &new shorcut key:"), m_hotKey));
    right->addWidget(m_hotKey);
    auto *keyButtons = new QHBoxLayout;
    keyButtons->addWidget(m_assign);
    keyButtons->addWidget(m_remove);
    keyButtons->addWidget(resetAll);
    right->addLayout(keyButtons);
    keyRow->addLayout(left, 1);
    keyRow->addLayout(right, 1);
    m_pages->addTab(keyPage, QStringLiteral("Keyboard"));

    auto *ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("BitBtn1"));
    ok->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    outer->addLayout(buttons);
    resize(520, 420);

    connect(m_toolbarList, &QListWidget::currentRowChanged, this, &Tfkivtools::SelectToolbar);
    connect(m_toolbarList, &QListWidget::itemChanged, this, &Tfkivtools::ToolbarItemChanged);
    connect(m_toolbarCommands, &QListWidget::itemChanged, this, &Tfkivtools::CommandItemChanged);
    connect(m_toolbarCommands, &QListWidget::itemClicked, this, &Tfkivtools::CommandItemClicked);
    connect(reset, &QPushButton::clicked, this, &Tfkivtools::ResetButtonClick);
    connect(m_categories, &QComboBox::currentIndexChanged, this, &Tfkivtools::CategoryCBChange);
    connect(m_commands, &QListWidget::currentRowChanged, this, &Tfkivtools::CommandsLBClick);
    connect(m_currentKeys, &QListWidget::currentRowChanged, this, &Tfkivtools::CurrentKeysLBClick);
    connect(m_hotKey, &QKeySequenceEdit::keySequenceChanged, this, &Tfkivtools::HotKeyChange);
    connect(m_assign, &QPushButton::clicked, this, &Tfkivtools::AssignBClick);
    connect(m_remove, &QPushButton::clicked, this, &Tfkivtools::RemoveBClick);
    connect(ok, &QPushButton::clicked, this, &Tfkivtools::BitBtn1Click);
}

void Tfkivtools::showEvent(QShowEvent *event)
{
    Prepare();
    QDialog::showEvent(event);
}

void Tfkivtools::Prepare()
{
    m_working = m_toolbars->Items();
    {
        const QSignalBlocker block(m_toolbarList);
        m_toolbarList->clear();
        for (const QString &name : ToolbarNames()) {
            auto *item = new QListWidgetItem(name, m_toolbarList);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(m_working.Visible(name) ? Qt::Checked : Qt::Unchecked);
        }
    }
    m_toolbarList->setCurrentRow(-1);
    m_toolbarList->setCurrentRow(0);

    // The commands and their shortcuts as they are now.
    m_table = TShortcutTable();
    m_actions.clear();
    TToolbars::ForEachCommand(m_menus, [&](QAction *action, const QString &key, const QString &menu) {
        QStringList texts;
        for (const QKeySequence &sequence : action->shortcuts())
            texts << sequence.toString(QKeySequence::PortableText);
        m_table.Add(Plain(menu), Plain(action->text()), key, texts);
        m_actions << action;
    });
    const QString category = m_categories->currentText();
    {
        const QSignalBlocker block(m_categories);
        m_categories->clear();
        m_categories->addItems(m_table.Categories());
        m_categories->setCurrentIndex(qMax(0, m_categories->findText(category)));
    }
    CategoryCBChange(m_categories->currentIndex());
}

// --- page "Toolbars" ---------------------------------------------------------------------------

void Tfkivtools::SelectToolbar(int row)
{
    m_filling = true;
    m_toolbarCommands->clear();
    m_description->clear();
    if (row >= 0 && row < ToolbarNames().size()) {
        const QString bar = ToolbarNames().at(row);
        for (const QString &name : m_toolbars->ButtonNames(bar)) {
            QAction *command = m_toolbars->ButtonCommand(name);
            auto *item = new QListWidgetItem(name.mid(bar.size() + 1), m_toolbarCommands);
            if (command)
                item->setIcon(command->icon());
            item->setData(Qt::UserRole, name);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(m_working.Visible(name) ? Qt::Checked : Qt::Unchecked);
        }
    }
    m_filling = false;
}

void Tfkivtools::ToolbarItemChanged(QListWidgetItem *item)
{
    m_working.Set(item->text(), item->checkState() == Qt::Checked);
}

void Tfkivtools::CommandItemChanged(QListWidgetItem *item)
{
    if (m_filling)
        return;
    m_working.Set(item->data(Qt::UserRole).toString(), item->checkState() == Qt::Checked);
}

void Tfkivtools::CommandItemClicked(QListWidgetItem *item)
{
    CommandItemChanged(item);
    QAction *command = m_toolbars->ButtonCommand(item->data(Qt::UserRole).toString());
    QString hint = command ? command->statusTip() : QString();
    if (hint.isEmpty() && command)
        hint = command->toolTip();
    m_description->setPlainText(hint);
}

void Tfkivtools::ResetButtonClick()
{
    m_working.ResetToDefaults();
    const QSignalBlocker block(m_toolbarList);
    for (int n = 0; n < m_toolbarList->count(); ++n) {
        QListWidgetItem *item = m_toolbarList->item(n);
        item->setCheckState(m_working.Visible(item->text()) ? Qt::Checked : Qt::Unchecked);
    }
    SelectToolbar(m_toolbarList->currentRow());
}

// --- page "Keyboard" ---------------------------------------------------------------------------

void Tfkivtools::CategoryCBChange(int index)
{
    Q_UNUSED(index);
    FillCommands();
    m_currentKeys->clear();
    m_assign->setEnabled(false);
    m_remove->setEnabled(false);
}

void Tfkivtools::FillCommands()
{
    const QSignalBlocker block(m_commands);
    m_commands->clear();
    m_listed = m_table.Commands(m_categories->currentText());
    for (int command : m_listed)
        m_commands->addItem(m_table.Command(command).caption);
}

int Tfkivtools::CurrentCommand() const
{
    const int row = m_commands->currentRow();
    return row >= 0 && row < int(m_listed.size()) ? m_listed[size_t(row)] : -1;
}

void Tfkivtools::FillCurrentKeys()
{
    const QSignalBlocker block(m_currentKeys);
    m_currentKeys->clear();
    const int command = CurrentCommand();
    if (command >= 0)
        m_currentKeys->addItems(m_table.CurrentKeys(command));
    m_remove->setEnabled(false);
}

void Tfkivtools::CommandsLBClick(int row)
{
    Q_UNUSED(row);
    FillCurrentKeys();
    HotKeyChange();
}

void Tfkivtools::CurrentKeysLBClick(int row)
{
    const QListWidgetItem *item = m_currentKeys->item(row);
    m_remove->setEnabled(item && item->text() != NoShortcutText());
}

void Tfkivtools::HotKeyChange()
{
    QKeySequence sequence = m_hotKey->keySequence();
    // One key combination makes a shortcut: the first one pressed counts.
    if (sequence.count() > 1) {
        const QSignalBlocker block(m_hotKey);
        sequence = QKeySequence(sequence[0]);
        m_hotKey->setKeySequence(sequence);
    }
    m_assign->setEnabled(CurrentCommand() >= 0 && !sequence.isEmpty());
}

void Tfkivtools::ApplyShortcuts(int command)
{
    QList<QKeySequence> keys;
    for (const QString &text : m_table.Command(command).shortcuts)
        keys << QKeySequence::fromString(text, QKeySequence::PortableText);
    m_actions.at(command)->setShortcuts(keys);
}

void Tfkivtools::AssignBClick()
{
    const int command = CurrentCommand();
    const QString text = m_hotKey->keySequence().toString(QKeySequence::PortableText);
    if (command < 0 || text.isEmpty())
        return;
    const int owner = m_table.Owner(text, command);
    if (owner >= 0) {
        if (!AskYesNo(ShortcutTakenQuestion(text, m_table.Command(owner).key, m_table.Command(command).key)))
            return;
        m_table.RemoveShortcut(owner, text);
        ApplyShortcuts(owner);
    }
    m_table.Assign(command, text);
    ApplyShortcuts(command);
    FillCurrentKeys();
    m_hotKey->clear();
    m_assign->setEnabled(false);
}

void Tfkivtools::RemoveBClick()
{
    const int command = CurrentCommand();
    if (command < 0 || !m_table.Remove(command, m_currentKeys->currentRow()))
        return;
    ApplyShortcuts(command);
    FillCurrentKeys();
}

// --- OK ----------------------------------------------------------------------------------------

void Tfkivtools::BitBtn1Click()
{
    QWidget *main = parentWidget() ? parentWidget()->window() : nullptr;
    if (main)
        main->setUpdatesEnabled(false);
    m_toolbars->ApplyItems(m_working);
    if (main)
        main->setUpdatesEnabled(true);
    TIniFile ini(m_settingsPath);
    TToolbars::SaveShortcuts(m_menus, ini);
    m_toolbars->SaveToolbars(ini);
    accept();
}

}  // namespace kiv
