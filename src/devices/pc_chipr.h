#pragma once

// The device database devices.dat: a read-only file of 1024-byte blocks holding a shared fuse
// name table (blocks 0 and 1) and one 2048-byte record per device (one or two blocks each).
// Every operation opens the file by the path given to SetDeviceFile, reads, and closes it.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <stdexcept>

namespace kiv {

/// Size of one block of devices.dat.
constexpr int kDeviceBlockSize = 1024;
/// Size of a device record (its first block and, when present, its second block).
constexpr int kDeviceRecordSize = 2048;
/// Highest fuse entry number a record can hold.
constexpr int kMaxFuseEntry = 130;

/// The family byte of a device record.
enum DeviceKind : uint8_t {
    dkPic12 = 0,     ///< 12-bit PIC core
    dkPic14 = 1,     ///< 14-bit PIC core (and the enhanced 14-bit core)
    dkFamily2 = 2,
    dkPic18 = 3,     ///< PIC18
    dkSx = 4,        ///< SX
    dkFamily5 = 5,
    dkFamily6 = 6,
};

/// A set of kinds in one byte: bit k stands for kind k.
using KindSet = uint8_t;

constexpr KindSet MakeKindSet(std::initializer_list<int> kinds)
{
    KindSet set = 0;
    for (int k : kinds)
        if (k >= 0 && k < 8)
            set = KindSet(set | (1u << k));
    return set;
}

/// {0, 1, 3, 6}: the project wizard's device list and the COFF viewer's lookup.
constexpr KindSet kWizardKinds = MakeKindSet({0, 1, 3, 6});
/// {0, 1, 3, 4}: fuse review, interrupt review, data-sheet window, manual project dialog.
constexpr KindSet kReviewKinds = MakeKindSet({0, 1, 3, 4});
/// Every kind a set can hold.
constexpr KindSet kAllKinds = 0xFF;

/// True when `kind` belongs to `set`; kinds 8 and above belong to no set.
constexpr bool KindInSet(KindSet set, unsigned kind)
{
    return kind < 8 && ((set >> kind) & 1u) != 0;
}

/// Byte offsets of the record fields.
namespace devrec {
constexpr int ramMap = 0;              ///< u8[512]
constexpr int name = 512;              ///< length byte + 15 characters
constexpr int nameMax = 15;
constexpr int adcVariant = 528;        ///< u16
constexpr int kind = 530;
constexpr int hasUsart = 534;
constexpr int eepromSize = 536;        ///< units of 16 bytes
constexpr int hasPeripheralInts = 537;
constexpr int hasPor = 538;
constexpr int hasComparators = 539;
constexpr int hasSpi = 540;
constexpr int hasTimer1 = 541;
constexpr int hasPsp = 542;
constexpr int ccpCount = 543;
constexpr int hasI2c = 545;
constexpr int trisMode = 546;
constexpr int hasLcd = 547;
constexpr int adcChannels = 594;
constexpr int hasProgramMemoryAccess = 595;
constexpr int portMaskAtoG = 603;      ///< u8[7], ports A to G
constexpr int fuseMaskValue = 611;     ///< 51 x (u16 mask, u16 value), entries 0 to 50
constexpr int secondWordFuses = 815;   ///< 7 bytes, bit set over entries 0 to 55
constexpr int id = 824;                ///< u16
constexpr int hasI2cMaster = 827;
constexpr int hasUsart9Bit = 828;
constexpr int dataSheet = 831;         ///< length byte + 32 characters
constexpr int dataSheetMax = 32;
constexpr int fuseNameIndex = 864;     ///< u8[51], entries 0 to 50
constexpr int hasTimer3 = 921;
constexpr int hasCan = 922;
constexpr int portMaskH = 923;
constexpr int portMaskJ = 924;
constexpr int portMaskK = 933;
constexpr int hasTimer2 = 935;
constexpr int adcClockOption = 949;
constexpr int adcChannelOption = 952;
constexpr int adcBits = 956;
constexpr int interrupts = 959;        ///< 8 bytes, bit set over interrupt numbers 0 to 63
constexpr int hasTimer4 = 1016;
constexpr int hasUsart2 = 1017;
constexpr int hasVref = 1019;
constexpr int hasUsb = 1020;
constexpr int hasSecondBlock = 1023;
constexpr int fuseExtension = 1024;    ///< 50 x (u16 mask, u16 value, u8 name, u8 word), entries 81 to 130
// Bytes the IDE itself never reads: the device editor and selector show, edit and search them.
constexpr int programWords = 548;      ///< u16 low, u16 high: program memory in words; 0 = not given
constexpr int dataBytes = 552;         ///< u16: data memory (RAM) in bytes; 0 = not given
// Kind 3 only: the extended fuse table inside the ramMap bytes.
constexpr int fuseWord18 = 255;        ///< u8 at 255 + i: configuration word of entry i (1 to 80)
constexpr int fuseNameIndex51 = 336;   ///< u8 at 336 + (i - 51), entries 51 to 80
constexpr int fuseMaskValue51 = 366;   ///< (u16 mask, u16 value) at 366 + 4 (i - 51)
}  // namespace devrec

/// One device record, 2048 bytes; the first block and, when the file holds one, the second.
/// All multi-byte numbers are little-endian. Accessors never read outside the record.
struct DeviceRecord {
    std::array<uint8_t, kDeviceRecordSize> bytes{};

    uint8_t Byte(int offset) const;
    uint16_t Word(int offset) const;
    bool Flag(int offset) const { return Byte(offset) != 0; }
    void SetByte(int offset, uint8_t value);
    void SetWord(int offset, uint16_t value);
    void SetFlag(int offset, bool value) { SetByte(offset, value ? 1 : 0); }
    /// A length-prefixed string of at most `maxLength` characters (a longer length byte is cut).
    QString ShortString(int offset, int maxLength) const;
    /// Stores at most `maxLength` Latin-1 characters; the rest is dropped.
    void SetShortString(int offset, int maxLength, const QString &text);

    /// The data-memory map byte of `address` (0 to 511); 0 outside that range.
    uint8_t ramMap(int address) const;
    void setRamMap(int address, uint8_t value);

    QString name() const { return ShortString(devrec::name, devrec::nameMax); }
    void setName(const QString &text) { SetShortString(devrec::name, devrec::nameMax, text); }
    /// True for control records ("@..."), which are not devices.
    bool IsControlRecord() const;

    uint16_t adcVariant() const { return Word(devrec::adcVariant); }
    void setAdcVariant(uint16_t v) { SetWord(devrec::adcVariant, v); }
    uint8_t kind() const { return Byte(devrec::kind); }
    void setKind(uint8_t v) { SetByte(devrec::kind, v); }
    bool hasUsart() const { return Flag(devrec::hasUsart); }
    void setHasUsart(bool v) { SetFlag(devrec::hasUsart, v); }
    uint8_t eepromSize() const { return Byte(devrec::eepromSize); }
    void setEepromSize(uint8_t v) { SetByte(devrec::eepromSize, v); }
    bool hasPeripheralInts() const { return Flag(devrec::hasPeripheralInts); }
    void setHasPeripheralInts(bool v) { SetFlag(devrec::hasPeripheralInts, v); }
    bool hasPor() const { return Flag(devrec::hasPor); }
    void setHasPor(bool v) { SetFlag(devrec::hasPor, v); }
    bool hasComparators() const { return Flag(devrec::hasComparators); }
    void setHasComparators(bool v) { SetFlag(devrec::hasComparators, v); }
    bool hasSpi() const { return Flag(devrec::hasSpi); }
    void setHasSpi(bool v) { SetFlag(devrec::hasSpi, v); }
    bool hasTimer1() const { return Flag(devrec::hasTimer1); }
    void setHasTimer1(bool v) { SetFlag(devrec::hasTimer1, v); }
    bool hasPsp() const { return Flag(devrec::hasPsp); }
    void setHasPsp(bool v) { SetFlag(devrec::hasPsp, v); }
    uint8_t ccpCount() const { return Byte(devrec::ccpCount); }
    void setCcpCount(uint8_t v) { SetByte(devrec::ccpCount, v); }
    bool hasI2c() const { return Flag(devrec::hasI2c); }
    void setHasI2c(bool v) { SetFlag(devrec::hasI2c, v); }
    uint8_t trisMode() const { return Byte(devrec::trisMode); }
    void setTrisMode(uint8_t v) { SetByte(devrec::trisMode, v); }
    bool hasLcd() const { return Flag(devrec::hasLcd); }
    void setHasLcd(bool v) { SetFlag(devrec::hasLcd, v); }
    uint8_t adcChannels() const { return Byte(devrec::adcChannels); }
    void setAdcChannels(uint8_t v) { SetByte(devrec::adcChannels, v); }
    bool hasProgramMemoryAccess() const { return Flag(devrec::hasProgramMemoryAccess); }
    void setHasProgramMemoryAccess(bool v) { SetFlag(devrec::hasProgramMemoryAccess, v); }
    /// Pins of port 'A' to 'G', 'H', 'J' or 'K' (bit n = pin n exists); 0 for any other letter.
    uint8_t portMask(char port) const;
    /// Sets the pins of a port; letters without a field are ignored.
    void setPortMask(char port, uint8_t mask);
    /// True when fuse entry `entry` (0 to 55) is marked as belonging to the second word.
    bool secondWordFuse(int entry) const;
    void setSecondWordFuse(int entry, bool v);
    uint16_t id() const { return Word(devrec::id); }
    void setId(uint16_t v) { SetWord(devrec::id, v); }
    bool hasI2cMaster() const { return Flag(devrec::hasI2cMaster); }
    void setHasI2cMaster(bool v) { SetFlag(devrec::hasI2cMaster, v); }
    bool hasUsart9Bit() const { return Flag(devrec::hasUsart9Bit); }
    void setHasUsart9Bit(bool v) { SetFlag(devrec::hasUsart9Bit, v); }
    QString dataSheet() const { return ShortString(devrec::dataSheet, devrec::dataSheetMax); }
    void setDataSheet(const QString &text) { SetShortString(devrec::dataSheet, devrec::dataSheetMax, text); }
    bool hasTimer3() const { return Flag(devrec::hasTimer3); }
    void setHasTimer3(bool v) { SetFlag(devrec::hasTimer3, v); }
    bool hasCan() const { return Flag(devrec::hasCan); }
    void setHasCan(bool v) { SetFlag(devrec::hasCan, v); }
    bool hasTimer2() const { return Flag(devrec::hasTimer2); }
    void setHasTimer2(bool v) { SetFlag(devrec::hasTimer2, v); }
    uint8_t adcClockOption() const { return Byte(devrec::adcClockOption); }
    void setAdcClockOption(uint8_t v) { SetByte(devrec::adcClockOption, v); }
    uint8_t adcChannelOption() const { return Byte(devrec::adcChannelOption); }
    void setAdcChannelOption(uint8_t v) { SetByte(devrec::adcChannelOption, v); }
    uint8_t adcBits() const { return Byte(devrec::adcBits); }
    void setAdcBits(uint8_t v) { SetByte(devrec::adcBits, v); }
    /// The interrupt set: bit n stands for interrupt number n (0 to 63).
    uint64_t interrupts() const;
    bool hasInterrupt(int number) const;
    void setInterrupt(int number, bool v);
    bool hasTimer4() const { return Flag(devrec::hasTimer4); }
    void setHasTimer4(bool v) { SetFlag(devrec::hasTimer4, v); }
    bool hasUsart2() const { return Flag(devrec::hasUsart2); }
    void setHasUsart2(bool v) { SetFlag(devrec::hasUsart2, v); }
    bool hasVref() const { return Flag(devrec::hasVref); }
    void setHasVref(bool v) { SetFlag(devrec::hasVref, v); }
    bool hasUsb() const { return Flag(devrec::hasUsb); }
    void setHasUsb(bool v) { SetFlag(devrec::hasUsb, v); }
    uint8_t hasSecondBlock() const { return Byte(devrec::hasSecondBlock); }
    void setHasSecondBlock(bool v) { SetFlag(devrec::hasSecondBlock, v); }

    bool operator==(const DeviceRecord &other) const { return bytes == other.bytes; }
};

/// The header text as read: the fuse names with their NUL separators, up to and including the
/// first NUL of the closing pair.
using FuseNameTable = QByteArray;

/// An input/output failure on the device file (ListDevices cannot open it).
class TDeviceFileError : public std::runtime_error {
public:
    explicit TDeviceFileError(const QString &message) : std::runtime_error(message.toStdString()) {}
    QString Message() const { return QString::fromStdString(what()); }
};

/// A "@#" lookup whose block number is not a number.
class TDeviceNumberError : public std::runtime_error {
public:
    explicit TDeviceNumberError(const QString &message) : std::runtime_error(message.toStdString()) {}
    QString Message() const { return QString::fromStdString(what()); }
};

/// Remembers the full path of devices.dat for the file operations below.
void SetDeviceFile(const QString &path);
/// The path set by SetDeviceFile (empty at start).
QString DeviceFile();

/// Looks a device up by its exact name, or by block number when `name` is "@#" followed by up
/// to five decimal digits. Reloads the shared fuse name table. Without a match the record holds
/// the last record of the file; a block number past the end sets its name to "@EOF".
/// Throws TDeviceNumberError when the characters after "@#" are not a number.
bool FindDevice(const QString &name, DeviceRecord &record);

/// Replaces `list` with the names of the devices of `kinds`, in file order, and returns the
/// list position of the (last) record whose id is `id`, 0 when none is.
/// Throws TDeviceFileError when the file cannot be opened.
int ListDevices(QStringList &list, KindSet kinds, uint16_t id);

/// A visitor of ForEachDevice: answers true to continue the walk, false to stop it.
using TDeviceVisitor = bool (*)(const DeviceRecord &record, void *context);

/// Calls `visitor` for each device of `kinds`, in file order, until it answers false. Returns
/// true when the walk was never stopped (or the file does not exist). Reloads the shared fuse
/// name table.
bool ForEachDevice(TDeviceVisitor visitor, KindSet kinds, void *context);
/// The same walk with a function object.
bool ForEachDevice(const std::function<bool(const DeviceRecord &)> &visitor, KindSet kinds);

/// A record as the file stores it: the block it starts at and the blocks it takes.
struct TStoredRecord {
    qint64 block = 0;   ///< first block of the record
    int blocks = 1;     ///< 1, or 2 when its second block follows it in the file
    DeviceRecord record;
};

/// Every record of the file at `path` from block 2 to the end, control records included, in file
/// order and read by the same rules as FindDevice; for the device editor, which writes records
/// back where they were. False with `error` set when the file cannot be opened.
bool ReadStoredRecords(const QString &path, QList<TStoredRecord> &records, QString *error = nullptr);

/// Reads the header into the caller's own table. A missing or unreadable file leaves `table`
/// unchanged; a file whose header is not a fuse name table gives an empty table.
void LoadFuseNames(FuseNameTable &table);

/// The shared fuse name table of the last FindDevice or ForEachDevice.
const FuseNameTable &SharedFuseNames();

/// The name at 1-based `position` of the shared table; empty for 0 or past the end.
QString FuseName(uint8_t position);
/// The same rule applied to a caller's own table.
QString FuseNameIn(const FuseNameTable &table, uint8_t position);
/// The names of a table in position order (position 1 first).
QStringList FuseNameList(const FuseNameTable &table);

/// Mask, value, name position and configuration word (1-based) of fuse entry `entry`:
/// entries 0 to 50 for every kind, 51 to 80 for kind 3, 81 to 130 for kind 3 records with a
/// second block; anything else reads as 0. The word is 1 for kinds other than 1 and 3; 2 for
/// kind 1 entries marked in secondWordFuses; for kind 3 the byte at 255 + entry (entries 1 to
/// 80) or the last byte of the entry's six-byte slot (entries 81 to 130).
uint16_t FuseMask(const DeviceRecord &record, uint8_t entry);
uint16_t FuseValue(const DeviceRecord &record, uint8_t entry);
uint8_t FuseNameIndex(const DeviceRecord &record, uint8_t entry);
uint8_t FuseWord(const DeviceRecord &record, uint8_t entry);

/// Number of configuration words: for kind 3 the largest FuseWord over entries 1, 2, ... up to
/// the first entry whose name (in `table`) is empty; 1 for every other kind.
int ConfigWordCount(const DeviceRecord &record, const FuseNameTable &table);
/// The same with the shared fuse name table.
int ConfigWordCount(const DeviceRecord &record);

/// What is wrong with the device database at `path`, one sentence per problem, at most
/// `limit` of them (a last one counts the rest); empty for a sound file. Looks for: a missing,
/// unreadable or short file, a header without "@3" or without the end of its name list, a
/// length that is not whole blocks (the last record is cut short), and records whose name is
/// empty, longer than its field or holds control characters. A file without devices is sound.
QStringList DeviceFileProblems(const QString &path, int limit = 10);

}  // namespace kiv
