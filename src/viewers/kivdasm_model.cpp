#include "kivdasm_model.h"

#include <QDir>
#include <QFileInfo>

namespace kiv {

void TKivDasmModel::opcode24Click()
{
    inputKind = 0;
    binaryEnabled = false;
    labelFormat = 0;
    labelChoiceEnabled = false;
    numberFormat = 2;
    numberChoiceEnabled = false;
}

TDasmOptions TKivDasmModel::Options() const
{
    TDasmOptions options;
    if (family == 24)
        options.family = dfBits24;
    else if (family == 16)
        options.family = dfBits16;
    else
        options.family = family == 14 ? dfBits14 : dfBits12;
    options.numbers = numberFormat == 1 ? nfAsm : numberFormat == 2 ? nfC : nfSimple;
    options.labels = labelFormat == 1 ? lfCLabel : labelFormat == 2 ? lfMcAsmLabel : lfAddresses;
    options.hexInput = inputKind == 0;
    return options;
}

QString TKivDasmModel::OutputPath() const
{
    const QString name = outputFile.trimmed();
    if (name.isEmpty() || QFileInfo(name).isAbsolute())
        return name;
    const QString folder = inputFile.trimmed().isEmpty() ? QDir::currentPath()
                                                         : QFileInfo(inputFile.trimmed()).absolutePath();
    return QDir(folder).filePath(name);
}

bool TKivDasmModel::Run(QString *error) const
{
    if (inputFile.trimmed().isEmpty()) {
        *error = QStringLiteral("Choose the input file to disassemble.");
        return false;
    }
    if (outputFile.trimmed().isEmpty()) {
        *error = QStringLiteral("Give the name of the output file.");
        return false;
    }
    std::string message;
    if (!DisassembleFile(Options(), QFile::encodeName(inputFile.trimmed()).toStdString(),
                         QFile::encodeName(OutputPath()).toStdString(), &message)) {
        *error = QString::fromLocal8Bit(message.c_str());
        if (!error->isEmpty())
            (*error)[0] = error->at(0).toUpper();
        if (!error->endsWith(QLatin1Char('.')))
            *error += QLatin1Char('.');
        return false;
    }
    return true;
}

}  // namespace kiv
