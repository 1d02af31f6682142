#include "kivprgm.h"

#include "kivini.h"
#include "kivprompt.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace kiv {

namespace {

// Group captions of the slots, and the main window command each one fills.
const char *const kSlotCaptions[tsSlotCount] = {
    "Device programmer 1 (Program Chip2)",
    "Device programmer 2 (Program Chip)",
    "Debugger 1 (Tool1)",
    "Debugger 2 (Tool2)",
    "Debugger 3 (Tool3)",
};

}  // namespace

Tfkivprgm::Tfkivprgm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Tfkivprgm"));
    setWindowTitle(QStringLiteral("Device Programmer/Debugger Options"));
    auto *top = new QVBoxLayout(this);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (int i = 0; i < tsSlotCount; ++i) {
        const TToolSlotInfo &info = ToolSlotInfo(TToolSlotId(i));
        auto *group = new QGroupBox(QLatin1String(kSlotCaptions[i]), this);
        auto *grid = new QGridLayout(group);
        auto *name = new QLineEdit(group);
        name->setObjectName(QLatin1String(info.nameControl));
        auto *command = new QLineEdit(group);
        command->setObjectName(QLatin1String(info.commandControl));
        command->setFont(fixed);
        command->setMinimumWidth(460);
        grid->addWidget(new QLabel(QStringLiteral("Name:"), group), 0, 0);
        grid->addWidget(name, 0, 1);
        grid->addWidget(new QLabel(QStringLiteral("Command:"), group), 1, 0);
        grid->addWidget(command, 1, 1);
        grid->setColumnStretch(1, 1);
        m_names[size_t(i)] = name;
        m_commands[size_t(i)] = command;
        top->addWidget(group);
    }
    auto *hints = new QGridLayout;
    const char *const labels[] = {"%H - Hex file name  ", "%D - Base part number", "%P - Project file name",
                                  "%C - Debug file name"};
    for (int i = 0; i < 4; ++i)
        hints->addWidget(new QLabel(QLatin1String(labels[i]), this), i / 2, i % 2);
    top->addLayout(hints);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    top->addWidget(buttons);
    Show(m_confirmed);
}

void Tfkivprgm::Show(const TToolSettings &settings)
{
    for (int i = 0; i < tsSlotCount; ++i) {
        m_names[size_t(i)]->setText(settings.Slot(TToolSlotId(i)).name);
        m_commands[size_t(i)]->setText(settings.Slot(TToolSlotId(i)).command);
        m_commands[size_t(i)]->setCursorPosition(0);
    }
}

void Tfkivprgm::LoadToolSettings(const TIniFile &ini)
{
    m_confirmed = TToolSettings();
    m_confirmed.Load(ini);
    Show(m_confirmed);
}

TToolSettings Tfkivprgm::Settings() const
{
    TToolSettings settings;
    for (int i = 0; i < tsSlotCount; ++i)
        settings.Slot(TToolSlotId(i)) = {m_names[size_t(i)]->text(), m_commands[size_t(i)]->text()};
    return settings;
}

bool Tfkivprgm::EditToolSettings(TIniFile &ini)
{
    Show(m_confirmed);
    if (exec() != QDialog::Accepted)
        return false;
    const TToolSettings settings = Settings();
    if (!settings.Save(ini)) {
        ShowError(QStringLiteral("Cannot write the settings file ") + ini.FileName());
        return false;
    }
    m_confirmed = settings;
    return true;
}

}  // namespace kiv
