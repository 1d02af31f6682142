// kivtool fuses [--file devices.dat] [--descriptions fuses.txt] NAME — the fuse groups the
// project wizard's fuse frame offers for a device, each with its choices and their descriptions,
// the defaults marked, and the default fuse line.

#include "kivtool.h"

#include "fuseselection_model.h"
#include "pc_chipr.h"
#include "pc_dirs.h"

namespace kiv::tool {

int VerbFuses(const QStringList &args)
{
    QString descriptionFile = FuseDescriptionFile();
    DeviceRecord device;
    const char usage[] = "kivtool fuses [--file devices.dat] [--descriptions fuses.txt] NAME";
    if (const int code =
            FindDeviceArgument(args, "fuses", usage, QLatin1String("--descriptions"), descriptionFile, device))
        return code;
    FuseNameTable names;
    LoadFuseNames(names);
    TDescriptionFile descriptions;
    try {
        descriptions = TDescriptionFile(descriptionFile);
    } catch (const TDescriptionFileError &e) {
        Err() << "kivtool fuses: " << e.Message() << '\n';
        return 1;
    }

    TFuseFrameModel frame;
    frame.Build(device, names, descriptions);
    TFuseFrameModel defaults = frame;
    defaults.SelectDefaults(device, names);

    const TFuseGroups &groups = frame.Groups();
    Out() << device.name() << ": " << groups.GroupCount() << " fuse groups (* = default)\n";
    int p = 0;
    for (int g = 0; g < groups.GroupCount(); ++g) {
        const TFuseControl &control = defaults.Controls()[g];
        const TFuseItem &first = groups.Item(g, 0);
        Out() << QStringLiteral("  %1 word %2 mask 0x%3 %4\n")
                     .arg(g + 1, 2)
                     .arg(first.word)
                     .arg(QString::number(first.mask, 16).toUpper().rightJustified(4, QLatin1Char('0')))
                     .arg(control.kind == TFuseControl::fcCheckBox ? QStringLiteral("check box") : QStringLiteral("list"));
        const int choices = control.kind == TFuseControl::fcCheckBox ? 2 : int(control.captions.size());
        for (int j = 0; j < choices; ++j) {
            const QString choice = frame.ChoiceNames().value(p + j);
            if (choice.isEmpty())
                continue;
            const bool isDefault = control.kind == TFuseControl::fcCheckBox ? (control.checked == (j == 0)) : control.chosen == j;
            Out() << "     " << (isDefault ? "* " : "  ") << choice.leftJustified(12) << ' '
                  << descriptions.FuseDescription(choice) << '\n';
        }
        p += choices;
    }
    Out() << "Default fuses: " << defaults.SelectedFuses() << '\n';
    return 0;
}

}  // namespace kiv::tool
