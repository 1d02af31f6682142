#include "coff_dump_base.h"

#include "fileioerror.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kiv {

QString TCoffBase::UtilitiesFolder(const QString &executable)
{
    QString folder = QFileInfo(executable).absolutePath();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    auto dropLast = [&folder](const char *component) {
        const QString tail = QString::fromLatin1(component) + QLatin1Char('/');
        if (folder.toUpper().endsWith(tail.toUpper()) && folder.size() > tail.size())
            folder.chop(tail.size());
    };
    dropLast("IDE");
    dropLast("DEBUGGERS");
    dropLast("bin");
    const QString utils = folder + QStringLiteral("utils/");
    return QFileInfo(utils).isDir() ? utils : folder;
}

TCoffBase::TCoffBase(const QString &executable)
{
    const QString program = executable.isEmpty() ? QCoreApplication::applicationFilePath() : executable;
    SetDeviceFile(UtilitiesFolder(program) + QStringLiteral("devices.dat"));
}

TCoffBase::~TCoffBase()
{
    Loaded = false;
}

int TCoffBase::Open(const QString &fileName)
{
    FileName = fileName;
    const QString prefix = QStringLiteral("Coff file '") + fileName + QStringLiteral("'");
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw TFileIoError(QStringLiteral("Cannot open the file ") + fileName + QStringLiteral(": ") + file.errorString());
    const QByteArray head = file.read(coff::kFileHeaderSize + coff::kOptionalHeaderSizeNew);
    FileSize = static_cast<quint32>(file.size());
    file.close();

    FileHeaderBytes.clear();
    OptionalHeaderBytes.clear();
    TCoffReadError error = TCoffReadError::crNone;
    std::string message;
    const bool ok = TCoffFile::ParseHeaders(reinterpret_cast<const std::uint8_t *>(head.constData()),
                                            static_cast<std::size_t>(head.size()), &FileHeader, &OptionalHeader,
                                            &error, &message, true);
    if (!ok) {
        switch (error) {
        case TCoffReadError::crTooShort:
            throw TCoffError(prefix + QStringLiteral(" couldn't read file header."));
        case TCoffReadError::crBadMagic:
            throw TCoffError(prefix + QStringLiteral(" does not appear to be a valid COFF file."));
        default:
            throw TCoffError(prefix + QStringLiteral(" could not read optional file header."));
        }
    }
    FileHeaderBytes = head.left(coff::kFileHeaderSize);
    int read = coff::kFileHeaderSize;
    if (OptionalHeader.present) {
        OptionalHeaderBytes = head.mid(coff::kFileHeaderSize, FileHeader.optionalHeaderSize);
        read += FileHeader.optionalHeaderSize;
    }

    // A file without an optional header is looked up as processor 0.
    const std::uint32_t processor = OptionalHeader.processorType;
    DeviceFound = false;
    Device = DeviceRecord();
    DeviceFound = !ForEachDevice(
        [this, processor](const DeviceRecord &record) {
            if (record.id() != processor)
                return true;
            Device = record;
            return false;
        },
        kWizardKinds);
    Loaded = true;
    return read;
}

}  // namespace kiv
