#pragma once

#include <QString>
#include <QStringList>

namespace kiv {

/// The current project: the folder, name and extension of the project's main file. Every file
/// of the project is derived from them: the project file is base + ".pjt", the compiler's output
/// files are base + ".lst", ".sym" and so on, where base = folder + name. All parts are empty
/// when there is no project, and so is every derived path.
class TCurrentProject {
public:
    TCurrentProject() = default;

    /// Splits a main file path. The name is the file name without its extension, whatever the
    /// extension is (main.c -> main, blink.asm -> blink, main.h -> main), so that base +
    /// extension is always the main file itself. A file name without a "." (or whose only "." is
    /// its first character) has an empty extension. An empty path gives the empty project.
    static TCurrentProject FromMainFile(const QString &mainFile);

    bool IsEmpty() const { return m_name.isEmpty() && m_extension.isEmpty(); }

    const QString &Folder() const { return m_folder; }        /// ends with "/"
    const QString &Name() const { return m_name; }            /// shown in status bar panel 3
    const QString &Extension() const { return m_extension; }  /// with its dot (".c"), or empty

    QString Base() const;          /// folder + name
    QString MainFile() const;      /// folder + name + extension
    QString ProjectFile() const;   /// base + ".pjt"
    /// base + `extension` (given with its dot: ".sym", ".hex" ...); empty without a project.
    QString OutputFile(const QString &extension) const;

    /// The extensions of the compiler's output files, in the order the compiler writes them.
    static const QStringList &OutputExtensions();

    bool operator==(const TCurrentProject &other) const = default;

private:
    QString m_folder;
    QString m_name;
    QString m_extension;
};

/// The edition code selected by a project's OptionString: the letter after its first "+F"
/// (A DOLT, B QEL, C and S MAZ, G QUT, H QAN, M QOR). Empty when there is no "+F" or the letter
/// is not one of these.
QString EditionForOptionString(const QString &optionString);

/// The compiler option naming a device family in a project file: kind 0 "+FB", 1 "+FM",
/// 2 "+FU", 3 "+FH", 4 "+FS", 5 "+FA"; empty for any other kind.
QString FamilyOption(int kind);

/// The project file (".pjt"): an INI-style file read and written with the settings file
/// conventions. Only the keys below are the system's; every other section and key comes from the
/// project template and is left as it is.
class TProjectFile {
public:
    explicit TProjectFile(QString path);

    const QString &Path() const { return m_path; }
    bool Exists() const;
    /// The project file's folder, ending with "/".
    QString Folder() const;

    /// Target Data FileList: the first of its ";"-separated names (default "noname.c"). A
    /// relative name is taken from the project file's folder; an absolute one is used as it is.
    QString MainFile() const;
    /// Target Data OptionString, as stored.
    QString OptionString() const;
    /// The edition the OptionString selects (EditionForOptionString), empty for none.
    QString Edition() const;

    /// "Opened Files" 1, 2, ... up to the first empty or missing value. Relative paths are taken
    /// from the project file's folder; a project file among them is left out, since opening it
    /// would open this project again.
    QStringList OpenedFiles() const;
    /// Replaces "Opened Files" with `paths` as keys 1 .. N followed by key N + 1 with an empty
    /// value. A file inside the project file's folder is written relative to it, any other as
    /// given. Pages that show no file are left out. Does nothing (and returns false) when the
    /// project file does not exist or `paths` names no file.
    bool RecordOpenFiles(const QStringList &paths);

    /// Directories Include, as stored (folders each followed by ";").
    QString Includes() const;
    bool WriteIncludes(const QString &includes);

    /// PROJECT Processor as a number: "0x" + hexadecimal digits, or decimal; `def` when the key
    /// is missing or unreadable.
    int Processor(int def = 0) const;
    /// PROJECT Processor = "0x" + 4 upper-case hexadecimal digits of `id`.
    bool WriteProcessor(quint16 id);

private:
    QString m_path;
};

/// What keeps `projectFile` from being opened as a project, as a message that names the file:
/// the file is missing, a folder, unreadable or not text, its FileList names no main file, or
/// the main file is missing or a folder. Empty when the project can be opened.
QString ProjectOpenProblem(const QString &projectFile);

/// True when the first 64 KB of `path` hold text: no NUL and no control character other than
/// tab, line ends, form feed and the end-of-file mark. `error` receives the reason a file
/// cannot be read (and false is returned).
bool LooksLikeTextFile(const QString &path, QString *error = nullptr);

/// The processor number other windows use for a project: PROJECT Processor of `projectFile`, 0
/// when the key is missing, 21829 when the project file does not exist.
int ProjectProcessorNumber(const QString &projectFile);

/// The lines of a block of the compiler's symbol file: the lines after the first line that is
/// `header` (or, with `prefixMatch`, starts with `header`), up to the first empty line (a line of
/// spaces counts as empty) or the end of the file, as they are written. Empty when the file cannot
/// be read or has no such line. The file is read line by line, so a large file costs no memory.
QStringList SymFileBlock(const QString &symFile, const QString &header, bool prefixMatch = false);

/// The "Project Files:" block of the symbol file: one path per line with its leading spaces
/// removed. Relative paths are taken from the symbol file's folder.
QStringList ProjectFileList(const QString &symFile);

/// The global include list split at ";", empty pieces dropped.
QStringList SplitIncludeList(const QString &list);
/// The entries joined back, each followed by ";".
QString JoinIncludeList(const QStringList &entries);

/// What the template engine fills in.
struct TTemplateValues {
    QString fileName;     /// %F: main file name without folder and extension
    QString extension;    /// %E: main file extension without the dot
    QString includes;     /// %I: the include list chosen for the project
    int kind = 1;         /// %O: the device family (FamilyOption)
    quint16 processor = 0;/// %P: 4 upper-case hexadecimal digits
};

/// One template line with every "%" and the letter after it replaced: %F %E %S %I %O %P as
/// TTemplateValues says, any other letter by nothing; a "%" at the end of the line is dropped.
/// Replacement text is taken as it is and never scanned for markers again, so values that hold
/// a "%" (a folder named "100%") come through unchanged. Lines of any length.
QString ExpandTemplateLine(const QString &line, const TTemplateValues &values);

/// The outcome of writing a file from a template.
enum TTemplateResult {
    trWritten,      /// the file was written from the template
    trKept,         /// the file already existed and was left unchanged
    trEmpty,        /// the template could not be read: the file was created empty
    trFailed,       /// the file could not be written
};

/// Writes `target` from the template `templatePath`, line by line through ExpandTemplateLine,
/// with CR LF line ends. An existing `target` is never overwritten.
TTemplateResult WriteFromTemplate(const QString &templatePath, const QString &target,
                                  const TTemplateValues &values);

/// Splits a main file name at its last "." into base (before) and extension (after); a name
/// without a "." in its file name keeps an empty extension.
void SplitMainFileName(const QString &mainFile, QString *base, QString *extension);

/// Creates the project file base + ".pjt" from CompilerDir + "DEFAULT.PJT". `extension` is the
/// main file's extension without the dot; `kind` and `processor` come from the device record.
TTemplateResult CreateProjectFile(const QString &base, const QString &extension, quint16 processor,
                                  const QString &includes, int kind);
/// Creates base + ".mcp", the project of the MPLAB programmer launch, from CompilerDir +
/// "DEFAULT.MCP" with the same values.
TTemplateResult CreateMplabProjectFile(const QString &base, const QString &extension,
                                       quint16 processor, const QString &includes, int kind);

/// The include line of a new main file for `deviceName`: the device name without its "PIC"
/// prefix names the header ("PIC16C74" -> "#include <16C74.h>"); other names are used whole.
QString StarterInclude(const QString &deviceName);
/// The five-line starter file of a new main file, CR LF line ends.
QByteArray StarterFileText(const QString &deviceName);

}  // namespace kiv
