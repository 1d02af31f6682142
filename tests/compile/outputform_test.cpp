// The Output window in a docking layer: its tab strip, the two lists, double-click navigation,
// the error list's context menu, ShowTab and closing.

#include "testfiles.h"
#include "uDockPanel.h"
#include "uDockingLib.h"
#include "uErrorList_model.h"
#include "uFindResultsList.h"
#include "uOutputForm.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace kiv::test {
namespace {

void Settle()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

/// A main window with the dock area as its client, the Output window docked in the bottom
/// panel, and a navigation that records what the lists ask for. Files "open" when they exist.
class OutputFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_temp.isValid());
        m_main = std::make_unique<QWidget>();
        auto *layout = new QVBoxLayout(m_main.get());
        layout->setContentsMargins(0, 0, 0, 0);
        auto *area = new TDockArea(new QWidget, m_main.get());
        layout->addWidget(area);
        m_main->setGeometry(50, 40, 800, 600);
        lib = new TDockingLib(m_main.get(), area->LeftPanel(), area->BottomPanel(),
                              area->RightPanel(), area->LeftSplitter(), area->BottomSplitter(),
                              area->RightSplitter());
        form = new TOutputForm(lib);
        form->ManualDock(lib->BottomPanel(), nullptr, alClient);
        form->show();
        m_main->show();
        lib->ShowDockedForm(form);
        Settle();

        form->Navigation.OpenFile = [this](const QString &path) {
            log << "open " + path;
            return QFileInfo(path).isFile() ? 7 : -1;
        };
        form->Navigation.GoToPosition = [this](int page, int line, int start, int end) {
            log << QStringLiteral("goto %1 %2 %3 %4").arg(page).arg(line).arg(start).arg(end);
        };
        form->Navigation.ShowMessageHelp = [this](int context) {
            log << QStringLiteral("help %1").arg(context);
        };
        source = m_temp.path() + "/blink.asm";
        ASSERT_TRUE(WriteFile(source, "; source\r\n"));
    }
    void TearDown() override
    {
        m_main.reset();
        Settle();
    }

    QString Line(const QString &pattern) const { return QString(pattern).arg(source); }

    QTemporaryDir m_temp;
    std::unique_ptr<QWidget> m_main;
    TDockingLib *lib = nullptr;
    TOutputForm *form = nullptr;
    QString source;
    QStringList log;
};

TEST_F(OutputFormTest, TheTabStripSwitchesBetweenTheTwoLists)
{
    auto *tabs = form->findChild<QTabBar *>("TabSet1");
    ASSERT_NE(tabs, nullptr);
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(0), "Compiler");
    EXPECT_EQ(tabs->tabText(1), "Find");
    EXPECT_EQ(form->windowTitle(), "Output");
    auto *errors = form->findChild<TErrorList *>("ErrorList");
    auto *finds = form->findChild<TFindResultsList *>("FindResultsList");
    ASSERT_NE(errors, nullptr);
    ASSERT_NE(finds, nullptr);

    // Starts on "Compiler"; only the selected tab's list is shown.
    EXPECT_EQ(form->Tab(), 0);
    EXPECT_TRUE(errors->isVisible());
    EXPECT_FALSE(finds->isVisible());
    form->ShowTab(1);
    Settle();
    EXPECT_FALSE(errors->isVisible());
    EXPECT_TRUE(finds->isVisible());
    tabs->setCurrentIndex(0);
    Settle();
    EXPECT_TRUE(errors->isVisible());
    EXPECT_FALSE(finds->isVisible());
}

TEST_F(OutputFormTest, ClosingOnlyHidesAndShowTabBringsTheWindowBack)
{
    QPointer<TOutputForm> guard(form);
    form->close();
    Settle();
    ASSERT_TRUE(guard);
    EXPECT_FALSE(lib->IsDockedFormShowing(form));
    form->ShowTab(1);
    Settle();
    EXPECT_TRUE(lib->IsDockedFormShowing(form));
    EXPECT_EQ(form->Tab(), 1);
}

TEST_F(OutputFormTest, TheErrorListShowsItsModelAndFollowsItsSelection)
{
    TErrorListModel model;
    TErrorList *errors = form->ErrorList();
    errors->SetModel(&model);
    const QString path = m_temp.path() + "/blink.err";
    ASSERT_TRUE(WriteFile(path, Line("note\r\n*** Error 11 \"%1\" Line 1(3,8): x\r\n1 Errors, "
                                     "0 Warnings\r\n")
                                    .toUtf8()));
    bool failed = false;
    ASSERT_TRUE(model.LoadErrorFile(path, &failed));
    EXPECT_EQ(errors->count(), 3);
    EXPECT_EQ(errors->currentRow(), 1);
    errors->setCurrentRow(2);
    EXPECT_EQ(model.Selected(), 2);
    model.AddLine("added");
    EXPECT_EQ(errors->item(3)->text(), "added");
    model.Clear();
    EXPECT_EQ(errors->count(), 0);
    EXPECT_EQ(errors->ScrollWidth(), 0);
}

TEST_F(OutputFormTest, TheScrollWidthGrowsWithTheWidestLineAndResetsOnClear)
{
    for (TOutputList *list : {static_cast<TOutputList *>(form->ErrorList()),
                              static_cast<TOutputList *>(form->FindResultsList())}) {
        auto add = [&](const QString &text) {
            if (auto *errors = qobject_cast<TErrorList *>(list))
                errors->AddLine(text);
            else
                static_cast<TFindResultsList *>(list)->AddResult(text, source);
        };
        add("short");
        const int narrow = list->ScrollWidth();
        EXPECT_GT(narrow, 0);
        add(QString(400, 'W'));
        const int wide = list->ScrollWidth();
        EXPECT_GT(wide, narrow);
        add("short again");
        EXPECT_EQ(list->ScrollWidth(), wide);

        form->ShowTab(list == form->ErrorList() ? 0 : 1);
        Settle();
        EXPECT_GT(list->horizontalScrollBar()->maximum(), 0);

        if (auto *errors = qobject_cast<TErrorList *>(list))
            errors->Clear();
        else
            static_cast<TFindResultsList *>(list)->Clear();
        EXPECT_EQ(list->ScrollWidth(), 0);
        EXPECT_EQ(list->count(), 0);
    }
}

TEST_F(OutputFormTest, GoToSelectedOnTheErrorList)
{
    const struct {
        const char *name;
        QStringList lines;
        int selected;   // -1: none
        QStringList expected;
    } cases[] = {
        {"with columns", {Line("*** Error 11 \"%1\" Line 31(17,22): Symbol not defined")}, 0,
         {"open " + source, "goto 7 31 17 22"}},
        {"without columns", {Line(">>> Warning 200 \"%1\" Line 4: Argument out of range")}, 0,
         {"open " + source, "goto 7 4 -1 -1"}},
        {"the selected line", {"first", Line("--- Error 1 \"%1\" Line 2: x")}, 1,
         {"open " + source, "goto 7 2 -1 -1"}},
        {"nothing selected takes line 0", {Line("*** Error 1 \"%1\" Line 9: x"), "next"}, -1,
         {"open " + source, "goto 7 9 -1 -1"}},
        {"line 0 is no message", {"1 Errors, 0 Warnings", Line("*** Error 1 \"%1\" Line 9: x")},
         -1, {}},
        {"not a message line", {"Memory usage: 12%"}, 0, {}},
        {"a missing file", {"*** Error 12 \"/nowhere/x.asm\" Line 3(1,2): x"}, 0,
         {"open /nowhere/x.asm"}},
        {"a position that is not a number", {Line("*** Error 1 \"%1\" Line three: x")}, 0, {}},
        {"columns that are not numbers", {Line("*** Error 1 \"%1\" Line 3(a,b): x")}, 0, {}},
        {"an empty list", {}, -1, {}},
    };
    TErrorList *errors = form->ErrorList();
    for (const auto &c : cases) {
        errors->Clear();
        for (const QString &line : c.lines)
            errors->AddLine(line);
        errors->setCurrentRow(c.selected);
        log.clear();
        errors->GoToSelected();
        EXPECT_EQ(log, c.expected) << c.name;
    }
    // An empty list selects line 0, which selects nothing.
    EXPECT_EQ(errors->Model()->Selected(), -1);
}

TEST_F(OutputFormTest, DoubleClickingALineGoesToItsPosition)
{
    TErrorList *errors = form->ErrorList();
    errors->AddLine("2 Errors, 0 Warnings");
    errors->AddLine(Line("*** Error 13 \"%1\" Line 5(1,6): Duplicate label"));
    Settle();
    const QRect rect = errors->visualItemRect(errors->item(1));
    // A double click as the window system delivers it: press, release, then the double click.
    QTest::mouseClick(errors->viewport(), Qt::LeftButton, {}, rect.center());
    QMouseEvent doubleClick(QEvent::MouseButtonDblClick, rect.center(),
                            errors->viewport()->mapToGlobal(rect.center()), Qt::LeftButton,
                            Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(errors->viewport(), &doubleClick);
    Settle();
    EXPECT_EQ(log, (QStringList{"open " + source, "goto 7 5 1 6"}));
}

TEST_F(OutputFormTest, GoToSelectedOnTheFindResultsUsesTheStoredPath)
{
    TFindResultsList *finds = form->FindResultsList();
    const QString other = m_temp.path() + "/other.asm";
    ASSERT_TRUE(WriteFile(other, "x\r\n"));
    // The text names a file that does not exist; the stored path is what opens.
    finds->AddResult("... \"/shown/elsewhere.asm\" Line 35(9,13):\tgoto\tloop", source);
    finds->AddResult("... \"/p/other.asm\" Line 2(4,7): x", other);
    finds->AddResult("... \"/p/gone.asm\" Line 2(4,7): x", "/nowhere/gone.asm");
    finds->AddResult("... \"/p/a.asm\" Line x(4,7): x", source);
    finds->AddResult("no message line", source);
    EXPECT_EQ(finds->Count(), 5);
    EXPECT_EQ(finds->item(0)->text(), "... \"/shown/elsewhere.asm\" Line 35(9,13):   goto   loop");
    EXPECT_EQ(finds->Path(1), other);

    const struct {
        int row;
        QStringList expected;
    } cases[] = {
        {-1, {"open " + source, "goto 7 35 9 13"}},   // nothing selected: line 0
        {1, {"open " + other, "goto 7 2 4 7"}},
        {2, {"open /nowhere/gone.asm"}},
        {3, {}},
        {4, {}},
    };
    for (const auto &c : cases) {
        finds->setCurrentRow(c.row);
        log.clear();
        finds->GoToSelected();
        EXPECT_EQ(log, c.expected) << c.row;
    }
    finds->Clear();
    log.clear();
    EXPECT_FALSE(finds->GoToSelected());
    EXPECT_TRUE(log.isEmpty());
}

TEST_F(OutputFormTest, TheContextMenuFindsTheSourceLineAndOpensTheMessagesHelp)
{
    QMenu *menu = form->findChild<QMenu *>("PopupMenuErrorList");
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[0]->text(), "Find Source Line");
    EXPECT_EQ(menu->actions()[1]->text(), "Help on this message");

    TErrorList *errors = form->ErrorList();
    errors->AddLine(Line("*** Error 11 \"%1\" Line 31(17,22): Symbol not previously defined"));
    errors->AddLine(Line(">>> Warning 202 \"%1\" Line 4: linker warning"));
    errors->AddLine("1 Errors, 1 Warnings");

    const struct {
        int row;
        QStringList expected;
    } help[] = {
        {0, {"help 1011"}},
        {1, {"help 1202"}},
        {2, {}},
    };
    for (const auto &c : help) {
        errors->setCurrentRow(c.row);
        log.clear();
        menu->actions()[1]->trigger();
        EXPECT_EQ(log, c.expected) << c.row;
    }
    errors->setCurrentRow(0);
    log.clear();
    menu->actions()[0]->trigger();
    EXPECT_EQ(log, (QStringList{"open " + source, "goto 7 31 17 22"}));

    // Without a selected line "Help on this message" does nothing.
    errors->Clear();
    log.clear();
    menu->actions()[1]->trigger();
    EXPECT_TRUE(log.isEmpty());
}

}  // namespace
}  // namespace kiv::test
