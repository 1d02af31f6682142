#pragma once

#include <QString>
#include <QStringList>

#include <array>

namespace kiv {

/// One compiler edition: its code (at most 5 characters; the library is DllDir + code + ".so")
/// and its display name (at most 25 characters).
struct TCompilerEdition {
    const char *code;
    const char *name;
};

/// The built-in compiler editions, in the order the selection box lists them.
extern const std::array<TCompilerEdition, 6> CompilerTable;

/// Full path of edition `code`'s library in `dllDir` (which ends with "/").
QString CompilerLibraryPath(const QString &dllDir, const QString &code);

/// True when edition `code`'s library exists in `dllDir`.
bool CompilerInstalled(const QString &dllDir, const QString &code);

/// The installed editions (those whose library is present), in table order, and the selected one.
/// This is the model behind the compiler selection box `compilertype`.
class TInstalledCompilers {
public:
    /// Lists the editions installed in `dllDir` and pre-selects entry 1 when there are at least
    /// two, entry 0 when there is one, nothing when there is none.
    void Build(const QString &dllDir);

    int Count() const { return int(m_codes.size()); }
    const QStringList &Names() const { return m_names; }
    const QStringList &Codes() const { return m_codes; }
    QString Code(int index) const { return m_codes.value(index); }
    QString Name(int index) const { return m_names.value(index); }
    /// The entry of edition `code`, -1 when it is not installed.
    int IndexOfCode(const QString &code) const;
    /// The first entry whose code contains `fragment`, -1 when none does.
    int IndexContaining(const QString &fragment) const;

    /// The selected entry, -1 when nothing is installed.
    int Selected() const { return m_selected; }
    /// Selects `index`; an index outside the list changes nothing and returns false.
    bool Select(int index);
    /// Code and name of the selected entry, empty without one.
    QString SelectedCode() const { return Code(m_selected); }
    QString SelectedName() const { return Name(m_selected); }

private:
    QStringList m_codes;
    QStringList m_names;
    int m_selected = -1;
};

}  // namespace kiv
