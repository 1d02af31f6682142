#include "kivdef.h"

#include "kivini.h"
#include "kivprompt.h"
#include "textfile.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kiv {

Tfkivdef::Tfkivdef(QString settingsPath, QWidget *parent) : QDialog(parent), m_settingsPath(std::move(settingsPath))
{
    setObjectName(QStringLiteral("fkivdef"));
    setWindowTitle(QStringLiteral("Global Defines"));

    m_grid = new QTableWidget(kGlobalDefineRows, 2, this);
    m_grid->setObjectName(QStringLiteral("Grid"));
    m_grid->setHorizontalHeaderLabels({QStringLiteral("Identifier"), QStringLiteral("Value")});
    QStringList rows;
    for (int n = 1; n <= kGlobalDefineRows; ++n)
        rows << QString::number(n);
    m_grid->setVerticalHeaderLabels(rows);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_grid->setMinimumHeight(m_grid->horizontalHeader()->sizeHint().height()
                             + kGlobalDefineRows * m_grid->verticalHeader()->defaultSectionSize() + 4);
    connect(m_grid, &QTableWidget::itemChanged, this, [this] { TakeRows(); });

    m_enabled = new QCheckBox(QStringLiteral("Enabled"), this);
    m_enabled->setObjectName(QStringLiteral("enablegdefines"));
    connect(m_enabled, &QCheckBox::toggled, this, [this](bool on) { m_defines.SetEnabled(on); });

    auto *notes = new QVBoxLayout;
    for (const char *text : {"NOTE:  The above defines apply only to compiles done", "within KIV when ENABLED is checked.  ",
                             "These defines do NOT apply to MPLAB compiles."})
        notes->addWidget(new QLabel(QString::fromLatin1(text), this));

    auto *buttons = new QHBoxLayout;
    struct TButton { const char *name; const char *caption; void (Tfkivdef::*click)(); };
    const TButton list[] = {{"ClearBtn", "Clear", &Tfkivdef::ClearClick},
                            {"LoadBtn", "Load", &Tfkivdef::LoadClick},
                            {"SaveBtn", "Save", &Tfkivdef::SaveClick},
                            {"OKBtn", "OK", &Tfkivdef::OKClick}};
    for (const TButton &b : list) {
        auto *button = new QPushButton(QString::fromLatin1(b.caption), this);
        button->setObjectName(QString::fromLatin1(b.name));
        connect(button, &QPushButton::clicked, this, b.click);
        buttons->addWidget(button);
        if (QLatin1String(b.name) == QLatin1String("OKBtn"))
            button->setDefault(true);
    }

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grid);
    layout->addWidget(m_enabled);
    layout->addLayout(notes);
    layout->addLayout(buttons);
    resize(460, sizeHint().height());

    const TIniFile ini(m_settingsPath);
    m_defines.LoadFromSettings(ini);
    ShowRows();
}

void Tfkivdef::ShowRows()
{
    const QSignalBlocker blocker(m_grid);
    for (int n = 0; n < kGlobalDefineRows; ++n) {
        m_grid->setItem(n, 0, new QTableWidgetItem(m_defines.Rows()[n].identifier));
        m_grid->setItem(n, 1, new QTableWidgetItem(m_defines.Rows()[n].value));
    }
}

void Tfkivdef::TakeRows()
{
    for (int n = 0; n < kGlobalDefineRows; ++n) {
        const QTableWidgetItem *id = m_grid->item(n, 0);
        const QTableWidgetItem *value = m_grid->item(n, 1);
        m_defines.SetRow(n, id ? id->text() : QString(), value ? value->text() : QString());
    }
}

void Tfkivdef::ClearClick()
{
    m_defines.Clear();
    ShowRows();
}

void Tfkivdef::LoadClick()
{
    TFileQuestion question;
    question.folder = ProjectFolder ? ProjectFolder() : QString();
    question.filters = {QStringLiteral("Global Defines (*.def)")};
    const QString path = Prompt().OpenFileName(question);
    if (path.isEmpty())
        return;
    bool ok = false;
    const QStringList lines = ReadTextLines(path, &ok);
    if (!ok) {
        ShowError(QStringLiteral("Cannot read the file ") + path);
        return;
    }
    m_defines.LoadDefineLines(lines);
    ShowRows();
}

void Tfkivdef::SaveClick()
{
    TFileQuestion question;
    question.folder = ProjectFolder ? ProjectFolder() : QString();
    question.filters = {QStringLiteral("Global defines (*.def)")};
    question.defaultSuffix = QStringLiteral("def");
    const QString path = Prompt().SaveFileName(question);
    if (path.isEmpty())
        return;
    QString error;
    if (!WriteFileSafely(path, m_defines.DefineFileText(), false, &error))
        ShowError(error.isEmpty() ? QStringLiteral("Cannot write the file ") + path : error);
}

void Tfkivdef::OKClick()
{
    TakeRows();
    TIniFile ini(m_settingsPath);
    if (!m_defines.SaveToSettings(ini)) {
        ShowError(QStringLiteral("Cannot write the settings file ") + m_settingsPath);
        return;
    }
    accept();
}

}  // namespace kiv
