#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace kiv {

/// One file extension the program can be tied to. On this platform an extension is a MIME type:
/// the standard one where the shared MIME database has it, otherwise one of our own that
/// registering defines (`ownMimeType`).
struct TKivFile {
    const char *extension;     /// without the dot, upper case ("PJT")
    const char *description;   /// "Project"
    int iconIndex;             /// 0: no icon of the program's own; otherwise the icon's number
    const char *mimeType;      /// "application/x-kiv-project"
    bool ownMimeType;          /// true when the type is ours to define and remove
};

/// The nine extensions, in the order the check list shows them.
extern const TKivFile g_KivFiles[9];
constexpr int KivFileCount = 9;

/// Where the associations of the current user live and what they start. FromProcess reads the
/// running program's path and the XDG base-directory variables with their standard defaults;
/// tests build one that points into a temporary home.
struct TAssocEnvironment {
    QString executable;        /// full path of the program that opening a file starts
    QString iconDir;           /// folder of the program's icon files, ending with "/"
    QString dataHome;          /// $XDG_DATA_HOME, else $HOME/.local/share; empty: no home
    QString configHome;        /// $XDG_CONFIG_HOME, else $HOME/.config; empty: no home
    QStringList dataDirs;      /// $XDG_DATA_DIRS, else /usr/local/share and /usr/share
    QStringList configDirs;    /// $XDG_CONFIG_DIRS, else /etc/xdg
    QStringList desktops;      /// $XDG_CURRENT_DESKTOP, lower case, in order
    bool refreshDatabases = true;   /// run update-mime-database / update-desktop-database

    /// The running program (QCoreApplication's path) with the installation's "icons/" folder.
    static TAssocEnvironment FromProcess();
    /// The XDG folders for `executable`, as the process environment gives them.
    static TAssocEnvironment ForExecutable(const QString &executable, const QString &iconDir);
};

/// What one Apply did.
struct TAssocApplyResult {
    int changed = 0;           /// entries whose check differed from the filled state
    int failed = 0;            /// of those, entries whose change could not be written
    bool refreshed = false;    /// the desktop databases were brought up to date
};

/// The file associations of the "System" tab, window-free. Registering an extension makes this
/// program the current user's default application for the extension's MIME type: a desktop
/// entry of ours per extension (the counterpart of a ProgID), our own MIME type where the
/// extension has none, and the default-application entry in mimeapps.list. Every file change of
/// one entry is made all together or not at all; nothing outside the user's XDG folders is
/// written, and other programs' desktop entries and defaults are left alone.
class TKivAssoc {
public:
    explicit TKivAssoc(TAssocEnvironment environment = TAssocEnvironment::FromProcess());

    const TAssocEnvironment &Environment() const { return m_env; }

    /// Rebuilds the nine entries in table order and checks each that is registered now; the
    /// checks are remembered as the filled state.
    void Fill();
    int Count() const { return int(m_checked.size()); }
    /// ".PJT (Project)"
    QString ItemText(int index) const;
    bool Checked(int index) const;
    void SetChecked(int index, bool on);
    /// The check the entry had when the list was filled.
    bool FilledChecked(int index) const;

    /// Registers or unregisters, in table order, only the entries whose check differs from the
    /// filled state; then, when any did, refreshes the desktop databases. Failures are silent
    /// (the next Fill shows the entry as it really is). The filled state becomes the applied one.
    TAssocApplyResult Apply();
    /// Drops the changed checks; nothing is written.
    void Cancel();

    /// True when the current default application of the entry's MIME type is our desktop entry
    /// for it and that entry's command starts this program (and, for our own MIME types, the
    /// type is defined).
    bool IsRegistered(const TKivFile &file) const;
    /// Makes this program the default for the entry; false (and nothing changed) on failure.
    bool Register(const TKivFile &file);
    /// Removes our default-application entry, our desktop entry and, when no other registered
    /// entry needs it, our own MIME type; false (and nothing changed) on failure.
    bool Unregister(const TKivFile &file);
    /// Runs update-mime-database and update-desktop-database on the user's folders when they
    /// are installed; false when refreshing is switched off or an installed tool fails.
    bool RefreshDatabases() const;

    /// The desktop file id the first mimeapps.list in precedence order names for `mimeType` and
    /// that is installed; empty when none does.
    QString DefaultApplication(const QString &mimeType) const;
    /// Path of the installed desktop file `desktopId`, or empty.
    QString FindDesktopFile(const QString &desktopId) const;

    /// The Exec value of our desktop entries: the quoted executable path and "%f".
    QString ExecLine() const;
    /// The program an Exec value starts (its first argument, unquoted); empty when malformed.
    static QString ExecProgram(const QString &exec);
    /// Quotes one argument of an Exec value as the desktop entry rules require.
    static QString QuoteExecArgument(const QString &argument);

    /// "VYN.Kiv.C.Source.File.desktop": our desktop file id for an entry.
    static QString DesktopId(const TKivFile &file);
    /// "VYN Kiv C Source File": the description our desktop entry and MIME type carry.
    static QString TypeDescription(const TKivFile &file);
    /// Path of the icon file for `file` (empty when its icon index is 0 or the file is missing).
    QString IconFile(const TKivFile &file) const;

    /// Our files, for callers that show where things went.
    QString DesktopFilePath(const TKivFile &file) const;
    QString MimePackagePath(const TKivFile &file) const;
    QString MimeIconPath(const TKivFile &file) const;
    QString MimeAppsPath() const;

private:
    QStringList MimeAppsFiles() const;
    QStringList WritableMimeAppsFiles() const;
    QByteArray DesktopEntry(const TKivFile &file) const;
    QByteArray MimePackage(const TKivFile &file) const;
    bool OwnTypeNeededByOthers(const TKivFile &file) const;

    TAssocEnvironment m_env;
    std::vector<bool> m_checked;
    std::vector<bool> m_filled;
};

}  // namespace kiv
