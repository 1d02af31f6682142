// The settings file as every window reads it: sections, keys, strings, integers and booleans,
// then a write that must read back as written and keep every other section.

#include "fuzz_target.h"
#include "kivini.h"

#include <QFile>

#include <cstdlib>

KIV_FUZZ_TARGET(settings)
{
    using namespace kiv;
    const QString path = QString::fromStdString(fuzz::WriteScratchFile("kiv.ini", data, size));
    TIniFile ini(path);
    const QStringList sections = ini.ReadSections();
    int keys = 0;
    // Every read opens the file again: a few sections and keys reach every path of the reader.
    for (const QString &section : sections.mid(0, 8)) {
        if (!ini.SectionExists(section))
            std::abort();   // a section ReadSections lists must exist
        for (const QString &key : ini.ReadSection(section).mid(0, 8)) {
            ++keys;
            if (!ini.ValueExists(section, key))
                std::abort();
            (void)ini.ReadString(section, key);
            (void)ini.ReadInteger(section, key, -1);
            (void)ini.ReadBool(section, key, false);
        }
    }

    // A value made of the file's first bytes, line breaks and all, must read back as one line.
    const QString value = QString::fromLatin1(reinterpret_cast<const char *>(data), qMin<qsizetype>(size, 40));
    QString expected = value;
    expected.replace('\r', ' ').replace('\n', ' ');
    if (ini.WriteString(QStringLiteral("FuzzCheck"), QStringLiteral("Value"), value)) {
        if (ini.ReadString(QStringLiteral("FuzzCheck"), QStringLiteral("Value")) != expected)
            std::abort();
        if (ini.ReadSections().size() < sections.size())
            std::abort();   // a write must not lose sections
        if (!ini.EraseSection(QStringLiteral("FuzzCheck")) || ini.SectionExists(QStringLiteral("FuzzCheck")))
            std::abort();
    }
    QFile::remove(path);
    return fuzz::Outcome(true, {}, std::to_string(sections.size()) + " sections, " + std::to_string(keys) + " keys read");
}
