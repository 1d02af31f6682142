// The "Customize Window" dialog over the tool bars of a window: tool bar and button
// visibility on the Toolbars page, shortcuts on the Keyboard page, and what OK writes.

#include "kivini.h"
#include "kivprompt.h"
#include "kivtoolbars.h"
#include "kivtools.h"

#include <QAction>
#include <QComboBox>
#include <QKeySequenceEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolBar>

#include <gtest/gtest.h>

using namespace kiv;

namespace {

QIcon Swatch(Qt::GlobalColor colour)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

struct TWindow {
    QMainWindow main;
    QToolBar *compilerBar = nullptr;
    QAction *open = nullptr;
    QAction *save = nullptr;
    QAction *saveAs = nullptr;
    QAction *copy = nullptr;
    QAction *cut = nullptr;
    QAction *selectAll = nullptr;
    TToolbars *toolbars = nullptr;

    explicit TWindow(const TIniFile &ini)
    {
        QMenu *file = main.menuBar()->addMenu("&File");
        open = file->addAction(Swatch(Qt::blue), "&Open");
        open->setStatusTip("Opens a file");
        save = file->addAction(Swatch(Qt::green), "&Save");
        save->setShortcut(QKeySequence("Ctrl+S"));
        file->addSeparator();
        saveAs = file->addAction(Swatch(Qt::yellow), "Save &As");
        file->addAction("&Print");   // no icon: no button
        QMenu *edit = main.menuBar()->addMenu("&Edit");
        copy = edit->addAction(Swatch(Qt::red), "&Copy");
        copy->setShortcut(QKeySequence("Ctrl+C"));
        cut = edit->addAction(Swatch(Qt::magenta), "Cu&t");
        selectAll = edit->addAction(Swatch(Qt::cyan), "Select &All");
        compilerBar = new QToolBar("Compiler", &main);
        toolbars = new TToolbars(&main, compilerBar);
        toolbars->BuildToolbars(main.menuBar(), ini);
        main.resize(800, 500);
        main.show();
    }
};

QStringList Texts(const QListWidget *list)
{
    QStringList texts;
    for (int n = 0; n < list->count(); ++n)
        texts << list->item(n)->text();
    return texts;
}

QStringList Checked(const QListWidget *list)
{
    QStringList texts;
    for (int n = 0; n < list->count(); ++n) {
        if (list->item(n)->checkState() == Qt::Checked)
            texts << list->item(n)->text();
    }
    return texts;
}

class CustomizeTest : public ::testing::Test {
protected:
    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath("kiv.ini");
    TScriptedPrompt m_prompt;
    TPromptGuard m_guard{&m_prompt};
};

}  // namespace

TEST_F(CustomizeTest, ToolbarsPageListsBarsAndButtonsWithTheirVisibility)
{
    TWindow w{TIniFile(m_path)};
    Tfkivtools dialog(w.toolbars, w.main.menuBar(), m_path, &w.main);
    EXPECT_EQ(dialog.windowTitle(), "Customize Window");
    dialog.Prepare();
    auto *bars = dialog.findChild<QListWidget *>("ToolbarCheckListBox");
    auto *commands = dialog.findChild<QListWidget *>("ToolbarCommands");
    ASSERT_TRUE(bars && commands);
    EXPECT_EQ(Texts(bars), ToolbarNames());
    // Tools has no buttons and is hidden by default; the others show.
    EXPECT_EQ(Checked(bars), (QStringList{"General", "Project", "Edit", "Compiler-Select", "Compile", "View",
                                          "Debug", "Help"}));
    EXPECT_EQ(bars->currentRow(), 0);
    EXPECT_EQ(Texts(commands), (QStringList{"Open", "Save", "Save As"}));
    EXPECT_EQ(Checked(commands), (QStringList{"Open", "Save"}));
    bars->setCurrentRow(2);
    EXPECT_EQ(Texts(commands), (QStringList{"Copy", "Cut", "Select All"}));
    EXPECT_EQ(Checked(commands), (QStringList{"Copy", "Cut"}));
    // Clicking a command shows its hint.
    bars->setCurrentRow(0);
    dialog.CommandItemClicked(commands->item(0));
    EXPECT_EQ(dialog.findChild<QPlainTextEdit *>("ToolbarDescMemo")->toPlainText(), "Opens a file");
}

TEST_F(CustomizeTest, ABarWhoseButtonsAreAllUncheckedDisappearsAfterOk)
{
    TWindow w{TIniFile(m_path)};
    Tfkivtools dialog(w.toolbars, w.main.menuBar(), m_path, &w.main);
    dialog.Prepare();
    auto *bars = dialog.findChild<QListWidget *>("ToolbarCheckListBox");
    auto *commands = dialog.findChild<QListWidget *>("ToolbarCommands");
    bars->setCurrentRow(2);   // Edit
    commands->item(0)->setCheckState(Qt::Unchecked);
    commands->item(1)->setCheckState(Qt::Unchecked);
    bars->setCurrentRow(0);   // General: Save As joins, Save leaves
    commands->item(1)->setCheckState(Qt::Unchecked);
    commands->item(2)->setCheckState(Qt::Checked);
    // Nothing changes before OK.
    EXPECT_TRUE(w.toolbars->IsToolbarVisible("Edit"));
    EXPECT_TRUE(w.toolbars->Button("General Save")->isVisible());
    dialog.findChild<QPushButton *>("BitBtn1")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(w.toolbars->IsToolbarVisible("Edit"));
    EXPECT_FALSE(w.toolbars->Button("General Save")->isVisible());
    EXPECT_TRUE(w.toolbars->Button("General Save As")->isVisible());
    EXPECT_TRUE(w.toolbars->IsToolbarVisible("General"));

    // OK wrote tool bars, buttons, places and each command's tool bar flag.
    const TIniFile ini(m_path);
    EXPECT_EQ(ini.ReadString("Toolbar", "File Save"), "0");
    EXPECT_EQ(ini.ReadString("Toolbar", "File Save As"), "1");
    EXPECT_EQ(ini.ReadString("Toolbar", "Edit Copy"), "0");
    EXPECT_EQ(ini.ReadString("Toolbar", "File Print"), "0");
    EXPECT_EQ(ini.ReadString("Toolbar", "File"), "1");
    EXPECT_EQ(ini.ReadString("Toolbar Position", "File docked"), "1");
    EXPECT_TRUE(ini.ValueExists("Toolbar Position", "Edit left"));
    EXPECT_EQ(ini.ReadString("Shortcuts", "File Save"), "Ctrl+S");

    // A new window built from that file shows the same.
    TWindow again{ini};
    EXPECT_FALSE(again.toolbars->IsToolbarVisible("Edit"));
    EXPECT_FALSE(again.toolbars->Button("General Save")->isVisible());
    EXPECT_TRUE(again.toolbars->Button("General Save As")->isVisible());
    EXPECT_TRUE(again.toolbars->Button("General Open")->isVisible());
}

TEST_F(CustomizeTest, ResetTakesTheDefaultVisibility)
{
    TIniFile ini(m_path);
    ini.WriteBool("Toolbar", "Tools", true);
    ini.WriteBool("Toolbar", "File Open", false);
    ini.WriteBool("Toolbar", "Edit Select All", true);
    TWindow w{ini};
    Tfkivtools dialog(w.toolbars, w.main.menuBar(), m_path, &w.main);
    dialog.Prepare();
    EXPECT_TRUE(dialog.Working().Visible("Tools"));
    EXPECT_FALSE(dialog.Working().Visible("General Open"));
    dialog.findChild<QPushButton *>("ResetButton")->click();
    EXPECT_FALSE(dialog.Working().Visible("Tools"));
    EXPECT_TRUE(dialog.Working().Visible("General Open"));
    EXPECT_FALSE(dialog.Working().Visible("Edit Select All"));
    auto *commands = dialog.findChild<QListWidget *>("ToolbarCommands");
    EXPECT_EQ(Checked(commands), (QStringList{"Open", "Save"}));
}

TEST_F(CustomizeTest, KeyboardPageAssignsRemovesAndMovesShortcuts)
{
    TWindow w{TIniFile(m_path)};
    Tfkivtools dialog(w.toolbars, w.main.menuBar(), m_path, &w.main);
    dialog.Prepare();
    auto *categories = dialog.findChild<QComboBox *>("CategoryCB");
    auto *commands = dialog.findChild<QListWidget *>("CommandsLB");
    auto *keys = dialog.findChild<QListWidget *>("CurrentKeysLB");
    auto *hotKey = dialog.findChild<QKeySequenceEdit *>("HotKey");
    auto *assign = dialog.findChild<QPushButton *>("AssignB");
    auto *remove = dialog.findChild<QPushButton *>("RemoveB");
    ASSERT_TRUE(categories && commands && keys && hotKey && assign && remove);
    EXPECT_FALSE(dialog.findChild<QPushButton *>("ResetAllB")->isEnabled());

    ASSERT_EQ(categories->count(), 2);
    EXPECT_EQ(categories->itemText(0), "File");
    EXPECT_EQ(Texts(commands), (QStringList{"Open", "Save", "Save As", "Print"}));
    categories->setCurrentIndex(1);
    EXPECT_EQ(Texts(commands), (QStringList{"Copy", "Cut", "Select All"}));
    EXPECT_FALSE(assign->isEnabled());
    EXPECT_FALSE(remove->isEnabled());

    // A command without shortcuts gets the new key as its primary shortcut.
    commands->setCurrentRow(1);
    EXPECT_EQ(Texts(keys), (QStringList{"(none)"}));
    keys->setCurrentRow(0);
    EXPECT_FALSE(remove->isEnabled());
    hotKey->setKeySequence(QKeySequence("Ctrl+K"));
    EXPECT_TRUE(assign->isEnabled());
    assign->click();
    EXPECT_FALSE(assign->isEnabled());
    EXPECT_EQ(Texts(keys), (QStringList{"Ctrl+K"}));
    EXPECT_EQ(w.cut->shortcuts(), (QList<QKeySequence>{QKeySequence("Ctrl+K")}));

    // A key another command has: No leaves both as they are, Yes moves it.
    commands->setCurrentRow(0);
    EXPECT_EQ(Texts(keys), (QStringList{"Ctrl+C"}));
    m_prompt.Queue(mrNo);
    hotKey->setKeySequence(QKeySequence("Ctrl+K"));
    assign->click();
    ASSERT_EQ(m_prompt.Messages().size(), 1);
    EXPECT_EQ(m_prompt.Messages().at(0),
              "The shortcut Ctrl+K is assigned to \"Edit Cut\".\nRemove it there and assign it to \"Edit Copy\"?");
    EXPECT_EQ(w.copy->shortcuts(), (QList<QKeySequence>{QKeySequence("Ctrl+C")}));
    EXPECT_EQ(w.cut->shortcuts(), (QList<QKeySequence>{QKeySequence("Ctrl+K")}));
    m_prompt.Queue(mrYes);
    hotKey->setKeySequence(QKeySequence("Ctrl+K"));
    assign->click();
    EXPECT_EQ(Texts(keys), (QStringList{"Ctrl+C", "Ctrl+K"}));
    EXPECT_EQ(w.copy->shortcuts(), (QList<QKeySequence>{QKeySequence("Ctrl+C"), QKeySequence("Ctrl+K")}));
    EXPECT_TRUE(w.cut->shortcuts().isEmpty());

    // Remove the primary: the secondary is left.
    keys->setCurrentRow(0);
    EXPECT_TRUE(remove->isEnabled());
    remove->click();
    EXPECT_EQ(Texts(keys), (QStringList{"Ctrl+K"}));
    EXPECT_EQ(w.copy->shortcuts(), (QList<QKeySequence>{QKeySequence("Ctrl+K")}));
    keys->setCurrentRow(0);
    remove->click();
    EXPECT_EQ(Texts(keys), (QStringList{"(none)"}));
    EXPECT_TRUE(w.copy->shortcuts().isEmpty());

    hotKey->setKeySequence(QKeySequence("F7"));
    assign->click();
    hotKey->setKeySequence(QKeySequence("Ctrl+F7"));
    assign->click();
    dialog.findChild<QPushButton *>("BitBtn1")->click();
    const TIniFile ini(m_path);
    EXPECT_EQ(ini.ReadString("Shortcuts", "Edit Copy"), "F7\\tCtrl+F7");
    EXPECT_EQ(ini.ReadString("Shortcuts", "Edit Cut"), "");
    EXPECT_EQ(ini.ReadString("Shortcuts", "File Save"), "Ctrl+S");

    // The next start reads them back.
    TWindow again{ini};
    TToolbars::LoadShortcuts(again.main.menuBar(), ini);
    EXPECT_EQ(again.copy->shortcuts(), (QList<QKeySequence>{QKeySequence("F7"), QKeySequence("Ctrl+F7")}));
    EXPECT_TRUE(again.cut->shortcuts().isEmpty());
}

// KIV_CUSTOMIZE_SHOT=/tmp/customize renders both pages to /tmp/customize-1.png and -2.png.
TEST_F(CustomizeTest, BothPagesRender)
{
    TWindow w{TIniFile(m_path)};
    Tfkivtools dialog(w.toolbars, w.main.menuBar(), m_path, &w.main);
    dialog.show();
    auto *pages = dialog.findChild<QTabWidget *>("PageControl1");
    ASSERT_EQ(pages->count(), 2);
    EXPECT_EQ(pages->tabText(0), "Toolbars");
    EXPECT_EQ(pages->tabText(1), "Keyboard");
    const QString shot = qEnvironmentVariable("KIV_CUSTOMIZE_SHOT");
    for (int page = 0; page < 2; ++page) {
        pages->setCurrentIndex(page);
        if (page == 1)
            dialog.findChild<QListWidget *>("CommandsLB")->setCurrentRow(1);
        const QImage image = dialog.grab().toImage();
        EXPECT_FALSE(image.isNull());
        if (!shot.isEmpty())
            image.save(shot + QStringLiteral("-%1.png").arg(page + 1));
    }
    dialog.hide();
}
