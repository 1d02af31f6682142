#include "uDebugBase.h"

#include "uDbgForm.h"
#include "uDbgForm_model.h"
#include "uDockPageControl.h"
#include "uDockPanel.h"
#include "uDockingLib.h"

#include <QEvent>
#include <QTimer>

namespace kiv {

TDebugDockForm::TDebugDockForm(TDbgForm *debugForm, TDebugWindowModel *model)
    : TDockForm(debugForm->DockingLib(), debugForm->DockingLib() ? debugForm->DockingLib()->MainWindow() : nullptr)
    , m_debugForm(debugForm)
    , m_model(model)
{
    setObjectName(model->ClassName());
    setWindowTitle(model->Caption());
    SetUndockSize(QSize(360, 260));
    model->IsShowing = [this] { return IsShowing(); };
    model->OnControlsEnabled = [this](bool on) { SetControlsEnabled(on); };
    model->OnChanged = [this] { ModelChanged(); };
    OnDockActivate = [this](QObject *) { PostRefresh(); };
}

TDebugDockForm::~TDebugDockForm()
{
    m_model->IsShowing = nullptr;
    m_model->OnControlsEnabled = nullptr;
    m_model->OnChanged = nullptr;
}

bool TDebugDockForm::IsDebugTab() const
{
    return HostDockSite() == m_debugForm->PageControl();
}

bool TDebugDockForm::IsShowing() const
{
    if (IsDebugTab()) {
        TDockingLib *lib = m_debugForm->DockingLib();
        const bool debugShowing = lib ? lib->IsDockedFormShowing(m_debugForm) : m_debugForm->isVisible();
        return m_debugForm->PageControl()->ActivePageClient() == this && Visible() && debugShowing;
    }
    if (Floating())
        return isVisible();
    return DockingLib() && DockingLib()->IsDockedFormShowing(const_cast<TDebugDockForm *>(this));
}

bool TDebugDockForm::ShowDocked()
{
    if (!IsDebugTab())
        return false;
    m_debugForm->show();
    show();
    m_debugForm->PageControl()->ActivatePage(this);
    if (TDockingLib *lib = DockingLib()) {
        if (TDockPanel *panel = lib->AsPanel(m_debugForm->HostDockSite()))
            lib->ShowDockPanel(panel, true, m_debugForm);
        else if (!m_debugForm->Floating())
            lib->ShowDockedForm(m_debugForm);
    }
    return true;
}

bool TDebugDockForm::DockToCustomHost(int, int, bool visible, int hostTag, int, int)
{
    if (hostTag != kDebugHostTag)
        return false;
    hide();
    ManualDock(m_debugForm->PageControl(), nullptr, alClient);
    setVisible(visible);
    m_debugForm->PageControl()->ActivatePage(m_debugForm->PageControl()->ActivePageClient());
    return true;
}

void TDebugDockForm::PostRefresh()
{
    TDbgFormModel *session = m_debugForm->Session();
    if (!session || !session->IsHalted() || m_refreshPosted)
        return;
    m_refreshPosted = true;
    QTimer::singleShot(0, this, [this] {
        m_refreshPosted = false;
        TDbgFormModel *session = m_debugForm->Session();
        if (session && session->IsActive() && session->IsHalted() && IsShowing())
            m_model->Refresh();
    });
}

bool TDebugDockForm::event(QEvent *event)
{
    if (event->type() == QEvent::Show)
        PostRefresh();
    return TDockForm::event(event);
}

void TDebugDockForm::SetControlsEnabled(bool on)
{
    for (QWidget *child : Client()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        child->setEnabled(on);
}

}  // namespace kiv
