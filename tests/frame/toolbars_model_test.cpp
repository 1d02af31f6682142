// The window-free parts of tool bar and shortcut customising: the registry of tool bars and
// buttons, the shortcut table of the Keyboard page, and the rows of the top bar.

#include "kivtools_model.h"

#include <gtest/gtest.h>

using namespace kiv;

TEST(ToolBarItems, SortedWithoutRegardToCaseAndFoundByName)
{
    TToolBarItems items;
    for (const char *name : {"View", "edit Copy", "General", "Edit", "Compile Compile", "EDIT Cut"})
        items.Set(name, true);
    EXPECT_EQ(items.Names(), (QStringList{"Compile Compile", "Edit", "edit Copy", "EDIT Cut", "General", "View"}));
    EXPECT_EQ(items.IndexOf("edit copy"), 2);
    EXPECT_EQ(items.IndexOf("Edit Paste"), -1);
    EXPECT_TRUE(items.Visible("GENERAL"));
    EXPECT_FALSE(items.Visible("Help"));
    // Setting a name that is there changes its flag and adds nothing.
    items.Set("Edit copy", false);
    EXPECT_EQ(items.Count(), 6);
    EXPECT_FALSE(items.Visible("edit Copy"));
}

TEST(ToolBarItems, ResetTakesTheDefaultTable)
{
    TToolBarItems items;
    const struct {
        const char *name;
        bool visible;
    } cases[] = {
        {"General", true}, {"General Save As", false}, {"General Save", true}, {"Tools", false},
        {"Debug Run", false}, {"Debug Enable Debugger", true}, {"View Symbol Map", true},
        {"Edit Select All", false}, {"Compiler-Select", true}, {"Invented Button", false},
    };
    for (const auto &c : cases)
        items.Set(c.name, !c.visible);
    items.ResetToDefaults();
    for (const auto &c : cases)
        EXPECT_EQ(items.Visible(c.name), c.visible) << c.name;
}

namespace {

TShortcutTable SampleTable()
{
    TShortcutTable table;
    table.Add("File", "Save", "File Save", {"Ctrl+S"});
    table.Add("File", "Save As", "File Save As", {});
    table.Add("Edit", "Find...", "Edit Find...", {"Ctrl+F", "F3"});
    table.Add("File", "Close", "File Close", {});
    return table;
}

}  // namespace

TEST(ShortcutTable, CategoriesAndCommandsInMenuOrder)
{
    const TShortcutTable table = SampleTable();
    EXPECT_EQ(table.Categories(), (QStringList{"File", "Edit"}));
    EXPECT_EQ(table.Commands("File"), (std::vector<int>{0, 1, 3}));
    EXPECT_EQ(table.Commands("Edit"), (std::vector<int>{2}));
    EXPECT_TRUE(table.Commands("Help").empty());
    EXPECT_EQ(table.CurrentKeys(0), (QStringList{"Ctrl+S"}));
    EXPECT_EQ(table.CurrentKeys(1), (QStringList{"(none)"}));
    EXPECT_EQ(table.CurrentKeys(2), (QStringList{"Ctrl+F", "F3"}));
}

TEST(ShortcutTable, AssignGivesThePrimaryFirstThenSecondaries)
{
    TShortcutTable table = SampleTable();
    EXPECT_TRUE(table.Assign(1, "Ctrl+Shift+S"));
    EXPECT_EQ(table.CurrentKeys(1), (QStringList{"Ctrl+Shift+S"}));
    EXPECT_TRUE(table.Assign(1, "F12"));
    EXPECT_EQ(table.CurrentKeys(1), (QStringList{"Ctrl+Shift+S", "F12"}));
    // A shortcut the command has already, however written, is not added twice.
    EXPECT_FALSE(table.Assign(1, "ctrl + shift + s"));
    EXPECT_FALSE(table.Assign(1, " "));
    EXPECT_FALSE(table.Assign(9, "F5"));
    EXPECT_EQ(table.Command(1).shortcuts.size(), 2);
}

TEST(ShortcutTable, RemoveDeletesThePrimaryOrASecondary)
{
    TShortcutTable table = SampleTable();
    EXPECT_TRUE(table.Remove(2, 0));
    EXPECT_EQ(table.CurrentKeys(2), (QStringList{"F3"}));
    EXPECT_FALSE(table.Remove(2, 1));
    EXPECT_TRUE(table.Remove(2, 0));
    EXPECT_EQ(table.CurrentKeys(2), (QStringList{"(none)"}));
    EXPECT_FALSE(table.Remove(2, 0));
    EXPECT_TRUE(table.RemoveShortcut(0, "ctrl+s"));
    EXPECT_TRUE(table.Command(0).shortcuts.isEmpty());
}

TEST(ShortcutTable, OwnerFindsTheOtherCommandWithTheShortcut)
{
    const TShortcutTable table = SampleTable();
    EXPECT_EQ(table.Owner("F3"), 2);
    EXPECT_EQ(table.Owner("Ctrl+S"), 0);
    EXPECT_EQ(table.Owner("Ctrl+S", 0), -1);
    EXPECT_EQ(table.Owner("Ctrl+Alt+S"), -1);
    EXPECT_EQ(ShortcutTakenQuestion("F3", "Edit Find...", "File Close"),
              "The shortcut F3 is assigned to \"Edit Find...\".\nRemove it there and assign it to \"File Close\"?");
}

TEST(ToolbarRows, SavedPlacesGiveRowsTopToBottomBarsLeftToRight)
{
    const auto place = [](int left, int top) { return TToolbarPlace{true, left, top, 100, 26}; };
    const std::vector<std::pair<QString, TToolbarPlace>> places = {
        {"Help", place(300, 30)}, {"General", place(0, 0)}, {"Edit", place(0, 28)},
        {"Project", place(210, 1)}, {"Compile", place(120, 29)}, {"Debug", place(0, 60)},
    };
    EXPECT_EQ(ToolbarRows(places),
              (std::vector<QStringList>{{"General", "Project"}, {"Edit", "Compile", "Help"}, {"Debug"}}));
    EXPECT_TRUE(ToolbarRows({}).empty());
}

TEST(ToolbarRows, DefaultRowsWrapBeforeTheRightEdgeAndStartEditOnANewRow)
{
    const std::vector<std::pair<QString, int>> widths = {
        {"General", 200}, {"Project", 80}, {"Edit", 250}, {"Compiler-Select", 150}, {"Compile", 30},
        {"View", 100}, {"Tools", 0}, {"Debug", 30}, {"Help", 30},
    };
    EXPECT_EQ(DefaultToolbarRows(widths, 1200),
              (std::vector<QStringList>{{"General", "Project"},
                                        {"Edit", "Compiler-Select", "Compile", "View", "Tools", "Debug", "Help"}}));
    // A narrow window: a row ends before a bar would reach the client width - 75.
    EXPECT_EQ(DefaultToolbarRows(widths, 500),
              (std::vector<QStringList>{{"General", "Project"},
                                        {"Edit", "Compiler-Select"},
                                        {"Compile", "View", "Tools", "Debug", "Help"}}));
}
