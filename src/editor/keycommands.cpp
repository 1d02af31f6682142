#include "keycommands.h"

#include <algorithm>
#include <utility>

namespace kiv {

namespace {

constexpr Qt::KeyboardModifiers kFirstKeyModifiers =
    Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier;
constexpr Qt::KeyboardModifiers kLaterKeyModifiers = Qt::AltModifier | Qt::MetaModifier;

// A key reduced to what a table compares: Ctrl and Shift do not count after the first key.
QKeyCombination Normalised(QKeyCombination key, bool first)
{
    return QKeyCombination(key.keyboardModifiers() & (first ? kFirstKeyModifiers : kLaterKeyModifiers), key.key());
}

QKeyCombination Ctrl(Qt::Key key)
{
    return QKeyCombination(Qt::ControlModifier, key);
}

QKeyCombination Plain(Qt::Key key)
{
    return QKeyCombination(Qt::NoModifier, key);
}

std::vector<TKeyBinding> WordStarBindings()
{
    std::vector<TKeyBinding> b = {
        // The cursor diamond and its neighbours.
        {{Ctrl(Qt::Key_E)}, {eoLineUp}},
        {{Ctrl(Qt::Key_X)}, {eoLineDown}},
        {{Ctrl(Qt::Key_S)}, {eoCharLeft}},
        {{Ctrl(Qt::Key_D)}, {eoCharRight}},
        {{Ctrl(Qt::Key_A)}, {eoWordLeft}},
        {{Ctrl(Qt::Key_F)}, {eoWordRight}},
        {{Ctrl(Qt::Key_R)}, {eoPageUp}},
        {{Ctrl(Qt::Key_C)}, {eoPageDown}},
        {{Ctrl(Qt::Key_W)}, {eoScrollUp}},
        {{Ctrl(Qt::Key_Z)}, {eoScrollDown}},
        // Deleting and inserting.
        {{Ctrl(Qt::Key_G)}, {eoDeleteChar}},
        {{Ctrl(Qt::Key_H)}, {eoDeleteLeft}},
        {{Ctrl(Qt::Key_T)}, {eoDeleteWordRight}},
        {{Ctrl(Qt::Key_Y)}, {eoDeleteLine}},
        {{Ctrl(Qt::Key_N)}, {eoSplitLine}},
        {{Ctrl(Qt::Key_I)}, {eoTab}},
        {{Ctrl(Qt::Key_V)}, {eoToggleInsert}},
        // Ctrl+Q: the quick moves.
        {{Ctrl(Qt::Key_Q), Plain(Qt::Key_S)}, {eoLineStart}},
        {{Ctrl(Qt::Key_Q), Plain(Qt::Key_D)}, {eoLineEnd}},
        {{Ctrl(Qt::Key_Q), Plain(Qt::Key_E)}, {eoWindowTop}},
        {{Ctrl(Qt::Key_Q), Plain(Qt::Key_X)}, {eoWindowBottom}},
        {{Ctrl(Qt::Key_Q), Plain(Qt::Key_R)}, {eoDocumentStart}},
        {{Ctrl(Qt::Key_Q), Plain(Qt::Key_C)}, {eoDocumentEnd}},
        {{Ctrl(Qt::Key_Q), Plain(Qt::Key_Y)}, {eoDeleteToLineEnd}},
        {{Ctrl(Qt::Key_Q), Plain(Qt::Key_Backspace)}, {eoDeleteToLineStart}},
        {{Ctrl(Qt::Key_Q), Plain(Qt::Key_BracketLeft)}, {eoMatchBrace}},
        {{Ctrl(Qt::Key_Q), Plain(Qt::Key_BracketRight)}, {eoMatchBrace}},
        // Ctrl+K: blocks and files.
        {{Ctrl(Qt::Key_K), Plain(Qt::Key_B)}, {eoBlockBegin}},
        {{Ctrl(Qt::Key_K), Plain(Qt::Key_K)}, {eoBlockEnd}},
        {{Ctrl(Qt::Key_K), Plain(Qt::Key_H)}, {eoHideBlock}},
        {{Ctrl(Qt::Key_K), Plain(Qt::Key_Y)}, {eoDeleteBlock}},
        {{Ctrl(Qt::Key_K), Plain(Qt::Key_R)}, {eoUserCommand, kUserCopyFromFile}},
        {{Ctrl(Qt::Key_K), Plain(Qt::Key_W)}, {eoUserCommand, kUserPasteToFile}},
    };
    // Ctrl+K n sets bookmark n, Ctrl+Q n goes to it.
    for (int n = 0; n <= 9; ++n) {
        const Qt::Key digit = Qt::Key(Qt::Key_0 + n);
        b.push_back({{Ctrl(Qt::Key_K), Plain(digit)}, {eoSetBookmark, n}});
        b.push_back({{Ctrl(Qt::Key_Q), Plain(digit)}, {eoGotoBookmark, n}});
    }
    return b;
}

}  // namespace

bool ChangesText(const TKeyCommand &command)
{
    switch (command.operation) {
    case eoDeleteChar:
    case eoDeleteLeft:
    case eoDeleteWordRight:
    case eoDeleteLine:
    case eoDeleteToLineEnd:
    case eoDeleteToLineStart:
    case eoSplitLine:
    case eoTab:
    case eoDeleteBlock:
        return true;
    case eoUserCommand:
        // Writing the selection to a file leaves the text alone; inserting a file does not.
        return command.argument != kUserPasteToFile;
    default:
        return false;
    }
}

bool MovesCaret(const TKeyCommand &command)
{
    return command.operation >= eoLineUp && command.operation <= eoGotoBookmark;
}

TKeyCommandTable::TKeyCommandTable(QString name, std::vector<TKeyBinding> bindings)
    : m_name(std::move(name))
    , m_bindings(std::move(bindings))
{
    for (TKeyBinding &binding : m_bindings) {
        for (size_t i = 0; i < binding.keys.size(); ++i)
            binding.keys[i] = Normalised(binding.keys[i], i == 0);
    }
}

TKeyMatch TKeyCommandTable::Lookup(const TKeySequence &keys) const
{
    TKeyMatch match;
    if (keys.empty())
        return match;
    TKeySequence typed(keys.size());
    for (size_t i = 0; i < keys.size(); ++i)
        typed[i] = Normalised(keys[i], i == 0);
    for (const TKeyBinding &binding : m_bindings) {
        if (binding.keys.size() < typed.size() || !std::equal(typed.begin(), typed.end(), binding.keys.begin()))
            continue;
        if (binding.keys.size() == typed.size())
            return TKeyMatch{TKeyMatch::kmCommand, binding.command};
        match.kind = TKeyMatch::kmPrefix;
    }
    return match;
}

const TKeyCommandTable &TKeyCommandTable::WordStar()
{
    static const TKeyCommandTable table(QStringLiteral("WORDSTAR"), WordStarBindings());
    return table;
}

bool IsModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_unknown:
    case 0:
        return true;
    default:
        return false;
    }
}

TKeyCommandDispatcher::TKeyCommandDispatcher(const TKeyCommandTable &table)
    : m_table(table)
{
}

TKeyCommandDispatcher::TDecision TKeyCommandDispatcher::Press(QKeyCombination key, bool wordStarFirst, bool defaultBinds)
{
    if (IsModifierKey(key.key())) {
        // Holding Ctrl or Shift for the next key of a sequence must not end it.
        return TDecision{Pending() ? TDecision::kdSwallow : TDecision::kdDefault, {}};
    }
    if (Pending()) {
        TKeySequence keys = m_pending;
        keys.push_back(key);
        const TKeyMatch match = m_table.Lookup(keys);
        switch (match.kind) {
        case TKeyMatch::kmCommand:
            m_pending.clear();
            return TDecision{TDecision::kdCommand, match.command};
        case TKeyMatch::kmPrefix:
            m_pending = keys;
            return TDecision{TDecision::kdWait, {}};
        case TKeyMatch::kmNone:
            break;
        }
        m_pending.clear();
        return TDecision{TDecision::kdSwallow, {}};
    }
    const TKeyMatch match = m_table.Lookup({key});
    if (match.kind == TKeyMatch::kmNone || (!wordStarFirst && defaultBinds))
        return TDecision{TDecision::kdDefault, {}};
    if (match.kind == TKeyMatch::kmPrefix) {
        m_pending = {key};
        return TDecision{TDecision::kdWait, {}};
    }
    return TDecision{TDecision::kdCommand, match.command};
}

}  // namespace kiv
