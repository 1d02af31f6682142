#pragma once

#include <QListWidget>

#include <array>
#include <functional>

namespace kiv {

class TErrorListModel;

/// What the Output window's lists navigate with; the main window fills it in.
struct TOutputNavigation {
    /// Opens `path` for editing; the page index, or -1 when it could not be opened (a missing
    /// file is not opened and not reported).
    std::function<int(const QString &path)> OpenFile;
    /// Makes page `page` current and selects `startColumn` to `endColumn` on `line`.
    std::function<void(int page, int line, int startColumn, int endColumn)> GoToPosition;
    /// Shows the help of a compiler message, passed as its number + 1000.
    std::function<void(int context)> ShowMessageHelp;
};

/// The lines of a list box whose horizontal scroll width grows with the widest line added and
/// goes back to 0 when the list is cleared.
class TOutputList : public QListWidget {
    Q_OBJECT

public:
    explicit TOutputList(QWidget *parent = nullptr);

    /// The width of the widest line added since the list was last cleared, in pixels.
    int ScrollWidth() const { return m_scrollWidth; }

    /// Leads to what the selected line names (double click, Enter); false when nothing opened.
    virtual bool GoToSelected() { return false; }

protected:
    /// Enter and keypad Enter go to the selected line's position, as a double click does.
    void keyPressEvent(QKeyEvent *event) override;
    void AppendLine(const QString &text);
    void ClearLines();
    /// Row 0 becomes the current row when no row is.
    void SelectFirstWhenNone();
    void changeEvent(QEvent *event) override;

private:
    int m_scrollWidth = 0;
    /// Advances of the ASCII characters in the list's font; [0] < 0 until measured.
    std::array<int, 128> m_advances{-1};
};

/// The compiler's messages: the lines of the last error file (a TErrorListModel) and the selected
/// line. A double click leads to the source position a message line names.
class TErrorList : public TOutputList {
    Q_OBJECT

public:
    explicit TErrorList(QWidget *parent = nullptr);

    /// Shows `model`'s lines and follows its selection (not owned); nullptr returns to the
    /// list's own model.
    void SetModel(TErrorListModel *model);
    TErrorListModel *Model() const { return m_model; }

    void AddLine(const QString &text);
    void Clear();
    int Count() const;

    /// Double click and "Find Source Line": selects line 0 when nothing is selected; when the
    /// selected line is a message line whose position is made of numbers, opens its file and
    /// goes to the position. False when nothing was opened.
    bool GoToSelected() override;
    /// "Help on this message": the help of the message number on the selected line.
    bool HelpOnSelected();

    /// Set by the Output window.
    const TOutputNavigation *Navigation = nullptr;

private:
    void ModelLinesChanged();
    void ModelSelectionChanged(int index);

    TErrorListModel *m_ownModel;
    TErrorListModel *m_model;
    QList<QMetaObject::Connection> m_connections;
};

}  // namespace kiv
