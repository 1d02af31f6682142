#include "compilertable.h"

#include <QFileInfo>

namespace kiv {

const std::array<TCompilerEdition, 6> CompilerTable = {{
    {"QEL", "Microchip 12 bit"},
    {"QOR", "Microchip 14 bit"},
    {"QAN", "Microchip PIC18"},
    {"NIV", "Maxim UC"},
    {"MAZ", "Scenix SX"},
    {"QIRVA", "Microchip dsPIC"},
}};

QString CompilerLibraryPath(const QString &dllDir, const QString &code)
{
    return dllDir + code + QStringLiteral(".so");
}

bool CompilerInstalled(const QString &dllDir, const QString &code)
{
    return QFileInfo(CompilerLibraryPath(dllDir, code)).isFile();
}

void TInstalledCompilers::Build(const QString &dllDir)
{
    m_codes.clear();
    m_names.clear();
    for (const TCompilerEdition &edition : CompilerTable) {
        const QString code = QString::fromLatin1(edition.code);
        if (CompilerInstalled(dllDir, code)) {
            m_codes << code;
            m_names << QString::fromLatin1(edition.name);
        }
    }
    m_selected = Count() >= 2 ? 1 : Count() == 1 ? 0 : -1;
}

int TInstalledCompilers::IndexOfCode(const QString &code) const
{
    return m_codes.indexOf(code);
}

int TInstalledCompilers::IndexContaining(const QString &fragment) const
{
    for (int n = 0; n < m_codes.size(); ++n) {
        if (m_codes[n].contains(fragment))
            return n;
    }
    return -1;
}

bool TInstalledCompilers::Select(int index)
{
    if (index < 0 || index >= Count())
        return false;
    m_selected = index;
    return true;
}

}  // namespace kiv
