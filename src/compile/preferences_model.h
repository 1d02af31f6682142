#pragma once

#include <QString>
#include <QStringList>

namespace kiv {

class TIniFile;

/// The compile options of the "File Formats" dialog, tab "Compiler" (settings section
/// fileformats), and the call values derived from them. Each format is its list's item index.
class TCompileOptions {
public:
    /// Items of "No Errors:"; "On Error:" has 0 No and 1 As above.
    enum TNoErrors { neNo, ne1Sec, ne2Secs, ne3Secs, ne4Secs, ne5Secs, ne10Secs, ne15Secs, neHoldUp };

    static const QStringList &DebugFormatItems();    /// "None", "Standard .COD", ...
    static const QStringList &ListFormatItems();
    static const QStringList &ObjectFormatItems();
    static const QStringList &ErrorFormatItems();
    static const QStringList &NoErrorsItems();       /// "No", "1 Sec", ..., "Hold Up"
    static const QStringList &OnErrorItems();        /// "No", "As above"

    int debugFormat = 4;        /// debug: 0 None .. 4 COFF
    int listFormat = 0;         /// list
    int objectFormat = 0;       /// object
    int errorFormat = 1;        /// error: 0 Original, 1 Standard, 2 Multi-Lines
    bool allErrors = false;     /// allerrors, only with Multi-Lines
    bool allWarnings = false;   /// allwarnings, only with Multi-Lines
    bool keepTre = true;        /// tre
    bool keepSta = true;        /// sta
    bool keepScratch = false;   /// scratch
    int noErrors = ne3Secs;     /// stayupne
    int onError = 0;            /// stayupoe
    bool forceCoff = true;      /// forcecoff: while set, the debug format reads as COFF

    /// Reads every key: forcecoff first; a missing (or -1) stayupne gives "3 Secs" and "No",
    /// turned into "Hold Up" by the old key stayup when it is true. Values outside their lists
    /// keep their defaults.
    void Read(const TIniFile &ini);
    /// Writes every key, with forcecoff = false; false when the file cannot be written.
    bool Write(TIniFile &ini);

    /// Choosing an error format: Multi-Lines checks both "Show" boxes when neither is checked;
    /// any other format clears them.
    void SetErrorFormat(int index);
    /// The two "Show" boxes are enabled only with Multi-Lines.
    bool ShowBoxesEnabled() const { return errorFormat == 2; }

    quint16 get_debug_format() const { return quint16(debugFormat); }
    quint16 get_list_format() const { return quint16(listFormat); }
    quint16 get_object_format() const { return quint16(objectFormat); }
    /// 0 or 1 for Original and Standard; for Multi-Lines 0x8000 with "Show All errors" plus
    /// 0x4000 with "Show Warnings".
    quint16 get_error_format() const;
    static QString get_object_ext() { return QStringLiteral("HEX"); }
    static QString get_list_ext() { return QStringLiteral("LST"); }

    /// The compile window value: 0x80 hold, 0x20 timed (seconds in the high byte), 0x40 show
    /// on error.
    quint16 HoldFlags() const;
    /// Options word: 1 keep call tree, 2 keep statistics, 8 keep scratch files, 0x40 when
    /// `inCircuitDebugger`.
    quint16 OptionsWord(bool inCircuitDebugger) const;
};

}  // namespace kiv
