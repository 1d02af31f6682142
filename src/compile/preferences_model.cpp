#include "preferences_model.h"

#include "compiler_abi.h"
#include "kivini.h"

namespace kiv {

namespace {

const QString kSection = QStringLiteral("fileformats");

constexpr int kNoErrorsSeconds[] = {0, 1, 2, 3, 4, 5, 10, 15};

int ReadIndex(const TIniFile &ini, const QString &key, int def, int count)
{
    const int value = ini.ReadInteger(kSection, key, def);
    return value >= 0 && value < count ? value : def;
}

}  // namespace

const QStringList &TCompileOptions::DebugFormatItems()
{
    static const QStringList items = {"None", "Standard .COD", "ATD .MAP", "Expanded .COD", "COFF"};
    return items;
}

const QStringList &TCompileOptions::ListFormatItems()
{
    static const QStringList items = {"VYN", "Microchip", "Old Microchip", "Symbolic"};
    return items;
}

const QStringList &TCompileOptions::ObjectFormatItems()
{
    static const QStringList items = {"8 Bit HEX", "16 Bit HEX", "Binary"};
    return items;
}

const QStringList &TCompileOptions::ErrorFormatItems()
{
    static const QStringList items = {"Original", "Standard", "Multi-Lines"};
    return items;
}

const QStringList &TCompileOptions::NoErrorsItems()
{
    static const QStringList items = {"No",     "1 Sec",   "2 Secs",  "3 Secs", "4 Secs",
                                      "5 Secs", "10 Secs", "15 Secs", "Hold Up"};
    return items;
}

const QStringList &TCompileOptions::OnErrorItems()
{
    static const QStringList items = {"No", "As above"};
    return items;
}

void TCompileOptions::Read(const TIniFile &ini)
{
    *this = TCompileOptions();
    // forcecoff comes first: while it is set the stored debug format does not count.
    forceCoff = ini.ReadBool(kSection, "forcecoff", true);
    debugFormat = forceCoff ? int(dfCoff)
                            : ReadIndex(ini, "debug", 4, int(DebugFormatItems().size()));
    listFormat = ReadIndex(ini, "list", 0, int(ListFormatItems().size()));
    objectFormat = ReadIndex(ini, "object", 0, int(ObjectFormatItems().size()));
    errorFormat = ReadIndex(ini, "error", 1, int(ErrorFormatItems().size()));
    allErrors = ini.ReadBool(kSection, "allerrors", false);
    allWarnings = ini.ReadBool(kSection, "allwarnings", false);
    keepTre = ini.ReadBool(kSection, "tre", true);
    keepSta = ini.ReadBool(kSection, "sta", true);
    keepScratch = ini.ReadBool(kSection, "scratch", false);

    const int stored = ini.ReadInteger(kSection, "stayupne", -1);
    if (stored == -1) {
        noErrors = ini.ReadBool(kSection, "stayup", false) ? neHoldUp : ne3Secs;
        onError = 0;
    } else {
        noErrors = stored >= 0 && stored < NoErrorsItems().size() ? stored : ne3Secs;
        onError = ReadIndex(ini, "stayupoe", 0, int(OnErrorItems().size()));
    }
}

bool TCompileOptions::Write(TIniFile &ini)
{
    forceCoff = false;
    TIniFile::Batch batch(ini);
    batch.WriteInteger(kSection, "debug", debugFormat);
    batch.WriteInteger(kSection, "list", listFormat);
    batch.WriteInteger(kSection, "object", objectFormat);
    batch.WriteInteger(kSection, "error", errorFormat);
    batch.WriteBool(kSection, "allerrors", allErrors);
    batch.WriteBool(kSection, "allwarnings", allWarnings);
    batch.WriteBool(kSection, "tre", keepTre);
    batch.WriteBool(kSection, "sta", keepSta);
    batch.WriteBool(kSection, "scratch", keepScratch);
    batch.WriteInteger(kSection, "stayupne", noErrors);
    batch.WriteInteger(kSection, "stayupoe", onError);
    batch.WriteBool(kSection, "forcecoff", false);
    return batch.Commit();
}

void TCompileOptions::SetErrorFormat(int index)
{
    errorFormat = index;
    if (index == 2) {
        if (!allErrors && !allWarnings)
            allErrors = allWarnings = true;
    } else {
        allErrors = allWarnings = false;
    }
}

quint16 TCompileOptions::get_error_format() const
{
    if (errorFormat != 2)
        return quint16(errorFormat);
    return quint16((allErrors ? std::uint32_t(efAllErrors) : 0u) | (allWarnings ? std::uint32_t(efWarnings) : 0u));
}

quint16 TCompileOptions::HoldFlags() const
{
    quint16 flags = 0;
    if (noErrors == neHoldUp)
        flags = 0x80;
    else if (noErrors > neNo && noErrors < neHoldUp)
        flags = quint16(kNoErrorsSeconds[noErrors] * 256 + 0xA0);
    if (onError == 1)
        flags |= 0x40;
    return flags;
}

quint16 TCompileOptions::OptionsWord(bool inCircuitDebugger) const
{
    quint16 word = 0;
    if (keepTre)
        word |= coKeepCallTree;
    if (keepSta)
        word |= coKeepStatistics;
    if (keepScratch)
        word |= coKeepScratch;
    if (inCircuitDebugger)
        word |= coInCircuitDebugger;
    return word;
}

}  // namespace kiv
