#pragma once

#include "uDebugBase_model.h"

#include <QList>
#include <QString>

#include <functional>

namespace kiv {

class TDbgFormModel;

/// One breakpoint.
struct TBreakItem {
    int fileNumber = 0;
    QString fileName;     /// the name it was added with (a source file or the list file)
    int sourceLine = 0;
    int listLine = 0;
    qint32 address = 0;

    /// True when the name's extension is "LST" (any case).
    bool OnListFile() const;
    /// "AAAA   name:line" with the list line for a list-file name, else the source line.
    QString DisplayText() const;
};

/// The Breaks window's model: the session's breakpoints in the order they were added, armed in
/// the target through the debugger library, marked in the open editors and kept in the project
/// file (section "debugbreak").
class TDebugBreaksModel : public TDebugWindowModel {
public:
    explicit TDebugBreaksModel(TDbgFormModel &session);

    /// Adds a breakpoint on a line of a source file or of the project's list file; the index,
    /// or -1 after a notice.
    int AddBreak(const QString &fileName, int line);
    /// Arms `address` and lists it; with `lookUp` the file and lines come from the address.
    int AddBreakAtAddress(const QString &fileName, int fileNumber, qint32 address, int listLine, int sourceLine,
                          bool lookUp = true);
    void RemoveBreak(int index);
    void RemoveAllBreaks();
    int FindBreak(const QString &fileName, int line) const;
    /// The margin click: removes the first breakpoint on the line, or adds one.
    void ToggleBreak(const QString &fileName, int line);
    int BreakCount() const { return int(m_items.size()); }
    const TBreakItem &BreakItem(int index) const { return m_items.at(index); }
    /// Draws the break flags in the open editors again.
    void MarkBreaks();

    /// The Add and Delete buttons (off at every state change, on in dsReady).
    void SetButtonsEnabled(bool on);
    bool ButtonsEnabled() const { return m_buttons; }
    std::function<void(bool)> OnButtonsEnabled;
    /// The Add button: a breakpoint on the caret line of the active editor.
    void AddAtCaret();
    /// Double click on entry `index`: shows its line.
    void ShowBreak(int index);

    bool Activate() override;
    bool LoadSettings(TIniFile &ini) override;
    bool SaveSettings(TIniFile &ini) override;

private:
    void ListChanged();

    TDbgFormModel &m_session;
    QList<TBreakItem> m_items;
    bool m_buttons = false;
};

}  // namespace kiv
