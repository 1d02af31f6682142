#include "uDockingLib.h"

#include "kivini.h"
#include "uDockForm.h"
#include "uDockManager.h"
#include "uDockPageControl.h"
#include "uDockPanel.h"
#include "uTabHost.h"

namespace kiv {

namespace {

struct TPanelKeys {
    const char *name;
    int tag;
};
// The order in which the panels are written and read.
constexpr TPanelKeys kPanelKeys[] = {{"Left", dpLeft}, {"Bottom", dpBottom}, {"Right", dpRight}};

bool IsGroupable(TDockClient *client)
{
    return qobject_cast<TDockForm *>(client) || qobject_cast<TTabDockHost *>(client);
}

}  // namespace

TDockingLib::TDockingLib(QWidget *mainWindow, TDockPanel *leftPanel, TDockPanel *bottomPanel,
                         TDockPanel *rightPanel, TDockSplitter *leftSplitter, TDockSplitter *bottomSplitter,
                         TDockSplitter *rightSplitter)
    : QObject(mainWindow)
    , m_mainWindow(mainWindow)
    , m_left(leftPanel)
    , m_bottom(bottomPanel)
    , m_right(rightPanel)
    , m_leftSplitter(leftSplitter)
    , m_bottomSplitter(bottomSplitter)
    , m_rightSplitter(rightSplitter)
{
    m_left->SetTag(dpLeft);
    m_bottom->SetTag(dpBottom);
    m_right->SetTag(dpRight);
    for (TDockPanel *panel : {m_left, m_bottom, m_right}) {
        m_alive.append(panel);
        panel->SetPanelSize(0);
        Splitter(panel)->hide();
        InstallPanelHandlers(panel);
    }
}

TDockingLib::~TDockingLib()
{
    // The panels may outlive the docking layer inside the main window; their handlers end here.
    for (const QPointer<TDockPanel> &panel : std::as_const(m_alive)) {
        if (!panel)
            continue;
        panel->OnGetSiteInfo = nullptr;
        panel->OnDockOver = nullptr;
        panel->OnDockDrop = nullptr;
        panel->OnUnDock = nullptr;
        panel->OnResize = nullptr;
    }
}

TDockPanel *TDockingLib::Panel(int tag) const
{
    switch (tag) {
    case dpLeft: return m_left;
    case dpBottom: return m_bottom;
    case dpRight: return m_right;
    default: return nullptr;
    }
}

TDockPanel *TDockingLib::AsPanel(TDockSite *site) const
{
    if (!site)
        return nullptr;
    for (TDockPanel *panel : {m_left, m_bottom, m_right}) {
        if (static_cast<TDockSite *>(panel) == site)
            return panel;
    }
    return nullptr;
}

TDockSplitter *TDockingLib::Splitter(const TDockPanel *panel) const
{
    if (panel == m_left)
        return m_leftSplitter;
    if (panel == m_bottom)
        return m_bottomSplitter;
    if (panel == m_right)
        return m_rightSplitter;
    return nullptr;
}

QSize TDockingLib::ClientSize() const
{
    return m_mainWindow ? m_mainWindow->size() : QSize();
}

void TDockingLib::InstallPanelHandlers(TDockPanel *panel)
{
    panel->OnGetSiteInfo = [](TDockSite *, TDockClient *client, QRect &, const QPoint &, bool &canDock) {
        canDock = IsGroupable(client);
    };
    panel->OnDockOver = [this, panel](TDockSite *, TDockDragObject &source, const QPoint &, bool &accept) {
        accept = IsGroupable(source.Control);
        if (!accept)
            return;
        const QRect preview = DockPanelPreviewRect(panel->Tag(), panel->size(), ClientSize());
        source.DockRect = QRect(panel->mapToGlobal(preview.topLeft()), preview.size());
    };
    panel->OnDockDrop = [this, panel](TDockSite *, TDockDragObject &, const QPoint &) {
        if (panel->VisibleDockClientCount() == 1)
            ShowDockPanel(panel, true);
    };
    panel->OnUnDock = [this, panel](TDockSite *, TDockClient *client, TDockSite *newTarget, bool &) {
        // Collapse when no other visible window stays; a window moving within the panel
        // leaves it open.
        if (newTarget != panel && panel->VisibleDockClientCount(client) == 0)
            ShowDockPanel(panel, false);
    };
    panel->OnResize = [this](TDockPanel *resized) { m_sizes.Resized(resized->Tag(), resized->PanelSize()); };
}

void TDockingLib::ShowDockPanel(TDockPanel *panel, bool show, TDockClient *form)
{
    if (!panel)
        return;
    if (!show && panel->VisibleDockClientCount() > 1)
        return;
    if (TDockSplitter *splitter = Splitter(panel))
        splitter->setVisible(show);
    const int tag = panel->Tag();
    if (show) {
        panel->SetPanelSize(m_sizes.OpenSize(tag, ClientSize()));
        if (form)
            form->show();
    } else {
        m_sizes.Collapsing(tag, panel->PanelSize());
        panel->SetPanelSize(0);
    }
}

void TDockingLib::ShowDockedForm(TDockForm *form)
{
    if (!form)
        return;
    TDockSite *site = form->HostDockSite();
    if (site && site->SiteKind() == skTabGroup) {
        TDockClient *group = site->GroupWindow();
        if (group)
            group->show();
        if (TDockPanel *panel = group ? AsPanel(group->HostDockSite()) : nullptr)
            ShowDockPanel(panel, true, form);
        // The window itself may have been closed while its group stayed open.
        form->show();
        if (auto *pageControl = dynamic_cast<TDockPageControl *>(site))
            pageControl->ActivatePage(form);
        site->UpdateGroupCaption(nullptr);
        return;
    }
    if (site && site->SiteKind() == skSideBySideGroup) {
        TDockClient *group = site->GroupWindow();
        if (group && !group->Visible()) {
            group->show();
            site->UpdateGroupCaption(nullptr);
            form->show();
            return;
        }
    }
    if (TDockPanel *panel = AsPanel(site); panel && (panel->width() == 0 || panel->height() == 0)) {
        ShowDockPanel(panel, true, form);
        return;
    }
    if (form->ShowDocked())
        return;
    form->show();
    if (form->Floating())
        form->raise();
}

bool TDockingLib::IsDockedFormShowing(TDockForm *form) const
{
    if (!form)
        return false;
    TDockSite *site = form->HostDockSite();
    if (!site)
        return form->Visible();
    if (site->SiteKind() == skTabGroup || site->SiteKind() == skSideBySideGroup) {
        TDockClient *group = site->GroupWindow();
        return group && group->Visible() && form->Visible();
    }
    if (TDockPanel *panel = AsPanel(site))
        return panel->width() > 0 && panel->height() > 0;
    return false;
}

bool TDockingLib::SaveDockSites(TIniFile &ini, const QString &section) const
{
    TIniFile::Batch batch(ini);
    for (const TPanelKeys &keys : kPanelKeys) {
        TDockPanel *panel = Panel(keys.tag);
        const QString name = QString::fromLatin1(keys.name);
        int width = panel->width();
        int height = panel->height();
        // A collapsed panel keeps the size it re-opens at, not its momentary 0.
        if (panel->PanelSize() == 0 && m_sizes.Saved(keys.tag) > 0) {
            if (keys.tag == dpBottom)
                height = m_sizes.Saved(keys.tag);
            else
                width = m_sizes.Saved(keys.tag);
        }
        batch.WriteInteger(section, name + QStringLiteral(" Width"), width);
        batch.WriteInteger(section, name + QStringLiteral(" Height"), height);
        batch.WriteString(section, name + QStringLiteral(" Data"),
                          DockDataToHex(panel->DockManager()->SaveToStream()));
    }
    return batch.Commit();
}

void TDockingLib::LoadDockSites(const TIniFile &ini, const QString &section)
{
    for (const TPanelKeys &keys : kPanelKeys) {
        TDockPanel *panel = Panel(keys.tag);
        const QString name = QString::fromLatin1(keys.name);
        const QString data = ini.ReadString(section, name + QStringLiteral(" Data"));
        // A value that does not decode, or bytes that do not load, leave an empty arrangement
        // to which the windows already in the panel are added back.
        panel->DockManager()->LoadFromStream(DockDataFromHex(data));
        const int width = ini.ReadInteger(section, name + QStringLiteral(" Width"), 200);
        const int height = ini.ReadInteger(section, name + QStringLiteral(" Height"), 200);
        const int size = std::max(0, keys.tag == dpBottom ? height : width);
        panel->SetPanelSize(size);
        m_sizes.SetSaved(keys.tag, size);
    }
    for (TDockPanel *panel : {m_left, m_right, m_bottom})
        ShowDockPanel(panel, panel->VisibleDockClientCount() > 0);
}

}  // namespace kiv
