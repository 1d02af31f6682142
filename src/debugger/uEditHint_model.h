#pragma once

#include <QRect>
#include <QSize>
#include <QString>

namespace kiv {

/// The expression under the mouse in a line of source text, `column` counting from 1: a
/// parenthesised group from a "(" or ")" to its partner, otherwise a name with its member
/// ("." ) and index ("[...]") parts to its left and an index group to its right. Empty when
/// there is none (a number, a blank, past the end).
QString MouseOverExpression(const QString &line, int column);

/// The display suffix "Mouse over radix" adds: 0 none, 1 ",h", 2 ",b".
QString MouseOverSuffix(int radix);

/// Where the evaluation hint goes: `text` lines of `lineHeight` measured with "H" appended as
/// `textSize`, the pointer at `pointer`, on a screen of `screen` size. The width is capped at
/// half the screen less 30; the hint moves left of the pointer near the right edge and up in
/// steps of 20 (and 5 sideways) near the bottom.
QRect HintPlacement(const QSize &textSize, int lineCount, const QPoint &pointer, const QSize &screen);

/// A mouse movement of more than 1 pixel in either direction closes the hint and restarts the
/// delay.
bool HintMoveIsSignificant(const QPoint &last, const QPoint &now);

}  // namespace kiv
