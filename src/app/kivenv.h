#pragma once

#include "recentlist.h"

#include <QRect>
#include <QString>
#include <QStringList>

namespace kiv {

class TIniFile;

/// The main window's position and state as the settings file keeps them.
struct TWindowGeometry {
    int top = 0;
    int left = 0;
    int height = 400;
    int width = 500;
    int size = 2;   /// window state: 0 normal, 1 minimised, 2 maximised
};

/// The main window's place on a first start (no stored size): a normal window that takes about
/// six sevenths of the available screen `area`, centred on it, so the editor gets most of the
/// screen. Without a known screen, 1024 x 700 at the origin.
TWindowGeometry FirstStartGeometry(const QRect &area);

/// What the environment reads from and applies to the running program. The main window
/// implements it; each part of the window that keeps settings answers for itself.
class IEnvironmentHost {
public:
    virtual ~IEnvironmentHost() = default;

    /// The geometry of the window's normal state and its current state (0, 1, 2).
    virtual TWindowGeometry WindowGeometry() const = 0;
    virtual void ApplyWindowGeometry(const TWindowGeometry &geometry) = 0;
    /// The available area of the screen the window opens on; empty when there is none.
    virtual QRect AvailableScreenArea() const { return {}; }

    /// Initial folder of the open and save dialogs.
    virtual QString DialogFolder() const = 0;
    virtual void SetDialogFolder(const QString &folder) = 0;

    /// Tool bars and editor properties read and write their own keys.
    virtual void RestoreOwnSettings(TIniFile &ini) { }
    virtual void SaveToolbarSettings(TIniFile &ini) { }

    /// "Order Open Files": the page container re-sorts at once when it is switched on.
    virtual void SetOrderFiles(bool on) { }

    /// The open documents, in page order; a page that shows no file has an empty path.
    virtual QStringList PagePaths() const { return {}; }
    virtual QString CurrentPagePath() const { return {}; }
    virtual void BeginPageUpdate() { }
    virtual void EndPageUpdate() { }
    /// Opens a recalled file by its extension, without the include-folder search.
    virtual void OpenRecalledFile(const QString &path) { }
    /// Opens the command-line file: a project when its upper case contains ".PJT".
    virtual void OpenCommandLineFile(const QString &path) { }
    virtual void SelectPage(const QString &path) { }

    /// The current project's main file (folder + name + extension), empty without a project.
    virtual QString ProjectMainFile() const { return {}; }
    virtual void SetProject(const QString &mainFile) { }

    virtual int InstalledCompilerCount() const { return 0; }
    virtual int SelectedCompilerIndex() const { return 0; }
    virtual void SelectCompiler(int index) { }

    /// Closes every document, asking about unsaved editors.
    virtual void CloseAllDocuments() { }
};

/// The environment the main window restores when it is first shown and saves when it closes:
/// window geometry, the recall of open files, the global include directories, the working
/// folder, the compiler edition, the recent lists and the find history.
class TKivEnvironment {
public:
    /// Default of the global include list and the working folder relative to `installDir`.
    explicit TKivEnvironment(QString installDir);

    bool Recall = false;          /// "Recall Open Files"
    bool OrderFiles = false;      /// "Order Open Files"
    QString IncludeDirs;          /// global include directories joined by ";"
    TRecentList RecentFiles;
    TRecentList RecentProjects;
    QStringList FindHistory;      /// most recent first

    /// Reads the keys in the documented order and applies them through `host`.
    /// `commandLineFile` replaces the recall of open files when not empty.
    void RestoreEnvironment(TIniFile &ini, IEnvironmentHost &host, const QString &commandLineFile);
    /// Writes every key, then closes all documents through `host`.
    void saveenv(TIniFile &ini, IEnvironmentHost &host);

    QString DefaultIncludeDirs() const;
    QString DefaultWorkingDir() const;

private:
    QString m_installDir;
};

}  // namespace kiv
