#include "fuseselection_model.h"

#include "pc_dirs.h"

#include <QFile>

namespace kiv {

// ---------------------------------------------------------------------------------------------
// TFuseGroups

void TFuseGroups::Add(const QString &name, uint16_t mask, uint16_t entry, uint16_t word, uint16_t value)
{
    const TFuseItem item{name, mask, value, word, entry};
    for (auto &group : m_groups) {
        if (group.front().mask == mask && group.front().word == word) {
            group.push_back(item);
            return;
        }
    }
    m_groups.push_back({item});
}

int TFuseGroups::ItemCount(int group) const
{
    if (group < 0 || group >= GroupCount())
        return 0;
    return int(m_groups[size_t(group)].size());
}

const TFuseItem &TFuseGroups::Item(int group, int index) const
{
    return m_groups.at(size_t(group)).at(size_t(index));
}

// ---------------------------------------------------------------------------------------------
// TDescriptionFile

TDescriptionFile::TDescriptionFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TDescriptionFileError(QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        m_lines << QString::fromLatin1(line);
    }
}

TDescriptionFile TDescriptionFile::FromLines(const QStringList &lines)
{
    TDescriptionFile file;
    file.m_lines = lines;
    return file;
}

QString TDescriptionFile::FuseDescription(const QString &name) const
{
    const QString prefix = name + QLatin1Char(' ');
    for (const QString &line : m_lines)
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed();
    return name;
}

QString TDescriptionFile::ReviewDescription(const QString &name) const
{
    for (auto it = m_lines.crbegin(); it != m_lines.crend(); ++it) {
        const int space = int(it->indexOf(QLatin1Char(' ')));
        if (space < 0 || it->left(space) != name)
            continue;
        QString text = it->mid(space + 1, 100);
        int blanks = 0;
        while (blanks < text.size() && (text[blanks] == QLatin1Char(' ') || text[blanks] == QLatin1Char('\t')))
            ++blanks;
        return text.mid(blanks);
    }
    return {};
}

QString FuseDescriptionFile()
{
    return CompilerDir() + QStringLiteral("fuses.txt");
}

QString InterruptDescriptionFile()
{
    return CompilerDir() + QStringLiteral("ints.txt");
}

const QStringList &ExcludedFuseNames()
{
    static const QStringList names{
        "WDT",     "NOWDT",   "WDT1",    "WDT2",     "WDT4",     "WDT8",     "WDT16",    "WDT32",
        "WDT64",   "WDT128",  "WDT256",  "WDT512",   "WDT1024",  "WDT2048",  "WDT4096",  "WDT8192",
        "WDT16384", "WDT32768", "WDTLD", "CCPB0",    "CCPB2",    "CCPB3",    "CCP2B3",   "CCP2C1",
    };
    return names;
}

// ---------------------------------------------------------------------------------------------
// TFuseFrameModel

void TFuseFrameModel::Build(const DeviceRecord &device, const FuseNameTable &fuseNames,
                            const TDescriptionFile &descriptions)
{
    m_device = device;
    m_fuseNames = fuseNames;
    m_choiceNames.clear();
    m_controls.clear();
    m_groups.Clear();

    const uint8_t kind = device.kind();
    for (int i = 1; i <= 80; ++i) {
        const uint16_t mask = FuseMask(device, uint8_t(i));
        if (mask == 0)
            continue;
        const QString name = FuseNameIn(m_fuseNames, FuseNameIndex(device, uint8_t(i)));
        if (ExcludedFuseNames().contains(name))
            continue;
        if (kind != dkPic18 && kind != dkPic14 && kind != dkPic12)
            continue;
        const uint16_t word = kind == dkPic12 ? 1 : FuseWord(device, uint8_t(i));
        m_groups.Add(name, mask, uint16_t(i - 1), word, FuseValue(device, uint8_t(i)));
    }

    for (int g = 0; g < m_groups.GroupCount(); ++g) {
        const int count = m_groups.ItemCount(g);
        TFuseControl control;
        if (count == 2 && (m_groups.Item(g, 0).name.startsWith(QLatin1String("NO"))
                           || m_groups.Item(g, 1).name.startsWith(QLatin1String("NO")))) {
            const bool firstIsNo = m_groups.Item(g, 0).name.startsWith(QLatin1String("NO"));
            const TFuseItem &on = m_groups.Item(g, firstIsNo ? 1 : 0);
            const TFuseItem &off = m_groups.Item(g, firstIsNo ? 0 : 1);
            control.kind = TFuseControl::fcCheckBox;
            control.captions << descriptions.FuseDescription(on.name);
            m_choiceNames << on.name << off.name;
        } else if (count == 1) {
            control.kind = TFuseControl::fcCheckBox;
            control.captions << descriptions.FuseDescription(m_groups.Item(g, 0).name);
            m_choiceNames << m_groups.Item(g, 0).name << QString();
        } else {
            control.kind = TFuseControl::fcDropDown;
            for (int n = 0; n < count; ++n) {
                control.captions << descriptions.FuseDescription(m_groups.Item(g, n).name);
                m_choiceNames << m_groups.Item(g, n).name;
            }
            control.chosen = 0;
        }
        m_controls << control;
    }
}

bool TFuseFrameModel::SelectFuse(const QString &name)
{
    int p = 0;
    for (TFuseControl &control : m_controls) {
        if (control.kind == TFuseControl::fcCheckBox) {
            if (m_choiceNames.value(p) == name) {
                control.checked = true;
                return true;
            }
            if (m_choiceNames.value(p + 1) == name) {
                control.checked = false;
                return true;
            }
            p += 2;
        } else {
            for (int j = 0; j < control.captions.size(); ++j) {
                if (m_choiceNames.value(p + j) == name) {
                    control.chosen = j;
                    return true;
                }
            }
            p += int(control.captions.size());
        }
    }
    return false;
}

void TFuseFrameModel::SelectDefaults(const DeviceRecord &device, const FuseNameTable &fuseNames)
{
    m_device = device;
    m_fuseNames = fuseNames;
    QStringList defaults;
    const int words = ConfigWordCount(device, fuseNames);
    for (int w = 1; w <= words; ++w) {
        for (int i = 1; i <= kMaxFuseEntry; ++i) {
            const QString name = FuseNameIn(fuseNames, FuseNameIndex(device, uint8_t(i)));
            if (name.isEmpty())
                break;
            const uint16_t mask = FuseMask(device, uint8_t(i));
            if ((device.kind() != dkPic18 || FuseWord(device, uint8_t(i)) == w) && mask != 0
                && mask == FuseValue(device, uint8_t(i)))
                defaults << name;
        }
    }
    for (const QString &name : std::as_const(defaults))
        if (!name.isEmpty())
            SelectFuse(name);
}

QString TFuseFrameModel::SelectedFuses() const
{
    QString text;
    int p = 0;
    for (const TFuseControl &control : m_controls) {
        QString contribution;
        if (control.kind == TFuseControl::fcCheckBox) {
            contribution = m_choiceNames.value(control.checked ? p : p + 1);
            p += 2;
        } else {
            contribution = m_choiceNames.value(p + control.chosen);
            p += int(control.captions.size());
        }
        contribution = contribution.trimmed();
        if (!contribution.isEmpty())
            text += contribution + QStringLiteral(", ");
    }
    text.chop(2);
    return text;
}

void TFuseFrameModel::SetChecked(int control, bool checked)
{
    if (control >= 0 && control < m_controls.size() && m_controls[control].kind == TFuseControl::fcCheckBox)
        m_controls[control].checked = checked;
}

void TFuseFrameModel::SetChosen(int control, int item)
{
    if (control >= 0 && control < m_controls.size() && m_controls[control].kind == TFuseControl::fcDropDown
        && item >= 0 && item < m_controls[control].captions.size())
        m_controls[control].chosen = item;
}

}  // namespace kiv
