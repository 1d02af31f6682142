#include "kivenv.h"
#include "kivini.h"
#include "kivmain.h"
#include "kivprompt.h"
#include "pc_dirs.h"
#include "uDbgForm.h"
#include "uDockPageControl.h"
#include "uDockPanel.h"
#include "uDockTree.h"
#include "uDockingLib.h"
#include "uOutputForm.h"
#include "uTabHost.h"

#include <QApplication>
#include <QFile>
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
    // The Debug window waits, hidden, for a debug session; its panel takes no room until then.
    EXPECT_FALSE(main.DebugForm()->Visible());
    EXPECT_FALSE(lib->IsDockedFormShowing(main.DebugForm()));
    EXPECT_GT(lib->BottomPanel()->height(), 0);
    EXPECT_EQ(lib->RightPanel()->width(), 0);
    EXPECT_EQ(lib->LeftPanel()->width(), 0);
    lib->ShowDockedForm(main.DebugForm());
    Settle();
    EXPECT_TRUE(lib->IsDockedFormShowing(main.DebugForm()));
    EXPECT_GT(lib->RightPanel()->width(), 0);

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
        main.DockingLib()->ShowDockedForm(main.DebugForm());
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

namespace {

// What a person needs on any start: the page area keeps most of the window, the Output window
// is somewhere on the screen (docked, or floating within the screen), the Debug window is
// docked somewhere or floating within the screen, and no panel eats the pages.
void ExpectUsableLayout(Tfkivmain &main, const std::string &what)
{
    SCOPED_TRACE(what);
    TDockingLib *lib = main.DockingLib();
    const QSize client = lib->ClientSize();
    const QRect screen = lib->ScreenArea();
    for (TDockForm *form : {static_cast<TDockForm *>(main.OutputForm()), static_cast<TDockForm *>(main.DebugForm())}) {
        if (form->Floating()) {
            EXPECT_TRUE(screen.contains(form->geometry())) << form->objectName().toStdString();
            EXPECT_GE(form->width(), kMinFloatingWidth);
            EXPECT_GE(form->height(), kMinFloatingHeight);
        }
    }
    EXPECT_TRUE(main.OutputForm()->HostDockSite() || main.OutputForm()->Floating());
    EXPECT_LE(lib->LeftPanel()->PanelSize(), client.width() * 3 / 4);
    EXPECT_LE(lib->RightPanel()->PanelSize(), client.width() * 3 / 4);
    EXPECT_LE(lib->BottomPanel()->PanelSize(), client.height() * 3 / 4);
    EXPECT_GE(lib->LeftPanel()->PanelSize(), 0);
    EXPECT_GE(lib->RightPanel()->PanelSize(), 0);
    EXPECT_GE(lib->BottomPanel()->PanelSize(), 0);
    // Whatever the file said, showing the Output window brings it into view.
    lib->ShowDockedForm(main.OutputForm());
    Settle();
    EXPECT_TRUE(lib->IsDockedFormShowing(main.OutputForm()));
}

}  // namespace

// A first start: no stored geometry and no layout. The window takes most of the screen, the
// editor's page area most of the window, and the Debug window waits for a session.
TEST_F(MainWindowDockTest, AFirstStartGivesThePagesMostOfTheScreen)
{
    TIniFile(SettingsFilePath()).EraseSection("kivform");
    Tfkivmain main({});
    main.FormShow();
    Settle();
    const QRect screen = main.AvailableScreenArea();
    ASSERT_TRUE(screen.isValid());
    const TWindowGeometry expected = FirstStartGeometry(screen);
    EXPECT_FALSE(main.isMaximized());
    EXPECT_EQ(main.geometry(), QRect(expected.left, expected.top, expected.width, expected.height));
    EXPECT_GE(main.width(), screen.width() * 4 / 5);
    EXPECT_GE(main.height(), screen.height() * 4 / 5);

    QWidget *pages = main.DockArea()->Central();
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(main.DockingLib()->RightPanel()->PanelSize(), 0);
    EXPECT_EQ(main.DockingLib()->LeftPanel()->PanelSize(), 0);
    EXPECT_FALSE(main.DockingLib()->IsDockedFormShowing(main.DebugForm()));
    EXPECT_GE(pages->width(), main.DockArea()->width() * 9 / 10);
    EXPECT_GE(pages->height(), main.DockArea()->height() * 6 / 10);
    EXPECT_TRUE(main.DockingLib()->IsDockedFormShowing(main.OutputForm()));
    ExpectUsableLayout(main, "first start");
    if (const QByteArray shot = qgetenv("KIV_FIRST_START_SHOT"); !shot.isEmpty())
        main.grab().save(QString::fromLocal8Bit(shot));
}

// Layout sections from an older or damaged settings file: every one restores a usable layout.
TEST_F(MainWindowDockTest, DamagedLayoutSectionsRestoreAUsableLayout)
{
    const QString unknownTree = [] {
        TDockZoneTree tree;
        tree.Insert("NoSuchForm", alTop);
        tree.Insert("fkivdebug", alBottom, "NoSuchForm");
        tree.Insert("AnotherStranger", alRight, "fkivdebug");
        return DockDataToHex(tree.SaveToStream());
    }();
    struct TCase {
        const char *name;
        QByteArray text;
    };
    const TCase cases[] = {
        {"truncated", "[OutputForm]\r\nDocked=1\r\nDock Host=TPageCon"},
        {"truncated group", "[OutputForm]\r\nDocked=1\r\nDock Host=TPageControl\r\nDock Host Tag=3\r\nDock Tab Host"},
        {"unknown forms and hosts",
         "[OutputForm]\r\nDocked=1\r\nDock Host=TFancyHost\r\nDock Host Tag=9\r\n"
         "[fkivdebug]\r\nDocked=1\r\nDock Host=TPanel\r\nDock Host Tag=7\r\nVisible=1\r\n"
         "[Dock Sites]\r\nRight Data=" + unknownTree.toLatin1() + "\r\nRight Width=250\r\n"},
        {"custom host", "[OutputForm]\r\nDocked=1\r\nDock Host=custom\r\nDock Host Tag=500\r\n"},
        {"negative sizes",
         "[OutputForm]\r\nDocked=0\r\nLeft=-5000\r\nTop=-5000\r\nWidth=-300\r\nHeight=-20\r\nVisible=1\r\n"
         "[fkivdebug]\r\nDocked=1\r\nDock Host=TPanel\r\nDock Host Tag=2\r\nVisible=1\r\n"
         "[Dock Sites]\r\nBottom Height=-50\r\nRight Width=-10\r\nLeft Width=-99999\r\n"},
        {"huge sizes",
         "[OutputForm]\r\nDocked=0\r\nLeft=2147483000\r\nTop=2147483000\r\nWidth=2147483647\r\nHeight=99999\r\n"
         "[fkivdebug]\r\nDocked=1\r\nDock Host=TPanel\r\nDock Host Tag=2\r\nVisible=1\r\n"
         "[Dock Sites]\r\nRight Width=99999\r\nBottom Height=2147483647\r\nRight Data=ZZ\r\nBottom Data=4B445A\r\n"},
        {"floating group out of reach",
         "[OutputForm]\r\nDocked=1\r\nDock Host=TConjoinDockHost\r\nDock Host Tag=4\r\n"
         "Dock Host Left=-90000\r\nDock Host Top=90000\r\nDock Host Width=-1\r\nDock Host Height=0\r\n"
         "Dock Host Visible=1\r\nVisible=1\r\n"},
    };
    for (const TCase &c : cases) {
        QFile::remove(SettingsFilePath());
        SetUp();
        QFile file(SettingsFilePath());
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("\r\n" + c.text);
        file.close();
        Tfkivmain main({});
        main.FormShow();
        Settle();
        ExpectUsableLayout(main, c.name);
        main.DockingLib()->ShowDockedForm(main.DebugForm());
        Settle();
        EXPECT_TRUE(main.DockingLib()->IsDockedFormShowing(main.DebugForm())) << c.name;
        // Closing writes a sound layout back, which the next start takes as it is.
        EXPECT_TRUE(main.close());
        TIniFile ini(SettingsFilePath());
        EXPECT_TRUE(ini.SectionExists("OutputForm")) << c.name;
    }
}
