#pragma once

// Makes the installation's sfr.txt, the peripheral register definitions of the debugger's
// Peripherals window, from the device headers gputils ships: every special function register
// with its address and its implemented bits, sorted into the window's peripheral groups by
// register-name tables of ours, and named bit groups (prescalers, modes, channels) decoded
// where the data sheets of the common families define them.

#include "gputilsdata.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace kiv::sfrgen {

/// The section tags of sfr.txt, in file order ("#PORTS" is made by the IDE, never written).
const QStringList &SectionTags();

/// The tag a register belongs to; empty for registers of no group (ports, INDF, unknown).
QString SectionOfRegister(const QString &name);

/// The implemented bits of a register: those the header names, or all 8 when it names none.
int RegisterMask(const devgen::TIncHeader &header, const QString &name);

/// One device's lines per tag: register lines and bit group lines with their value lines, each
/// with the device's name as condition.
QMap<QString, QStringList> DeviceSections(const QString &device, const devgen::TIncHeader &header);

struct TSfrCounts {
    int devices = 0;
    int registers = 0;
    int groups = 0;
};

/// The whole file for the devices given (name and header), CR LF line ends.
QByteArray SfrText(const QList<QPair<QString, devgen::TIncHeader>> &devices, TSfrCounts *counts = nullptr);

}  // namespace kiv::sfrgen
