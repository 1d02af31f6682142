// kivtool calibrate 512|1024|2048|14000 IN.hex OUT — the "Extract Calibration Data" tool: the
// calibration words of a windowed part read from IN.hex, written to OUT as #rom directives.
// 512 is the "508,518" group, 1024 "505,509,519,671,673", 2048 "672,674", 14000 "14000".

#include "kivtool.h"

#include "kivgcal_model.h"

namespace kiv::tool {

int VerbCalibrate(const QStringList &args)
{
    static const struct {
        const char *name;
        TCalPart part;
    } parts[] = {{"512", cpIS512}, {"1024", cpIS1024}, {"2048", cpIS2048}, {"14000", cpIS14000}};
    if (args.size() != 3) {
        Err() << "usage: kivtool calibrate 512|1024|2048|14000 IN.hex OUT\n";
        return 2;
    }
    TKivGcalModel model;
    bool known = false;
    for (const auto &p : parts) {
        if (args[0] == QLatin1String(p.name)) {
            model.part = p.part;
            known = true;
        }
    }
    if (!known) {
        Err() << "kivtool calibrate: the part group is 512, 1024, 2048 or 14000, not " << args[0] << '\n';
        return 2;
    }
    model.inputFile = args[1];
    model.outFile = args[2];
    QString error;
    if (!model.Run(&error)) {
        Err() << "kivtool calibrate: " << QString(error).replace(QStringLiteral("\n\n"), QStringLiteral(": ")) << '\n';
        return 1;
    }
    return 0;
}

}  // namespace kiv::tool
