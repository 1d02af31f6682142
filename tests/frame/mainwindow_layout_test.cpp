// The whole layout of the main window through a close and a new start: tool windows in a tab
// group, side by side, floating (alone and as a group) and hidden, and the tool bars' places,
// visibility and the shortcuts set in "Customize Window".

#include "kivini.h"
#include "kivmain.h"
#include "kivprompt.h"
#include "kivtoolbars.h"
#include "kivtools.h"
#include "pc_dirs.h"
#include "uConjoinHost.h"
#include "uDbgForm.h"
#include "uDockPageControl.h"
#include "uDockPanel.h"
#include "uDockingLib.h"
#include "uOutputForm.h"
#include "uTabHost.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeySequenceEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolBar>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace kiv;

namespace {

void Settle()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

// Where a tool window sits, in terms that survive a new start.
struct TPlace {
    QString host;          // site class name, "" floating
    int hostTag = 0;
    bool groupFloating = false;
    QRect groupRect;
    bool groupVisible = false;
    QString groupCaption;
    bool visible = false;
    QRect floatRect;       // floating only

    bool operator==(const TPlace &) const = default;
};

std::ostream &operator<<(std::ostream &out, const TPlace &p)
{
    const auto rect = [](const QRect &r) {
        return QString("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()).toStdString();
    };
    return out << "host=" << p.host.toStdString() << " tag=" << p.hostTag << " groupFloating=" << p.groupFloating
               << " group=" << rect(p.groupRect) << " groupVisible=" << p.groupVisible << " caption="
               << p.groupCaption.toStdString() << " visible=" << p.visible << " float=" << rect(p.floatRect);
}

TPlace PlaceOf(TDockForm *form)
{
    TPlace place;
    place.visible = form->Visible();
    TDockSite *site = form->HostDockSite();
    if (!site) {
        place.floatRect = form->geometry();
        return place;
    }
    place.host = site->SiteClassName();
    place.hostTag = site->Tag();
    if (TDockClient *group = site->GroupWindow()) {
        place.groupFloating = group->Floating();
        if (group->Floating())
            place.groupRect = group->geometry();
        place.groupVisible = group->Visible();
        place.groupCaption = group->windowTitle();
    }
    return place;
}

class MainWindowLayoutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(m_tmp.filePath("inst/dll"));
        QDir().mkpath(m_tmp.filePath("inst/lumo"));
        QDir().mkpath(m_tmp.filePath("home"));
        qputenv("HOME", m_tmp.filePath("home").toLocal8Bit());
        SetExecutablePathForDirs(m_tmp.filePath("inst/bin/kiv"));
        TIniFile ini(SettingsFilePath());
        ini.WriteInteger("kivform", "size", 0);
        ini.WriteInteger("kivform", "width", 1000);
        ini.WriteInteger("kivform", "height", 700);
        Start();
    }

    void Start()
    {
        m_main = std::make_unique<Tfkivmain>(TCommandLine{});
        m_main->FormShow();
        Settle();
    }

    // Saves the layout as closing does, then builds a new main window from the settings file.
    void Restart()
    {
        ASSERT_TRUE(m_main->close());
        m_main.reset();
        Settle();
        Start();
    }

    TDockingLib *Lib() const { return m_main->DockingLib(); }
    TDockForm *Output() const { return m_main->OutputForm(); }
    TDockForm *Debug() const { return m_main->DebugForm(); }

    QTemporaryDir m_tmp;
    TScriptedPrompt m_prompt;
    TPromptGuard m_guard{&m_prompt};
    std::unique_ptr<Tfkivmain> m_main;
};

}  // namespace

TEST_F(MainWindowLayoutTest, ATabGroupInThePanelComesBackWithBothPages)
{
    TTabDockHost *group = TTabDockHost::OfSite(Output()->HostDockSite());
    ASSERT_NE(group, nullptr);
    ASSERT_TRUE(Debug()->ManualDock(group->PageControl1(), nullptr, alClient));
    Debug()->show();
    group->UpdateCaption();
    Lib()->BottomPanel()->SetPanelSize(190);
    Settle();
    ASSERT_EQ(Debug()->HostDockSite(), Output()->HostDockSite());
    EXPECT_EQ(group->windowTitle(), "Output, Debug");
    const TPlace output = PlaceOf(Output());
    const TPlace debug = PlaceOf(Debug());
    const int tag = group->HostTag();

    Restart();
    EXPECT_EQ(PlaceOf(Output()), output);
    EXPECT_EQ(PlaceOf(Debug()), debug);
    ASSERT_EQ(Debug()->HostDockSite(), Output()->HostDockSite());
    TTabDockHost *again = TTabDockHost::OfSite(Output()->HostDockSite());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->HostDockSite(), Lib()->BottomPanel());
    EXPECT_EQ(again->HostTag(), tag);
    EXPECT_EQ(again->PageControl1()->DockClientCount(), 2);
    EXPECT_EQ(Lib()->BottomPanel()->PanelSize(), 190);
    EXPECT_EQ(Lib()->RightPanel()->PanelSize(), 0);
    EXPECT_TRUE(Lib()->IsDockedFormShowing(Debug()));
    // A new group never takes the restored tag.
    TTabDockHost fresh(Lib());
    EXPECT_GT(fresh.HostTag(), tag);
}

TEST_F(MainWindowLayoutTest, WindowsSideBySideComeBackInTheirFloatingGroup)
{
    ASSERT_TRUE(Output()->ManualFloat(QRect(120, 140, 420, 260)));
    Debug()->show();
    ASSERT_TRUE(Debug()->ManualDock(Output(), nullptr, alRight));
    Settle();
    TConjoinDockHost *group = TConjoinDockHost::OfSite(Output()->HostDockSite());
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(Debug()->HostDockSite(), Output()->HostDockSite());
    EXPECT_EQ(group->windowTitle(), "Output, Debug");
    const TPlace output = PlaceOf(Output());
    const TPlace debug = PlaceOf(Debug());
    EXPECT_EQ(output.host, "TConjoinDockHost");
    EXPECT_TRUE(output.groupFloating);

    Restart();
    EXPECT_EQ(PlaceOf(Output()), output);
    EXPECT_EQ(PlaceOf(Debug()), debug);
    TConjoinDockHost *again = TConjoinDockHost::OfSite(Output()->HostDockSite());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(Debug()->HostDockSite(), Output()->HostDockSite());
    EXPECT_EQ(again->DockArea()->DockClientCount(), 2);
    EXPECT_TRUE(Lib()->IsDockedFormShowing(Output()));
    EXPECT_TRUE(Lib()->IsDockedFormShowing(Debug()));
    // Neither panel keeps room for windows that left it.
    EXPECT_EQ(Lib()->BottomPanel()->PanelSize(), 0);
    EXPECT_EQ(Lib()->RightPanel()->PanelSize(), 0);
}

TEST_F(MainWindowLayoutTest, FloatingWindowsAndAFloatingTabGroupComeBackWhereTheyWere)
{
    // Both windows floating on their own.
    ASSERT_TRUE(Output()->ManualFloat(QRect(100, 110, 400, 200)));
    ASSERT_TRUE(Debug()->ManualFloat(QRect(430, 120, 300, 380)));
    Debug()->show();
    Settle();
    const TPlace output = PlaceOf(Output());
    const TPlace debug = PlaceOf(Debug());
    EXPECT_EQ(output.floatRect, QRect(100, 110, 400, 200));
    Restart();
    EXPECT_EQ(PlaceOf(Output()), output);
    EXPECT_EQ(PlaceOf(Debug()), debug);
    EXPECT_TRUE(Output()->Floating());
    EXPECT_TRUE(Debug()->Floating());

    // Then both as pages of one floating tab group.
    auto *group = new TTabDockHost(Lib());
    group->ManualFloat(QRect(200, 150, 500, 300));
    ASSERT_TRUE(Output()->ManualDock(group->PageControl1(), nullptr, alClient));
    ASSERT_TRUE(Debug()->ManualDock(group->PageControl1(), nullptr, alClient));
    group->UpdateCaption();
    group->show();
    Settle();
    const TPlace outputInGroup = PlaceOf(Output());
    const TPlace debugInGroup = PlaceOf(Debug());
    EXPECT_EQ(outputInGroup.host, "TPageControl");
    EXPECT_TRUE(outputInGroup.groupFloating);
    EXPECT_EQ(outputInGroup.groupRect, QRect(200, 150, 500, 300));
    EXPECT_EQ(outputInGroup.groupCaption, "Output, Debug");
    Restart();
    EXPECT_EQ(PlaceOf(Output()), outputInGroup);
    EXPECT_EQ(PlaceOf(Debug()), debugInGroup);
    TTabDockHost *again = TTabDockHost::OfSite(Output()->HostDockSite());
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->Floating());
    EXPECT_EQ(again->PageControl1()->DockClientCount(), 2);
    EXPECT_EQ(Lib()->BottomPanel()->PanelSize(), 0);
}

TEST_F(MainWindowLayoutTest, HiddenWindowsStayHiddenAndTheirPanelsCollapsed)
{
    // The Debug window shown in the right panel, the Output window closed.
    Lib()->ShowDockedForm(Debug());
    Lib()->RightPanel()->SetPanelSize(260);
    Output()->close();
    Settle();
    EXPECT_FALSE(Lib()->IsDockedFormShowing(Output()));
    EXPECT_EQ(Lib()->BottomPanel()->PanelSize(), 0);
    const TPlace output = PlaceOf(Output());
    const TPlace debug = PlaceOf(Debug());
    Restart();
    EXPECT_EQ(PlaceOf(Output()), output);
    EXPECT_EQ(PlaceOf(Debug()), debug);
    EXPECT_FALSE(Lib()->IsDockedFormShowing(Output()));
    EXPECT_TRUE(Lib()->IsDockedFormShowing(Debug()));
    EXPECT_EQ(Lib()->BottomPanel()->PanelSize(), 0);
    EXPECT_EQ(Lib()->RightPanel()->PanelSize(), 260);

    // Now the other way round: the Debug window hidden again, the Output window back.
    Lib()->ShowDockedForm(Output());
    Debug()->close();
    Settle();
    EXPECT_EQ(Lib()->RightPanel()->PanelSize(), 0);
    Restart();
    EXPECT_TRUE(Lib()->IsDockedFormShowing(Output()));
    EXPECT_FALSE(Lib()->IsDockedFormShowing(Debug()));
    EXPECT_EQ(Lib()->RightPanel()->PanelSize(), 0);
    EXPECT_GT(Lib()->BottomPanel()->PanelSize(), 0);
}

namespace {

// The rows of the top bar: the visible docked tool bars by their places.
std::vector<QStringList> Rows(const TToolbars &toolbars)
{
    std::vector<std::pair<QString, TToolbarPlace>> places;
    for (const QString &name : ToolbarNames()) {
        const TToolbarPlace place = toolbars.Place(name);
        if (toolbars.IsToolbarVisible(name) && place.docked)
            places.emplace_back(name, place);
    }
    return ToolbarRows(places);
}

}  // namespace

TEST_F(MainWindowLayoutTest, FirstStartToolbarsFillTwoRowsWithEditHeadingTheSecond)
{
    TToolbars *toolbars = m_main->Toolbars();
    ASSERT_NE(toolbars, nullptr);
    for (const QString &name : ToolbarNames())
        EXPECT_EQ(toolbars->IsToolbarVisible(name), name != "Tools") << name.toStdString();
    const std::vector<QStringList> rows = Rows(*toolbars);
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ(rows[0].first(), "General");
    EXPECT_EQ(rows[1].first(), "Edit");

    // The Tools bar, never shown, has no place to save; shown after the next start it joins
    // the last row instead of pushing General aside.
    Restart();
    const TIniFile ini(SettingsFilePath());
    EXPECT_EQ(ini.ReadInteger("Toolbar Position", "Tools left", 0), kNoToolbarPosition);
    EXPECT_EQ(ini.ReadInteger("Toolbar Position", "Edit left", kNoToolbarPosition), 0);
    toolbars = m_main->Toolbars();
    EXPECT_EQ(Rows(*toolbars), rows);
    toolbars->SetToolbarVisible(true, "Tools");
    Settle();
    const std::vector<QStringList> withTools = Rows(*toolbars);
    ASSERT_EQ(withTools.size(), rows.size());
    EXPECT_EQ(withTools.front(), rows.front());
    EXPECT_EQ(withTools.back().last(), "Tools");
}

TEST_F(MainWindowLayoutTest, ToolbarPlacesVisibilityAndShortcutsComeBack)
{
    TToolbars *toolbars = m_main->Toolbars();
    // The Debug bar moves to a row of its own under the others; Project leaves the first row
    // for the second, before Compile.
    QToolBar *debugBar = toolbars->Toolbar("Debug");
    m_main->addToolBarBreak(Qt::TopToolBarArea);
    m_main->addToolBar(Qt::TopToolBarArea, debugBar);
    m_main->insertToolBar(toolbars->Toolbar("Compile"), toolbars->Toolbar("Project"));
    Settle();
    const std::vector<QStringList> rows = Rows(*toolbars);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], QStringList{"General"});
    EXPECT_EQ(rows[1].indexOf("Project") + 1, rows[1].indexOf("Compile"));
    EXPECT_EQ(rows[2], QStringList{"Debug"});

    // In Customize Window: the View bar goes, the Tools bar comes with its buttons, and
    // Compile gets a second shortcut.
    Tfkivtools *dialog = m_main->CustomizeDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->Prepare();
    auto *bars = dialog->findChild<QListWidget *>("ToolbarCheckListBox");
    bars->item(int(ToolbarNames().indexOf("View")))->setCheckState(Qt::Unchecked);
    bars->item(int(ToolbarNames().indexOf("Tools")))->setCheckState(Qt::Checked);
    bars->setCurrentRow(int(ToolbarNames().indexOf("Tools")));
    auto *commands = dialog->findChild<QListWidget *>("ToolbarCommands");
    ASSERT_GT(commands->count(), 0);
    for (int n = 0; n < commands->count(); ++n)
        commands->item(n)->setCheckState(Qt::Checked);
    auto *categories = dialog->findChild<QComboBox *>("CategoryCB");
    categories->setCurrentIndex(categories->findText("Compile"));
    auto *commandList = dialog->findChild<QListWidget *>("CommandsLB");
    const QList<QListWidgetItem *> compile = commandList->findItems("Compile", Qt::MatchExactly);
    ASSERT_EQ(compile.size(), 1);
    commandList->setCurrentItem(compile.first());
    dialog->findChild<QKeySequenceEdit *>("HotKey")->setKeySequence(QKeySequence("Ctrl+Alt+F9"));
    dialog->findChild<QPushButton *>("AssignB")->click();
    dialog->findChild<QPushButton *>("BitBtn1")->click();
    QAction *compileAction = m_main->Command("ActionCompile");
    ASSERT_NE(compileAction, nullptr);
    ASSERT_EQ(compileAction->shortcuts().size(), 2);
    EXPECT_EQ(compileAction->shortcuts().at(1), QKeySequence("Ctrl+Alt+F9"));
    EXPECT_FALSE(toolbars->IsToolbarVisible("View"));
    EXPECT_TRUE(toolbars->IsToolbarVisible("Tools"));
    Settle();
    const std::vector<QStringList> customized = Rows(*toolbars);

    Restart();
    toolbars = m_main->Toolbars();
    EXPECT_FALSE(toolbars->IsToolbarVisible("View"));
    EXPECT_TRUE(toolbars->IsToolbarVisible("Tools"));
    EXPECT_EQ(Rows(*toolbars), customized);
    ASSERT_EQ(m_main->Command("ActionCompile")->shortcuts().size(), 2);
    EXPECT_EQ(m_main->Command("ActionCompile")->shortcuts().at(1), QKeySequence("Ctrl+Alt+F9"));
}

TEST_F(MainWindowLayoutTest, AFloatingToolbarFloatsAgainWhereItWas)
{
    ASSERT_TRUE(m_main->close());
    m_main.reset();
    // A file from a session where the Help bar floated.
    TIniFile ini(SettingsFilePath());
    ini.WriteBool("Toolbar Position", "Help docked", false);
    ini.WriteInteger("Toolbar Position", "Help left", 300);
    ini.WriteInteger("Toolbar Position", "Help top", 220);
    ini.WriteInteger("Toolbar Position", "Help width", 90);
    ini.WriteInteger("Toolbar Position", "Help height", 30);
    Start();
    QToolBar *help = m_main->Toolbars()->Toolbar("Help");
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isFloating());
    EXPECT_TRUE(m_main->Toolbars()->IsToolbarVisible("Help"));
    EXPECT_EQ(help->geometry().topLeft(), QPoint(300, 220));
    // The bars without a saved place stay docked.
    EXPECT_FALSE(m_main->Toolbars()->Toolbar("General")->isFloating());

    Restart();
    const TIniFile saved(SettingsFilePath());
    EXPECT_EQ(saved.ReadString("Toolbar Position", "Help docked"), "0");
    EXPECT_EQ(saved.ReadInteger("Toolbar Position", "Help left", 0), 300);
    EXPECT_EQ(saved.ReadInteger("Toolbar Position", "Help top", 0), 220);
    EXPECT_EQ(saved.ReadString("Toolbar Position", "File docked"), "1");
    EXPECT_TRUE(m_main->Toolbars()->Toolbar("Help")->isFloating());
    EXPECT_EQ(m_main->Toolbars()->Toolbar("Help")->geometry().topLeft(), QPoint(300, 220));
}
