#pragma once

// The fuse selection the project wizard hosts: a device's fuse entries grouped by mask and
// configuration word, one control per group (a check box for a NAME/NONAME pair or a single fuse,
// a drop-down list otherwise), the device's default fuses and the chosen fuse names. Also the
// description lookups in fuses.txt and ints.txt.

#include "pc_chipr.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <stdexcept>
#include <vector>

namespace kiv {

/// One fuse entry of a device.
struct TFuseItem {
    QString name;
    uint16_t mask = 0;
    uint16_t value = 0;
    uint16_t word = 1;    ///< configuration word (FuseWord)
    uint16_t entry = 0;   ///< fuse entry number minus one
};

/// Fuse items grouped by equal mask and word, groups in order of their first item.
class TFuseGroups {
public:
    /// Appends the item to the first group whose first item has the same mask and word, or to a
    /// new group at the end.
    void Add(const QString &name, uint16_t mask, uint16_t entry, uint16_t word, uint16_t value);
    int GroupCount() const { return int(m_groups.size()); }
    int ItemCount(int group) const;
    const TFuseItem &Item(int group, int index) const;
    void Clear() { m_groups.clear(); }

private:
    std::vector<std::vector<TFuseItem>> m_groups;
};

/// A description file could not be read.
class TDescriptionFileError : public std::runtime_error {
public:
    explicit TDescriptionFileError(const QString &message) : std::runtime_error(message.toStdString()) {}
    QString Message() const { return QString::fromStdString(what()); }
};

/// A keyword description file (fuses.txt, ints.txt): one keyword, a space and its description per
/// line. Loaded whole once; lookups do not touch the file.
class TDescriptionFile {
public:
    TDescriptionFile() = default;
    /// Reads the file; throws TDescriptionFileError when it cannot be opened.
    explicit TDescriptionFile(const QString &path);
    /// A file made of the given lines (tests).
    static TDescriptionFile FromLines(const QStringList &lines);

    /// The fuse frame's lookup: the first line that begins with name followed by a space, the
    /// rest of it trimmed; the name itself when no line matches.
    QString FuseDescription(const QString &name) const;
    /// The review windows' lookup: the last line whose text up to its first space equals the name
    /// exactly; up to 100 characters after that space, leading blanks removed; empty without one.
    QString ReviewDescription(const QString &name) const;

private:
    QStringList m_lines;
};

/// fuses.txt and ints.txt of the installation (CompilerDir).
QString FuseDescriptionFile();
QString InterruptDescriptionFile();

/// Fuse names the wizard's other pages write themselves, never offered by the fuse frame.
const QStringList &ExcludedFuseNames();

/// One control of the fuse frame.
struct TFuseControl {
    enum Kind { fcCheckBox, fcDropDown };
    Kind kind = fcCheckBox;
    QStringList captions;   ///< check box: its caption; drop-down: one text per item
    bool checked = false;   ///< check box state
    int chosen = 0;         ///< drop-down item
};

/// The window-free state of the fuse selection frame.
class TFuseFrameModel {
public:
    /// Rebuilds the controls for the device (fuse entries 1 to 80) with the descriptions of
    /// `descriptions`.
    void Build(const DeviceRecord &device, const FuseNameTable &fuseNames, const TDescriptionFile &descriptions);
    /// Sets the controls to the fuses that an all-ones configuration word selects.
    void SelectDefaults(const DeviceRecord &device, const FuseNameTable &fuseNames);
    /// Selects one fuse name in the control that offers it; false when none does.
    bool SelectFuse(const QString &name);
    /// The chosen fuse names, separated by ", ".
    QString SelectedFuses() const;

    const QList<TFuseControl> &Controls() const { return m_controls; }
    void SetChecked(int control, bool checked);
    void SetChosen(int control, int item);
    /// Two entries per check box (name when checked, name when not, possibly empty), one per
    /// drop-down item.
    const QStringList &ChoiceNames() const { return m_choiceNames; }
    const TFuseGroups &Groups() const { return m_groups; }
    const DeviceRecord &Device() const { return m_device; }

private:
    DeviceRecord m_device;
    FuseNameTable m_fuseNames;
    TFuseGroups m_groups;
    QList<TFuseControl> m_controls;
    QStringList m_choiceNames;
};

}  // namespace kiv
