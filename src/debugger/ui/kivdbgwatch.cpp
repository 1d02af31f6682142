#include "kivdbgwatch.h"

#include "uDbgForm_model.h"
#include "uDebugFormWatches_model.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kiv {

Tfkivdbgwatch::Tfkivdbgwatch(TDbgFormModel &session, QWidget *parent)
    : QDialog(parent)
    , m_session(session)
{
    setObjectName(QStringLiteral("fkivdbgwatch"));
    setWindowTitle(QStringLiteral("Watch entry"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Expresion (in a valid C syntax):"), this));
    m_expression = new QLineEdit(this);
    m_expression->setObjectName(QStringLiteral("watchstring"));
    layout->addWidget(m_expression);
    auto *formatBox = new QGroupBox(QStringLiteral("Format"), this);
    formatBox->setObjectName(QStringLiteral("Format"));
    auto *formatLayout = new QGridLayout(formatBox);
    m_format = new QButtonGroup(this);
    const char *items[] = {"Decimal", "Hex", "Binary", "Character", "String", "Float decimal places:"};
    for (int i = 0; i < 6; ++i) {
        auto *button = new QRadioButton(QLatin1String(items[i]), formatBox);
        m_format->addButton(button, i);
        formatLayout->addWidget(button, i / 3, i % 3);
    }
    m_places = new QSpinBox(formatBox);
    m_places->setObjectName(QStringLiteral("formatplaces"));
    m_places->setRange(0, 9);
    m_places->setValue(4);
    formatLayout->addWidget(m_places, 1, 3);
    m_format->button(0)->setChecked(true);
    m_places->setVisible(false);
    connect(m_format, &QButtonGroup::idToggled, this, [this](int, bool) { m_places->setVisible(m_format->checkedId() == wfFloat); });
    layout->addWidget(formatBox);

    auto *lists = new QGridLayout;
    lists->addWidget(new QLabel(QStringLiteral("Variables in scope at cursor location:"), this), 0, 0);
    lists->addWidget(new QLabel(QStringLiteral("#defines:"), this), 0, 1);
    m_variables = new QListWidget(this);
    m_variables->setObjectName(QStringLiteral("variables"));
    m_defines = new QListWidget(this);
    m_defines->setObjectName(QStringLiteral("defines"));
    lists->addWidget(m_variables, 1, 0);
    lists->addWidget(m_defines, 1, 1);
    auto *addVariable = new QPushButton(QStringLiteral("Add variable"), this);
    addVariable->setObjectName(QStringLiteral("varbut"));
    auto *addDefine = new QPushButton(QStringLiteral("Add define"), this);
    addDefine->setObjectName(QStringLiteral("defbut"));
    lists->addWidget(addVariable, 2, 0);
    lists->addWidget(addDefine, 2, 1);
    layout->addLayout(lists);
    connect(addVariable, &QPushButton::clicked, this, [this] {
        m_lastVariables = true;
        if (QListWidgetItem *item = m_variables->currentItem())
            m_expression->setText(m_expression->text() + TDebugWatchesModel::VariableText(item->text()));
    });
    connect(addDefine, &QPushButton::clicked, this, [this] {
        m_lastVariables = false;
        if (QListWidgetItem *item = m_defines->currentItem())
            m_expression->setText(m_expression->text() + TDebugWatchesModel::DefineText(item->text()));
    });

    auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = box->button(QDialogButtonBox::Ok);
    m_ok->setObjectName(QStringLiteral("okbut"));
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(box);
}

void Tfkivdbgwatch::FillLists()
{
    QStringList variables;
    QStringList defines;
    try {
        m_session.Watches().SymbolLists(variables, defines);
    } catch (const std::exception &) {
    }
    m_variables->clear();
    m_variables->addItems(variables);
    m_defines->clear();
    m_defines->addItems(defines);
    if (m_variables->count() > 0)
        m_variables->setCurrentRow(0);
    if (m_defines->count() > 0)
        m_defines->setCurrentRow(0);
}

void Tfkivdbgwatch::SetForAdd()
{
    FillLists();
    m_expression->clear();
    m_format->button(0)->setChecked(true);
    m_ok->setText(QStringLiteral("Add Watch"));
}

void Tfkivdbgwatch::SetForEdit(const QString &expression)
{
    FillLists();
    QString text;
    int format = wfDecimal;
    int places = 4;
    TDebugWatchesModel::SplitExpression(expression, text, format, places);
    m_expression->setText(text);
    m_format->button(format)->setChecked(true);
    m_places->setValue(places);
    m_ok->setText(QStringLiteral("Edit Watch"));
}

QString Tfkivdbgwatch::ResultText() const
{
    QString text = m_expression->text();
    if (text.isEmpty()) {
        QListWidget *list = m_lastVariables ? m_variables : m_defines;
        if (QListWidgetItem *item = list->currentItem())
            text = m_lastVariables ? TDebugWatchesModel::VariableText(item->text())
                                   : TDebugWatchesModel::DefineText(item->text());
    }
    return text + TDebugWatchesModel::Suffix(m_format->checkedId(), m_places->value());
}

}  // namespace kiv
