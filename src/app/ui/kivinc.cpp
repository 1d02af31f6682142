#include "kivinc.h"

#include "kivprompt.h"
#include "kivproject.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace kiv {

namespace {

QPushButton *MakeButton(QWidget *parent, const QString &name, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

Tfkivinc::Tfkivinc(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("fkivinc"));
    setWindowTitle(QStringLiteral("Include Files"));

    auto *label = new QLabel(QStringLiteral("Include File Search Order:"), this);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("ListBox"));
    label->setBuddy(m_list);

    QPushButton *up = MakeButton(this, QStringLiteral("MoveUp"), QStringLiteral("Move Up"));
    QPushButton *down = MakeButton(this, QStringLiteral("MoveDn"), QStringLiteral("Move Dn"));
    QPushButton *remove = MakeButton(this, QStringLiteral("Delete"), QStringLiteral("Delete"));
    auto *side = new QVBoxLayout;
    side->addWidget(up);
    side->addWidget(down);
    side->addWidget(remove);
    side->addStretch(1);

    m_newname = new QLineEdit(this);
    m_newname->setObjectName(QStringLiteral("newname"));
    QPushButton *browse = MakeButton(this, QStringLiteral("Browse"), QStringLiteral("..."));
    browse->setFixedWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    QPushButton *add = MakeButton(this, QStringLiteral("Add"), QStringLiteral("Add"));

    m_cbox = new QCheckBox(this);
    m_cbox->setObjectName(QStringLiteral("cbox"));

    QPushButton *save = MakeButton(this, QStringLiteral("Save"), QStringLiteral("Save"));
    QPushButton *cancel = MakeButton(this, QStringLiteral("Cancel"), QStringLiteral("Cancel"));
    save->setDefault(true);

    auto *grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0, 1, 3);
    grid->addWidget(m_list, 1, 0, 1, 3);
    grid->addLayout(side, 1, 3);
    grid->addWidget(m_newname, 2, 0, 1, 2);
    grid->addWidget(browse, 2, 2);
    grid->addWidget(add, 2, 3);
    grid->addWidget(m_cbox, 3, 0, 1, 4);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(save);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 4, 0, 1, 4);
    grid->setColumnStretch(0, 1);
    resize(480, 320);

    connect(up, &QPushButton::clicked, this, &Tfkivinc::MoveUpClick);
    connect(down, &QPushButton::clicked, this, &Tfkivinc::MoveDnClick);
    connect(remove, &QPushButton::clicked, this, &Tfkivinc::DeleteClick);
    connect(add, &QPushButton::clicked, this, &Tfkivinc::AddClick);
    connect(browse, &QPushButton::clicked, this, &Tfkivinc::BrowseClick);
    connect(m_newname, &QLineEdit::returnPressed, this, &Tfkivinc::AddClick);
    connect(save, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void Tfkivinc::Setup(const QString &list, const QString &checkCaption, bool checked)
{
    m_list->clear();
    m_list->addItems(SplitIncludeList(list));
    if (m_list->count() > 0)
        m_list->setCurrentRow(0);
    m_newname->clear();
    m_cbox->setText(checkCaption);
    m_cbox->setChecked(checked);
}

QStringList Tfkivinc::Entries() const
{
    QStringList entries;
    for (int i = 0; i < m_list->count(); ++i)
        entries << m_list->item(i)->text();
    return entries;
}

QString Tfkivinc::List() const
{
    return JoinIncludeList(Entries());
}

bool Tfkivinc::Checked() const
{
    return m_cbox->isChecked();
}

void Tfkivinc::MoveSelected(int delta)
{
    const int row = m_list->currentRow();
    const int to = row + delta;
    if (row < 0 || to < 0 || to >= m_list->count())
        return;
    QListWidgetItem *item = m_list->takeItem(row);
    m_list->insertItem(to, item);
    m_list->setCurrentRow(to);
}

void Tfkivinc::MoveUpClick()
{
    MoveSelected(-1);
}

void Tfkivinc::MoveDnClick()
{
    MoveSelected(+1);
}

void Tfkivinc::DeleteClick()
{
    const int row = m_list->currentRow();
    if (row < 0)
        return;
    delete m_list->takeItem(row);
    if (m_list->count() > 0)
        m_list->setCurrentRow(qMin(row, m_list->count() - 1));
}

void Tfkivinc::AddClick()
{
    // A ";" inside an entry would split it into two folders when the list is joined.
    const QStringList pieces = SplitIncludeList(m_newname->text());
    if (pieces.isEmpty())
        return;
    m_list->addItems(pieces);
    m_list->setCurrentRow(m_list->count() - 1);
    m_newname->clear();
}

void Tfkivinc::BrowseClick()
{
    const QString folder = Prompt().FolderName(QStringLiteral("Select a Folder"), m_newname->text());
    if (!folder.isEmpty())
        m_newname->setText(folder);
}

std::function<int(QDialog &)> &Tfkivinc::ExecHook()
{
    static std::function<int(QDialog &)> hook;
    return hook;
}

QString EditIncludeDirs(QWidget *parent, const QString &list, const QString &checkCaption,
                        bool &checked, bool *accepted)
{
    Tfkivinc dialog(parent);
    dialog.Setup(list, checkCaption, checked);
    const auto &hook = Tfkivinc::ExecHook();
    const bool ok = (hook ? hook(dialog) : dialog.exec()) == QDialog::Accepted;
    if (accepted)
        *accepted = ok;
    if (!ok)
        return list;
    checked = dialog.Checked();
    return dialog.List();
}

}  // namespace kiv
