// The Debug window and its twelve windows over a session with the scripted libraries: tabs,
// status panes, the windows' controls by name, and a picture of a halted session.

#include "session_fixture.h"

#include "uDbgForm.h"
#include "uDebugBase.h"
#include "uDebugFormBreaks_model.h"
#include "uDebugFormRAM_model.h"
#include "uDebugFormWatches_model.h"
#include "uDebugForms.h"
#include "uDockPageControl.h"
#include "uEditHint.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTableWidget>
#include <QToolButton>

using namespace kiv;
using namespace kiv::test;

namespace {

class DebugWindow : public SessionFixture {
protected:
    void SetUp() override
    {
        SessionFixture::SetUp();
        model.reset();
        form = std::make_unique<TDbgForm>(nullptr);
        form->CreateSession(host, settings, watch.Path(), QStringList{dbg.Path()}, devices);
        form->resize(640, 480);
        form->show();
        session = form->Session();
        host.statusShown = [this](const TDebugStatus &status) { form->ShowStatus(status); };
        QCoreApplication::processEvents();
    }
    void TearDown() override
    {
        if (session && session->IsActive()) {
            session->Stop(false);
            WaitUntil([this] { return !session->IsActive(); });
        }
        host.statusShown = nullptr;
        form.reset();
        SessionFixture::TearDown();
    }
    template <typename T>
    T *Child(TDebugWindowId id, const char *name) const
    {
        return form->Window(id)->findChild<T *>(QLatin1String(name));
    }
    void Enable()
    {
        session->Enable();
        ASSERT_EQ(session->State(), dsReady) << prompt.Messages().join(QLatin1Char('\n')).toStdString();
        QCoreApplication::processEvents();
    }

    std::unique_ptr<TDbgForm> form;
    TDbgFormModel *session = nullptr;
};

}  // namespace

TEST_F(DebugWindow, TwelveTabsInOrder)
{
    TDockPageControl *pages = form->PageControl();
    ASSERT_EQ(pages->count(), 12);
    const QStringList captions = {"Debug Configure", "RAM",   "ROM",  "Data EE", "Breaks",    "Stack",
                                  "Watches",         "Peripherals", "Eval", "Monitor", "Break Log", "RTOS Tasks"};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(pages->tabText(i), captions.at(i));
    EXPECT_EQ(form->Window(dwRAM)->objectName(), QStringLiteral("TDebugFormRAM"));
    EXPECT_EQ(pages->Tag(), TDebugDockForm::kDebugHostTag);
    // A window whose tab is not the active one does not count as shown.
    pages->setCurrentIndex(1);
    EXPECT_TRUE(form->Window(dwRAM)->IsShowing());
    EXPECT_FALSE(form->Window(dwROM)->IsShowing());
}

TEST_F(DebugWindow, StatusPanesFollowTheState)
{
    Enable();
    EXPECT_EQ(form->StatusPane(1)->text(), QStringLiteral("PC=0001"));
    EXPECT_EQ(form->StatusPane(2)->text(), QStringLiteral("W=00"));
    EXPECT_EQ(form->StatusPane(3)->text(), QStringLiteral("Ready MCU at 20.00 MHz"));
    session->SetState(dsNotReady);
    EXPECT_EQ(form->StatusPane(1)->text(), QString());
    EXPECT_EQ(form->StatusPane(3)->text(), QStringLiteral("Not Ready"));
    EXPECT_EQ(form->StatusPane(3)->palette().color(QPalette::Window), QColor(Qt::red));
    session->SetState(dsReady);
}

TEST_F(DebugWindow, WindowsShowTheirModels)
{
    Enable();
    session->Breaks().AddBreak(source, 4);
    auto *breaks = Child<QListWidget>(dwBreaks, "breaklistbox");
    ASSERT_TRUE(breaks);
    ASSERT_EQ(breaks->count(), 1);
    EXPECT_EQ(breaks->item(0)->text(), QStringLiteral("0002   ") + source + QStringLiteral(":4"));
    EXPECT_TRUE(breaks->isEnabled());
    EXPECT_TRUE(Child<QToolButton>(dwBreaks, "addbut")->isEnabled());

    dbg.Ram()[0x20] = 0x2A;
    session->Watches().AddWatchText(QStringLiteral("count"));
    auto *watches = Child<QTableWidget>(dwWatches, "watchgrid");
    ASSERT_EQ(watches->rowCount(), 2);
    EXPECT_EQ(watches->item(0, 1)->text(), QStringLiteral("count"));
    EXPECT_EQ(watches->item(0, 2)->text(), QStringLiteral("42"));

    form->PageControl()->setCurrentIndex(dwRAM);
    session->RefreshWindows();
    auto *ram = Child<QTableView>(dwRAM, "ramgrid");
    ASSERT_TRUE(ram);
    const QModelIndex cell = ram->model()->index(0x20 / session->Ram().BytesPerRow(), 0x20 % session->Ram().BytesPerRow());
    EXPECT_EQ(cell.data().toString(), QStringLiteral("2A"));
    // An edited cell reaches the target.
    EXPECT_TRUE(ram->model()->setData(ram->model()->index(4, 1), QStringLiteral("7f"), Qt::EditRole));
    EXPECT_EQ(dbg.Ram()[4 * session->Ram().BytesPerRow() + 1], 0x7F);

    auto *debugger = Child<QComboBox>(dwConfigure, "cfdebugger");
    ASSERT_TRUE(debugger);
    EXPECT_EQ(debugger->currentText(), QStringLiteral("Simulator"));
    EXPECT_GE(Child<QTableWidget>(dwConfigure, "cfgrid")->rowCount(), 7);
}

TEST_F(DebugWindow, DataEeWithoutEepromSaysSo)
{
    WriteProject(0x452);   // the PIC18 record of the test database has no EEPROM
    dbg.Ram()[4092] = 1;
    Enable();
    form->PageControl()->setCurrentIndex(dwDataEE);
    QCoreApplication::processEvents();
    auto *none = Child<QLabel>(dwDataEE, "noeedata");
    ASSERT_TRUE(none);
    EXPECT_FALSE(none->isHidden());
    EXPECT_EQ(none->text(), QStringLiteral("The device does not support EE data"));
}

TEST_F(DebugWindow, MonitorShowsTargetOutput)
{
    Enable();
    dbg.SetText("output", "Hello");
    dbg.PushStop(3, 0, kDbgStoppedOnBreak);
    session->Run();
    QCoreApplication::processEvents();
    EXPECT_EQ(Child<QPlainTextEdit>(dwMonitor, "OvcMon")->toPlainText(), QStringLiteral("Hello"));
}

TEST_F(DebugWindow, TheHintShowsAndCloses)
{
    TFormEditHint *hint = form->EditHint();
    ASSERT_TRUE(hint);
    hint->SetTimeout(true);
    hint->ShowHint(QStringLiteral("count=42"), QPoint(100, 100));
    EXPECT_TRUE(hint->HintShown());
    EXPECT_EQ(hint->Text(), QStringLiteral("count=42"));
    EXPECT_TRUE(hint->CloseTimer()->isActive());
    hint->close();   // a close request only hides it
    EXPECT_FALSE(hint->HintShown());
    hint->ShowHint(QStringLiteral("x=1"), QPoint(10, 10));
    EXPECT_TRUE(hint->HintShown());
}

TEST_F(DebugWindow, PictureOfAHaltedSession)
{
    Enable();
    session->Breaks().AddBreak(source, 4);
    session->Watches().AddWatchText(QStringLiteral("count"));
    form->PageControl()->setCurrentIndex(dwWatches);
    QCoreApplication::processEvents();
    const QString out = qEnvironmentVariable("KIV_DEBUG_SHOT");
    const QPixmap picture = form->grab();
    EXPECT_FALSE(picture.isNull());
    if (!out.isEmpty())
        picture.save(out);
}
