#include "kivreplace.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kiv {

namespace {

QComboBox *TextBox(const char *name, QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMinimumWidth(240);
    return box;
}

// Keeps the texts used in a box's drop-down, most recent first.
void Remember(QComboBox *box)
{
    const QString text = box->currentText();
    if (text.isEmpty() || box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0)
        return;
    box->insertItem(0, text);
    box->setCurrentIndex(0);
}

}  // namespace

TReplaceDialog::TReplaceDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ReplaceDialog1"));
    setWindowTitle(QStringLiteral("Replace"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *top = new QHBoxLayout(this);
    auto *left = new QVBoxLayout;
    auto *form = new QFormLayout;
    m_find = TextBox("FindText", this);
    m_replace = TextBox("ReplaceText", this);
    form->addRow(QStringLiteral("Fi&nd what:"), m_find);
    form->addRow(QStringLiteral("Re&place with:"), m_replace);
    left->addLayout(form);
    auto *options = new QHBoxLayout;
    m_matchCase = new QCheckBox(QStringLiteral("Match &case"), this);
    m_matchCase->setObjectName(QStringLiteral("MatchCase"));
    options->addWidget(m_matchCase, 0, Qt::AlignBottom);
    auto *direction = new QGroupBox(QStringLiteral("Direction"), this);
    direction->setObjectName(QStringLiteral("Direction"));
    auto *dirLayout = new QHBoxLayout(direction);
    m_up = new QRadioButton(QStringLiteral("&Up"), direction);
    m_up->setObjectName(QStringLiteral("Up"));
    m_down = new QRadioButton(QStringLiteral("&Down"), direction);
    m_down->setObjectName(QStringLiteral("Down"));
    m_down->setChecked(true);
    dirLayout->addWidget(m_up);
    dirLayout->addWidget(m_down);
    options->addWidget(direction);
    left->addLayout(options);
    left->addStretch(1);
    top->addLayout(left, 1);

    auto *buttons = new QVBoxLayout;
    const auto button = [&](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    QPushButton *findNext = button("FindNextBtn", QStringLiteral("&Find Next"));
    findNext->setDefault(true);
    QPushButton *replace = button("ReplaceBtn", QStringLiteral("&Replace"));
    QPushButton *replaceAll = button("ReplaceAllBtn", QStringLiteral("Replace &All"));
    QPushButton *inProject = button("ReplaceInProjectBtn", QStringLiteral("Replace in &Project"));
    QPushButton *cancel = button("CancelBtn", QStringLiteral("Cancel"));
    buttons->addStretch(1);
    top->addLayout(buttons);

    connect(findNext, &QPushButton::clicked, this, [this] {
        Remember(m_find);
        Q_EMIT FindNextClicked();
    });
    connect(replace, &QPushButton::clicked, this, [this] {
        Remember(m_find);
        Remember(m_replace);
        Q_EMIT ReplaceClicked();
    });
    connect(replaceAll, &QPushButton::clicked, this, [this] {
        Remember(m_find);
        Remember(m_replace);
        Q_EMIT ReplaceAllClicked();
    });
    connect(inProject, &QPushButton::clicked, this, [this] {
        Remember(m_find);
        Remember(m_replace);
        Q_EMIT ReplaceInProjectClicked();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TReplaceDialog::FindText() const
{
    return m_find->currentText();
}

void TReplaceDialog::SetFindText(const QString &text)
{
    m_find->setEditText(text);
}

QString TReplaceDialog::ReplaceText() const
{
    return m_replace->currentText();
}

bool TReplaceDialog::MatchCase() const
{
    return m_matchCase->isChecked();
}

bool TReplaceDialog::Down() const
{
    return m_down->isChecked();
}

void TReplaceDialog::SetDown(bool down)
{
    (down ? m_down : m_up)->setChecked(true);
}

void TReplaceDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_find->setFocus();
    m_find->lineEdit()->selectAll();
}

}  // namespace kiv
