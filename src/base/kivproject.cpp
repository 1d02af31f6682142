#include "kivproject.h"

#include "kivini.h"
#include "pc_dirs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace kiv {

namespace {

const QString kTargetData = QStringLiteral("Target Data");
const QString kOpenedFiles = QStringLiteral("Opened Files");
const QString kDirectories = QStringLiteral("Directories");
const QString kProject = QStringLiteral("PROJECT");

// The folder of a path, ending with "/".
QString FolderOf(const QString &path)
{
    QString folder = QFileInfo(path).absolutePath();
    if (!folder.endsWith('/'))
        folder += '/';
    return folder;
}

// A name as the project file gives it: relative names belong to the project's folder.
QString Resolve(const QString &folder, const QString &name)
{
    if (QDir::isAbsolutePath(name))
        return name;
    return QDir::cleanPath(folder + name);
}

// One line of an 8-bit text file: UTF-8 when it is valid UTF-8, else Latin-1.
QString DecodeLine(QByteArray bytes)
{
    while (bytes.endsWith('\n') || bytes.endsWith('\r'))
        bytes.chop(1);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    return text;
}

bool IsBlank(const QString &line)
{
    for (QChar c : line) {
        if (c != ' ' && c != '\t')
            return false;
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TCurrentProject

TCurrentProject TCurrentProject::FromMainFile(const QString &mainFile)
{
    TCurrentProject project;
    if (mainFile.isEmpty())
        return project;
    const QFileInfo info(mainFile);
    project.m_folder = FolderOf(mainFile);
    const QString fileName = info.fileName();
    const qsizetype dot = fileName.lastIndexOf('.');
    if (dot > 0) {
        project.m_name = fileName.left(dot);
        project.m_extension = fileName.mid(dot);
    } else {
        project.m_name = fileName;
    }
    return project;
}

QString TCurrentProject::Base() const
{
    return IsEmpty() ? QString() : m_folder + m_name;
}

QString TCurrentProject::MainFile() const
{
    return IsEmpty() ? QString() : m_folder + m_name + m_extension;
}

QString TCurrentProject::ProjectFile() const
{
    return OutputFile(QStringLiteral(".pjt"));
}

QString TCurrentProject::OutputFile(const QString &extension) const
{
    return IsEmpty() ? QString() : m_folder + m_name + extension;
}

const QStringList &TCurrentProject::OutputExtensions()
{
    static const QStringList extensions{".lst", ".sym", ".tre", ".sta", ".hex",
                                        ".err", ".cof", ".cod", ".$$$"};
    return extensions;
}

// ---------------------------------------------------------------------------------------------
// Editions and families

QString EditionForOptionString(const QString &optionString)
{
    const qsizetype at = optionString.indexOf(QLatin1String("+F"));
    if (at < 0 || at + 2 >= optionString.size())
        return {};
    switch (optionString.at(at + 2).unicode()) {
    case 'A': return QStringLiteral("DOLT");
    case 'B': return QStringLiteral("QEL");
    case 'C':
    case 'S': return QStringLiteral("MAZ");
    case 'G': return QStringLiteral("QUT");
    case 'H': return QStringLiteral("QAN");
    case 'M': return QStringLiteral("QOR");
    default: return {};
    }
}

QString FamilyOption(int kind)
{
    static const char *const options[] = {"+FB", "+FM", "+FU", "+FH", "+FS", "+FA"};
    if (kind < 0 || kind >= int(std::size(options)))
        return {};
    return QString::fromLatin1(options[kind]);
}

// ---------------------------------------------------------------------------------------------
// TProjectFile

TProjectFile::TProjectFile(QString path)
    : m_path(std::move(path))
{
}

bool TProjectFile::Exists() const
{
    return !m_path.isEmpty() && QFileInfo(m_path).isFile();
}

QString TProjectFile::Folder() const
{
    return FolderOf(m_path);
}

QString TProjectFile::MainFile() const
{
    const TIniFile ini(m_path);
    QString list = ini.ReadString(kTargetData, QStringLiteral("FileList"),
                                  QStringLiteral("noname.c"));
    const qsizetype semicolon = list.indexOf(';');
    if (semicolon >= 0)
        list.truncate(semicolon);
    list = list.trimmed();
    if (list.isEmpty())
        return {};
    return Resolve(Folder(), list);
}

QString TProjectFile::OptionString() const
{
    return TIniFile(m_path).ReadString(kTargetData, QStringLiteral("OptionString"));
}

QString TProjectFile::Edition() const
{
    const QString options = OptionString();
    return options.isEmpty() ? QString() : EditionForOptionString(options);
}

QStringList TProjectFile::OpenedFiles() const
{
    QStringList files;
    if (!Exists())
        return files;
    const TIniFile ini(m_path);
    const QString folder = Folder();
    // The keys are read in number order whatever their order in the file.
    for (int n = 1;; ++n) {
        const QString path = ini.ReadString(kOpenedFiles, QString::number(n)).trimmed();
        if (path.isEmpty())
            break;
        if (path.endsWith(QLatin1String(".pjt"), Qt::CaseInsensitive))
            continue;
        files << Resolve(folder, path);
    }
    return files;
}

bool TProjectFile::RecordOpenFiles(const QStringList &paths)
{
    if (!Exists())
        return false;
    // Files inside the project's folder are recorded relative to it, so a copied or moved
    // project opens its own files, not the ones it was copied from.
    const QString folder = Folder();
    QStringList files;
    for (const QString &path : paths) {
        if (path.isEmpty())
            continue;
        const QString clean = QDir::cleanPath(path);
        files << (clean.startsWith(folder) ? clean.mid(folder.size()) : path);
    }
    if (files.isEmpty())
        return false;
    TIniFile ini(m_path);
    TIniFile::Batch batch(ini);
    // Keys of an earlier, longer list would otherwise stay behind the closing empty key.
    batch.EraseSection(kOpenedFiles);
    for (int n = 0; n < files.size(); ++n)
        batch.WriteString(kOpenedFiles, QString::number(n + 1), files[n]);
    batch.WriteString(kOpenedFiles, QString::number(files.size() + 1), QString());
    return batch.Commit();
}

QString TProjectFile::Includes() const
{
    return TIniFile(m_path).ReadString(kDirectories, QStringLiteral("Include"));
}

bool TProjectFile::WriteIncludes(const QString &includes)
{
    TIniFile ini(m_path);
    return ini.WriteString(kDirectories, QStringLiteral("Include"), includes);
}

int TProjectFile::Processor(int def) const
{
    return TIniFile(m_path).ReadInteger(kProject, QStringLiteral("Processor"), def);
}

bool TProjectFile::WriteProcessor(quint16 id)
{
    TIniFile ini(m_path);
    return ini.WriteString(kProject, QStringLiteral("Processor"),
                           QStringLiteral("0x") + QStringLiteral("%1").arg(id, 4, 16, QChar('0')).toUpper());
}

bool LooksLikeTextFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QByteArray head = file.read(64 * 1024);
    for (const char c : head) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r' && byte != '\f' && byte != 0x1A)
            return false;
    }
    return true;
}

QString ProjectOpenProblem(const QString &projectFile)
{
    const QFileInfo info(projectFile);
    if (projectFile.isEmpty() || !info.exists())
        return QStringLiteral("The project file ") + projectFile + QStringLiteral(" does not exist.");
    if (info.isDir())
        return projectFile + QStringLiteral(" is a folder, not a project file.");
    QString error;
    if (!LooksLikeTextFile(projectFile, &error)) {
        if (!error.isEmpty())
            return QStringLiteral("The project file ") + projectFile
                   + QStringLiteral(" cannot be read: ") + error + '.';
        return projectFile + QStringLiteral(" is not a project file: it holds binary data, not text.");
    }
    const TProjectFile project(projectFile);
    const QString mainFile = project.MainFile();
    if (mainFile.isEmpty())
        return QStringLiteral("The project file ") + projectFile
               + QStringLiteral(" names no main file: its [Target Data] FileList is empty.");
    const QFileInfo main(mainFile);
    if (!main.exists())
        return QStringLiteral("The main file ") + mainFile + QStringLiteral(" of the project ")
               + projectFile + QStringLiteral(" does not exist.");
    if (main.isDir())
        return QStringLiteral("The main file ") + mainFile + QStringLiteral(" of the project ")
               + projectFile + QStringLiteral(" is a folder, not a file.");
    return {};
}

int ProjectProcessorNumber(const QString &projectFile)
{
    const TProjectFile file(projectFile);
    if (!file.Exists())
        return 21829;
    return file.Processor(0);
}

// ---------------------------------------------------------------------------------------------
// Symbol file blocks

QStringList SymFileBlock(const QString &symFile, const QString &header, bool prefixMatch)
{
    QStringList block;
    QFile file(symFile);
    if (!file.open(QIODevice::ReadOnly))
        return block;
    bool inBlock = false;
    while (!file.atEnd()) {
        const QString line = DecodeLine(file.readLine());
        if (!inBlock) {
            inBlock = prefixMatch ? line.startsWith(header) : line == header;
            continue;
        }
        if (IsBlank(line))
            break;
        block << line;
    }
    return block;
}

QStringList ProjectFileList(const QString &symFile)
{
    QStringList files;
    const QString folder = FolderOf(symFile);
    for (const QString &line : SymFileBlock(symFile, QStringLiteral("Project Files:"))) {
        qsizetype start = 0;
        while (start < line.size() && line.at(start) == ' ')
            ++start;
        files << Resolve(folder, line.mid(start));
    }
    return files;
}

// ---------------------------------------------------------------------------------------------
// Include lists

QStringList SplitIncludeList(const QString &list)
{
    QStringList entries;
    for (const QString &piece : list.split(';')) {
        if (!piece.isEmpty())
            entries << piece;
    }
    return entries;
}

QString JoinIncludeList(const QStringList &entries)
{
    QString list;
    for (const QString &entry : entries)
        list += entry + ';';
    return list;
}

// ---------------------------------------------------------------------------------------------
// Template engine

QString ExpandTemplateLine(const QString &line, const TTemplateValues &values)
{
    QString out;
    out.reserve(line.size());
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c != '%') {
            out += c;
            continue;
        }
        if (++i >= line.size())
            break;
        switch (line.at(i).unicode()) {
        case 'F': out += values.fileName; break;
        case 'E': out += values.extension; break;
        case 'S':
            out += values.fileName;
            if (!values.extension.isEmpty())
                out += '.' + values.extension;
            break;
        case 'I': out += values.includes; break;
        case 'O': out += FamilyOption(values.kind); break;
        case 'P': out += QStringLiteral("%1").arg(values.processor, 4, 16, QChar('0')).toUpper(); break;
        default: break;
        }
    }
    return out;
}

TTemplateResult WriteFromTemplate(const QString &templatePath, const QString &target,
                                  const TTemplateValues &values)
{
    if (QFileInfo::exists(target) || QFileInfo(target).isSymLink())
        return trKept;
    bool readable = false;
    const QStringList lines = ReadTextLines(templatePath, &readable);
    QByteArray data;
    if (readable) {
        for (const QString &line : lines)
            data += ExpandTemplateLine(line, values).toUtf8() + "\r\n";
    }
    // Opening with NewOnly fails on a file that appeared meanwhile, so nothing is ever replaced.
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return QFileInfo::exists(target) ? trKept : trFailed;
    const bool written = file.write(data) == data.size() && file.flush();
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        file.remove();
        return trFailed;
    }
    return readable ? trWritten : trEmpty;
}

void SplitMainFileName(const QString &mainFile, QString *base, QString *extension)
{
    const qsizetype slash = mainFile.lastIndexOf('/');
    const qsizetype dot = mainFile.lastIndexOf('.');
    if (dot > slash + 1) {
        *base = mainFile.left(dot);
        *extension = mainFile.mid(dot + 1);
    } else {
        *base = mainFile;
        extension->clear();
    }
}

namespace {

TTemplateResult CreateFromInstalledTemplate(const QString &templateName, const QString &suffix,
                                            const QString &base, const QString &extension,
                                            quint16 processor, const QString &includes, int kind)
{
    TTemplateValues values;
    values.fileName = QFileInfo(base).fileName();
    values.extension = extension;
    values.includes = includes;
    values.kind = kind;
    values.processor = processor;
    return WriteFromTemplate(CompilerDir() + templateName, base + suffix, values);
}

}  // namespace

TTemplateResult CreateProjectFile(const QString &base, const QString &extension, quint16 processor,
                                  const QString &includes, int kind)
{
    return CreateFromInstalledTemplate(QStringLiteral("DEFAULT.PJT"), QStringLiteral(".pjt"), base,
                                       extension, processor, includes, kind);
}

TTemplateResult CreateMplabProjectFile(const QString &base, const QString &extension,
                                       quint16 processor, const QString &includes, int kind)
{
    return CreateFromInstalledTemplate(QStringLiteral("DEFAULT.MCP"), QStringLiteral(".mcp"), base,
                                       extension, processor, includes, kind);
}

// ---------------------------------------------------------------------------------------------
// Starter file

QString StarterInclude(const QString &deviceName)
{
    QString header = deviceName;
    if (header.startsWith(QLatin1String("PIC"), Qt::CaseInsensitive))
        header.remove(0, 3);
    return QStringLiteral("#include <") + header + QStringLiteral(".h>");
}

QByteArray StarterFileText(const QString &deviceName)
{
    const QStringList lines{StarterInclude(deviceName), QString(), QStringLiteral("void main() {"),
                            QString(), QStringLiteral("}")};
    QByteArray text;
    for (const QString &line : lines)
        text += line.toUtf8() + "\r\n";
    return text;
}

}  // namespace kiv
