#pragma once

namespace kiv {

/// A place in a text as the user sees it: line and column both count from 1, and a column
/// counts characters (a tab is one character). Widgets convert to their own positions in one
/// place each.
struct TextPos {
    int line = 1;
    int column = 1;

    friend bool operator==(const TextPos &, const TextPos &) = default;
    friend bool operator<(const TextPos &a, const TextPos &b)
    {
        return a.line < b.line || (a.line == b.line && a.column < b.column);
    }
};

}  // namespace kiv
