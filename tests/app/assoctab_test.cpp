#include "kivassoctab.h"
#include "preferences.h"
#include "testfiles.h"

#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kiv;

namespace {

// The tab on a temporary home: every XDG folder points into it.
class AssocTabTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_tmp.isValid());
        const QString exe = m_tmp.filePath("inst/bin/kiv");
        ASSERT_TRUE(test::WriteFile(exe, "#!/bin/sh\n"));
        m_env = TAssocEnvironment::ForExecutable(exe, m_tmp.filePath("inst/icons/"));
        m_env.dataHome = m_tmp.filePath("home/.local/share");
        m_env.configHome = m_tmp.filePath("home/.config");
        m_env.dataDirs = {m_tmp.filePath("system/share")};
        m_env.configDirs = {m_tmp.filePath("system/xdg")};
        m_env.desktops.clear();
        m_env.refreshDatabases = false;
    }

    QTemporaryDir m_tmp;
    TAssocEnvironment m_env;
};

QStringList Texts(QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

}  // namespace

TEST_F(AssocTabTest, TextsListAndApplyCancel)
{
    TKivAssocTab tab(m_env);
    EXPECT_EQ(tab.windowTitle(), "System");
    EXPECT_EQ(tab.objectName(), "SystemTab");
    auto *caption = tab.findChild<QLabel *>("assoclabel");
    auto *note = tab.findChild<QLabel *>("assocnote");
    auto *list = tab.findChild<QListWidget *>("assoclist");
    ASSERT_TRUE(caption && note && list);
    EXPECT_EQ(caption->text(), "Assosiate the follwing file extensions with KIV:");
    EXPECT_EQ(note->text(), "NOTE: Modifying these system options will affect all\nusers who log on this computer.");

    tab.Fill();
    EXPECT_EQ(Texts(list), QStringList({".PJT (Project)", ".C (C Source File)", ".H (Header File)", ".LST (List)",
                                        ".SYM (Symbols)", ".TRE (Call Tree)", ".COF (COFF)", ".COD (Code)",
                                        ".HEX (Target Hex)"}));
    for (int i = 0; i < list->count(); ++i)
        EXPECT_EQ(list->item(i)->checkState(), Qt::Unchecked);

    // Cancel forgets the check and writes nothing.
    list->item(1)->setCheckState(Qt::Checked);
    tab.Cancel();
    EXPECT_EQ(list->item(1)->checkState(), Qt::Unchecked);
    EXPECT_FALSE(QFileInfo::exists(m_tmp.filePath("home")));

    // OK registers the checked entry; a tab shown later finds it checked.
    list->item(0)->setCheckState(Qt::Checked);
    const TAssocApplyResult result = tab.Apply();
    EXPECT_EQ(result.changed, 1);
    EXPECT_EQ(result.failed, 0);
    TKivAssocTab later(m_env);
    later.Fill();
    auto *laterList = later.findChild<QListWidget *>("assoclist");
    for (int i = 0; i < laterList->count(); ++i)
        EXPECT_EQ(laterList->item(i)->checkState(), i == 0 ? Qt::Checked : Qt::Unchecked) << i;

    if (!qEnvironmentVariableIsEmpty("KIV_ASSOC_SHOT")) {
        later.resize(360, 300);
        later.grab().save(qEnvironmentVariable("KIV_ASSOC_SHOT"));
    }
}

TEST_F(AssocTabTest, FailedChangeShowsItsOldCheck)
{
    ASSERT_TRUE(test::WriteFile(m_env.configHome, "a file where the folder should be"));
    TKivAssocTab tab(m_env);
    tab.Fill();
    auto *list = tab.findChild<QListWidget *>("assoclist");
    list->item(2)->setCheckState(Qt::Checked);
    EXPECT_EQ(tab.Apply().failed, 1);
    EXPECT_EQ(list->item(2)->checkState(), Qt::Unchecked);
}

// The tab as the "File Formats" dialog carries it: filled when the dialog is shown, applied by
// "OK" after the compile settings, dropped by "Cancel".
TEST_F(AssocTabTest, InTheFileFormatsDialog)
{
    TCompileOptions options;
    Tpreferences dialog(options, m_tmp.filePath("kiv.ini"));
    auto *tab = new TKivAssocTab(m_env);
    dialog.AddPage({tab, TKivAssocTab::Caption(), [tab] { tab->Fill(); }, [tab] { tab->Apply(); },
                    [tab] { tab->Cancel(); }});
    auto *tabs = dialog.findChild<QTabWidget *>("PageControl1");
    ASSERT_TRUE(tabs);
    EXPECT_EQ(tabs->tabText(1), "System");
    auto *list = dialog.findChild<QListWidget *>("assoclist");
    ASSERT_TRUE(list);

    dialog.show();
    ASSERT_EQ(list->count(), 9);
    list->item(3)->setCheckState(Qt::Checked);
    dialog.findChild<QPushButton *>("okbutton")->click();
    EXPECT_TRUE(QFileInfo::exists(tab->Model().DesktopFilePath(g_KivFiles[3])));

    dialog.show();
    EXPECT_EQ(list->item(3)->checkState(), Qt::Checked);
    list->item(3)->setCheckState(Qt::Unchecked);
    list->item(4)->setCheckState(Qt::Checked);
    tabs->setCurrentIndex(1);
    if (!qEnvironmentVariableIsEmpty("KIV_ASSOC_DIALOG_SHOT"))
        dialog.grab().save(qEnvironmentVariable("KIV_ASSOC_DIALOG_SHOT"));
    dialog.findChild<QPushButton *>("cancelbutton")->click();
    EXPECT_TRUE(QFileInfo::exists(tab->Model().DesktopFilePath(g_KivFiles[3])));
    EXPECT_FALSE(QFileInfo::exists(tab->Model().DesktopFilePath(g_KivFiles[4])));
    dialog.show();
    EXPECT_EQ(list->item(3)->checkState(), Qt::Checked);
    EXPECT_EQ(list->item(4)->checkState(), Qt::Unchecked);
}
