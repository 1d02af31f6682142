#include "kivmain_tools.h"

#include "kivgcal.h"
#include "kivini.h"
#include "kivmain.h"
#include "kivnotebook.h"
#include "kivpdf.h"
#include "kivprgm.h"
#include "kivprgm_model.h"
#include "kivprompt.h"
#include "pc_dirs.h"
#include "preferences_model.h"

#include <QAction>
#include <QIcon>

namespace kiv {

namespace {

// The main window command of each slot.
const char *const kSlotCommands[tsSlotCount] = {
    "ActionToolsProgramChip2", "ActionToolsProgramChip", "tool1action", "tool2action", "tool3action",
};

QIcon ToolImage(TToolImage image)
{
    switch (image) {
    case tiMplab: return QIcon::fromTheme(QStringLiteral("applications-development"));
    case tiIcepic: return QIcon::fromTheme(QStringLiteral("utilities-system-monitor"));
    default: return {};
    }
}

}  // namespace

TToolParts::TToolParts(Tfkivmain &main) : QObject(&main), Options(new Tfkivprgm(&main))
{
    setObjectName(QStringLiteral("ToolParts"));
}

void Tfkivmain::CreateTools()
{
    m_tools = new TToolParts(*this);
    m_tools->Options->LoadToolSettings(TIniFile(SettingsFilePath()));
    LaunchUserTool = [this](int tool, const QString &objectFile, const QString &base) {
        if (tool >= 1 && tool <= 3)
            LaunchToolSlot(tsDebugger1 + tool - 1, objectFile, base);
    };
    UpdateToolCommands();
}

Tfkivprgm *Tfkivmain::ToolOptions() const
{
    return m_tools ? m_tools->Options : nullptr;
}

void Tfkivmain::UpdateToolCommands()
{
    const TToolSettings &settings = m_tools->Options->Confirmed();
    for (int i = 0; i < tsSlotCount; ++i) {
        QAction *action = Command(QString::fromLatin1(kSlotCommands[i]));
        if (!action)
            continue;
        const TToolCommandState state = ToolCommandState(settings, TToolSlotId(i));
        action->setVisible(state.visible);
        action->setText(state.caption);
        if (i <= tsProgrammer2) {
            action->setToolTip(state.caption);
            action->setStatusTip(state.caption);
        } else {
            action->setIcon(ToolImage(state.image));
        }
    }
}

void Tfkivmain::LaunchToolSlot(int slot, const QString &hexFile, const QString &base)
{
    TLaunchContext context;
    context.hexFile = hexFile;
    context.base = base;
    context.includes = Environment().IncludeDirs;
    const TLaunchResult result = LaunchTool(m_tools->Options->Confirmed().Slot(TToolSlotId(slot)), context);
    if (!result.started)
        ShowError(result.error);
}

void Tfkivmain::ActionProgrammerOptionsExecute()
{
    TIniFile ini(SettingsFilePath());
    if (m_tools->Options->EditToolSettings(ini))
        UpdateToolCommands();
}

void Tfkivmain::ProgramChip(int slot)
{
    QString hex;
    QString base;
    if (!m_project.IsEmpty()) {
        base = m_project.Base();
        hex = base + QLatin1Char('.') + TCompileOptions::get_object_ext();
    }
    LaunchToolSlot(slot, hex, base);
}

void Tfkivmain::ActionToolsProgramChipExecute()
{
    ProgramChip(tsProgrammer2);
}

void Tfkivmain::ActionToolsProgramChip2Execute()
{
    ProgramChip(tsProgrammer1);
}

void Tfkivmain::ActionViewDataSheetExecute()
{
    ShowDataSheets(this, m_project.ProjectFile());
}

void Tfkivmain::ActionToolsExtractCalDataExecute()
{
    const QString include = ExtractCalibration(this);
    if (include.isEmpty())
        return;
    // An include file already open shows the new text.
    const int page = FindPage(include);
    if (page >= 0) {
        m_notebook->SetCurrentPage(page);
        ReloadPage(page);
    } else {
        doopenfile(include, QLatin1Char('T'));
    }
}

}  // namespace kiv
