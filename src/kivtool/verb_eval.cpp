// kivtool eval FILE EXPR [--ram ADDR:BYTES | --ram DUMPFILE]... [--scope FILE:LINE] — evaluates
// an expression with the installed watch library (watch/vynwatch.so) over given RAM bytes, as
// the debugger does over target RAM. FILE is the program's .cod or .cof; BYTES are hexadecimal
// byte pairs (spaces allowed) placed from the hexadecimal address ADDR; a dump file holds such
// "ADDR: BYTES" lines. RAM not given reads as 0. The scope is a file number and a source line.
// Exit code 0 for a value, 1 for an evaluation that failed ("ERROR ..."), 2 for bad arguments
// or a library or debug file that cannot be loaded.

#include "kivtool.h"

#include "pc_dirs.h"

#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QRegularExpression>

#include <cstdint>
#include <vector>

namespace kiv::tool {

namespace {

using TMemoryFunction = std::int32_t (*)(void *, std::int32_t, std::int32_t, std::uint8_t **);
using TLoadCod = std::uint16_t (*)(std::int16_t, const char *);
using TLoadCoff = std::uint16_t (*)(const char *, std::uint32_t *);
using TEvaluate2 = std::uint16_t (*)(std::int32_t, std::int32_t, const char *, char *, std::int32_t, std::int32_t,
                                     TMemoryFunction, void *);

constexpr int kRamSize = 0x10000;

std::int32_t ReadRam(void *context, std::int32_t address, std::int32_t count, std::uint8_t **data)
{
    auto *ram = static_cast<std::vector<std::uint8_t> *>(context);
    if (count <= 0 || address < 0 || static_cast<std::size_t>(address) + static_cast<std::size_t>(count) > ram->size())
        return 0;
    *data = ram->data() + address;
    return 1;
}

// "20: 2A 00 7F" or "0x20=2a007f" into the RAM image; false when the text is no such line.
bool PlaceBytes(const QString &text, std::vector<std::uint8_t> *ram)
{
    static const QRegularExpression line(QStringLiteral("^\\s*(?:0[xX])?([0-9A-Fa-f]+)\\s*[:=]\\s*([0-9A-Fa-f ,]*)$"));
    const QRegularExpressionMatch m = line.match(text);
    if (!m.hasMatch())
        return false;
    bool ok = false;
    std::size_t address = m.captured(1).toUInt(&ok, 16);
    QString bytes = m.captured(2);
    bytes.remove(QLatin1Char(' ')).remove(QLatin1Char(','));
    if (!ok || bytes.size() % 2 != 0)
        return false;
    for (int i = 0; i < bytes.size(); i += 2) {
        if (address >= ram->size())
            return false;
        (*ram)[address++] = static_cast<std::uint8_t>(bytes.mid(i, 2).toUInt(nullptr, 16));
    }
    return true;
}

}  // namespace

int VerbEval(const QStringList &args)
{
    QStringList positional;
    std::vector<std::uint8_t> ram(kRamSize, 0);
    int file = 0;
    int line = 0;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if ((a == QLatin1String("--ram") || a == QLatin1String("--scope")) && i + 1 < args.size()) {
            const QString value = args[++i];
            if (a == QLatin1String("--scope")) {
                const QStringList parts = value.split(QLatin1Char(':'));
                bool okFile = false;
                bool okLine = false;
                if (parts.size() == 2) {
                    file = parts[0].toInt(&okFile);
                    line = parts[1].toInt(&okLine);
                }
                if (!okFile || !okLine) {
                    Err() << "kivtool eval: --scope takes FILENUMBER:LINE, not \"" << value << "\"\n";
                    return 2;
                }
            } else if (QFileInfo(value).isFile()) {
                QFile dump(value);
                if (!dump.open(QIODevice::ReadOnly)) {
                    Err() << "kivtool eval: cannot read " << value << '\n';
                    return 2;
                }
                int number = 0;
                while (!dump.atEnd()) {
                    ++number;
                    const QString text = QString::fromLatin1(dump.readLine()).trimmed();
                    if (!text.isEmpty() && !PlaceBytes(text, &ram)) {
                        Err() << "kivtool eval: " << value << " line " << number << " is not \"ADDR: BYTES\"\n";
                        return 2;
                    }
                }
            } else if (!PlaceBytes(value, &ram)) {
                Err() << "kivtool eval: --ram takes ADDR:BYTES (hexadecimal) or a dump file, not \"" << value << "\"\n";
                return 2;
            }
        } else {
            positional << a;
        }
    }
    if (positional.size() != 2) {
        Err() << "usage: kivtool eval FILE.cod|FILE.cof EXPR [--ram ADDR:BYTES|DUMPFILE]... [--scope FILE:LINE]\n";
        return 2;
    }

    // The library as the debugger finds it: watch/, else dll/.
    QString path = WatchDir() + QStringLiteral("vynwatch.so");
    if (!QFileInfo::exists(path))
        path = DllDir() + QStringLiteral("vynwatch.so");
    QLibrary library(path);
    if (!library.load()) {
        Err() << "kivtool eval: cannot load the watch library " << path << ": " << library.errorString() << '\n';
        return 2;
    }
    const auto loadCod = reinterpret_cast<TLoadCod>(library.resolve("VYNWATCH_LOAD_COD"));
    const auto loadCoff = reinterpret_cast<TLoadCoff>(library.resolve("VYNWATCH_LOAD_COFF"));
    const auto evaluate = reinterpret_cast<TEvaluate2>(library.resolve("VYNWATCH_EVALUATE2"));
    if (!loadCod || !loadCoff || !evaluate) {
        Err() << "kivtool eval: " << path << " is not a watch library\n";
        return 2;
    }
    const QByteArray debugFile = QFile::encodeName(positional[0]);
    std::uint32_t code = 0;
    const bool cod = positional[0].endsWith(QLatin1String(".cod"), Qt::CaseInsensitive);
    if ((cod ? loadCod(2, debugFile.constData()) : loadCoff(debugFile.constData(), &code)) != 1) {
        Err() << "kivtool eval: the watch library cannot load " << positional[0];
        if (!cod)
            Err() << " (error 0x" << QString::number(code, 16).rightJustified(8, QLatin1Char('0')) << ')';
        Err() << '\n';
        return 2;
    }
    std::vector<char> result(65536, 0);
    const QByteArray expression = positional[1].toUtf8();
    const std::uint16_t done = evaluate(file, line, expression.constData(), result.data(),
                                        static_cast<std::int32_t>(result.size()), 0, &ReadRam, &ram);
    const QString text = QString::fromUtf8(result.data());
    Out() << text << '\n';
    return done == 1 && !text.startsWith(QLatin1String("ERROR")) ? 0 : 1;
}

}  // namespace kiv::tool
