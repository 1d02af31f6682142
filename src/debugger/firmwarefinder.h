#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace kiv {

/// Access to firmware files packed in ZIP archives (".fw"): an archive reference
/// "archive|entry" is extracted once to a private temporary file (prefix "icd" in the system's
/// temporary folder), which ReleaseAll deletes. A plain path is used as it is.
class TFWArchiveAccess {
public:
    TFWArchiveAccess();
    ~TFWArchiveAccess();
    TFWArchiveAccess(const TFWArchiveAccess &) = delete;
    TFWArchiveAccess &operator=(const TFWArchiveAccess &) = delete;

    /// Appends the archive's entry names in archive order (only ".HEX" ones, any case, when
    /// `onlyHex`); false when the archive cannot be read, which leaves `list` as it was.
    bool ListEntries(const QString &archive, QStringList &list, bool onlyHex);
    /// The local path of a reference; empty when the entry cannot be extracted. Throws
    /// std::runtime_error("Internal error on getting temp file name") when no temporary file
    /// can be made.
    QString LocalFile(const QString &reference);
    /// Deletes the temporary file of one reference.
    void Release(const QString &reference);
    /// Deletes every temporary file.
    void ReleaseAll();
    /// Extracted items: "archive|entry|temporary path", lower case.
    const QStringList &Items() const { return m_items; }

    /// Told of archives that cannot be read (a log line, no dialog).
    std::function<void(const QString &)> OnLog;

private:
    QStringList m_items;
    QStringList m_paths;   // the temporary paths as made (m_items are lower case)
};

/// Finds the firmware files installed for the debugger units and tells whether a unit's
/// firmware is older than the newest one for its kind.
class TFirmwareFinder {
public:
    /// `folder` is searched for "*.hex" files and "*.fw" archives.
    explicit TFirmwareFinder(QString folder = {});

    void SetFolder(const QString &folder) { m_folder = folder; }
    TFWArchiveAccess &Archives() { return m_archives; }

    /// The name of a unit type code ("BORIN" ...), empty for an unknown code.
    static QString UnitName(int code);
    /// A hexadecimal value as firmware files write it: the text after the first "x",
    /// upper-cased and trimmed; -1 for a character that is no hexadecimal digit, 0 for nothing.
    static int HexValue(const QString &text);

    /// "VYN ... v02.14", "Microchip MPLAB Firmware" or empty.
    QString FirmwareDescription(const QString &file);
    /// The firmware files of the folder (plain and in archives) whose description begins "VYN".
    QStringList FirmwareFiles();
    QStringList MatchingFirmware(int code, int mask);
    QString NewestFirmware(int code, int mask);
    /// Whether a unit of type `code` with firmware `version` ("02.14") is older than the newest
    /// firmware file for it.
    bool IsFirmwareOld(int code, int mask, const QString &version);

private:
    struct Info {
        bool firmware = false;
        int major = 0;
        int minor = 0;
        QList<int> codes;
        int families = 0;
    };
    Info ReadInfo(const QString &file, QString *description);

    QString m_folder;
    TFWArchiveAccess m_archives;
};

/// The key=value property block of a HEX file's comments (the comment lines after a ";$" line
/// that follows the header comments), each with its blanks removed.
QStringList HexProperties(const QString &path, bool *ok = nullptr);
/// The value of `name` (any case) in such a block; empty when missing.
QString HexProperty(const QStringList &properties, const QString &name);

}  // namespace kiv
