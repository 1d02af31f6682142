// kivtool sim --device NAME PROG.hex [--cycles N] [--trace N] [--uart] [--clock MHZ] [--input TEXT]
//             [--analog AN0=2.5 …]
// — runs a program in the simulator engine, the same engine as the simulator debugger library.
// Prints the final PC, W and cycle count; --trace prints the first N instructions (cycle count
// before the instruction, PC, opcode, then W and STATUS after it); --uart prints the bytes the
// program sends through the USART as they arrive; --input queues bytes for its receiver;
// --analog sets the analog inputs as the "Analog inputs" option does (volts, or a converter count
// with "c"; VDD=, VREF+=, VREF-= for the references).

#include "kivtool.h"

#include "simcore.h"
#include "simload.h"
#include "simsession.h"

#include <cstdio>

namespace kiv::tool {

namespace {

QString Hex(unsigned value, int digits)
{
    return QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

int SimUsage()
{
    Err() << "usage: kivtool sim --device NAME PROG.hex [--cycles N] [--trace N] [--uart] [--clock MHZ] "
             "[--input TEXT] [--analog AN0=2.5 ...]\n"
             "       kivtool sim --help      what the simulator simulates\n";
    return 2;
}

}  // namespace

int VerbSim(const QStringList &args)
{
    QString device, program, input;
    qulonglong cycles = 10'000'000;
    qulonglong trace = 0;
    double clockMHz = 20;
    bool uart = false;
    sim::TAnalogInputs analog;
    for (int n = 0; n < args.size(); ++n) {
        const QString &a = args[n];
        bool ok = true;
        if (a == QLatin1String("--help")) {
            Out() << QString::fromStdString(sim::TSimSession::HelpText());
            return 0;
        } else if (a == QLatin1String("--device") && n + 1 < args.size()) {
            device = args[++n];
        } else if (a == QLatin1String("--cycles") && n + 1 < args.size()) {
            cycles = args[++n].toULongLong(&ok);
        } else if (a == QLatin1String("--trace") && n + 1 < args.size()) {
            trace = args[++n].toULongLong(&ok);
        } else if (a == QLatin1String("--clock") && n + 1 < args.size()) {
            clockMHz = args[++n].toDouble(&ok);
            ok = ok && clockMHz > 0;
        } else if (a == QLatin1String("--input") && n + 1 < args.size()) {
            input = args[++n];
        } else if (a == QLatin1String("--analog") && n + 1 < args.size()) {
            std::string error;
            if (!analog.Parse(args[++n].toStdString(), error)) {
                Err() << "kivtool sim: " << QString::fromStdString(error) << '\n';
                return 2;
            }
        } else if (a == QLatin1String("--uart")) {
            uart = true;
        } else if (!a.startsWith(QLatin1String("--")) && program.isEmpty()) {
            program = a;
        } else {
            return SimUsage();
        }
        if (!ok) {
            Err() << "kivtool sim: bad number after " << a << '\n';
            return 2;
        }
    }
    if (device.isEmpty() || program.isEmpty())
        return SimUsage();
    const sim::TSimDevice *part = sim::FindSimDevice(device.toStdString());
    if (!part) {
        Err() << "kivtool sim: the simulator does not know the part \"" << device << "\"\n";
        return 1;
    }
    sim::TSimulator simulator(*part);
    simulator.SetClockHz(clockMHz * 1e6);
    simulator.SetAnalogInputs(analog);
    std::string error;
    if (!sim::LoadProgramFile(simulator, program.toStdString(), error)) {
        Err() << "kivtool sim: " << QString::fromStdString(error) << '\n';
        return 1;
    }
    bool sent = false;
    if (uart) {
        simulator.SetOutputFunction([&sent](uint8_t byte) {
            Out().flush();
            std::fputc(byte, stdout);
            std::fflush(stdout);
            sent = true;
        });
    }
    for (const QChar c : input)
        simulator.PushInput(uint8_t(c.toLatin1()));

    const int pcDigits = part->IsPic18() ? 6 : 4;
    const int opDigits = part->IsBaseline() ? 3 : 4;
    for (qulonglong n = 0; n < trace && simulator.Cycles() < cycles; ++n) {
        const uint64_t before = simulator.Cycles();
        const uint32_t pc = simulator.Pc();
        const uint16_t opcode = simulator.ProgramWord(part->IsPic18() ? pc / 2 : pc);
        simulator.Step();
        Out() << QString::number(before).rightJustified(10) << "  " << Hex(pc, pcDigits) << "  " << Hex(opcode, opDigits)
              << "  W=" << Hex(simulator.W(), 2) << " STATUS=" << Hex(simulator.Status(), 2) << '\n';
    }
    if (simulator.Cycles() < cycles)
        simulator.Run(cycles - simulator.Cycles());
    if (sent)
        std::fputc('\n', stdout);
    Out() << "PC=0x" << Hex(simulator.Pc(), pcDigits) << " W=0x" << Hex(simulator.W(), 2) << " cycles="
          << simulator.Cycles() << '\n';
    return 0;
}

}  // namespace kiv::tool
