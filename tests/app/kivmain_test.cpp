#include "kivini.h"
#include "kivmain.h"
#include "kivprompt.h"
#include "pc_dirs.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kiv;

namespace {

// Each test gets its own installation tree and home folder, so the settings file is the
// installation's lumo/kiv.ini of that tree.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(m_tmp.filePath("inst/dll"));
        QDir().mkpath(m_tmp.filePath("inst/lumo"));
        QDir().mkpath(m_tmp.filePath("home"));
        qputenv("HOME", m_tmp.filePath("home").toLocal8Bit());
        SetExecutablePathForDirs(m_tmp.filePath("inst/bin/kiv"));
    }
    QString SettingsFile() const { return m_tmp.filePath("inst/lumo/kiv.ini"); }

    QTemporaryDir m_tmp;
    TScriptedPrompt m_prompt;
    TPromptGuard m_guard{&m_prompt};
};

}  // namespace

TEST_F(MainWindowTest, CaptionMenusAndStatusPanels)
{
    Tfkivmain main({});
    EXPECT_EQ(SettingsFilePath(), SettingsFile());
    EXPECT_EQ(main.windowTitle(), "KIV C Compiler IDE");
    EXPECT_NE(main.findChild<QMenu *>("ReopenFiles"), nullptr);
    EXPECT_NE(main.findChild<QMenu *>("ReopenProjects"), nullptr);
    main.resize(800, 600);
    main.show();
    QApplication::processEvents();
    EXPECT_EQ(main.StatusPanel(0)->width(), 75);
    EXPECT_EQ(main.StatusPanel(1)->width(), 75);
    EXPECT_EQ(main.StatusPanel(3)->width(), 50);
    EXPECT_EQ(main.StatusPanel(2)->width(), Tfkivmain::StatusPanel2Width(main.statusBar()->width()));
    EXPECT_EQ(Tfkivmain::StatusPanel2Width(1000), int((1000 - 75 - 75 - 33) * 0.75));
    EXPECT_EQ(main.StatusPanel(0)->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
}

TEST_F(MainWindowTest, RecentEntriesFillTheReopenMenu)
{
    TIniFile ini(SettingsFile());
    ini.WriteInteger("MRU", "count", 2);
    ini.WriteString("MRU", "0", "/w/new.c");
    ini.WriteString("MRU", "1", "/w/old.c");
    Tfkivmain main({});
    QStringList opened;
    main.ReopenFile = [&opened](const QString &p) { opened << p; };
    main.FormShow();
    const QList<QAction *> entries = main.ReopenFilesMenu()->actions();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0]->text(), "&1: /w/new.c");
    EXPECT_EQ(entries[1]->text(), "&2: /w/old.c");
    entries[1]->trigger();
    EXPECT_EQ(opened, QStringList{"/w/old.c"});

    main.AddRecentFile("/w/OLD.c");
    EXPECT_EQ(main.ReopenFilesMenu()->actions().at(0)->text(), "&1: /w/OLD.c");
    EXPECT_EQ(main.ReopenFilesMenu()->actions().size(), 2);
}

TEST_F(MainWindowTest, EscapeClosesTheVisibleOutputWindowOncePerPress)
{
    Tfkivmain main({});
    main.show();
    QApplication::setActiveWindow(&main);
    auto *output = new QWidget(&main, Qt::Tool);
    main.SetOutputWindow(output);
    output->show();
    ASSERT_TRUE(output->isVisible());

    // Auto-repeat while held does nothing more; the first press closes the window.
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&main, &press);
    EXPECT_FALSE(output->isVisible());
    output->show();
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(&main, &repeat);
    EXPECT_TRUE(output->isVisible());
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&main, &release);
    QApplication::sendEvent(&main, &press);
    EXPECT_FALSE(output->isVisible());
}

TEST_F(MainWindowTest, CloseSavesTheEnvironmentUnlessADebugSessionRuns)
{
    Tfkivmain main({});
    main.FormShow();
    bool stopAsked = false;
    main.DebugSessionActive = [] { return true; };
    main.StopDebugSessionThenClose = [&stopAsked] { stopAsked = true; };
    EXPECT_FALSE(main.close());
    EXPECT_TRUE(stopAsked);
    EXPECT_FALSE(QFile::exists(SettingsFile()));

    main.DebugSessionActive = [] { return false; };
    main.AddRecentProject("/p/x.pjt");
    EXPECT_TRUE(main.close());
    TIniFile ini(SettingsFile());
    EXPECT_TRUE(ini.ValueExists("kivform", "size"));
    EXPECT_EQ(ini.ReadString("MRUP", "0"), "/p/x.pjt");
}
