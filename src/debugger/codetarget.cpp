#include "codetarget.h"

#include "coff_dump_base.h"
#include "fileioerror.h"
#include "hexcommentinfo.h"
#include "pc_chipr.h"

namespace kiv {

namespace {

bool CoffTarget(const QString &path, QString &name, QString &error)
{
    // The COFF reader points the device database at the installation's file; the session keeps
    // the one it was given.
    const QString devices = DeviceFile();
    TCoffBase coff;
    SetDeviceFile(devices);
    try {
        coff.Open(path);
    } catch (const TCoffError &e) {
        error = e.Message();
        return false;
    } catch (const TFileIoError &e) {
        error = QString::fromStdString(e.what());
        return false;
    } catch (const TDeviceFileError &e) {
        error = QString::fromStdString(e.what());
        return false;
    }
    name = coff.DeviceName();
    return true;
}

bool HexTarget(const QString &path, QString &name)
{
    THexCommentInfo info;
    if (!info.Load(path) && info.FileName.isEmpty())
        return false;
    name = info.GetDeviceLine();
    return true;
}

}  // namespace

bool ReadCodeTarget(const QString &path, bool coff, QString &name, QString &error)
{
    error.clear();
    return coff ? CoffTarget(path, name, error) : HexTarget(path, name);
}

}  // namespace kiv
