#pragma once

#include <QDialog>

#include <functional>

class QComboBox;
class QLineEdit;

namespace kiv {

/// What the manual project dialog needs of the device database.
struct TDeviceSource {
    /// The names of the devices whose kind is in `kinds` (bit k for kind k), in file order.
    std::function<QStringList(quint8 kinds)> List;
    /// Looks a device up by name: its kind and processor id; false when there is no such device.
    std::function<bool(const QString &name, int *kind, quint16 *id)> Find;
    /// The name of the device whose processor id is `id`, empty when none has it. Unset, the
    /// listed names are looked up one by one with Find.
    std::function<QString(quint16 id)> NameOf;
};

/// The device database the program uses (DeviceFile, UtilsDir + "devices.dat" when none is set).
/// A device file that cannot be read is reported and lists no devices.
TDeviceSource InstalledDevices();

/// The "Manual Project Create" dialog: a main file, a target device and the include folders of
/// a new project. "Create" writes the starter main file when asked to and the project file.
class Tfkivmnew : public QDialog {
    Q_OBJECT

public:
    explicit Tfkivmnew(QWidget *parent = nullptr);

    /// `includes` is the new project's include list; `globalIncludes` is the global list that
    /// "Make this list the default for new projects" replaces. `picWizard`/`sxWizard` tell
    /// whether those editions are installed: they choose the device kinds and the preselection.
    /// `projectProcessor`, when not 0, is the processor id of the open project: its device is
    /// preselected when it is listed.
    void Setup(const QString &mainFile, const QString &includes, const TDeviceSource &devices,
               bool picWizard, bool sxWizard, quint16 projectProcessor = 0);

    QString MainFileText() const;
    QString Device() const;
    QString Includes() const { return m_includes; }
    /// True when the user made an edited list the default for new projects; DefaultIncludes is
    /// that list as it was saved then.
    bool MadeDefault() const { return m_madeDefault; }
    const QString &DefaultIncludes() const { return m_defaultIncludes; }
    /// The main file that "Create" produced; empty until then.
    QString CreatedMainFile() const { return m_created; }

    /// "...": the main file from a file dialog.
    void BrowseClick();
    /// "Review/Edit Include File Dirs": the include dialog on the new project's list.
    void IncludeClick();
    /// "Create": the starter file (asked for when the main file is missing), the project file,
    /// then the dialog is accepted. Anything that fails is shown and the dialog stays open.
    void CreateClick();

private:
    QLineEdit *m_mainfile = nullptr;
    QComboBox *m_target = nullptr;
    TDeviceSource m_devices;
    QString m_includes;
    QString m_created;
    QString m_defaultIncludes;
    bool m_madeDefault = false;
};

/// Runs the "Manual Project Create" dialog starting from `mainFile` and the global include list
/// `globalIncludes` (replaced when the user makes the new list the default), with the device of
/// processor id `projectProcessor` preselected (0: the usual preselection). Returns the main
/// file to open, empty when the dialog was cancelled.
QString ManualCreate(QWidget *parent, const QString &mainFile, QString &globalIncludes,
                     const TDeviceSource &devices = InstalledDevices(),
                     quint16 projectProcessor = 0);

/// True when compiler edition `code` is installed (its library is in DllDir).
bool EditionInstalled(const QString &code);

}  // namespace kiv
