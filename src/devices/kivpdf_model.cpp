#include "kivpdf_model.h"

#include "kivini.h"
#include "kivproject.h"
#include "pc_dirs.h"

#include <QDir>
#include <QFileInfo>

namespace kiv {

QString WithTrailingSlash(const QString &folder)
{
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

QStringList OtherPdfNames(const QString &folder)
{
    QStringList names;
    if (folder.isEmpty())
        return names;
    QDir dir(folder);
    dir.setNameFilters({QStringLiteral("*.pdf")});
    dir.setFilter(QDir::Files | QDir::Readable);
    dir.setSorting(QDir::Name | QDir::IgnoreCase);
    for (const QString &name : dir.entryList()) {
        if (name.size() <= 4 || name.at(0).isDigit())
            continue;
        names << name.left(name.size() - 4);
    }
    return names;
}

QString DeviceDataSheetFile(const QString &folder, const DeviceRecord &device)
{
    const QString file = WithTrailingSlash(folder) + device.dataSheet() + QStringLiteral(".pdf");
    if (QFileInfo::exists(file) || device.dataSheet().isEmpty())
        return file;
    // Installations copied from a file system that ignores case may name the file differently.
    const QString wanted = device.dataSheet() + QStringLiteral(".pdf");
    for (const QString &name : QDir(folder).entryList(QDir::Files))
        if (name.compare(wanted, Qt::CaseInsensitive) == 0)
            return WithTrailingSlash(folder) + name;
    return file;
}

QString TKivPdfModel::SavedDirectory(const TIniFile &ini)
{
    return ini.ReadString(QLatin1String(kSection), QLatin1String(kKey), InstallDir() + QStringLiteral("Data Sheets/"));
}

bool TKivPdfModel::Start(const QString &projectFile, const TIniFile &ini, QString *error)
{
    const int processor = ProjectProcessorNumber(projectFile);
    directory = SavedDirectory(ini);
    m_remembered = directory;
    try {
        deviceIndex = ListDevices(devices, kReviewKinds, uint16_t(processor));
    } catch (const TDeviceFileError &e) {
        devices.clear();
        *error = e.Message();
        return false;
    }
    RefreshOtherPdfs();
    return true;
}

void TKivPdfModel::RefreshOtherPdfs()
{
    directory = WithTrailingSlash(directory);
    others = OtherPdfNames(directory);
    otherIndex = others.isEmpty() ? -1 : 0;
}

bool TKivPdfModel::SaveDirectory(TIniFile &ini)
{
    if (directory == m_remembered)
        return true;
    if (!ini.WriteString(QLatin1String(kSection), QLatin1String(kKey), directory))
        return false;
    m_remembered = directory;
    return true;
}

QString TKivPdfModel::DeviceSheet(QString *error)
{
    directory = WithTrailingSlash(directory);
    if (deviceIndex < 0 || deviceIndex >= devices.size()) {
        *error = QStringLiteral("No device is chosen.");
        return {};
    }
    DeviceRecord record;
    if (!FindDevice(devices.at(deviceIndex), record)) {
        *error = QStringLiteral("The device %1 is not in %2").arg(devices.at(deviceIndex), DeviceFile());
        return {};
    }
    return DeviceDataSheetFile(directory, record);
}

QString TKivPdfModel::OtherSheet()
{
    directory = WithTrailingSlash(directory);
    if (otherIndex < 0 || otherIndex >= others.size())
        return {};
    return directory + others.at(otherIndex) + QStringLiteral(".pdf");
}

}  // namespace kiv
