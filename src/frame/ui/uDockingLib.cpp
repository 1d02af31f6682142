#include "uDockingLib.h"

#include "kivini.h"
#include "screenfit.h"
#include "uConjoinHost.h"
#include "uDockForm.h"
#include "uDockManager.h"
#include "uDockPageControl.h"
#include "uDockPanel.h"
#include "uTabHost.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

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

QRect TDockingLib::ScreenArea() const
{
    const QScreen *screen = m_mainWindow ? m_mainWindow->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
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

namespace {

// Keys of one form's place.
const QString kDocked = QStringLiteral("Docked");
const QString kDockHost = QStringLiteral("Dock Host");
const QString kDockHostTag = QStringLiteral("Dock Host Tag");
const QString kDockTabHostTag = QStringLiteral("Dock Tab Host Tag");
const QString kDockHostHeight = QStringLiteral("Dock Host Height");
const QString kDockHostWidth = QStringLiteral("Dock Host Width");
const QString kDockHostTop = QStringLiteral("Dock Host Top");
const QString kDockHostLeft = QStringLiteral("Dock Host Left");
const QString kDockHostVisible = QStringLiteral("Dock Host Visible");
const QString kHeight = QStringLiteral("Height");
const QString kWidth = QStringLiteral("Width");
const QString kTop = QStringLiteral("Top");
const QString kLeft = QStringLiteral("Left");
const QString kVisible = QStringLiteral("Visible");
const QString kOrientation = QStringLiteral("Orientation");

// A rectangle from stored numbers, which may be anything: bounded so that its right and bottom
// edges (left + width - 1) stay inside int; the fit to the screen comes later.
QRect StoredRect(int left, int top, int width, int height)
{
    constexpr int kBound = 1 << 28;
    return QRect(std::clamp(left, -kBound, kBound), std::clamp(top, -kBound, kBound),
                 std::clamp(width, -kBound, kBound), std::clamp(height, -kBound, kBound));
}

// The saved place of a group window.
struct TGroupPlace {
    QRect bounds;
    bool visible = false;
};

TGroupPlace ReadGroupPlace(const TIniFile &ini, const QString &section)
{
    TGroupPlace place;
    const int top = ini.ReadInteger(section, kDockHostTop, 200);
    const int left = ini.ReadInteger(section, kDockHostLeft, 200);
    const int height = ini.ReadInteger(section, kDockHostHeight, 200);
    const int width = ini.ReadInteger(section, kDockHostWidth, 200);
    place.bounds = StoredRect(left, top, width, height);
    place.visible = ini.ReadBool(section, kDockHostVisible, false);
    return place;
}

}  // namespace

bool TDockingLib::SaveFormPlace(TIniFile &ini, TDockForm *form, const QString &section) const
{
    if (!form)
        return false;
    TIniFile::Batch batch(ini);
    TDockSite *site = form->HostDockSite();
    batch.WriteBool(section, kDocked, site != nullptr);
    if (!site) {
        batch.WriteInteger(section, kDockHost, 0);
    } else {
        const TDockSiteKind kind = site->SiteKind();
        const bool known = kind == skPanel || kind == skTabGroup || kind == skSideBySideGroup;
        batch.WriteString(section, kDockHost, known ? site->SiteClassName() : QStringLiteral("custom"));
        batch.WriteInteger(section, kDockHostTag, site->Tag());
        if (kind == skTabGroup || kind == skSideBySideGroup) {
            TDockClient *group = site->GroupWindow();
            if (kind == skTabGroup) {
                TDockSite *groupSite = group->HostDockSite();
                batch.WriteInteger(section, kDockTabHostTag, groupSite ? groupSite->Tag() : -1);
            }
            const QRect bounds = group->geometry();
            batch.WriteInteger(section, kDockHostHeight, bounds.height());
            batch.WriteInteger(section, kDockHostWidth, bounds.width());
            batch.WriteInteger(section, kDockHostTop, bounds.top());
            batch.WriteInteger(section, kDockHostLeft, bounds.left());
            batch.WriteBool(section, kDockHostVisible, group->Visible());
        }
    }
    const QRect bounds = form->geometry();
    batch.WriteInteger(section, kHeight, bounds.height());
    batch.WriteInteger(section, kWidth, bounds.width());
    batch.WriteInteger(section, kTop, bounds.top());
    batch.WriteInteger(section, kLeft, bounds.left());
    batch.WriteBool(section, kVisible, form->Visible());
    if (TDockPanel *panel = AsPanel(site))
        batch.WriteInteger(section, kOrientation, panel->DockManager()->DockOrientation(form));
    return batch.Commit();
}

bool TDockingLib::RestoreFormPlace(const TIniFile &ini, TDockForm *form, const QString &section)
{
    if (!form)
        return true;
    const int top = ini.ReadInteger(section, kTop, 200);
    const int left = ini.ReadInteger(section, kLeft, 200);
    const int height = std::max(0, ini.ReadInteger(section, kHeight, 200));
    const int width = std::max(0, ini.ReadInteger(section, kWidth, 200));
    const QString host = ini.ReadString(section, kDockHost);
    const int hostTag = ini.ReadInteger(section, kDockHostTag, 1);
    const bool visible = ini.ReadBool(section, kVisible, true);
    const bool docked = ini.ReadBool(section, kDocked, true);
    const QRect bounds = StoredRect(left, top, width, height);

    if (!docked) {
        form->setMinimumWidth(0);
        form->setMaximumHeight(QWIDGETSIZE_MAX);
        // A file from another screen, or a damaged one, must not float a window out of reach.
        form->ManualFloat(FitFloatingRect(bounds, ScreenArea()));
        form->setVisible(visible);
        return true;
    }
    if (!ini.SectionExists(section))
        return false;

    if (host == QLatin1String("TPanel")) {
        // Hidden while it docks, so the panel opens only for what is visible after the layout.
        form->hide();
        if (TDockPanel *panel = Panel(hostTag))
            form->ManualDock(panel, nullptr, alNone);
        if (form->Floating())
            form->setGeometry(FitFloatingRect(bounds, ScreenArea()));
        form->setVisible(visible);
        return true;
    }
    if (host == QLatin1String("TPageControl")) {
        TTabDockHost *group = nullptr;
        for (TDockClient *client : TDockClient::AllClients()) {
            auto *candidate = qobject_cast<TTabDockHost *>(client);
            if (candidate && candidate->HostTag() == hostTag)
                group = candidate;
        }
        TGroupPlace place;
        bool placeRead = false;
        if (!group) {
            group = new TTabDockHost(this, m_mainWindow);
            group->SetHostTag(hostTag);
            place = ReadGroupPlace(ini, section);
            placeRead = true;
            group->ManualFloat(FitFloatingRect(place.bounds, ScreenArea()));
            const int groupSite = ini.ReadInteger(section, kDockTabHostTag, -1);
            if (TDockPanel *panel = Panel(groupSite))
                group->ManualDock(panel, nullptr, alNone);
        }
        TTabDockHost::RaiseTabHostCounter(hostTag);
        form->hide();
        form->ManualDock(group->PageControl1(), nullptr, alNone);
        form->setVisible(visible);
        // A group opened by an earlier form of this restore keeps the visibility it was given.
        if (placeRead)
            group->setVisible(place.visible);
        group->UpdateCaption();
        return true;
    }
    if (host == QLatin1String("TConjoinDockHost")) {
        TConjoinDockHost *group = nullptr;
        for (TDockClient *client : TDockClient::AllClients()) {
            auto *candidate = qobject_cast<TConjoinDockHost *>(client);
            if (candidate && candidate->HostTag() == hostTag)
                group = candidate;
        }
        TGroupPlace place;
        bool placeRead = false;
        if (!group) {
            group = new TConjoinDockHost(this, m_mainWindow);
            group->SetHostTag(hostTag);
            place = ReadGroupPlace(ini, section);
            placeRead = true;
            group->ManualFloat(FitFloatingRect(place.bounds, ScreenArea()));
        }
        TConjoinDockHost::RaiseConjoinHostCounter(hostTag);
        form->hide();
        form->ManualDock(group->DockArea(), nullptr, alNone);
        form->SetDockSite(false);
        form->setVisible(visible);
        if (placeRead)
            group->setVisible(place.visible);
        group->UpdateCaption();
        return true;
    }
    if (host == QLatin1String("custom"))
        return form->DockToCustomHost(top, left, visible, hostTag, width, height);
    return true;
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
        // Sizes from an older or damaged file never take the page area away.
        const int size = FitPanelSize(keys.tag, keys.tag == dpBottom ? height : width, ClientSize());
        panel->SetPanelSize(size);
        m_sizes.SetSaved(keys.tag, size);
    }
    for (TDockPanel *panel : {m_left, m_right, m_bottom})
        ShowDockPanel(panel, panel->VisibleDockClientCount() > 0);
}

}  // namespace kiv
