// Keyboard shortcuts of the menu commands in the settings file: the "Shortcuts" value format,
// and a save and load through the menus of a window.

#include "kivini.h"
#include "kivtoolbars.h"
#include "kivtools_model.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kiv;

TEST(ShortcutsValue, PrimaryThenSecondariesSeparatedByBackslashT)
{
    struct TCase {
        QStringList shortcuts;
        QString value;
    };
    const TCase cases[] = {
        {{}, ""},
        {{"Ctrl+S"}, "Ctrl+S"},
        {{"Ctrl+S", "F2"}, "Ctrl+S\\tF2"},
        {{"Ctrl+S", "F2", "Ctrl+Alt+S"}, "Ctrl+S\\tF2\\tCtrl+Alt+S"},
    };
    for (const TCase &c : cases) {
        EXPECT_EQ(ShortcutsValue(c.shortcuts), c.value);
        EXPECT_EQ(ShortcutsFromValue(c.value), c.shortcuts);
    }
    // Empty parts, as a hand-edited file may have them, are dropped.
    EXPECT_EQ(ShortcutsFromValue("\\tF5\\t\\t Ctrl+F5 "), (QStringList{"F5", "Ctrl+F5"}));
}

namespace {

struct TWindow {
    QMainWindow main;
    QAction *save = nullptr;
    QAction *find = nullptr;
    QAction *recent = nullptr;
    QAction *sub = nullptr;

    TWindow()
    {
        QMenu *file = main.menuBar()->addMenu("&File");
        save = file->addAction("&Save");
        save->setShortcut(QKeySequence("Ctrl+S"));
        file->addSeparator();
        recent = file->addAction("1 /p/main.c");
        QMenu *edit = main.menuBar()->addMenu("&Edit");
        find = edit->addAction("&Find...");
        find->setProperty("category", QString("&Edit"));
        QMenu *more = edit->addMenu("&More");
        sub = more->addAction("Match &Brace");
    }
};

}  // namespace

TEST(Shortcuts, ThreeShortcutsSurviveASaveAndALoad)
{
    QTemporaryDir dir;
    TIniFile ini(dir.filePath("kiv.ini"));
    {
        TWindow w;
        w.save->setShortcuts({QKeySequence("Ctrl+S"), QKeySequence("F2"), QKeySequence("Ctrl+Alt+S")});
        w.sub->setShortcut(QKeySequence("Ctrl+]"));
        ASSERT_TRUE(TToolbars::SaveShortcuts(w.main.menuBar(), ini));
    }
    EXPECT_EQ(ini.ReadString("Shortcuts", "File Save"), "Ctrl+S\\tF2\\tCtrl+Alt+S");
    EXPECT_EQ(ini.ReadString("Shortcuts", "Edit Find..."), "");
    EXPECT_EQ(ini.ReadString("Shortcuts", "Edit Match Brace"), "Ctrl+]");
    // A recent-file entry has no key.
    EXPECT_EQ(ini.ReadSection("Shortcuts"), (QStringList{"File Save", "Edit Find...", "Edit Match Brace"}));

    ini.WriteString("Shortcuts", "Edit Find...", "Ctrl+F\\tnot a key at all+++\\tF3");
    TWindow w;
    TToolbars::LoadShortcuts(w.main.menuBar(), ini);
    EXPECT_EQ(w.save->shortcuts(),
              (QList<QKeySequence>{QKeySequence("Ctrl+S"), QKeySequence("F2"), QKeySequence("Ctrl+Alt+S")}));
    EXPECT_EQ(w.find->shortcuts(), (QList<QKeySequence>{QKeySequence("Ctrl+F"), QKeySequence("F3")}));
    EXPECT_EQ(w.sub->shortcut(), QKeySequence("Ctrl+]"));
}

TEST(Shortcuts, WithoutTheSectionCommandsKeepTheirShortcuts)
{
    QTemporaryDir dir;
    const TIniFile ini(dir.filePath("kiv.ini"));
    TWindow w;
    TToolbars::LoadShortcuts(w.main.menuBar(), ini);
    EXPECT_EQ(w.save->shortcut(), QKeySequence("Ctrl+S"));
}
