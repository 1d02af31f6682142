#pragma once

// The global defines: up to nine identifier/value pairs passed to every compile while enabled,
// kept in the settings file's section "defines" and in ".def" files of "#define" lines.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace kiv {

class TIniFile;

/// Rows of the "Global Defines" grid.
constexpr int kGlobalDefineRows = 9;

/// Removes all spaces; an empty result becomes "space"; a result that does not begin with a
/// letter or "_" gets "_" in front ("9 lives" -> "_9lives").
QString CleanIdentifier(const QString &text);

struct TGlobalDefine {
    QString identifier;
    QString value;
    bool operator==(const TGlobalDefine &other) const = default;
};

class TGlobalDefines {
public:
    TGlobalDefines();

    /// Rows 1 .. 9 at indexes 0 .. 8.
    const QList<TGlobalDefine> &Rows() const { return m_rows; }
    void SetRow(int index, const QString &identifier, const QString &value);
    /// "Clear": empties every row.
    void Clear();

    /// Fills rows 1, 2, ... from "D1"/"V1", "D2"/"V2", ... of section "defines", up to the
    /// first empty identifier; the other rows are emptied.
    void LoadFromSettings(const TIniFile &ini);
    /// OK: writes the rows with an identifier, cleaned, as "D1"/"V1", ... in order, then an
    /// empty "Dn"/"Vn" after the last one when fewer than nine were written. False when the file
    /// cannot be written.
    bool SaveToSettings(TIniFile &ini) const;

    /// "Load": each line beginning with "#define " fills the next row (identifier up to the
    /// first space after it, value the rest); rows after the last filled one are emptied.
    void LoadDefineLines(const QStringList &lines);
    /// "Save": "#define " + cleaned identifier + " " + value per row with an identifier, CR LF.
    QByteArray DefineFileText() const;

    /// The "Enabled" check box (not saved).
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool on) { m_enabled = on; }

    /// For the compiler: empty when not enabled; otherwise cleaned identifier + "=" + value + tab
    /// for each row with an identifier. A tab inside a value would split the define, so it
    /// becomes a space.
    QString GlobalDefinesText() const;

private:
    QList<TGlobalDefine> m_rows;
    bool m_enabled = false;
};

}  // namespace kiv
