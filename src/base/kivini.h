#pragma once

#include <QString>
#include <QStringList>

namespace kiv {

/// The settings file conventions: sections and keys compared without regard to case,
/// integers in decimal, booleans "1"/"0" (any other integer reads as true), strings as they
/// are. Every call looks at the file by path, so the last writer of a key wins; a file is read
/// and parsed once and the parse reused while the file's size, time stamp and identity stay
/// the same, so reads cost little whatever the file's size. A file that is not text (it holds
/// NUL bytes) reads as empty. A write replaces the file atomically, so a crash or a full disk
/// never leaves it truncated.
class TIniFile {
public:
    explicit TIniFile(QString path);

    const QString &FileName() const { return m_path; }

    QString ReadString(const QString &section, const QString &key, const QString &def = {}) const;
    int ReadInteger(const QString &section, const QString &key, int def) const;
    bool ReadBool(const QString &section, const QString &key, bool def) const;
    bool ValueExists(const QString &section, const QString &key) const;
    bool SectionExists(const QString &section) const;
    QStringList ReadSection(const QString &section) const;   /// the key names, in file order
    QStringList ReadSections() const;
    /// False when the file exists but holds binary data instead of lines (it reads as empty, and
    /// the first write replaces it).
    bool IsTextFile() const;
    /// How many times any file was read and parsed so far in this process.
    static int FileParses();

    /// Each write returns false (and leaves the file as it was) when the file cannot be written.
    bool WriteString(const QString &section, const QString &key, const QString &value);
    bool WriteInteger(const QString &section, const QString &key, int value);
    bool WriteBool(const QString &section, const QString &key, bool value);
    bool EraseSection(const QString &section);
    bool DeleteKey(const QString &section, const QString &key);

    /// Several writes with one read and one replace of the file.
    class Batch;

private:
    QString m_path;
};

/// Collects writes and applies them to the file in one replace when `Commit` is called (or when
/// the batch goes out of scope).
class TIniFile::Batch {
public:
    explicit Batch(TIniFile &file);
    ~Batch();
    Batch(const Batch &) = delete;
    Batch &operator=(const Batch &) = delete;

    void WriteString(const QString &section, const QString &key, const QString &value);
    void WriteInteger(const QString &section, const QString &key, int value);
    void WriteBool(const QString &section, const QString &key, bool value);
    void EraseSection(const QString &section);
    bool Commit();

private:
    TIniFile &m_file;
    QStringList m_lines;
    bool m_dirty = false;
};

/// Reads a whole text file as lines; a file that is valid UTF-8 is read as UTF-8, any other as
/// Latin-1. Either line end is accepted.
QStringList ReadTextLines(const QString &path, bool *ok = nullptr);

}  // namespace kiv
