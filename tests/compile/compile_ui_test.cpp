#include "compile_fixture.h"
#include "kivcomp.h"
#include "kivini.h"
#include "preferences.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

namespace kiv::test {
namespace {

class PreferencesDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_temp.isValid());
        ini = m_temp.path() + "/kiv.ini";
    }
    template <typename T>
    T *Find(QWidget *parent, const char *name)
    {
        T *child = parent->findChild<T *>(QLatin1String(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QRadioButton *Radio(QWidget *dialog, const char *group, int item)
    {
        return Find<QRadioButton>(dialog, QStringLiteral("%1_%2").arg(group).arg(item)
                                              .toLatin1().constData());
    }

    QTemporaryDir m_temp;
    QString ini;
    TCompileOptions options;
};

TEST_F(PreferencesDialog, ShowsTheStoredOptionsWithCoffForced)
{
    WriteFile(ini, "[fileformats]\r\ndebug=1\r\nlist=3\r\nobject=2\r\nerror=0\r\nsta=0\r\n");
    Tpreferences dialog(options, ini);
    EXPECT_EQ(dialog.windowTitle(), "File Formats");
    auto *tabs = Find<QTabWidget>(&dialog, "PageControl1");
    ASSERT_TRUE(tabs);
    EXPECT_EQ(tabs->tabText(0), "Compiler");
    EXPECT_TRUE(Radio(&dialog, "debug_format", 4)->isChecked());
    EXPECT_TRUE(Radio(&dialog, "list_format", 3)->isChecked());
    EXPECT_TRUE(Radio(&dialog, "object_format", 2)->isChecked());
    EXPECT_TRUE(Radio(&dialog, "error_format", 0)->isChecked());
    EXPECT_EQ(Radio(&dialog, "debug_format", 1)->text(), "Standard .COD");
    EXPECT_FALSE(Find<QCheckBox>(&dialog, "errors_all")->isEnabled());
    EXPECT_FALSE(Find<QCheckBox>(&dialog, "warnings_all")->isEnabled());
    EXPECT_TRUE(Find<QCheckBox>(&dialog, "keeptre")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>(&dialog, "keepsta")->isChecked());
    EXPECT_EQ(Find<QCheckBox>(&dialog, "keepscratch")->text(), "Scrach files");
    EXPECT_EQ(Find<QComboBox>(&dialog, "noerrors")->currentText(), "3 Secs");
    EXPECT_EQ(Find<QComboBox>(&dialog, "onerror")->currentText(), "No");
    if (qEnvironmentVariableIsSet("KIV_SHOT_DIR")) {
        dialog.show();
        dialog.grab().save(qEnvironmentVariable("KIV_SHOT_DIR") + "/preferences.png");
    }
}

TEST_F(PreferencesDialog, ChoosingMultiLinesEnablesAndChecksTheShowBoxes)
{
    Tpreferences dialog(options, ini);
    auto *all = Find<QCheckBox>(&dialog, "errors_all");
    auto *warnings = Find<QCheckBox>(&dialog, "warnings_all");
    Radio(&dialog, "error_format", 2)->click();
    EXPECT_TRUE(all->isEnabled() && warnings->isEnabled());
    EXPECT_TRUE(all->isChecked() && warnings->isChecked());
    warnings->click();
    Radio(&dialog, "error_format", 1)->click();
    Radio(&dialog, "error_format", 2)->click();
    // Coming back: both were cleared by Standard, so both are checked again.
    EXPECT_TRUE(all->isChecked() && warnings->isChecked());
    warnings->click();
    Radio(&dialog, "error_format", 2)->click();
    EXPECT_TRUE(all->isChecked());
    EXPECT_FALSE(warnings->isChecked());
    Radio(&dialog, "error_format", 0)->click();
    EXPECT_FALSE(all->isEnabled() || warnings->isEnabled());
    EXPECT_FALSE(all->isChecked() || warnings->isChecked());
}

TEST_F(PreferencesDialog, OkWritesEveryKeyThenAppliesTheFurtherTabs)
{
    Tpreferences dialog(options, ini);
    QStringList order;
    QString debugWhenApplied;
    TPreferencesPage page;
    page.page = new QWidget;
    page.page->setObjectName("SystemTab");
    page.caption = "System";
    page.fill = [&] { order << "fill"; };
    page.apply = [&] {
        order << "apply";
        debugWhenApplied = TIniFile(ini).ReadString("fileformats", "debug");
    };
    page.cancel = [&] { order << "cancel"; };
    dialog.AddPage(page);
    EXPECT_EQ(Find<QTabWidget>(&dialog, "PageControl1")->tabText(1), "System");

    dialog.show();
    Radio(&dialog, "debug_format", 3)->click();
    Find<QComboBox>(&dialog, "noerrors")->setCurrentIndex(8);
    Find<QComboBox>(&dialog, "onerror")->setCurrentIndex(1);
    Find<QCheckBox>(&dialog, "keepscratch")->click();
    Find<QPushButton>(&dialog, "okbutton")->click();

    EXPECT_EQ(order, QStringList({"fill", "apply"}));
    EXPECT_EQ(debugWhenApplied, "3");
    const TIniFile file(ini);
    EXPECT_EQ(file.ReadString("fileformats", "forcecoff"), "0");
    EXPECT_EQ(file.ReadString("fileformats", "stayupne"), "8");
    EXPECT_EQ(file.ReadString("fileformats", "stayupoe"), "1");
    EXPECT_EQ(file.ReadString("fileformats", "scratch"), "1");
    EXPECT_EQ(file.ReadSection("fileformats").size(), 12);
    EXPECT_EQ(options.debugFormat, 3);
    EXPECT_EQ(options.HoldFlags(), 0xC0);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(PreferencesDialog, CancelReadsTheKeysAgain)
{
    WriteFile(ini, "[fileformats]\r\nforcecoff=0\r\ndebug=1\r\n");
    Tpreferences dialog(options, ini);
    int cancelled = 0;
    TPreferencesPage page;
    page.page = new QWidget;
    page.caption = "System";
    page.cancel = [&] { ++cancelled; };
    dialog.AddPage(page);
    dialog.show();
    Radio(&dialog, "debug_format", 0)->click();
    Find<QPushButton>(&dialog, "cancelbutton")->click();
    EXPECT_EQ(cancelled, 1);
    EXPECT_TRUE(Radio(&dialog, "debug_format", 1)->isChecked());
    EXPECT_EQ(options.debugFormat, 1);
    EXPECT_FALSE(TIniFile(ini).ValueExists("fileformats", "list"));
    // Escape cancels the same way.
    dialog.show();
    Radio(&dialog, "debug_format", 2)->click();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(cancelled, 2);
    EXPECT_TRUE(Radio(&dialog, "debug_format", 1)->isChecked());
}

class StatusWindow : public TCompileFixture {
protected:
    void SetUp() override
    {
        TCompileFixture::SetUp();
        ini = m_temp.path() + "/kiv.ini";
    }

    /// Runs `action` (which shows the window modally) with `during` queued to run once the
    /// modal display is up; a watchdog ends a display that `during` failed to end.
    void Modal(Tfkivcomp &window, const std::function<void()> &action,
               const std::function<void()> &during)
    {
        bool watchdog = false;
        QTimer::singleShot(0, &window, during);
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &window, [&] {
            watchdog = true;
            window.done(0);
        });
        guard.start(10000);
        action();
        EXPECT_FALSE(watchdog) << "the display did not end as it should";
    }

    QString ini;
    TKivCompModel model;
};

TEST_F(StatusWindow, ShowsTheModelLinesBarsAndErrorPanel)
{
    Tfkivcomp window(model, ini);
    model.Caption = "VYN QOR C Compiler, Version 1";
    model.Reset("/p/main.c");
    model.StatusCallback(0, "", 171);
    window.ModelChanged();
    window.show();
    EXPECT_EQ(window.windowTitle(), "VYN QOR C Compiler, Version 1");
    EXPECT_EQ(window.findChild<QLabel *>("line1")->text(), "Project:  /p/main.c");
    EXPECT_EQ(window.findChild<QLabel *>("line2")->text(), "Lines: 21");
    EXPECT_FALSE(window.findChild<QWidget *>("bars")->isVisible());
    EXPECT_FALSE(window.findChild<QWidget *>("errorpanel")->isVisible());
    model.StatusCallback(30, "", 101);
    model.StatusCallback(150, "", 102);
    model.ErrorPanelVisible = true;
    model.ErrorLabel = "ERROR";
    model.ErrorLine1 = "main.c,  Line 4";
    model.ErrorLine2 = "Undefined identifier";
    window.ModelChanged();
    EXPECT_TRUE(window.findChild<QWidget *>("bars")->isVisible());
    EXPECT_EQ(window.findChild<QProgressBar *>("rombar")->value(), 30);
    EXPECT_EQ(window.findChild<QProgressBar *>("rambar")->value(), 100);
    EXPECT_TRUE(window.findChild<QWidget *>("errorpanel")->isVisible());
    EXPECT_EQ(window.findChild<QLabel *>("errorline1")->text(), "main.c,  Line 4");
    EXPECT_EQ(window.findChild<QLabel *>("errorline2")->text(), "Undefined identifier");
    if (qEnvironmentVariableIsSet("KIV_SHOT_DIR"))
        window.grab().save(qEnvironmentVariable("KIV_SHOT_DIR") + "/fkivcomp.png");
}

TEST_F(StatusWindow, SizeIsLimitedAndGeometryKept)
{
    WriteFile(ini, "[compilestatus]\r\nwidth=5000\r\ntop=40\r\nleft=30\r\n");
    {
        Tfkivcomp window(model, ini);
        EXPECT_EQ(window.width(), 1024);
        EXPECT_EQ(window.height(), 300);
        window.resize(100, 900);
        EXPECT_EQ(window.width(), 435);
        EXPECT_EQ(window.height(), 300);
        window.resize(600, 300);
        window.ShowBusy();
        window.EndBusy();
    }
    EXPECT_EQ(TIniFile(ini).ReadInteger("compilestatus", "width", 0), 600);
    Tfkivcomp again(model, ini);
    EXPECT_EQ(again.width(), 600);
}

TEST_F(StatusWindow, AnyKeyEndsTheOnErrorDisplay)
{
    Tfkivcomp window(model, ini);
    Modal(window, [&] { window.ShowModalAnyKey(); }, [&] {
        EXPECT_EQ(window.Display(), Tfkivcomp::cdAnyKey);
        EXPECT_TRUE(window.isModal() && window.isVisible());
        QTest::keyClick(&window, Qt::Key_A);
    });
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.Display(), Tfkivcomp::cdHidden);
}

TEST_F(StatusWindow, AHeldDisplayIgnoresKeysAndEndsWithItsButtons)
{
    Tfkivcomp window(model, ini);
    Modal(window, [&] { window.ShowModalHeld(); }, [&] {
        QTest::keyClick(&window, Qt::Key_A);
        QTest::keyClick(&window, Qt::Key_Escape);
        QTest::keyClick(&window, Qt::Key_Return);
        EXPECT_TRUE(window.isVisible());
        window.findChild<QPushButton *>("hidebutton")->click();
    });
    EXPECT_FALSE(window.isVisible());
    Modal(window, [&] { window.ShowModalHeld(); }, [&] {
        QTest::keyClick(&window, Qt::Key_Escape);
        EXPECT_TRUE(window.isVisible());
        window.close();
    });
    EXPECT_FALSE(window.isVisible());
}

TEST_F(StatusWindow, ATimedDisplayClosesByItself)
{
    Tfkivcomp window(model, ini);
    bool shown = false;
    Modal(window, [&] { window.ShowModalTimed(1); }, [&] {
        shown = window.isVisible() && window.Display() == Tfkivcomp::cdTimed;
    });
    EXPECT_TRUE(shown);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(StatusWindow, ACompileThroughTheWindow)
{
    Install({"QOR"});
    Script({"cb 0 160", "cb 0 80 main.hex", "cb 55 101", "cb 20 102", "err No Errors"});
    Tfkivcomp window(model, ini);
    TCompilerLibrary library(dllDir);
    TCompileArguments args;
    args.mainFile = base + ".c";
    TCompileResult result;
    bool busyVisible = false;
    // The call-back's event processing runs while the window is up.
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] { busyVisible |= window.isVisible(); });
    probe.start(0);
    EXPECT_EQ(model.Compile(window, library, "QOR", true, args, 0, base + ".err", result),
              crCompiled);
    EXPECT_TRUE(busyVisible);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), "VYN QOR C Compiler, Version T1.0 QOR");
    EXPECT_EQ(window.findChild<QLabel *>("line2")->text(), "Lines: 10");
    EXPECT_EQ(window.findChild<QLabel *>("line3")->text(), "Output files: ERR  HEX");
    EXPECT_EQ(window.findChild<QProgressBar *>("rombar")->value(), 55);
}

TEST_F(StatusWindow, ACompileThatNeverEndsKeepsTheInterfaceGoingAndStopsOnStop)
{
    Install({"QOR"});
    // The compiler reports on its own thread and waits for STOP_COMPILE (10 s at most).
    Script({"thread", "hang", "err *** Error 20 \"main.c\" Line 1: The compile was stopped"});
    Tfkivcomp window(model, ini);
    TCompilerLibrary library(dllDir);
    TCompileArguments args;
    args.mainFile = base + ".c";
    TCompileResult result;
    int ticks = 0;
    bool runningWhenAsked = false;
    bool stopEnabled = false;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    // While the compile runs, timers fire and the Stop button is there to press.
    QTimer::singleShot(300, &window, [&] {
        runningWhenAsked = model.Running();
        auto *stop = window.findChild<QPushButton *>("stopbutton");
        ASSERT_NE(stop, nullptr);
        stopEnabled = stop->isEnabled() && window.isVisible();
        QTest::mouseClick(stop, Qt::LeftButton);
    });
    EXPECT_EQ(model.Compile(window, library, "QOR", true, args, 0, base + ".err", result),
              crStopped);
    EXPECT_TRUE(runningWhenAsked);
    EXPECT_TRUE(stopEnabled);
    EXPECT_GT(ticks, 5) << "the interface did not run while the compiler worked";
    const QString calls = QString::fromUtf8(ReadFile(base + ".calls"));
    EXPECT_TRUE(calls.contains("mainthread=no")) << calls.toStdString();
    EXPECT_TRUE(calls.contains("hang=stopped")) << calls.toStdString();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.findChild<QLabel *>("line2")->text(), "The compile was stopped.");
    EXPECT_FALSE(window.findChild<QPushButton *>("stopbutton")->isEnabled());
    // The status reports of the compiler's thread reached the window's lines.
    EXPECT_FALSE(model.Running());
}

}  // namespace
}  // namespace kiv::test
