#pragma once

// A recording stand-in for the IDE around a debug session: open editors with their markers,
// the active page and caret, the status panes, commands and windows.

#include "uDbgForm_model.h"

#include <QFileInfo>
#include <QMap>
#include <QStringList>

#include <array>
#include <functional>

namespace kiv::test {

class TFakeHost : public IDebugHost {
public:
    struct Editor {
        bool debug = false;
        int current = 0;
        QList<int> flags;
    };

    QString base;
    int format = 4;
    QString active;
    int caret = 0;
    QMap<QString, Editor> open;
    QStringList opened;     // OpenEditor calls
    QStringList shown;      // "path:line" of ShowLine, "+select", "+focus"
    QStringList scrolled;   // "path:line" of ScrollToLine
    TDebugStatus status;
    TDebugCommands commands;
    bool enableCommand = true;
    bool disableCommand = false;
    bool windowsCommands = false;
    bool busyCursor = false;
    bool debugWindowShowing = false;
    int debugWindowClosed = 0;
    std::array<bool, dwCount> visible{};
    bool continueWarnings = true;
    bool keepShowingWarnings = true;
    QStringList warnings;
    QStringList verification;

    QString ProjectBase() const override { return base; }
    int DebugFileFormat() const override { return format; }
    QString ActivePagePath() const override { return active; }
    int ActiveCaretLine() const override { return open.contains(active) ? caret : 0; }
    bool IsOpen(const QString &path) const override { return open.contains(path); }
    bool OpenEditor(const QString &path) override
    {
        opened << path;
        if (!QFileInfo(path).isFile())
            return false;
        if (!open.contains(path))
            open.insert(path, Editor{});
        active = path;
        return true;
    }
    QStringList OpenEditorPaths() const override { return open.keys(); }
    void SetDebugMode(const QString &path, bool on) override
    {
        if (open.contains(path))
            open[path].debug = on;
    }
    void LeaveDebugModeAll() override
    {
        for (Editor &e : open)
            e.debug = false;
    }
    void SetCurrentLine(const QString &path, int line) override
    {
        if (open.contains(path))
            open[path].current = line;
    }
    void SetBreakFlags(const QString &path, const QList<int> &lines) override
    {
        if (open.contains(path))
            open[path].flags = lines;
    }
    void ShowLine(const QString &path, int line, bool select, bool focus) override
    {
        active = path;
        caret = line;
        shown << path + QLatin1Char(':') + QString::number(line) + (select ? QStringLiteral("+select") : QString())
                     + (focus ? QStringLiteral("+focus") : QString());
    }
    void ScrollToLine(const QString &path, int line) override
    {
        scrolled << path + QLatin1Char(':') + QString::number(line);
    }
    void ShowStatus(const TDebugStatus &s) override
    {
        if (!s.unchanged)
            status = s;
        if (statusShown)
            statusShown(s);
    }
    /// Also told of every status (a Debug window on screen).
    std::function<void(const TDebugStatus &)> statusShown;
    void SetCommands(const TDebugCommands &c) override { commands = c; }
    void SetEnableCommands(bool enable, bool disable) override
    {
        enableCommand = enable;
        disableCommand = disable;
    }
    void SetDebugWindowsCommands(bool on) override { windowsCommands = on; }
    void SetBusyCursor(bool on) override { busyCursor = on; }
    bool DebugWindowShowing() const override { return debugWindowShowing; }
    void ShowDebugWindow() override { debugWindowShowing = true; }
    void CloseDebugWindow() override
    {
        debugWindowShowing = false;
        ++debugWindowClosed;
    }
    void SetWindowVisible(TDebugWindowId id, bool on) override { visible[id] = on; }
    bool WindowVisible(TDebugWindowId id) const override { return visible[id]; }
    bool AskWarning(const QString &text, const QString &caption, bool &showWarnings) override
    {
        warnings << caption + QLatin1Char('|') + text;
        showWarnings = keepShowingWarnings;
        return continueWarnings;
    }
    void ShowVerificationResults(const QString &text) override { verification << text; }
};

}  // namespace kiv::test
