#include "kivini.h"
#include "kivmain.h"
#include "kivprompt.h"
#include "pc_dirs.h"
#include "uDbgForm.h"
#include "uDockPageControl.h"
#include "uDockPanel.h"
#include "uDockingLib.h"
#include "uOutputForm.h"
#include "uTabHost.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kiv;

namespace {

void Settle()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

// Each test gets its own installation tree, so the settings file is that tree's lumo/kiv.ini.
class MainWindowDockTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(m_tmp.filePath("inst/dll"));
        QDir().mkpath(m_tmp.filePath("inst/lumo"));
        QDir().mkpath(m_tmp.filePath("home"));
        qputenv("HOME", m_tmp.filePath("home").toLocal8Bit());
        SetExecutablePathForDirs(m_tmp.filePath("inst/bin/kiv"));
        // A normal window of a known size.
        TIniFile ini(SettingsFilePath());
        ini.WriteInteger("kivform", "size", 0);
        ini.WriteInteger("kivform", "width", 1000);
        ini.WriteInteger("kivform", "height", 700);
    }

    QTemporaryDir m_tmp;
    TScriptedPrompt m_prompt;
    TPromptGuard m_guard{&m_prompt};
};

}  // namespace

TEST_F(MainWindowDockTest, OutputAtTheBottomDebugOnTheRightEscapeHidesOutput)
{
    Tfkivmain main({});
    TDockingLib *lib = main.DockingLib();
    ASSERT_NE(lib, nullptr);
    EXPECT_EQ(main.OutputWindow(), main.OutputForm());
    EXPECT_EQ(main.OutputForm()->windowTitle(), "Output");
    EXPECT_EQ(main.OutputForm()->objectName(), "OutputForm");
    EXPECT_EQ(main.DebugForm()->windowTitle(), "Debug");
    EXPECT_TRUE(main.DebugForm()->OwnDockHandling);
    // The page area sits between the panels.
    EXPECT_EQ(main.centralWidget(), reinterpret_cast<QWidget *>(main.DockArea()));
    EXPECT_NE(main.DockArea()->Central(), nullptr);

    main.FormShow();
    Settle();
    TDockSite *outputSite = main.OutputForm()->HostDockSite();
    ASSERT_NE(outputSite, nullptr);
    EXPECT_EQ(outputSite->SiteKind(), skTabGroup);
    TDockClient *group = outputSite->GroupWindow();
    EXPECT_EQ(group->HostDockSite(), lib->BottomPanel());
    EXPECT_EQ(group->windowTitle(), "Output");
    EXPECT_EQ(main.DebugForm()->HostDockSite(), lib->RightPanel());
    EXPECT_TRUE(lib->IsDockedFormShowing(main.OutputForm()));
    EXPECT_TRUE(lib->IsDockedFormShowing(main.DebugForm()));
    EXPECT_GT(lib->BottomPanel()->height(), 0);
    EXPECT_GT(lib->RightPanel()->width(), 0);
    EXPECT_EQ(lib->LeftPanel()->width(), 0);

    QApplication::setActiveWindow(&main);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&main, &press);
    QApplication::sendEvent(&main, &release);
    Settle();
    EXPECT_FALSE(main.OutputForm()->Visible());
    EXPECT_EQ(lib->BottomPanel()->PanelSize(), 0);
    EXPECT_FALSE(lib->IsDockedFormShowing(main.OutputForm()));
    EXPECT_TRUE(lib->IsDockedFormShowing(main.DebugForm()));

    lib->ShowDockedForm(main.OutputForm());
    Settle();
    EXPECT_TRUE(lib->IsDockedFormShowing(main.OutputForm()));
    EXPECT_GT(lib->BottomPanel()->PanelSize(), 0);
}

TEST_F(MainWindowDockTest, PanelSizesAndArrangementsSurviveARestart)
{
    {
        Tfkivmain main({});
        main.FormShow();
        Settle();
        main.DockingLib()->RightPanel()->SetPanelSize(280);
        main.DockingLib()->BottomPanel()->SetPanelSize(170);
        EXPECT_TRUE(main.close());
    }
    TIniFile ini(SettingsFilePath());
    EXPECT_EQ(ini.ReadInteger("Dock Sites", "Right Width", 0), 280);
    EXPECT_EQ(ini.ReadInteger("Dock Sites", "Bottom Height", 0), 170);
    EXPECT_FALSE(ini.ReadString("Dock Sites", "Right Data").isEmpty());

    Tfkivmain main({});
    main.FormShow();
    Settle();
    EXPECT_EQ(main.DockingLib()->RightPanel()->PanelSize(), 280);
    EXPECT_EQ(main.DockingLib()->BottomPanel()->PanelSize(), 170);
    EXPECT_EQ(main.DebugForm()->HostDockSite(), main.DockingLib()->RightPanel());
    EXPECT_EQ(main.OutputForm()->HostDockSite()->GroupWindow()->HostDockSite(), main.DockingLib()->BottomPanel());
}

TEST_F(MainWindowDockTest, AFloatingOutputWindowFloatsAgainAfterARestart)
{
    {
        Tfkivmain main({});
        main.FormShow();
        Settle();
        ASSERT_TRUE(main.OutputForm()->ManualFloat(QRect(150, 160, 500, 180)));
        Settle();
        EXPECT_EQ(main.DockingLib()->BottomPanel()->PanelSize(), 0);
        EXPECT_TRUE(main.close());
    }
    TIniFile ini(SettingsFilePath());
    EXPECT_EQ(ini.ReadString("OutputForm", "Docked"), "0");
    EXPECT_EQ(ini.ReadString("fkivdebug", "Dock Host"), "TPanel");

    Tfkivmain main({});
    main.FormShow();
    Settle();
    EXPECT_TRUE(main.OutputForm()->Floating());
    EXPECT_EQ(main.OutputForm()->geometry(), QRect(150, 160, 500, 180));
    EXPECT_TRUE(main.DockingLib()->IsDockedFormShowing(main.OutputForm()));
    EXPECT_EQ(main.DockingLib()->BottomPanel()->PanelSize(), 0);
    EXPECT_EQ(main.DebugForm()->HostDockSite(), main.DockingLib()->RightPanel());
}
