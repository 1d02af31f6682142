#include "kivmain_devices.h"

#include "kivdef.h"
#include "kivmain.h"
#include "kivproject.h"
#include "kivreview.h"
#include "kivsxwiz.h"
#include "kivwizard.h"
#include "pc_dirs.h"

namespace kiv {

TDeviceParts::TDeviceParts(Tfkivmain &main) : QObject(&main), m_main(main)
{
    m_defines = new Tfkivdef(SettingsFilePath(), &main);
    m_defines->ProjectFolder = [this] { return m_main.CurrentProject().Folder(); };
    m_main.GlobalDefinesHook = [this] { return m_defines->GlobalDefinesText(); };
    m_wizard = new Tfkivwizard(&main);
    m_wizard->showHelp = [this](const QString &topic) { m_main.ShowHelpTopic(topic); };
    m_sxWizard = new Tfkivsxwiz(&main);
    m_sxWizard->showHelp = [this](const QString &topic) { m_main.ShowHelpTopic(topic); };
}

int TDeviceParts::ProjectProcessor() const
{
    return ProjectProcessorNumber(m_main.CurrentProject().ProjectFile());
}

void TDeviceParts::ShowFuseReview()
{
    kiv::ShowFuseReview(&m_main, ProjectProcessor());
}

void TDeviceParts::ShowInterruptReview()
{
    kiv::ShowInterruptReview(&m_main, ProjectProcessor());
}

void TDeviceParts::RunPicWizard()
{
    const TWizardRunResult result = m_wizard->Run(m_main.Environment().IncludeDirs);
    if (result.cPath.isEmpty() || !m_main.CloseAll())
        return;
    m_main.doopenfile(result.cPath, 'R');
}

void TDeviceParts::RunSxWizard()
{
    const TSxRunResult result = m_sxWizard->Run();
    if (result.cPath.isEmpty() || !m_main.CloseAll())
        return;
    m_main.doopenfile(result.cPath, 'R');
}

void TDeviceParts::ShowGlobalDefines()
{
    m_defines->show();
    m_defines->raise();
    m_defines->activateWindow();
}

}  // namespace kiv

// The main window's commands of this part.
namespace kiv {

void Tfkivmain::CreateDevices()
{
    m_devices = new TDeviceParts(*this);
}

void Tfkivmain::ActionViewFusesExecute()
{
    m_devices->ShowFuseReview();
}

void Tfkivmain::ActionViewInterruptsExecute()
{
    m_devices->ShowInterruptReview();
}

void Tfkivmain::ActionWizardExecute()
{
    m_devices->RunPicWizard();
}

void Tfkivmain::ActionSxWizardExecute()
{
    m_devices->RunSxWizard();
}

void Tfkivmain::ActionGlobalDefinesExecute()
{
    m_devices->ShowGlobalDefines();
}

}  // namespace kiv
