#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace kiv {

/// A source position named by a message line: the file as written in the line, the 1-based line
/// and the 1-based columns; -1 columns mean the whole line.
struct TMessagePosition {
    QString file;
    int line = 0;
    int startColumn = -1;
    int endColumn = -1;
};

/// True when `line` has the message-line form: its first character is "*", "-" or ">", or "."
/// with a double quote as its fifth character.
bool IsMessageLine(const QString &line);

/// The position a message line of the error list names: the first quote-delimited text is the
/// file; after it, the text between the last space before the first ":" and that ":" is a line
/// number, or a line number followed by "(" start "," end ")". Nothing when the line is not a
/// message line or the position is not made of numbers.
std::optional<TMessagePosition> ParseMessageLine(const QString &line);
/// Reads the position after a message's file name: text up to the first ":" whose last word is
/// "N" or "N(start,end)". Fills `position` and returns true when the numbers are readable.
bool ParsePositionField(const QString &rest, TMessagePosition &position);

/// True when an error-file line marks a failed compile: not empty and starting with "*" or with
/// the five characters "Error".
bool IsErrorLine(const QString &line);

/// The lines of the last error file, in file order, and the selected line (-1 for none).
/// The Output window's list shows this model.
class TErrorListModel : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    void Clear();
    void AddLine(const QString &line);
    const QStringList &Lines() const { return m_lines; }
    int Count() const { return int(m_lines.size()); }
    QString Line(int index) const { return m_lines.value(index); }

    int Selected() const { return m_selected; }
    /// Selects `index` (-1 for none); an index outside the list selects nothing.
    void SetSelected(int index);

    /// Empties the list and adds every line of `path`; the first error line (IsErrorLine)
    /// becomes the selected one. Returns false and leaves the list empty when the file cannot
    /// be read; `failed` tells whether an error line was found.
    bool LoadErrorFile(const QString &path, bool *failed);

signals:
    void LinesChanged();
    void SelectionChanged(int index);

private:
    QStringList m_lines;
    int m_selected = -1;
};

}  // namespace kiv
