#include "kivcommands_model.h"
#include "kivnotebook_model.h"
#include "kivtools_model.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace kiv;

TEST(IdleEnablesTest, FollowThePageTheSelectionAndTheClipboard)
{
    const int editor = pkEditor;
    const int outputView = pkEditor | pkReadOnly;
    const int hexView = pkViewer | pkReadOnly | pkHex;
    const struct {
        const char *what;
        TIdleState state;
        TIdleEnables expected;
    } cases[] = {
        {"no pages", {}, {}},
        {"editor, nothing selected, empty clipboard", {1, true, editor, false, false, false},
         {false, false, true, true, false, true}},
        {"editor with selection and text to paste", {2, true, editor, true, false, true},
         {true, true, true, true, true, true}},
        {"read-only output view with a selection", {1, true, outputView, true, false, true},
         {false, true, true, true, false, false}},
        {"editor set read-only", {1, true, editor, true, true, true},
         {false, true, true, true, false, false}},
        {"hex view with a selection", {1, true, hexView, true, false, true},
         {false, true, false, true, false, false}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const TIdleEnables on = IdleEnables(c.state);
        EXPECT_EQ(on.paste, c.expected.paste);
        EXPECT_EQ(on.copy, c.expected.copy);
        EXPECT_EQ(on.gotoLine, c.expected.gotoLine);
        EXPECT_EQ(on.pageCommands, c.expected.pageCommands);
        EXPECT_EQ(on.indentSelection, c.expected.indentSelection);
        EXPECT_EQ(on.editorCommands, c.expected.editorCommands);
    }
}

TEST(CommandGroupsTest, PagesChangedEnablesOrClearsTheGroups)
{
    const auto none = [](const QString &) { return false; };
    TGroupState state{2, true, false, true, {}};
    TGroupChanges changes = CommandGroupChanges(0, state, none);
    EXPECT_EQ(changes.group[1], std::optional<bool>(true));
    EXPECT_FALSE(changes.group[2].has_value());   // the current page is no editor: left alone
    EXPECT_EQ(changes.group[3], std::optional<bool>(true));
    EXPECT_FALSE(changes.group[4].has_value());
    EXPECT_FALSE(changes.enableDebugger.has_value());

    changes = CommandGroupChanges(0, TGroupState{}, none);
    for (int g = 1; g <= 7; ++g)
        EXPECT_EQ(changes.group[g], std::optional<bool>(false)) << g;
    EXPECT_EQ(changes.enableDebugger, std::optional<bool>(false));
    EXPECT_EQ(changes.disableDebugger, std::optional<bool>(false));
}

TEST(CommandGroupsTest, ProjectChangedFollowsTheOutputFiles)
{
    const QSet<QString> files = {"/p/main.sym", "/p/main.lst"};
    const auto exists = [&](const QString &path) { return files.contains(path); };
    TGroupState state;
    state.projectBase = "/p/main";
    TGroupChanges changes = CommandGroupChanges(1, state, exists);
    EXPECT_EQ(changes.projectIncludeDirs, std::optional<bool>(true));
    EXPECT_EQ(changes.group[4], std::optional<bool>(true));
    EXPECT_EQ(changes.group[5], std::optional<bool>(true));
    EXPECT_EQ(changes.enableDebugger, std::optional<bool>(true));
    EXPECT_EQ(changes.group[6], std::optional<bool>(false));
    EXPECT_EQ(changes.group[7], std::optional<bool>(false));
    EXPECT_FALSE(changes.group[1].has_value());

    // Without a project nothing is looked for.
    changes = CommandGroupChanges(1, TGroupState{}, [](const QString &) { return true; });
    EXPECT_EQ(changes.group[5], std::optional<bool>(false));
    EXPECT_EQ(changes.enableDebugger, std::optional<bool>(false));
}

TEST(CommandGroupsTest, CurrentPageChangedSetsGroupTwoOnly)
{
    const auto none = [](const QString &) { return false; };
    TGroupChanges changes = CommandGroupChanges(2, TGroupState{1, true, false, true, {}}, none);
    EXPECT_EQ(changes.group[2], std::optional<bool>(false));
    for (int g : {1, 3, 4, 5, 6, 7})
        EXPECT_FALSE(changes.group[g].has_value()) << g;
    changes = CommandGroupChanges(2, TGroupState{0, false, false, false, {}}, none);
    EXPECT_FALSE(changes.group[2].has_value());
}

TEST(GotoLineTargetTest, ClampsToTheTextAndIgnoresNonPositiveStatusAnswers)
{
    EXPECT_EQ(GotoLineTarget(5, 10, true), std::optional<int>(5));
    EXPECT_EQ(GotoLineTarget(50, 10, true), std::optional<int>(10));
    EXPECT_EQ(GotoLineTarget(0, 10, true), std::nullopt);
    EXPECT_EQ(GotoLineTarget(-3, 10, true), std::nullopt);
    // The dialog's preset 0 goes to the first line.
    EXPECT_EQ(GotoLineTarget(0, 10, false), std::optional<int>(1));
    EXPECT_EQ(GotoLineTarget(3, 0, false), std::optional<int>(1));
}

TEST(WebPageTest, EveryInternetCommandHasAPage)
{
    for (const char *name : {"Action100", "Action101", "Action102", "Action103", "Action105", "Action106"})
        EXPECT_TRUE(WebPageOf(name).startsWith("https://")) << name;
    EXPECT_TRUE(WebPageOf("Action104").isEmpty());
}

TEST(ToolbarModelTest, CommandKeyNames)
{
    const struct {
        const char *category, *caption, *key;
    } cases[] = {
        {"&File", "&Save", "File Save"},
        {"&Project", "&Include Dirs...", "Project Include Dirs..."},
        {"&View", "C/ASM &List", "View C/ASM List"},
        {"&Edit", "&0", ""},
        {"&Edit", "-", ""},
        {"&Edit", "", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CommandKeyName(c.category, c.caption), QString::fromLatin1(c.key)) << c.caption;
}

TEST(ToolbarModelTest, DefaultVisibility)
{
    for (const char *name : {"General", "Project", "Edit", "Compiler-Select", "Compile", "View",
                             "Debug", "Help", "General Save", "File Save", "Edit Indent selection",
                             "Debug Enable Debugger", "View Data Sheet", "Help Index"})
        EXPECT_TRUE(DefaultToolbarVisible(name)) << name;
    for (const char *name : {"Tools", "General Save As", "File eXit", "Debug Run", "Edit Select All",
                             "Help Contents", "Project Include Dirs...", "Unknown Thing"})
        EXPECT_FALSE(DefaultToolbarVisible(name)) << name;
    EXPECT_EQ(ToolbarSettingsKey("General Save"), "File Save");
    EXPECT_EQ(ToolbarSettingsKey("General"), "File");
    EXPECT_EQ(ToolbarSettingsKey("Edit Copy"), "Edit Copy");
    EXPECT_EQ(ToolbarNames().size(), 9);
}
