#include "kivprompt.h"

#include <gtest/gtest.h>

using namespace kiv;

TEST(PromptTest, ScriptedAnswersAndRecordedQuestions)
{
    TScriptedPrompt script;
    TPromptGuard guard(&script);
    script.Queue(mrYes);
    script.Queue(QString("/tmp/a.c"));
    script.Queue(42);

    EXPECT_TRUE(AskYesNo("Save changes to a.c"));
    TFileQuestion q{"Open", "/tmp", {}, {"C files (*.c)", "All (*)"}, 2, {}};
    EXPECT_EQ(Prompt().OpenFileName(q), "/tmp/a.c");
    EXPECT_EQ(Prompt().Number("Goto", "Line", 1, 1, 10), 10);  // clamped to the range
    // The script is used up: the safe answers follow.
    EXPECT_EQ(AskYesNoCancel("Again?"), mrCancel);
    EXPECT_FALSE(AskYesNo("More?"));
    ShowError("Bad");

    ASSERT_EQ(script.Asked().size(), 6u);
    EXPECT_EQ(script.Asked()[1].type, TScriptedPrompt::Question::OpenFile);
    EXPECT_EQ(script.Asked()[1].filterIndex, 2);
    EXPECT_EQ(script.Asked()[5].kind, mtError);
    EXPECT_EQ(script.Asked()[5].caption, "Error");
    EXPECT_EQ(script.Messages(), (QStringList{"Save changes to a.c", "Again?", "More?", "Bad"}));
}

TEST(PromptTest, GuardRestoresThePreviousPrompt)
{
    TScriptedPrompt outer;
    TPromptGuard g1(&outer);
    {
        TScriptedPrompt inner;
        TPromptGuard g2(&inner);
        ShowInformation("inner");
        EXPECT_EQ(inner.Messages(), QStringList{"inner"});
    }
    ShowInformation("outer");
    EXPECT_EQ(outer.Messages(), QStringList{"outer"});
}
