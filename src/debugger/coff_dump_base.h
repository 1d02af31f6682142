#pragma once

// The header of a COFF debug file and the device it was built for: the file header, the
// optional header with its processor number, and the device database record whose identifier
// equals that number. The debugger reads the target's name from it before a session. (It lives
// with the debugger, above the device database; the COFF reader itself is kiv_fileformats'.)
//
// Both Microchip COFF formats are read: the old one (magic 0x1234) with its 16-byte optional
// header, and the one gputils writes by default (0x1240), whose optional header has 18 bytes
// because its version stamp is 32 bits wide; the processor number and the word widths follow
// it. An optional header of any other size is left unread (all zero, processor 0).

#include "coff_file.h"
#include "pc_chipr.h"

#include <QByteArray>
#include <QString>

#include <stdexcept>

namespace kiv {

/// A COFF file whose headers cannot be read; the message names the file.
class TCoffError : public std::runtime_error {
public:
    explicit TCoffError(const QString &message) : std::runtime_error(message.toStdString()) {}
    QString Message() const { return QString::fromStdString(what()); }
};

class TCoffBase {
public:
    /// Points the device database at "devices.dat" in the utilities folder of `executable`
    /// (the running program when empty).
    explicit TCoffBase(const QString &executable = QString());
    ~TCoffBase();

    /// Reads the headers of `fileName` and looks its device up; the number of header bytes read
    /// (20, plus the optional header's size). Throws TCoffError when the headers cannot be read
    /// and TFileIoError when the file cannot be opened.
    int Open(const QString &fileName);

    /// The device's name; empty when no record matched.
    QString DeviceName() const { return DeviceFound ? Device.name() : QString(); }

    /// The utilities folder of a program: its folder without a last "IDE/", then without a
    /// last "DEBUGGERS/" (and without "bin/", where this installation keeps its programs), with
    /// "utils/" added when that folder exists. Ends with "/".
    static QString UtilitiesFolder(const QString &executable);

    QString FileName;
    quint32 FileSize = 0;
    bool Loaded = false;
    QByteArray FileHeaderBytes;          ///< the 20 bytes as stored
    QByteArray OptionalHeaderBytes;      ///< as stored; empty when not read
    TCoffFileHeader FileHeader;
    TCoffOptionalHeader OptionalHeader;  ///< all zero when not read
    DeviceRecord Device;
    bool DeviceFound = false;
};

}  // namespace kiv
