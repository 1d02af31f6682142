// kivtool wizard --device NAME [--set CONTROL=VALUE ...] [--includes LIST] [--preview PAGE] OUT.c
// — the project wizard without its window: the device and the control values of a run, then the
// C file, its header and the project file written as the wizard's OK writes them (or, with
// --preview, the "View Code" text of one page on standard output).

#include "kivtool.h"

#include "kivini.h"
#include "kivsxwiz_model.h"
#include "kivwizard_code.h"
#include "kivwizard_model.h"
#include "pc_dirs.h"

namespace kiv::tool {

namespace {

// The SX wizard: every page shown in tab order, each page's settings applied on it.
int RunSx(const QString &device, const QList<QPair<QString, QString>> &settings, const QString &deviceFile,
          const QString &driverFile, const QString &preview, QString out)
{
    TSxWizardModel model;
    model.Open(deviceFile, driverFile);
    if (!model.SelectDevice(device)) {
        Err() << "kivtool wizard: no SX device \"" << device << "\" in " << deviceFile << '\n';
        return 1;
    }
    for (const auto &s : settings)
        if (!model.HasControl(s.first) && !s.first.startsWith(QLatin1String("pin:")) &&
            !s.first.startsWith(QLatin1String("pintype:")) && !s.first.startsWith(QLatin1String("pullup:"))) {
            Err() << "kivtool wizard: no control named " << s.first << '\n';
            return 1;
        }
    for (int page = 0; page < spPageCount; ++page) {
        model.ShowPage(page);
        for (const auto &s : settings) {
            const int colon = s.first.indexOf(QLatin1Char(':'));
            if (colon > 0) {
                if (page != spPins)
                    continue;
                const int row = model.PinRow(s.first.mid(colon + 1));
                if (row < 0) {
                    Err() << "kivtool wizard: no pin " << s.first.mid(colon + 1) << '\n';
                    return 1;
                }
                if (s.first.startsWith(QLatin1String("pin:")))
                    model.SetPinIdentifiers(row, s.second);
                else if (s.first.startsWith(QLatin1String("pintype:")))
                    model.SetPinType(row, s.second.toInt());
                else
                    model.SetPinPullup(row, s.second == QLatin1String("1"));
                continue;
            }
            if (model.C(s.first).page != page)
                continue;
            QString error;
            if (!model.SetFromText(s.first, s.second, &error)) {
                Err() << "kivtool wizard: " << error << '\n';
                return 1;
            }
        }
    }
    if (!preview.isEmpty()) {
        bool ok = false;
        int page = SxPageCaptions().indexOf(preview);
        if (page < 0)
            page = preview.toInt(&ok);
        if (page < 0 || page >= spPageCount) {
            Err() << "kivtool wizard: no page " << preview << '\n';
            return 2;
        }
        Out() << model.PreviewText(page);
        return 0;
    }
    if (!out.contains(QLatin1Char('.')))
        out += QStringLiteral(".c");
    const TSxRunResult result = WriteSxWizardFiles(model, out);
    if (result.cPath.isEmpty()) {
        Err() << "kivtool wizard: " << result.error << '\n';
        return 1;
    }
    Out() << result.cPath << '\n' << result.headerPath << '\n';
    return 0;
}

}  // namespace

int VerbWizard(const QStringList &args)
{
    QString device;
    QString out;
    QString includes;
    QString deviceFile = UtilsDir() + QStringLiteral("devices.dat");
    QString driverFile = DriverTableFile();
    QString preview;
    QList<QPair<QString, QString>> settings;
    bool usage = false;
    for (int n = 0; n < args.size() && !usage; ++n) {
        const QString &a = args[n];
        if (a == QLatin1String("--device") && n + 1 < args.size()) {
            device = args[++n];
        } else if (a == QLatin1String("--set") && n + 1 < args.size()) {
            const QString s = args[++n];
            const int eq = s.indexOf(QLatin1Char('='));
            if (eq <= 0)
                usage = true;
            else
                settings.append({s.left(eq), s.mid(eq + 1)});
        } else if (a == QLatin1String("--includes") && n + 1 < args.size()) {
            includes = args[++n];
        } else if (a == QLatin1String("--file") && n + 1 < args.size()) {
            deviceFile = args[++n];
        } else if (a == QLatin1String("--drivers") && n + 1 < args.size()) {
            driverFile = args[++n];
        } else if (a == QLatin1String("--preview") && n + 1 < args.size()) {
            preview = args[++n];
        } else if (!a.startsWith(QLatin1String("--")) && out.isEmpty()) {
            out = a;
        } else {
            usage = true;
        }
    }
    if (usage || device.isEmpty() || (out.isEmpty() && preview.isEmpty())) {
        Err() << "usage: kivtool wizard --device NAME [--set CONTROL=VALUE ...] [--includes LIST]\n"
                 "                      [--file devices.dat] [--drivers drivers.dat] [--preview PAGE] OUT.c\n";
        return 2;
    }
    if (device.startsWith(QLatin1String("SX"), Qt::CaseInsensitive))
        return RunSx(device, settings, deviceFile, driverFile, preview, out);
    TWizardModel model;
    model.SetDeviceFileOnly(deviceFile);
    bool ok = false;
    const QStringList lines = ReadTextLines(driverFile, &ok);
    if (ok)
        model.SetDriverTable(ParseDriverTable(lines));
    QString error;
    if (!RunWizardScript(model, device, settings, &error)) {
        Err() << "kivtool wizard: " << error << '\n';
        return 1;
    }
    if (!model.LastFileError().isEmpty())
        Err() << "kivtool wizard: " << model.LastFileError() << '\n';
    if (!preview.isEmpty()) {
        int page = WizardPageCaptions().indexOf(preview);
        if (page < 0)
            page = preview.toInt(&ok);
        if (page < 0 || page >= wpPageCount) {
            Err() << "kivtool wizard: no page " << preview << '\n';
            return 2;
        }
        Out() << PreviewText(model, page);
        return 0;
    }
    if (!out.contains(QLatin1Char('.')))
        out += QStringLiteral(".c");
    const TWizardRunResult result = WriteWizardFiles(model, out, includes);
    if (result.cPath.isEmpty()) {
        Err() << "kivtool wizard: " << result.error << '\n';
        return 1;
    }
    Out() << result.cPath << '\n' << result.headerPath << '\n';
    return 0;
}

}  // namespace kiv::tool
