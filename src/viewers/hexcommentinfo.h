#pragma once

// The comment lines (";" first) of an Intel HEX file: a free-text header, a block of key=value
// properties after a ";$" line, the target device line, a burn-time directive, link entries and
// the remaining comments. The data records are never interpreted.
//
// Layout read by Load: header comment lines up to a ";$" line or the first other line; when the
// header ended at ";$", the comment lines after it (up to the next other line) are the property
// block; every comment line anywhere is checked for the directives BURNTIME, LINKHEX and a
// device line (text beginning "PIC").

#include <QString>
#include <QStringList>

#include <cstdint>

namespace kiv {

class THexCommentInfo {
public:
    /// Reads `fileName`. False when it cannot be opened (the record stays as it was) or when a
    /// BURNTIME directive is rejected (reading stops there; the directive fields are cleared).
    bool Load(const QString &fileName);
    QString GetDeviceLine() const { return DeviceLine; }
    QString GetHeaderText() const { return HeaderText; }
    /// Clears the burn-time fields.
    void ResetDirectives();
    /// The value of property `name` (compared without regard to case); empty when absent.
    QString Property(const QString &name) const;

    QString DeviceLine;             ///< last comment text beginning "PIC", ";" removed, trimmed
    QString HeaderText;             ///< the header lines, each ended by CR, ";" removed, trimmed
    QStringList Properties;         ///< "NAME=value" with every blank removed
    QStringList HeaderComments;     ///< header lines that are no directive, without ";"
    QStringList OtherComments;      ///< later comment lines that are no directive, without ";"
    QStringList LinkHexEntries;     ///< text of each LINKHEX directive from its 9th character
    QString BurnTimeText;           ///< text of the last BURNTIME directive from its 10th character
    bool BurnTimeValid = false;
    std::uint32_t BurnStart = 0;
    std::uint32_t BurnEnd = 0;
    bool BurnBinary = false;        ///< "BINARY" (true) or "STRING"
    bool BurnEeprom = false;
    QString NextSpec;               ///< the NEXT=, NEXTFILE= or LISTFILE= item, whole
    int NextKind = 0;               ///< 0 NEXT=, 1 NEXTFILE=, 2 LISTFILE=
    QString Prompt;
    QString LogFile;
    QString FileName;

    /// A hexadecimal number as directives write it (text after the first "x", upper-cased,
    /// trimmed, digits 0-9 A-F; empty is 0). False when a character is no digit.
    static bool ParseHexNumber(const QString &text, std::uint32_t *value);

private:
    enum class TCheck { tcOk, tcRejected };
    TCheck CheckDirective(const QString &text, bool header);
    bool ParseBurnTime();
    bool ValidateBurnTime();
    bool FileExists(const QString &name) const;
};

}  // namespace kiv
