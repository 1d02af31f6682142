#pragma once

#include <QKeyCombination>
#include <QString>

#include <vector>

namespace kiv {

/// The operations an editor key table can ask for. The editor widget carries them out.
enum TEditorOperation {
    eoNone,
    // Caret moves.
    eoLineUp,
    eoLineDown,
    eoCharLeft,
    eoCharRight,
    eoWordLeft,
    eoWordRight,
    eoPageUp,
    eoPageDown,
    eoScrollUp,        ///< the view one line up, the caret staying on screen
    eoScrollDown,
    eoLineStart,       ///< column 1
    eoLineEnd,
    eoWindowTop,       ///< the top line on screen, same column
    eoWindowBottom,
    eoDocumentStart,
    eoDocumentEnd,
    eoMatchBrace,      ///< to the partner of the bracket at the caret
    eoGotoBookmark,    ///< argument: bookmark number 0 .. 9
    // Text changes.
    eoDeleteChar,      ///< the character at the caret
    eoDeleteLeft,      ///< the character before the caret
    eoDeleteWordRight,
    eoDeleteLine,
    eoDeleteToLineEnd,
    eoDeleteToLineStart,
    eoSplitLine,       ///< a line break at the caret, the caret staying before it
    eoTab,
    eoDeleteBlock,     ///< the selected text
    // Neither.
    eoToggleInsert,    ///< insert / overwrite
    eoBlockBegin,      ///< remembers the caret as the start of a block
    eoBlockEnd,        ///< selects from the block start to the caret
    eoHideBlock,       ///< drops the selection
    eoSetBookmark,     ///< argument: bookmark number 0 .. 9, set on the caret line
    eoUserCommand,     ///< argument: the user command number, handed to the owner of the editor
};

/// User command numbers of the WordStar table: insert a file's text at the caret (Ctrl+K R)
/// and write the selection to a file (Ctrl+K W).
constexpr int kUserCopyFromFile = 256;
constexpr int kUserPasteToFile = 257;

/// What a key sequence runs: an operation and its argument (bookmark or user command number).
struct TKeyCommand {
    TEditorOperation operation = eoNone;
    int argument = 0;
    friend bool operator==(const TKeyCommand &, const TKeyCommand &) = default;
};

/// True for a command that changes the text, which a read-only editor refuses. Moves,
/// bookmarks, block marks and writing the selection to a file are not changes.
bool ChangesText(const TKeyCommand &command);
/// True for a caret move (the editor follows them with its bracket highlight).
bool MovesCaret(const TKeyCommand &command);

/// One or more keystrokes typed one after the other (Ctrl+E; Ctrl+K then R).
using TKeySequence = std::vector<QKeyCombination>;

/// A key sequence of a table and its command.
struct TKeyBinding {
    TKeySequence keys;
    TKeyCommand command;
};

/// The answer of a table for the keys typed so far.
struct TKeyMatch {
    enum TKind {
        kmNone,     ///< not in this table
        kmPrefix,   ///< the start of a longer sequence: wait for the next key
        kmCommand,  ///< a whole sequence: `command` runs
    };
    TKind kind = kmNone;
    TKeyCommand command;
};

/// A named table of key sequences and their commands.
///
/// The first key of a sequence must match with its modifiers (Ctrl, Shift, Alt, Meta; the
/// keypad flag is ignored). Every later key matches with or without Ctrl and Shift, so Ctrl+K
/// followed by R, Shift+R or Ctrl+R is the same sequence.
class TKeyCommandTable {
public:
    TKeyCommandTable(QString name, std::vector<TKeyBinding> bindings);

    /// "WORDSTAR" or "DEFAULT".
    const QString &Name() const { return m_name; }
    const std::vector<TKeyBinding> &Bindings() const { return m_bindings; }

    /// Looks up the keys typed so far; an empty sequence is not in the table.
    TKeyMatch Lookup(const TKeySequence &keys) const;

    /// The classic WordStar editing keys: the Ctrl+E/S/D/X cursor diamond and its
    /// neighbours, the Ctrl+Q and Ctrl+K sequences, and the two user commands.
    static const TKeyCommandTable &WordStar();

private:
    QString m_name;
    std::vector<TKeyBinding> m_bindings;
};

/// True for a key that is only a modifier (Shift, Ctrl, Alt, Meta, ...): pressing one on its
/// own neither starts nor ends a sequence.
bool IsModifierKey(int key);

/// Decides, one key press at a time, which key table handles a key: the default table (the
/// editor widget's own bindings, of which it only needs to know whether it binds the key)
/// or the WordStar table, asked in the given priority; it keeps the keys of an unfinished
/// sequence.
class TKeyCommandDispatcher {
public:
    struct TDecision {
        enum TAction {
            kdDefault,  ///< the default table (the widget's own key handling) takes the key
            kdCommand,  ///< run `command`
            kdWait,     ///< a prefix: swallow the key and wait for the next one
            kdSwallow,  ///< the key ended an unknown sequence: do nothing with it
        };
        TAction action = kdDefault;
        TKeyCommand command;
    };

    explicit TKeyCommandDispatcher(const TKeyCommandTable &table = TKeyCommandTable::WordStar());

    /// Feeds a key press. `wordStarFirst` is the table priority; `defaultBinds` says whether
    /// the default table binds the key. With the default table first, a key it binds is its
    /// own; the keys it does not bind are asked of the WordStar table. The keys after a
    /// prefix always belong to the WordStar table. A lone modifier key changes nothing.
    TDecision Press(QKeyCombination key, bool wordStarFirst, bool defaultBinds);

    /// True while a prefix waits for its next key.
    bool Pending() const { return !m_pending.empty(); }
    /// Forgets an unfinished sequence.
    void Reset() { m_pending.clear(); }

private:
    const TKeyCommandTable &m_table;
    TKeySequence m_pending;
};

}  // namespace kiv
