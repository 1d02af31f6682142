#include "keycommands.h"

#include <gtest/gtest.h>

#include <set>

using namespace kiv;

namespace {

QKeyCombination Ctrl(Qt::Key key)
{
    return QKeyCombination(Qt::ControlModifier, key);
}

QKeyCombination Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    return QKeyCombination(mods, key);
}

using TDecision = TKeyCommandDispatcher::TDecision;

}  // namespace

TEST(KeyCommandTable, WordStarLookup)
{
    struct Case {
        const char *name;
        TKeySequence keys;
        TKeyMatch::TKind kind;
        TKeyCommand command;
    };
    const Case cases[] = {
        {"Ctrl+E", {Ctrl(Qt::Key_E)}, TKeyMatch::kmCommand, {eoLineUp}},
        {"Ctrl+X", {Ctrl(Qt::Key_X)}, TKeyMatch::kmCommand, {eoLineDown}},
        {"Ctrl+Y", {Ctrl(Qt::Key_Y)}, TKeyMatch::kmCommand, {eoDeleteLine}},
        {"Ctrl+E from the keypad", {Key(Qt::Key_E, Qt::ControlModifier | Qt::KeypadModifier)},
         TKeyMatch::kmCommand, {eoLineUp}},
        {"Ctrl+K waits", {Ctrl(Qt::Key_K)}, TKeyMatch::kmPrefix, {}},
        {"Ctrl+Q waits", {Ctrl(Qt::Key_Q)}, TKeyMatch::kmPrefix, {}},
        {"Ctrl+K R", {Ctrl(Qt::Key_K), Key(Qt::Key_R)}, TKeyMatch::kmCommand, {eoUserCommand, 256}},
        {"Ctrl+K Ctrl+R", {Ctrl(Qt::Key_K), Ctrl(Qt::Key_R)}, TKeyMatch::kmCommand, {eoUserCommand, 256}},
        {"Ctrl+K Shift+R", {Ctrl(Qt::Key_K), Key(Qt::Key_R, Qt::ShiftModifier)}, TKeyMatch::kmCommand,
         {eoUserCommand, 256}},
        {"Ctrl+K W", {Ctrl(Qt::Key_K), Key(Qt::Key_W)}, TKeyMatch::kmCommand, {eoUserCommand, 257}},
        {"Ctrl+Q S", {Ctrl(Qt::Key_Q), Key(Qt::Key_S)}, TKeyMatch::kmCommand, {eoLineStart}},
        {"Ctrl+Q Ctrl+D", {Ctrl(Qt::Key_Q), Ctrl(Qt::Key_D)}, TKeyMatch::kmCommand, {eoLineEnd}},
        {"Ctrl+Q R", {Ctrl(Qt::Key_Q), Key(Qt::Key_R)}, TKeyMatch::kmCommand, {eoDocumentStart}},
        {"Ctrl+Q C", {Ctrl(Qt::Key_Q), Key(Qt::Key_C)}, TKeyMatch::kmCommand, {eoDocumentEnd}},
        {"Ctrl+Q Y", {Ctrl(Qt::Key_Q), Key(Qt::Key_Y)}, TKeyMatch::kmCommand, {eoDeleteToLineEnd}},
        {"Ctrl+K 3", {Ctrl(Qt::Key_K), Key(Qt::Key_3)}, TKeyMatch::kmCommand, {eoSetBookmark, 3}},
        {"Ctrl+Q 9", {Ctrl(Qt::Key_Q), Key(Qt::Key_9)}, TKeyMatch::kmCommand, {eoGotoBookmark, 9}},
        {"Ctrl+K J is unknown", {Ctrl(Qt::Key_K), Key(Qt::Key_J)}, TKeyMatch::kmNone, {}},
        {"Ctrl+K Alt+R is unknown", {Ctrl(Qt::Key_K), Key(Qt::Key_R, Qt::AltModifier)}, TKeyMatch::kmNone, {}},
        {"a sequence too long", {Ctrl(Qt::Key_K), Key(Qt::Key_R), Key(Qt::Key_R)}, TKeyMatch::kmNone, {}},
        {"Ctrl+Shift+E is not Ctrl+E", {Key(Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier)},
         TKeyMatch::kmNone, {}},
        {"plain E", {Key(Qt::Key_E)}, TKeyMatch::kmNone, {}},
        {"plain K is no prefix", {Key(Qt::Key_K)}, TKeyMatch::kmNone, {}},
        {"nothing typed", {}, TKeyMatch::kmNone, {}},
    };
    const TKeyCommandTable &table = TKeyCommandTable::WordStar();
    EXPECT_EQ(table.Name(), QStringLiteral("WORDSTAR"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const TKeyMatch match = table.Lookup(c.keys);
        EXPECT_EQ(match.kind, c.kind);
        if (c.kind == TKeyMatch::kmCommand)
            EXPECT_EQ(match.command, c.command);
    }
}

// Every sequence is unambiguous: none is bound twice and no whole sequence starts a longer
// one, which could then never be typed.
TEST(KeyCommandTable, WordStarSequencesAreUnambiguous)
{
    const TKeyCommandTable &table = TKeyCommandTable::WordStar();
    std::set<std::vector<int>> whole;
    for (const TKeyBinding &binding : table.Bindings()) {
        std::vector<int> keys;
        for (const QKeyCombination key : binding.keys)
            keys.push_back(key.toCombined());
        EXPECT_TRUE(whole.insert(keys).second) << "bound twice: " << keys.size() << " keys";
    }
    for (const TKeyBinding &binding : table.Bindings()) {
        for (size_t n = 1; n < binding.keys.size(); ++n) {
            const TKeySequence start(binding.keys.begin(), binding.keys.begin() + long(n));
            EXPECT_EQ(table.Lookup(start).kind, TKeyMatch::kmPrefix);
        }
    }
}

TEST(KeyCommandTable, ReadOnlyEditorsRefuseChangesOnly)
{
    struct Case {
        TKeyCommand command;
        bool changes;
        bool moves;
    };
    const Case cases[] = {
        {{eoLineUp}, false, true},
        {{eoGotoBookmark, 2}, false, true},
        {{eoMatchBrace}, false, true},
        {{eoDeleteLine}, true, false},
        {{eoSplitLine}, true, false},
        {{eoDeleteBlock}, true, false},
        {{eoToggleInsert}, false, false},
        {{eoSetBookmark, 2}, false, false},
        {{eoBlockEnd}, false, false},
        // Inserting a file changes the text, writing the selection to a file does not.
        {{eoUserCommand, kUserCopyFromFile}, true, false},
        {{eoUserCommand, kUserPasteToFile}, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.command.operation));
        EXPECT_EQ(ChangesText(c.command), c.changes);
        EXPECT_EQ(MovesCaret(c.command), c.moves);
    }
}

// One key in each priority: which table takes it depends on the order only when both bind it.
TEST(KeyCommandDispatcher, PriorityDecidesWhoTakesAKey)
{
    struct Case {
        const char *name;
        QKeyCombination key;
        bool defaultBinds;
        bool wordStarFirst;
        TDecision::TAction action;
        TKeyCommand command;
    };
    const Case cases[] = {
        {"Ctrl+D bound by both, WordStar first", Ctrl(Qt::Key_D), true, true, TDecision::kdCommand, {eoCharRight}},
        {"Ctrl+D bound by both, default first", Ctrl(Qt::Key_D), true, false, TDecision::kdDefault, {}},
        {"Ctrl+E WordStar only, WordStar first", Ctrl(Qt::Key_E), false, true, TDecision::kdCommand, {eoLineUp}},
        {"Ctrl+E WordStar only, default first", Ctrl(Qt::Key_E), false, false, TDecision::kdCommand, {eoLineUp}},
        {"Ctrl+Home default only, WordStar first", Ctrl(Qt::Key_Home), true, true, TDecision::kdDefault, {}},
        {"typed letter, WordStar first", Key(Qt::Key_E), false, true, TDecision::kdDefault, {}},
        {"Ctrl+K, default first", Ctrl(Qt::Key_K), false, false, TDecision::kdWait, {}},
        {"Ctrl+Q, WordStar first", Ctrl(Qt::Key_Q), false, true, TDecision::kdWait, {}},
        {"lone Ctrl", Key(Qt::Key_Control, Qt::ControlModifier), false, true, TDecision::kdDefault, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TKeyCommandDispatcher keys;
        const TDecision decision = keys.Press(c.key, c.wordStarFirst, c.defaultBinds);
        EXPECT_EQ(decision.action, c.action);
        EXPECT_EQ(decision.command, c.command);
        EXPECT_EQ(keys.Pending(), c.action == TDecision::kdWait);
    }
}

TEST(KeyCommandDispatcher, PrefixThenKeyInEitherPriority)
{
    for (const bool wordStarFirst : {true, false}) {
        SCOPED_TRACE(wordStarFirst);
        TKeyCommandDispatcher keys;
        EXPECT_EQ(keys.Press(Ctrl(Qt::Key_K), wordStarFirst, false).action, TDecision::kdWait);
        // Holding Ctrl for the second key presses Ctrl on its own first.
        EXPECT_EQ(keys.Press(Key(Qt::Key_Control, Qt::ControlModifier), wordStarFirst, false).action,
                  TDecision::kdSwallow);
        EXPECT_TRUE(keys.Pending());
        // The second key belongs to the sequence even when the default table binds it.
        const TDecision decision = keys.Press(Ctrl(Qt::Key_Y), wordStarFirst, true);
        EXPECT_EQ(decision.action, TDecision::kdCommand);
        EXPECT_EQ(decision.command, (TKeyCommand{eoDeleteBlock}));
        EXPECT_FALSE(keys.Pending());

        EXPECT_EQ(keys.Press(Ctrl(Qt::Key_K), wordStarFirst, false).action, TDecision::kdWait);
        const TDecision write = keys.Press(Key(Qt::Key_W), wordStarFirst, false);
        EXPECT_EQ(write.action, TDecision::kdCommand);
        EXPECT_EQ(write.command, (TKeyCommand{eoUserCommand, kUserPasteToFile}));
    }
}

TEST(KeyCommandDispatcher, UnknownSecondKeyEndsTheSequenceAndIsSwallowed)
{
    TKeyCommandDispatcher keys;
    keys.Press(Ctrl(Qt::Key_Q), true, false);
    EXPECT_EQ(keys.Press(Key(Qt::Key_J), true, false).action, TDecision::kdSwallow);
    EXPECT_FALSE(keys.Pending());
    // The next key starts afresh: a plain letter goes to the widget again.
    EXPECT_EQ(keys.Press(Key(Qt::Key_S), true, false).action, TDecision::kdDefault);

    keys.Press(Ctrl(Qt::Key_K), true, false);
    keys.Reset();
    EXPECT_FALSE(keys.Pending());
    EXPECT_EQ(keys.Press(Key(Qt::Key_R), true, false).action, TDecision::kdDefault);
}
