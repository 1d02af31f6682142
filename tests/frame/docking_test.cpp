#include "kivini.h"
#include "uConjoinHost.h"
#include "uDockForm.h"
#include "uDockManager.h"
#include "uDockPageControl.h"
#include "uDockPanel.h"
#include "uDockingLib.h"
#include "uTabHost.h"
#include "testfiles.h"

#include <QApplication>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace kiv;

namespace {

class TTestForm : public TDockForm {
public:
    TTestForm(TDockingLib *lib, const QString &name)
        : TDockForm(lib)
    {
        setObjectName(name);
        setWindowTitle(name);
        SetUndockSize(QSize(220, 160));
    }
};

void Settle()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

// A main window of 800 x 600 with the dock area as its client area, and the docking layer.
class DockingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_main = std::make_unique<QWidget>();
        auto *layout = new QVBoxLayout(m_main.get());
        layout->setContentsMargins(0, 0, 0, 0);
        auto *pages = new QWidget;
        pages->setObjectName("PageArea");
        m_area = new TDockArea(pages, m_main.get());
        layout->addWidget(m_area);
        m_main->setGeometry(50, 40, 800, 600);
        m_lib = new TDockingLib(m_main.get(), m_area->LeftPanel(), m_area->BottomPanel(), m_area->RightPanel(),
                                m_area->LeftSplitter(), m_area->BottomSplitter(), m_area->RightSplitter());
        m_main->show();
        Settle();
    }
    void TearDown() override
    {
        // Floating windows are children of the main window and go with it.
        m_main.reset();
        Settle();
    }

    TTestForm *NewForm(const QString &name, bool visible = true)
    {
        auto *form = new TTestForm(m_lib, name);
        form->ManualFloat(QRect(300, 200, 220, 160));
        form->setVisible(visible);
        return form;
    }
    TDockPanel *Panel(int tag) const { return m_lib->Panel(tag); }
    bool SplitterShown(int tag) const { return !m_lib->Splitter(Panel(tag))->isHidden(); }
    int Quarter(int tag) const { return tag == dpBottom ? 600 / 4 : 800 / 4; }
    TDockClient *Drag(TDockClient *client, const QPoint &from, const QPoint &to)
    {
        TDockDrag *drag = TDockDrag::Begin(client, from, QPoint(10, 5));
        drag->MoveTo(to);
        drag->Drop(to);
        Settle();
        return client;
    }

    std::unique_ptr<QWidget> m_main;
    TDockArea *m_area = nullptr;
    TDockingLib *m_lib = nullptr;
};

const int kTags[] = {dpLeft, dpBottom, dpRight};

}  // namespace

TEST_F(DockingTest, PanelsStartCollapsedWithTheirTags)
{
    for (int tag : kTags) {
        SCOPED_TRACE(tag);
        EXPECT_EQ(Panel(tag)->Tag(), tag);
        EXPECT_EQ(Panel(tag)->PanelSize(), 0);
        EXPECT_FALSE(SplitterShown(tag));
        EXPECT_EQ(Panel(tag)->SiteClassName(), "TPanel");
    }
    EXPECT_EQ(Panel(dpLeft)->width(), 0);
    EXPECT_EQ(Panel(dpBottom)->height(), 0);
    EXPECT_EQ(Panel(3), nullptr);
    EXPECT_EQ(m_lib->SavedLeftWidth() + m_lib->SavedBottomHeight() + m_lib->SavedRightWidth(), 0);
}

TEST_F(DockingTest, DockingIntoAPanelOpensItAtAQuarterThenClosingCollapsesIt)
{
    for (int tag : kTags) {
        SCOPED_TRACE(tag);
        TTestForm *form = NewForm(QStringLiteral("Form%1").arg(tag));
        ASSERT_TRUE(form->ManualDock(Panel(tag), nullptr, alClient));
        Settle();
        EXPECT_EQ(form->HostDockSite(), Panel(tag));
        EXPECT_FALSE(form->isWindow());
        EXPECT_EQ(Panel(tag)->PanelSize(), Quarter(tag));
        EXPECT_EQ(tag == dpBottom ? Panel(tag)->height() : Panel(tag)->width(), Quarter(tag));
        EXPECT_TRUE(SplitterShown(tag));
        EXPECT_TRUE(m_lib->IsDockedFormShowing(form));
        // The window fills its zone below (or beside) its grabber.
        const QRect zone = Panel(tag)->DockManager()->ZoneRect(form);
        EXPECT_EQ(form->geometry(), Panel(tag)->DockManager()->ClientRect(zone));
        EXPECT_EQ(zone, Panel(tag)->rect());

        // The user widens the panel; closing keeps that size for the next opening.
        Panel(tag)->SetPanelSize(Quarter(tag) + 37);
        EXPECT_TRUE(form->close());
        EXPECT_FALSE(form->Visible());
        EXPECT_EQ(Panel(tag)->PanelSize(), 0);
        EXPECT_FALSE(SplitterShown(tag));
        EXPECT_FALSE(m_lib->IsDockedFormShowing(form));
        EXPECT_EQ(m_lib->SavedSizes().Saved(tag), Quarter(tag) + 37);

        m_lib->ShowDockedForm(form);
        EXPECT_TRUE(form->Visible());
        EXPECT_EQ(Panel(tag)->PanelSize(), Quarter(tag) + 37);
        EXPECT_TRUE(SplitterShown(tag));
        EXPECT_TRUE(m_lib->IsDockedFormShowing(form));
    }
    EXPECT_EQ(m_lib->SavedLeftWidth(), 237);
    EXPECT_EQ(m_lib->SavedBottomHeight(), 187);
    EXPECT_EQ(m_lib->SavedRightWidth(), 237);
}

TEST_F(DockingTest, APanelOpensAtItsSavedSize)
{
    m_lib->SavedSizes().SetSaved(dpRight, 333);
    TTestForm *form = NewForm("Saved");
    form->ManualDock(Panel(dpRight));
    EXPECT_EQ(Panel(dpRight)->PanelSize(), 333);
}

TEST_F(DockingTest, AHiddenWindowDockedInAnOpenPanelCountsAsShowing)
{
    TTestForm *a = NewForm("A");
    TTestForm *b = NewForm("B");
    a->ManualDock(Panel(dpLeft));
    b->ManualDock(Panel(dpLeft), a, alBottom);
    b->hide();
    EXPECT_GT(Panel(dpLeft)->PanelSize(), 0);
    EXPECT_TRUE(m_lib->IsDockedFormShowing(b));
    // A window docked hidden does not open a collapsed panel.
    TTestForm *c = NewForm("C", false);
    c->ManualDock(Panel(dpRight));
    EXPECT_EQ(Panel(dpRight)->PanelSize(), 0);
    EXPECT_FALSE(m_lib->IsDockedFormShowing(c));
    m_lib->ShowDockedForm(c);
    EXPECT_TRUE(c->Visible());
    EXPECT_GT(Panel(dpRight)->PanelSize(), 0);
}

TEST_F(DockingTest, APanelWithTwoWindowsStaysOpenWhenOneLeaves)
{
    TTestForm *a = NewForm("A");
    TTestForm *b = NewForm("B");
    a->ManualDock(Panel(dpLeft));
    b->ManualDock(Panel(dpLeft), a, alBottom);
    Settle();
    EXPECT_EQ(Panel(dpLeft)->DockManager()->Zones().Names(), QStringList({"A", "B"}));
    EXPECT_EQ(Panel(dpLeft)->DockManager()->DockOrientation(b), doHorizontal);
    const int open = Panel(dpLeft)->PanelSize();

    ASSERT_TRUE(a->ManualFloat(QRect(100, 100, 200, 150)));
    EXPECT_EQ(Panel(dpLeft)->PanelSize(), open);
    EXPECT_EQ(Panel(dpLeft)->DockClientCount(), 1);
    // Closing one of two visible windows does not collapse either.
    a->ManualDock(Panel(dpLeft), b, alTop);
    EXPECT_TRUE(a->close());
    EXPECT_EQ(Panel(dpLeft)->PanelSize(), open);
    // A hidden window leaving does not take the visible one's panel with it.
    a->ManualFloat(QRect(100, 100, 200, 150));
    EXPECT_EQ(Panel(dpLeft)->PanelSize(), open);
    // The last visible window closing collapses it.
    EXPECT_TRUE(b->close());
    EXPECT_EQ(Panel(dpLeft)->PanelSize(), 0);
}

TEST_F(DockingTest, FloatingAtARectangle)
{
    TTestForm *form = NewForm("F");
    form->ManualDock(Panel(dpBottom));
    ASSERT_GT(Panel(dpBottom)->PanelSize(), 0);
    ASSERT_TRUE(form->ManualFloat(QRect(120, 130, 310, 210)));
    Settle();
    EXPECT_TRUE(form->Floating());
    EXPECT_TRUE(form->isWindow());
    EXPECT_TRUE(form->Visible());
    EXPECT_EQ(form->geometry(), QRect(120, 130, 310, 210));
    EXPECT_EQ(form->UndockWidth(), 310);
    EXPECT_EQ(form->UndockHeight(), 210);
    EXPECT_FALSE(form->CaptionBar()->isHidden());
    EXPECT_EQ(Panel(dpBottom)->PanelSize(), 0);
    EXPECT_EQ(Panel(dpBottom)->DockClientCount(), 0);
    EXPECT_TRUE(m_lib->IsDockedFormShowing(form));
    form->close();
    EXPECT_FALSE(m_lib->IsDockedFormShowing(form));
    m_lib->ShowDockedForm(form);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(DockingTest, ASiteMayRefuseToLetAWindowGo)
{
    TTestForm *form = NewForm("Kept");
    form->ManualDock(Panel(dpRight));
    Panel(dpRight)->OnUnDock = [](TDockSite *, TDockClient *, TDockSite *, bool &allow) { allow = false; };
    EXPECT_FALSE(form->ManualFloat(QRect(10, 10, 100, 100)));
    EXPECT_FALSE(form->ManualDock(Panel(dpLeft)));
    EXPECT_EQ(form->HostDockSite(), Panel(dpRight));
}

TEST_F(DockingTest, OnlyDockFormsAndTabGroupsDockInPanels)
{
    auto *plain = new TDockClient(m_main.get());
    plain->ManualFloat(QRect(300, 300, 100, 100));
    plain->show();
    QRect influence;
    bool canDock = true;
    Panel(dpLeft)->GetSiteInfo(plain, influence, QPoint(), canDock);
    EXPECT_FALSE(canDock);
    TTestForm *form = NewForm("Dockable");
    Panel(dpLeft)->GetSiteInfo(form, influence, QPoint(), canDock);
    EXPECT_TRUE(canDock);
    auto *group = new TTabDockHost(m_lib);
    Panel(dpLeft)->GetSiteInfo(group, influence, QPoint(), canDock);
    EXPECT_TRUE(canDock);
    // The area of influence reaches 10 pixels around the panel, so a collapsed one is found.
    EXPECT_EQ(influence, QRect(Panel(dpLeft)->mapToGlobal(QPoint(0, 0)), Panel(dpLeft)->size()).adjusted(-10, -10, 10, 10));
    delete group;
}

TEST_F(DockingTest, DraggingOntoACollapsedPanelPreviewsAQuarterAndDocks)
{
    struct TCase {
        int tag;
        QPoint at;       // in the dock area
        QRect preview;   // relative to the dock area
    };
    const QSize area = m_area->size();
    const std::vector<TCase> cases = {
        {dpLeft, QPoint(3, 200), QRect(0, 0, 200, area.height())},
        {dpRight, QPoint(area.width() - 3, 200), QRect(area.width() - 200, 0, 200, area.height())},
        {dpBottom, QPoint(400, area.height() - 3), QRect(0, area.height() - 150, area.width(), 150)},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.tag);
        TTestForm *form = NewForm(QStringLiteral("Dragged%1").arg(c.tag));
        const QPoint at = m_area->mapToGlobal(c.at);
        TDockDrag *drag = TDockDrag::Begin(form, form->ScreenRect().topLeft() + QPoint(10, 5), QPoint(10, 5));
        ASSERT_EQ(TDockDrag::Current(), drag);
        // Over the page area nothing takes it: the preview is the window's own rectangle.
        drag->MoveTo(m_area->mapToGlobal(QPoint(area.width() / 2, area.height() / 3)));
        EXPECT_FALSE(drag->Accepted());
        EXPECT_TRUE(drag->PreviewVisible());
        EXPECT_EQ(drag->PreviewRect().size(), QSize(220, 160));
        drag->MoveTo(at);
        EXPECT_TRUE(drag->Accepted());
        EXPECT_EQ(drag->Object().DragTarget, Panel(c.tag));
        EXPECT_EQ(drag->PreviewRect(), QRect(m_area->mapToGlobal(c.preview.topLeft()), c.preview.size()));
        drag->Drop(at);
        Settle();
        EXPECT_EQ(TDockDrag::Current(), nullptr);
        EXPECT_EQ(form->HostDockSite(), Panel(c.tag));
        EXPECT_EQ(Panel(c.tag)->PanelSize(), Quarter(c.tag));
    }
}

TEST_F(DockingTest, DroppingOverNothingFloatsTheWindowAtThePreviewAndEscapeCancels)
{
    TTestForm *form = NewForm("Mover");
    form->ManualDock(Panel(dpRight));
    Settle();
    // Escape leaves everything where it was.
    TDockDrag *drag = TDockDrag::Begin(form, form->ScreenRect().center(), QPoint(10, 5));
    drag->MoveTo(m_area->mapToGlobal(QPoint(200, 200)));
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(m_main.get(), &escape);
    Settle();
    EXPECT_EQ(TDockDrag::Current(), nullptr);
    EXPECT_EQ(form->HostDockSite(), Panel(dpRight));

    const QPoint target = m_area->mapToGlobal(QPoint(200, 200));
    Drag(form, form->ScreenRect().center(), target);
    EXPECT_TRUE(form->Floating());
    EXPECT_EQ(form->geometry(), QRect(target - QPoint(10, 5), QSize(220, 160)));
    EXPECT_EQ(Panel(dpRight)->PanelSize(), 0);
    // A floating window dropped over nothing moves there.
    Drag(form, form->ScreenRect().center(), target + QPoint(30, 40));
    EXPECT_EQ(form->pos(), target + QPoint(20, 35));
}

TEST_F(DockingTest, DraggingAGrabberWithTheMouseUndocksTheWindow)
{
    TTestForm *a = NewForm("A");
    TTestForm *b = NewForm("B");
    a->ManualDock(Panel(dpLeft));
    b->ManualDock(Panel(dpLeft), a, alBottom);
    Settle();
    TDockPanel *panel = Panel(dpLeft);
    const QRect zone = panel->DockManager()->ZoneRect(b);
    const QPoint grab = panel->DockManager()->GrabberRect(zone).center() - QPoint(10, 0);
    auto send = [](QWidget *w, QEvent::Type type, const QPoint &local, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(local), QPointF(w->mapToGlobal(local)), Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(w, &event);
    };
    send(panel, QEvent::MouseButtonPress, grab, Qt::LeftButton);
    const QPoint away = panel->mapFromGlobal(m_area->mapToGlobal(QPoint(400, 250)));
    send(panel, QEvent::MouseMove, away, Qt::LeftButton);
    ASSERT_NE(TDockDrag::Current(), nullptr);
    EXPECT_EQ(TDockDrag::Current()->Object().Control, b);
    send(panel, QEvent::MouseButtonRelease, away, Qt::NoButton);
    Settle();
    EXPECT_TRUE(b->Floating());
    EXPECT_EQ(a->HostDockSite(), panel);
    EXPECT_GT(panel->PanelSize(), 0);

    // The close button of a grabber closes the window, which collapses the panel.
    const QRect close = panel->DockManager()->CloseButtonRect(panel->DockManager()->ZoneRect(a));
    send(panel, QEvent::MouseButtonPress, close.center(), Qt::LeftButton);
    send(panel, QEvent::MouseButtonRelease, close.center(), Qt::NoButton);
    EXPECT_FALSE(a->Visible());
    EXPECT_EQ(panel->PanelSize(), 0);
}

TEST_F(DockingTest, DockingBesideADockedWindowSplitsItsZone)
{
    TTestForm *a = NewForm("A");
    TTestForm *b = NewForm("B");
    a->ManualDock(Panel(dpRight));
    Settle();
    TDockPanel *panel = Panel(dpRight);
    const QRect zoneA = panel->DockManager()->ZoneRect(a);
    // Near the bottom of A's zone: the lower half of A previews the drop.
    const QPoint at = panel->mapToGlobal(QPoint(zoneA.center().x(), zoneA.bottom() - 5));
    TDockDrag *drag = TDockDrag::Begin(b, b->ScreenRect().topLeft(), QPoint(10, 5));
    drag->MoveTo(at);
    // The panel handler shows a quarter of the main window, but the drop goes below A.
    EXPECT_EQ(drag->Object().DropAlign, alBottom);
    EXPECT_EQ(drag->Object().DropOnControl, a);
    drag->Drop(at);
    Settle();
    EXPECT_EQ(b->HostDockSite(), panel);
    EXPECT_EQ(panel->DockManager()->Zones().Names(), QStringList({"A", "B"}));
    EXPECT_EQ(panel->DockManager()->DockOrientation(b), doHorizontal);
    EXPECT_LT(a->geometry().bottom(), b->geometry().top());
}

TEST_F(DockingTest, AnArrangementSavedToBytesLoadsBackToTheSameZones)
{
    TTestForm *a = NewForm("A");
    TTestForm *b = NewForm("B");
    TTestForm *c = NewForm("C");
    TDockPanel *panel = Panel(dpRight);
    a->ManualDock(panel);
    b->ManualDock(panel, a, alBottom);
    c->ManualDock(panel, b, alRight);
    Settle();
    const QString zones = panel->DockManager()->Zones().Dump();
    EXPECT_EQ(zones, "H(A:0,V(B:0,C:0):0):0");
    const QByteArray bytes = panel->DockManager()->SaveToStream();

    // Somewhere else meanwhile: floating, and in another panel.
    a->ManualFloat(QRect(10, 10, 200, 200));
    b->ManualDock(Panel(dpLeft));
    c->ManualFloat(QRect(30, 30, 200, 200));
    EXPECT_EQ(panel->DockClientCount(), 0);

    ASSERT_TRUE(panel->DockManager()->LoadFromStream(bytes));
    Settle();
    EXPECT_EQ(panel->DockManager()->Zones().Dump(), zones);
    for (TDockClient *form : {static_cast<TDockClient *>(a), static_cast<TDockClient *>(b), static_cast<TDockClient *>(c)})
        EXPECT_EQ(form->HostDockSite(), panel) << form->objectName().toStdString();
    EXPECT_EQ(Panel(dpLeft)->DockClientCount(), 0);
    EXPECT_TRUE(Panel(dpLeft)->DockManager()->Zones().IsEmpty());

    // Windows that no longer exist are left out; windows already here but not named stay.
    delete b;
    TTestForm *d = NewForm("D");
    d->ManualDock(panel);
    EXPECT_TRUE(panel->DockManager()->LoadFromStream(bytes));
    EXPECT_EQ(panel->DockManager()->Zones().Names(), QStringList({"A", "C", "D"}));
    // Bytes that do not load give an empty arrangement of the windows that are here.
    EXPECT_FALSE(panel->DockManager()->LoadFromStream("garbage"));
    EXPECT_EQ(panel->DockClientCount(), 3);
    EXPECT_EQ(panel->DockManager()->Zones().Names().size(), 3);
}

TEST_F(DockingTest, TabGroupInTheBottomPanelOpensClosesAndReopens)
{
    TTestForm *output = NewForm("OutputForm", false);
    output->setWindowTitle("Output");
    auto *group = new TTabDockHost(m_lib);
    const int tag = group->HostTag();
    EXPECT_EQ(tag, TTabDockHost::TabHostCounter());
    EXPECT_EQ(group->objectName(), QStringLiteral("TabDockHost%1").arg(tag));
    group->ManualDock(Panel(dpBottom), nullptr, alClient);
    output->ManualDock(group->PageControl1(), nullptr, alClient);
    output->show();
    group->UpdateCaption();
    group->show();
    m_lib->ShowDockPanel(Panel(dpBottom), true);
    Settle();
    EXPECT_EQ(group->windowTitle(), "Output");
    EXPECT_EQ(group->PageControl1()->tabText(0), "Output");
    EXPECT_EQ(output->HostDockSite()->SiteKind(), skTabGroup);
    EXPECT_EQ(output->HostDockSite()->SiteClassName(), "TPageControl");
    EXPECT_TRUE(m_lib->IsDockedFormShowing(output));
    EXPECT_EQ(Panel(dpBottom)->PanelSize(), 150);

    // Closing the only page closes the group (posted) and collapses the panel.
    EXPECT_TRUE(output->close());
    EXPECT_EQ(Panel(dpBottom)->PanelSize(), 0);
    Settle();
    EXPECT_FALSE(group->Visible());
    EXPECT_EQ(group->HostDockSite(), Panel(dpBottom));
    EXPECT_FALSE(m_lib->IsDockedFormShowing(output));

    m_lib->ShowDockedForm(output);
    Settle();
    EXPECT_TRUE(group->Visible());
    EXPECT_TRUE(output->Visible());
    EXPECT_EQ(Panel(dpBottom)->PanelSize(), 150);
    EXPECT_TRUE(m_lib->IsDockedFormShowing(output));
    EXPECT_EQ(group->windowTitle(), "Output");
}

TEST_F(DockingTest, TabGroupCaptionListsTheVisiblePages)
{
    TTestForm *a = NewForm("Alpha");
    TTestForm *b = NewForm("Beta");
    TTestForm *c = NewForm("Gamma");
    auto *group = new TTabDockHost(m_lib);
    group->ManualFloat(QRect(100, 100, 300, 200));
    group->show();
    for (TTestForm *form : {a, b, c})
        form->ManualDock(group->PageControl1(), nullptr, alClient);
    EXPECT_EQ(group->windowTitle(), "Alpha, Beta, Gamma");
    // A page does not take drops on itself; the page control does, only dock forms, not twice.
    EXPECT_FALSE(a->DockSite());
    QRect influence;
    bool canDock = true;
    group->PageControl1()->GetSiteInfo(a, influence, QPoint(), canDock);
    EXPECT_FALSE(canDock);
    TTestForm *d = NewForm("Delta");
    group->PageControl1()->GetSiteInfo(d, influence, QPoint(), canDock);
    EXPECT_TRUE(canDock);

    b->close();
    Settle();
    EXPECT_EQ(group->windowTitle(), "Alpha, Gamma");
    EXPECT_TRUE(group->Visible());
    EXPECT_TRUE(m_lib->IsDockedFormShowing(a));
    EXPECT_FALSE(m_lib->IsDockedFormShowing(b));
    m_lib->ShowDockedForm(b);
    EXPECT_EQ(group->PageControl1()->ActivePageClient(), b);
    EXPECT_EQ(group->windowTitle(), "Alpha, Beta, Gamma");
}

TEST_F(DockingTest, AFloatingTabGroupOfOneDissolves)
{
    TTestForm *a = NewForm("A");
    TTestForm *b = NewForm("B");
    QPointer<TTabDockHost> group = new TTabDockHost(m_lib);
    group->ManualFloat(QRect(100, 100, 300, 200));
    group->show();
    a->ManualDock(group->PageControl1(), nullptr, alClient);
    b->ManualDock(group->PageControl1(), nullptr, alClient);
    Settle();
    const QPoint aTopLeft = a->ScreenRect().topLeft();

    // Dragging one page out leaves a group of one, which floats its last window and goes.
    b->ManualFloat(QRect(500, 300, 220, 160));
    EXPECT_TRUE(b->DockSite());
    Settle();
    EXPECT_TRUE(group.isNull());
    EXPECT_TRUE(a->Floating());
    EXPECT_TRUE(a->Visible());
    EXPECT_EQ(a->geometry(), QRect(aTopLeft, QSize(220, 160)));
}

TEST_F(DockingTest, NewTabGroupsNeverReuseARestoredTag)
{
    TTabDockHost::RaiseTabHostCounter(TTabDockHost::TabHostCounter() + 5);
    const int raised = TTabDockHost::TabHostCounter();
    TTabDockHost::RaiseTabHostCounter(1);
    EXPECT_EQ(TTabDockHost::TabHostCounter(), raised);
    auto *group = new TTabDockHost(m_lib);
    EXPECT_EQ(group->PageControl1()->Tag(), raised + 1);
    group->SetHostTag(7);
    EXPECT_EQ(group->objectName(), "TabDockHost7");
    delete group;
}

TEST_F(DockingTest, DockActivateOnShowAndOnTabChange)
{
    TTestForm *a = NewForm("A", false);
    TTestForm *b = NewForm("B", false);
    QList<QObject *> senders;
    b->OnDockActivate = [&senders](QObject *sender) { senders << sender; };
    b->show();
    ASSERT_EQ(senders.size(), 1);
    EXPECT_EQ(senders[0], b);

    auto *group = new TTabDockHost(m_lib);
    group->ManualFloat(QRect(100, 100, 300, 200));
    group->show();
    a->show();
    a->ManualDock(group->PageControl1(), nullptr, alClient);
    b->ManualDock(group->PageControl1(), nullptr, alClient);
    group->PageControl1()->setCurrentIndex(0);
    senders.clear();
    group->PageControl1()->setCurrentIndex(1);
    ASSERT_EQ(senders.size(), 1);
    EXPECT_EQ(senders[0], group->PageControl1());
}

TEST_F(DockingTest, ShowDockedActivatesThePageOfAnyPageControl)
{
    TDockPageControl pages(m_main.get());
    TTestForm *a = NewForm("A");
    TTestForm *b = NewForm("B");
    a->ManualDock(&pages, nullptr, alClient);
    b->ManualDock(&pages, nullptr, alClient);
    pages.setCurrentIndex(0);
    b->hide();
    EXPECT_TRUE(b->ShowDocked());
    EXPECT_EQ(pages.ActivePageClient(), b);
    EXPECT_TRUE(b->Visible());
    EXPECT_FALSE(NewForm("C")->ShowDocked());
    // A page control that is no tab group is no place IsDockedFormShowing knows.
    EXPECT_FALSE(m_lib->IsDockedFormShowing(b));
    b->ManualFloat(QRect(1, 1, 100, 100));
    a->ManualFloat(QRect(1, 1, 100, 100));
}

TEST_F(DockingTest, DockSitesSavedToTheSettingsFileLoadBack)
{
    QTemporaryDir dir;
    TIniFile ini(dir.filePath("kiv.ini"));
    TTestForm *a = NewForm("A");
    TTestForm *b = NewForm("B");
    TTestForm *c = NewForm("C");
    a->ManualDock(Panel(dpRight));
    b->ManualDock(Panel(dpRight), a, alTop);
    c->ManualDock(Panel(dpLeft));
    Panel(dpRight)->SetPanelSize(260);
    c->close();   // the left panel collapses and keeps 200
    Settle();
    const QString right = Panel(dpRight)->DockManager()->Zones().Dump();
    ASSERT_TRUE(m_lib->SaveDockSites(ini, "Dock Sites"));
    EXPECT_EQ(ini.ReadInteger("Dock Sites", "Right Width", 0), 260);
    EXPECT_EQ(ini.ReadInteger("Dock Sites", "Left Width", 0), 200);
    EXPECT_EQ(ini.ReadString("Dock Sites", "Right Data"),
              DockDataToHex(Panel(dpRight)->DockManager()->SaveToStream()));
    EXPECT_TRUE(ini.ReadString("Dock Sites", "Bottom Data").contains(QRegularExpression("^[0-9A-F]+$")));

    // Everything elsewhere, then the saved layout.
    a->ManualFloat(QRect(10, 10, 100, 100));
    b->ManualDock(Panel(dpBottom));
    Panel(dpRight)->SetPanelSize(0);
    m_lib->SavedSizes() = TDockPanelSizes();
    m_lib->LoadDockSites(ini, "Dock Sites");
    Settle();
    EXPECT_EQ(Panel(dpRight)->DockManager()->Zones().Dump(), right);
    EXPECT_EQ(a->HostDockSite(), Panel(dpRight));
    EXPECT_EQ(b->HostDockSite(), Panel(dpRight));
    EXPECT_EQ(Panel(dpRight)->PanelSize(), 260);
    EXPECT_EQ(Panel(dpBottom)->PanelSize(), 0);
    // The left panel holds only a hidden window: collapsed, with its size kept.
    EXPECT_EQ(c->HostDockSite(), Panel(dpLeft));
    EXPECT_EQ(Panel(dpLeft)->PanelSize(), 0);
    EXPECT_EQ(m_lib->SavedLeftWidth(), 200);
    m_lib->ShowDockedForm(c);
    EXPECT_EQ(Panel(dpLeft)->PanelSize(), 200);

    // A damaged value loads as an empty arrangement; the windows in the panel stay.
    ini.WriteString("Dock Sites", "Right Data", "0G12");
    m_lib->LoadDockSites(ini, "Dock Sites");
    EXPECT_EQ(Panel(dpRight)->DockClientCount(), 2);
    EXPECT_EQ(Panel(dpRight)->PanelSize(), 260);
}

TEST_F(DockingTest, DroppingOnTheCentreOfAFloatingFormMakesATabGroup)
{
    TTestForm *a = NewForm("Alpha");
    TTestForm *b = NewForm("Beta");
    a->ManualFloat(QRect(100, 100, 300, 250));
    const QPoint centre = a->Client()->mapToGlobal(a->Client()->rect().center());
    TDockDrag *drag = TDockDrag::Begin(b, b->ScreenRect().topLeft(), QPoint(10, 5));
    drag->MoveTo(centre);
    ASSERT_EQ(drag->Object().DragTarget, static_cast<TDockSite *>(a));
    EXPECT_EQ(drag->Object().DropAlign, alClient);
    const QSize client = a->Client()->size();
    EXPECT_EQ(drag->PreviewRect(), QRect(a->Client()->mapToGlobal(QPoint(client.width() / 5, client.height() / 5)),
                                         QSize(3 * (client.width() / 5), 3 * (client.height() / 5))));
    drag->Drop(centre);
    Settle();
    TTabDockHost *group = TTabDockHost::OfSite(a->HostDockSite());
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(b->HostDockSite(), a->HostDockSite());
    EXPECT_TRUE(group->Floating());
    EXPECT_TRUE(group->Visible());
    EXPECT_EQ(group->windowTitle(), "Alpha, Beta");
    EXPECT_EQ(group->pos(), QPoint(100, 100));
    EXPECT_TRUE(m_lib->IsDockedFormShowing(a));

    // Dragging one page out dissolves the group; the other floats at its own size.
    QPointer<TTabDockHost> guard(group);
    Drag(b, b->ScreenRect().center(), m_area->mapToGlobal(QPoint(400, 200)));
    Settle();
    EXPECT_TRUE(guard.isNull());
    EXPECT_TRUE(a->Floating());
    EXPECT_TRUE(b->Floating());
    EXPECT_EQ(a->size(), QSize(300, 250));
}

TEST_F(DockingTest, DroppingOnASideOfAFloatingFormJoinsThemSideBySide)
{
    TTestForm *a = NewForm("Alpha");
    TTestForm *b = NewForm("Beta");
    a->ManualFloat(QRect(100, 100, 300, 250));
    const QPoint right = a->Client()->mapToGlobal(QPoint(a->Client()->width() - 3, a->Client()->height() / 2));
    Drag(b, b->ScreenRect().topLeft(), right);
    TConjoinDockHost *group = TConjoinDockHost::OfSite(a->HostDockSite());
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(b->HostDockSite(), a->HostDockSite());
    EXPECT_EQ(a->HostDockSite()->SiteClassName(), "TConjoinDockHost");
    EXPECT_EQ(a->HostDockSite()->Tag(), TConjoinDockHost::ConjoinHostCounter());
    EXPECT_EQ(group->DockArea()->DockManager()->Zones().Names(), QStringList({"Alpha", "Beta"}));
    EXPECT_EQ(group->DockArea()->DockManager()->DockOrientation(b), doVertical);
    EXPECT_FALSE(a->DockSite());
    EXPECT_FALSE(b->DockSite());
    EXPECT_EQ(group->windowTitle(), "Alpha, Beta");
    EXPECT_TRUE(m_lib->IsDockedFormShowing(b));

    // Closing one leaves the other in the group; closing the last hides the group.
    b->close();
    EXPECT_EQ(group->windowTitle(), "Alpha");
    EXPECT_TRUE(group->Visible());
    a->close();
    EXPECT_FALSE(group->Visible());
    EXPECT_FALSE(m_lib->IsDockedFormShowing(a));
    m_lib->ShowDockedForm(a);
    EXPECT_TRUE(group->Visible());
    EXPECT_TRUE(m_lib->IsDockedFormShowing(a));

    // A group of two that loses one closes and floats the other.
    QPointer<TConjoinDockHost> guard(group);
    b->ManualFloat(QRect(400, 400, 200, 100));
    Settle();
    EXPECT_TRUE(guard.isNull());
    EXPECT_TRUE(a->Floating());
    EXPECT_TRUE(a->DockSite());
}

TEST_F(DockingTest, DroppingBesideAPanelDockedFormSplitsItsZone)
{
    TTestForm *a = NewForm("Alpha");
    TTestForm *b = NewForm("Beta");
    a->ManualDock(Panel(dpLeft));
    Settle();
    const QPoint top = a->Client()->mapToGlobal(QPoint(a->Client()->width() / 2, 2));
    Drag(b, b->ScreenRect().topLeft(), top);
    EXPECT_EQ(b->HostDockSite(), Panel(dpLeft));
    EXPECT_EQ(Panel(dpLeft)->DockManager()->Zones().Names(), QStringList({"Beta", "Alpha"}));
}

TEST_F(DockingTest, DroppingATabGroupOnAPanelDockedFormMovesItsPages)
{
    TTestForm *a = NewForm("Alpha");
    TTestForm *b = NewForm("Beta");
    TTestForm *c = NewForm("Gamma");
    a->ManualDock(Panel(dpRight));
    QPointer<TTabDockHost> old = new TTabDockHost(m_lib);
    old->ManualFloat(QRect(100, 100, 300, 200));
    old->show();
    b->ManualDock(old->PageControl1(), nullptr, alClient);
    c->ManualDock(old->PageControl1(), nullptr, alClient);
    Settle();
    const QPoint centre = a->Client()->mapToGlobal(a->Client()->rect().center());
    Drag(old, old->ScreenRect().topLeft() + QPoint(5, 5), centre);
    Settle();
    TTabDockHost *group = TTabDockHost::OfSite(a->HostDockSite());
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->HostDockSite(), Panel(dpRight));
    EXPECT_EQ(group->PageControl1()->DockClientCount(), 3);
    EXPECT_EQ(group->windowTitle(), "Alpha, Beta, Gamma");
    EXPECT_TRUE(old.isNull());
    EXPECT_GT(Panel(dpRight)->PanelSize(), 0);
}

TEST_F(DockingTest, TheDebugStyleFormHandlesDropsItself)
{
    TTestForm *host = NewForm("Host");
    host->OwnDockHandling = true;
    TTestForm *a = NewForm("A");
    QRect influence;
    bool canDock = true;
    host->GetSiteInfo(a, influence, QPoint(), canDock);
    EXPECT_FALSE(canDock);
    host->OnGetSiteInfo = [](TDockSite *, TDockClient *, QRect &, const QPoint &, bool &can) { can = true; };
    host->GetSiteInfo(a, influence, QPoint(), canDock);
    EXPECT_TRUE(canDock);
}

namespace {

// A window with a host of its own, like the debug windows in the Debug window.
class TCustomHostForm : public TTestForm {
public:
    using TTestForm::TTestForm;
    bool DockToCustomHost(int top, int left, bool visible, int hostTag, int width, int height) override
    {
        calls << QList<int>{top, left, visible ? 1 : 0, hostTag, width, height};
        return hostTag == 500;
    }
    QList<QList<int>> calls;
};

}  // namespace

TEST_F(DockingTest, FormPlaceKeysForEachPlacement)
{
    QTemporaryDir dir;
    TIniFile ini(dir.filePath("kiv.ini"));
    TTestForm *floating = NewForm("Floating");
    TTestForm *inPanel = NewForm("InPanel");
    TTestForm *page = NewForm("Page");
    inPanel->ManualDock(Panel(dpRight));
    auto *group = new TTabDockHost(m_lib);
    group->ManualDock(Panel(dpBottom));
    group->show();
    page->ManualDock(group->PageControl1(), nullptr, alClient);
    Settle();

    ASSERT_TRUE(m_lib->SaveFormPlace(ini, floating, "F"));
    ASSERT_TRUE(m_lib->SaveFormPlace(ini, inPanel, "P"));
    ASSERT_TRUE(m_lib->SaveFormPlace(ini, page, "T"));
    EXPECT_EQ(ini.ReadSection("F"), QStringList({"Docked", "Dock Host", "Height", "Width", "Top", "Left", "Visible"}));
    EXPECT_EQ(ini.ReadString("F", "Docked"), "0");
    EXPECT_EQ(ini.ReadString("F", "Dock Host"), "0");
    EXPECT_EQ(ini.ReadInteger("F", "Left", 0), 300);
    EXPECT_EQ(ini.ReadSection("P"), QStringList({"Docked", "Dock Host", "Dock Host Tag", "Height", "Width", "Top",
                                                 "Left", "Visible", "Orientation"}));
    EXPECT_EQ(ini.ReadString("P", "Dock Host"), "TPanel");
    EXPECT_EQ(ini.ReadInteger("P", "Dock Host Tag", -5), 2);
    EXPECT_EQ(ini.ReadSection("T"), QStringList({"Docked", "Dock Host", "Dock Host Tag", "Dock Tab Host Tag",
                                                 "Dock Host Height", "Dock Host Width", "Dock Host Top",
                                                 "Dock Host Left", "Dock Host Visible", "Height", "Width", "Top",
                                                 "Left", "Visible"}));
    EXPECT_EQ(ini.ReadString("T", "Dock Host"), "TPageControl");
    EXPECT_EQ(ini.ReadInteger("T", "Dock Host Tag", 0), group->HostTag());
    EXPECT_EQ(ini.ReadInteger("T", "Dock Tab Host Tag", 0), 1);
    EXPECT_EQ(ini.ReadString("T", "Dock Host Visible"), "1");

    // A page control that belongs to no tab group is a host only the form's class knows.
    TDockPageControl pages(m_main.get());
    pages.SetTag(500);
    TTestForm *custom = NewForm("Custom");
    custom->ManualDock(&pages, nullptr, alClient);
    ASSERT_TRUE(m_lib->SaveFormPlace(ini, custom, "C"));
    EXPECT_EQ(ini.ReadString("C", "Dock Host"), "custom");
    EXPECT_EQ(ini.ReadInteger("C", "Dock Host Tag", 0), 500);
    custom->ManualFloat(QRect(0, 0, 50, 50));
}

TEST_F(DockingTest, RestoringAFormPlace)
{
    QTemporaryDir dir;
    TIniFile ini(dir.filePath("kiv.ini"));
    TTestForm *form = NewForm("Form");

    // Saved floating: floats at the saved rectangle, even with no other key.
    ini.WriteBool("OnlyDocked", "Docked", false);
    EXPECT_TRUE(m_lib->RestoreFormPlace(ini, form, "OnlyDocked"));
    EXPECT_TRUE(form->Floating());
    EXPECT_EQ(form->geometry(), QRect(200, 200, 200, 200));
    EXPECT_TRUE(form->Visible());

    // Docked but never saved: the caller places it.
    EXPECT_FALSE(m_lib->RestoreFormPlace(ini, form, "Missing"));

    // In a panel, hidden: the panel stays collapsed until a window in it shows.
    ini.WriteBool("Panel", "Docked", true);
    ini.WriteString("Panel", "Dock Host", "TPanel");
    ini.WriteInteger("Panel", "Dock Host Tag", 0);
    ini.WriteBool("Panel", "Visible", false);
    EXPECT_TRUE(m_lib->RestoreFormPlace(ini, form, "Panel"));
    EXPECT_EQ(form->HostDockSite(), Panel(dpLeft));
    EXPECT_FALSE(form->Visible());
    EXPECT_EQ(Panel(dpLeft)->PanelSize(), 0);

    // A tag that names no panel leaves the form where it is.
    ini.WriteInteger("Panel", "Dock Host Tag", 9);
    EXPECT_TRUE(m_lib->RestoreFormPlace(ini, form, "Panel"));
    EXPECT_EQ(form->HostDockSite(), Panel(dpLeft));

    // An unknown host changes nothing.
    ini.WriteString("Panel", "Dock Host", "TSomethingElse");
    EXPECT_TRUE(m_lib->RestoreFormPlace(ini, form, "Panel"));
    EXPECT_EQ(form->HostDockSite(), Panel(dpLeft));

    // A custom host is the form's own business.
    auto *custom = new TCustomHostForm(m_lib, "Custom");
    ini.WriteBool("Custom", "Docked", true);
    ini.WriteString("Custom", "Dock Host", "custom");
    ini.WriteInteger("Custom", "Dock Host Tag", 500);
    ini.WriteInteger("Custom", "Top", 11);
    EXPECT_TRUE(m_lib->RestoreFormPlace(ini, custom, "Custom"));
    ini.WriteInteger("Custom", "Dock Host Tag", 501);
    EXPECT_FALSE(m_lib->RestoreFormPlace(ini, custom, "Custom"));
    ASSERT_EQ(custom->calls.size(), 2);
    EXPECT_EQ(custom->calls[0], QList<int>({11, 200, 1, 500, 200, 200}));
}

TEST_F(DockingTest, TabAndSideBySideGroupsComeBackFromTheirMembersPlaces)
{
    QTemporaryDir dir;
    TIniFile ini(dir.filePath("kiv.ini"));
    TTestForm *a = NewForm("A");
    TTestForm *b = NewForm("B");
    TTestForm *c = NewForm("C");
    TTestForm *d = NewForm("D");
    auto *tabs = new TTabDockHost(m_lib);
    tabs->SetHostTag(7);
    tabs->ManualDock(Panel(dpBottom));
    tabs->show();
    a->ManualDock(tabs->PageControl1(), nullptr, alClient);
    b->ManualDock(tabs->PageControl1(), nullptr, alClient);
    c->ManualFloat(QRect(150, 160, 300, 200));
    d->ManualDock(c, nullptr, alRight);
    Settle();
    TConjoinDockHost *side = TConjoinDockHost::OfSite(c->HostDockSite());
    ASSERT_NE(side, nullptr);
    const int sideTag = side->HostTag();
    const QRect sideBounds = side->geometry();
    for (TTestForm *form : {a, b, c, d})
        ASSERT_TRUE(m_lib->SaveFormPlace(ini, form, form->objectName()));

    // Everything floats on its own; the groups go.
    for (TTestForm *form : {a, b, c, d})
        form->ManualFloat(QRect(10, 10, 100, 100));
    Settle();
    EXPECT_TRUE(TTabDockHost::OfSite(a->HostDockSite()) == nullptr);

    for (TTestForm *form : {a, b, c, d})
        EXPECT_TRUE(m_lib->RestoreFormPlace(ini, form, form->objectName()));
    Settle();
    TTabDockHost *restoredTabs = TTabDockHost::OfSite(a->HostDockSite());
    ASSERT_NE(restoredTabs, nullptr);
    EXPECT_EQ(b->HostDockSite(), a->HostDockSite());
    EXPECT_EQ(restoredTabs->HostTag(), 7);
    EXPECT_EQ(restoredTabs->HostDockSite(), Panel(dpBottom));
    EXPECT_TRUE(restoredTabs->Visible());
    EXPECT_EQ(restoredTabs->windowTitle(), "A, B");
    TConjoinDockHost *restoredSide = TConjoinDockHost::OfSite(c->HostDockSite());
    ASSERT_NE(restoredSide, nullptr);
    EXPECT_EQ(d->HostDockSite(), c->HostDockSite());
    EXPECT_EQ(restoredSide->HostTag(), sideTag);
    EXPECT_EQ(restoredSide->geometry(), sideBounds);
    EXPECT_TRUE(restoredSide->Visible());
    EXPECT_GE(TConjoinDockHost::ConjoinHostCounter(), sideTag);

    // New groups never reuse a restored tag.
    TTabDockHost::RaiseTabHostCounter(7);
    auto *next = new TTabDockHost(m_lib);
    EXPECT_GE(next->HostTag(), 8);
    delete next;
}
