// kivtool tool [--run] SLOT [BASE] — a programmer or debugger slot of the settings file (prgmer,
// prgmer2, debugger1, debugger2, debugger3) with its placeholders replaced for the project BASE
// (folder + name; the hex file is BASE.HEX); --run starts it as the IDE's command does.
// kivtool tool --template TEXT [--name NAME] [BASE] expands a template of one's own.

#include "kivtool.h"

#include "kivini.h"
#include "kivprgm_model.h"
#include "pc_dirs.h"

namespace kiv::tool {

int VerbTool(const QStringList &args)
{
    bool run = false;
    QString slotName;
    QString templateText;
    QString name;
    QString base;
    bool hasTemplate = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("--run")) {
            run = true;
        } else if (arg == QLatin1String("--template") && i + 1 < args.size()) {
            templateText = args[++i];
            hasTemplate = true;
        } else if (arg == QLatin1String("--name") && i + 1 < args.size()) {
            name = args[++i];
        } else if (arg.startsWith(QLatin1String("--"))) {
            Err() << "kivtool tool: unknown option " << arg << '\n';
            return 2;
        } else if (!hasTemplate && slotName.isEmpty()) {
            slotName = arg;
        } else if (base.isEmpty()) {
            base = arg;
        } else {
            Err() << "usage: kivtool tool [--run] SLOT [BASE] | kivtool tool --template TEXT [--name NAME] [BASE]\n";
            return 2;
        }
    }
    TToolSlot slot;
    if (hasTemplate) {
        slot = {name, templateText};
    } else {
        TToolSettings settings;
        settings.Load(TIniFile(SettingsFilePath()));
        int found = -1;
        for (int i = 0; i < tsSlotCount; ++i)
            if (slotName == QLatin1String(ToolSlotInfo(TToolSlotId(i)).section))
                found = i;
        if (found < 0) {
            Err() << "kivtool tool: the slot is prgmer, prgmer2, debugger1, debugger2 or debugger3\n";
            return 2;
        }
        slot = settings.Slot(TToolSlotId(found));
    }
    TLaunchContext context;
    context.base = base;
    if (!base.isEmpty())
        context.hexFile = base + QStringLiteral(".HEX");
    if (!run) {
        Out() << ExpandToolCommand(slot, context).Display() << '\n';
        return 0;
    }
    const TLaunchResult result = LaunchTool(slot, context);
    if (!result.started) {
        Err() << "kivtool tool: " << result.error << '\n';
        return 1;
    }
    Out() << result.command.Display() << '\n';
    return 0;
}

}  // namespace kiv::tool
