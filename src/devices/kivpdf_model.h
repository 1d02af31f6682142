#pragma once

// The "View Data Sheet" window's model: the data sheet folder (a setting), the device list,
// the other PDF documents of the folder, and the files the two "View" buttons open.

#include "pc_chipr.h"

#include <QString>
#include <QStringList>

namespace kiv {

class TIniFile;

/// The folder with a "/" at its end (unchanged when it has one or is empty).
QString WithTrailingSlash(const QString &folder);

/// The names (without ".pdf") of the folder's PDF files whose names do not begin with a digit,
/// in name order; empty for an empty or missing folder.
QStringList OtherPdfNames(const QString &folder);

/// The device's data sheet: folder + dataSheet + ".pdf". When no file has that exact name but
/// one differs only in letter case ("30292C.pdf" for "30292c"), that one.
QString DeviceDataSheetFile(const QString &folder, const DeviceRecord &device);

class TKivPdfModel {
public:
    /// Settings: section "datasheets", key "directory".
    static constexpr const char *kSection = "datasheets";
    static constexpr const char *kKey = "directory";
    /// The saved folder, or InstallDir() + "Data Sheets/".
    static QString SavedDirectory(const TIniFile &ini);

    QString directory;            ///< `path`
    QStringList devices;          ///< `target`
    int deviceIndex = 0;
    QStringList others;           ///< `otherlist`
    int otherIndex = -1;

    /// ShowDataSheets steps 1 to 4 without the window: the project's processor number (21829
    /// without a project file), the saved folder, the device list of kinds {0, 1, 3, 4} with that
    /// device chosen, and the other PDFs. False with `error` when the device file cannot be read.
    bool Start(const QString &projectFile, const TIniFile &ini, QString *error);
    /// RefreshOtherPdfs: the folder gets its "/" and the list is read again, its first chosen.
    void RefreshOtherPdfs();
    /// Saves the folder when it differs from the one read at Start; false when it cannot be
    /// written.
    bool SaveDirectory(TIniFile &ini);
    /// The chosen device's data sheet path; empty with `error` when the device is not found.
    QString DeviceSheet(QString *error);
    /// The chosen other PDF's path; empty when none is chosen.
    QString OtherSheet();

private:
    QString m_remembered;
};

}  // namespace kiv
