#include "kivassoc.h"

#include "pc_dirs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include <iterator>
#include <optional>

namespace kiv {

const TKivFile g_KivFiles[9] = {
    {"PJT", "Project", 1, "application/x-kiv-project", true},
    {"C", "C Source File", 0, "text/x-csrc", false},
    {"H", "Header File", 0, "text/x-chdr", false},
    {"LST", "List", 0, "text/x-kiv-list", true},
    {"SYM", "Symbols", 0, "text/x-kiv-symbols", true},
    {"TRE", "Call Tree", 0, "text/x-kiv-call-tree", true},
    {"COF", "COFF", 0, "application/x-kiv-coff", true},
    {"COD", "Code", 0, "application/x-kiv-cod", true},
    {"HEX", "Target Hex", 0, "text/x-kiv-hex", true},
};

namespace {

// Icon files of the installation's "icons/" folder, by icon index.
const char *const kIconFiles[] = {nullptr, "kivproject.svg"};

const char kDefaultGroup[] = "Default Applications";
const char kEntryGroup[] = "Desktop Entry";

// Desktop entries, mimeapps.list files and MIME packages are small; anything larger is not one.
constexpr qint64 kMaxKeyFileSize = 8 * 1024 * 1024;
constexpr int kToolTimeoutMs = 60000;

QString Join(const QString &folder, const QString &name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

// An XDG folder variable: used when set to an absolute path, otherwise the default.
QString XdgFolder(const char *variable, const QString &fallback)
{
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return fallback;
}

QStringList XdgFolderList(const char *variable, const QStringList &fallback)
{
    QStringList folders;
    for (const QString &entry : qEnvironmentVariable(variable).split(':', Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(entry))
            folders << QDir::cleanPath(entry);
    }
    return folders.isEmpty() ? fallback : folders;
}

// A desktop-entry style key file (desktop entries, mimeapps.list) edited line by line, so that
// everything we do not change stays byte for byte as it was.
class TKeyFile {
public:
    // A missing file reads as empty. False when the file exists but cannot be read or is not
    // a text file.
    bool Load(const QString &path)
    {
        m_lines.clear();
        const QFileInfo info(path);
        if (!info.exists())
            return !info.isSymLink();
        if (!info.isFile() || info.size() > kMaxKeyFileSize)
            return false;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QByteArray data = file.readAll();
        if (data.contains('\0'))
            return false;
        m_lines = data.split('\n');
        if (!m_lines.isEmpty() && m_lines.last().isEmpty())
            m_lines.removeLast();
        return true;
    }

    QByteArray Data() const
    {
        QByteArray data;
        for (const QByteArray &line : m_lines)
            data += line + '\n';
        return data;
    }

    bool HasKey(const QString &group, const QString &key, Qt::CaseSensitivity keyCase) const
    {
        return FindKey(group, key, keyCase) >= 0;
    }

    QString Value(const QString &group, const QString &key, Qt::CaseSensitivity keyCase) const
    {
        const qsizetype at = FindKey(group, key, keyCase);
        if (at < 0)
            return {};
        QString value;
        SplitKey(m_lines[at], nullptr, &value);
        return value;
    }

    void SetValue(const QString &group, const QString &key, const QString &value,
                  Qt::CaseSensitivity keyCase)
    {
        QByteArray line = (key + '=' + value).toUtf8();
        const qsizetype at = FindKey(group, key, keyCase);
        if (at >= 0) {
            // The line keeps its own line end.
            m_lines[at] = m_lines[at].endsWith('\r') ? line + '\r' : line;
            return;
        }
        qsizetype end = 0;
        const qsizetype header = FindGroup(group, &end);
        if (header >= 0 && m_lines[header].endsWith('\r'))
            line += '\r';
        if (header < 0) {
            if (!m_lines.isEmpty() && !Text(m_lines.last()).trimmed().isEmpty())
                m_lines << QByteArray();
            m_lines << ('[' + group + ']').toUtf8() << line;
            return;
        }
        // After the group's last line that is not blank, so blank separators stay below.
        qsizetype insert = end;
        while (insert > header + 1 && Text(m_lines[insert - 1]).trimmed().isEmpty())
            --insert;
        m_lines.insert(insert, line);
    }

    void RemoveKey(const QString &group, const QString &key, Qt::CaseSensitivity keyCase)
    {
        const qsizetype at = FindKey(group, key, keyCase);
        if (at >= 0)
            m_lines.removeAt(at);
    }

private:
    static QString Text(const QByteArray &line)
    {
        QByteArray t = line;
        if (t.endsWith('\r'))
            t.chop(1);
        return QString::fromUtf8(t);
    }

    static bool IsGroupLine(const QByteArray &line, QString *name)
    {
        const QString t = Text(line).trimmed();
        if (!t.startsWith('[') || !t.endsWith(']'))
            return false;
        if (name)
            *name = t.mid(1, t.size() - 2);
        return true;
    }

    // "key=value" with blanks around "=" ignored; comments and blank lines have no key.
    static bool SplitKey(const QByteArray &line, QString *key, QString *value)
    {
        const QString t = Text(line);
        const qsizetype eq = t.indexOf('=');
        if (eq <= 0 || t.trimmed().startsWith('#'))
            return false;
        if (key)
            *key = t.left(eq).trimmed();
        if (value)
            *value = t.mid(eq + 1).trimmed();
        return true;
    }

    qsizetype FindGroup(const QString &group, qsizetype *end) const
    {
        QString name;
        for (qsizetype i = 0; i < m_lines.size(); ++i) {
            if (IsGroupLine(m_lines[i], &name) && name == group) {
                qsizetype j = i + 1;
                while (j < m_lines.size() && !IsGroupLine(m_lines[j], nullptr))
                    ++j;
                *end = j;
                return i;
            }
        }
        return -1;
    }

    qsizetype FindKey(const QString &group, const QString &key, Qt::CaseSensitivity keyCase) const
    {
        qsizetype end = 0;
        const qsizetype header = FindGroup(group, &end);
        if (header < 0)
            return -1;
        QString name;
        for (qsizetype i = header + 1; i < end; ++i) {
            if (SplitKey(m_lines[i], &name, nullptr) && name.compare(key, keyCase) == 0)
                return i;
        }
        return -1;
    }

    QList<QByteArray> m_lines;
};

// Desktop entry string values escape backslash and control characters.
QString EscapeValue(const QString &value)
{
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else if (c == ' ' && i == 0)
            out += "\\s";
        else
            out += c;
    }
    return out;
}

QString UnescapeValue(const QString &value)
{
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const QChar next = value[++i];
        if (next == 's')
            out += ' ';
        else if (next == 'n')
            out += '\n';
        else if (next == 't')
            out += '\t';
        else if (next == 'r')
            out += '\r';
        else if (next == '\\')
            out += '\\';
        else
            out += QString('\\') + next;
    }
    return out;
}

QStringList SplitList(const QString &value)
{
    QStringList items;
    for (const QString &item : value.split(';', Qt::SkipEmptyParts)) {
        if (!item.trimmed().isEmpty())
            items << item.trimmed();
    }
    return items;
}

QString JoinList(const QStringList &items)
{
    return items.join(';') + ';';
}

bool SameProgram(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QString ca = QFileInfo(a).canonicalFilePath();
    const QString cb = QFileInfo(b).canonicalFilePath();
    if (!ca.isEmpty() && !cb.isEmpty())
        return ca == cb;
    return QDir::cleanPath(a) == QDir::cleanPath(b);
}

// A file to write (`data`) or to delete (no data).
struct TFileChange {
    QString path;
    std::optional<QByteArray> data;
};

bool WriteWhole(const QString &path, const QByteArray &data)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// Applies the changes in order; when one fails, the ones already made are undone, so the
// files end as they all were before.
bool CommitChanges(const std::vector<TFileChange> &changes)
{
    struct TDone {
        QString path;
        std::optional<QByteArray> previous;
    };
    std::vector<TDone> done;
    bool ok = true;
    for (const TFileChange &change : changes) {
        const QFileInfo info(change.path);
        std::optional<QByteArray> previous;
        if (info.exists()) {
            QFile file(change.path);
            if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
                ok = false;
                break;
            }
            previous = file.readAll();
        }
        if (!change.data) {
            if (!previous)
                continue;
            if (!QFile::remove(change.path)) {
                ok = false;
                break;
            }
        } else {
            if (previous && *previous == *change.data)
                continue;
            if (!WriteWhole(change.path, *change.data)) {
                ok = false;
                break;
            }
        }
        done.push_back({change.path, previous});
    }
    if (ok)
        return true;
    for (auto it = done.rbegin(); it != done.rend(); ++it) {
        if (it->previous)
            WriteWhole(it->path, *it->previous);
        else
            QFile::remove(it->path);
    }
    return false;
}

// Sets or clears `id` in the default list of `mimeType` in the mimeapps.list `path` and adds
// the result to `changes` when the file changes. False when the file cannot be read.
bool EditDefaults(const QString &path, const QString &mimeType, const QString &id, bool makeDefault,
                  std::vector<TFileChange> &changes)
{
    TKeyFile file;
    if (!file.Load(path))
        return false;
    const QByteArray before = file.Data();
    QStringList ids = SplitList(file.Value(kDefaultGroup, mimeType, Qt::CaseInsensitive));
    ids.removeAll(id);
    if (makeDefault) {
        // The programs that were the default stay behind ours, so removing ours restores them.
        ids.prepend(id);
        file.SetValue(kDefaultGroup, mimeType, JoinList(ids), Qt::CaseInsensitive);
    } else if (ids.isEmpty()) {
        file.RemoveKey(kDefaultGroup, mimeType, Qt::CaseInsensitive);
    } else {
        file.SetValue(kDefaultGroup, mimeType, JoinList(ids), Qt::CaseInsensitive);
    }
    if (file.Data() != before)
        changes.push_back({path, file.Data()});
    return true;
}

// The desktop file for `id` below `folder`: "a-b.desktop" is "a-b.desktop" or "a/b.desktop".
QString ResolveDesktopId(const QString &folder, const QString &id)
{
    const QString direct = Join(folder, id);
    if (QFileInfo(direct).isFile())
        return direct;
    for (qsizetype dash = id.indexOf('-'); dash > 0; dash = id.indexOf('-', dash + 1)) {
        const QString sub = Join(folder, id.left(dash));
        if (QFileInfo(sub).isDir()) {
            const QString found = ResolveDesktopId(sub, id.mid(dash + 1));
            if (!found.isEmpty())
                return found;
        }
    }
    return {};
}

bool RunTool(const QString &name, const QString &folder)
{
    const QString program = QStandardPaths::findExecutable(name);
    if (program.isEmpty() || !QFileInfo(folder).isDir())
        return true;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, {folder});
    if (!process.waitForFinished(kToolTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QString XmlEscape(const QString &text)
{
    return text.toHtmlEscaped();
}

}  // namespace

TAssocEnvironment TAssocEnvironment::ForExecutable(const QString &executable, const QString &iconDir)
{
    TAssocEnvironment env;
    env.executable = executable;
    env.iconDir = iconDir;
    const QString home = qEnvironmentVariable("HOME");
    const bool haveHome = !home.isEmpty() && QDir::isAbsolutePath(home);
    env.dataHome = XdgFolder("XDG_DATA_HOME", haveHome ? Join(home, ".local/share") : QString());
    env.configHome = XdgFolder("XDG_CONFIG_HOME", haveHome ? Join(home, ".config") : QString());
    env.dataDirs = XdgFolderList("XDG_DATA_DIRS", {"/usr/local/share", "/usr/share"});
    env.configDirs = XdgFolderList("XDG_CONFIG_DIRS", {"/etc/xdg"});
    for (const QString &desktop : qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(':', Qt::SkipEmptyParts))
        env.desktops << desktop.toLower();
    return env;
}

TAssocEnvironment TAssocEnvironment::FromProcess()
{
    const QString executable =
        QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    return ForExecutable(executable, InstallDir() + "icons/");
}

TKivAssoc::TKivAssoc(TAssocEnvironment environment)
    : m_env(std::move(environment))
{
}

void TKivAssoc::Fill()
{
    m_checked.assign(KivFileCount, false);
    for (int i = 0; i < KivFileCount; ++i)
        m_checked[i] = IsRegistered(g_KivFiles[i]);
    m_filled = m_checked;
}

QString TKivAssoc::ItemText(int index) const
{
    if (index < 0 || index >= KivFileCount)
        return {};
    return QString::asprintf(".%s (%s)", g_KivFiles[index].extension, g_KivFiles[index].description);
}

bool TKivAssoc::Checked(int index) const
{
    return index >= 0 && index < Count() && m_checked[index];
}

void TKivAssoc::SetChecked(int index, bool on)
{
    if (index >= 0 && index < Count())
        m_checked[index] = on;
}

bool TKivAssoc::FilledChecked(int index) const
{
    return index >= 0 && index < Count() && m_filled[index];
}

TAssocApplyResult TKivAssoc::Apply()
{
    TAssocApplyResult result;
    for (int i = 0; i < Count(); ++i) {
        if (m_checked[i] == m_filled[i])
            continue;
        ++result.changed;
        const bool ok = m_checked[i] ? Register(g_KivFiles[i]) : Unregister(g_KivFiles[i]);
        if (ok) {
            m_filled[i] = m_checked[i];
        } else {
            ++result.failed;
            m_checked[i] = m_filled[i];
        }
    }
    if (result.changed > 0)
        result.refreshed = RefreshDatabases();
    return result;
}

void TKivAssoc::Cancel()
{
    m_checked = m_filled;
}

QString TKivAssoc::DesktopId(const TKivFile &file)
{
    return "VYN.Kiv." + QString::fromLatin1(file.description).replace(' ', '.') + ".desktop";
}

QString TKivAssoc::TypeDescription(const TKivFile &file)
{
    return "VYN Kiv " + QString::fromLatin1(file.description);
}

QString TKivAssoc::IconFile(const TKivFile &file) const
{
    if (file.iconIndex <= 0 || file.iconIndex >= int(std::size(kIconFiles)) || m_env.iconDir.isEmpty())
        return {};
    const QString path = Join(m_env.iconDir, QString::fromLatin1(kIconFiles[file.iconIndex]));
    return QFileInfo(path).isFile() ? QFileInfo(path).absoluteFilePath() : QString();
}

QString TKivAssoc::DesktopFilePath(const TKivFile &file) const
{
    if (m_env.dataHome.isEmpty())
        return {};
    return Join(m_env.dataHome, "applications/" + DesktopId(file));
}

QString TKivAssoc::MimePackagePath(const TKivFile &file) const
{
    if (m_env.dataHome.isEmpty() || !file.ownMimeType)
        return {};
    return Join(m_env.dataHome, "mime/packages/" + DesktopId(file).chopped(8) + ".xml");
}

QString TKivAssoc::MimeIconPath(const TKivFile &file) const
{
    if (m_env.dataHome.isEmpty() || !file.ownMimeType)
        return {};
    return Join(m_env.dataHome, "icons/hicolor/scalable/mimetypes/"
                                    + QString::fromLatin1(file.mimeType).replace('/', '-') + ".svg");
}

QString TKivAssoc::MimeAppsPath() const
{
    if (m_env.configHome.isEmpty())
        return {};
    return Join(m_env.configHome, "mimeapps.list");
}

QString TKivAssoc::QuoteExecArgument(const QString &argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString escaped;
    bool quote = argument.isEmpty();
    for (const QChar c : argument) {
        if (reserved.contains(c))
            quote = true;
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            escaped += '\\';
        escaped += c;
        if (c == '%')
            escaped += '%';
    }
    if (!quote)
        return QString(argument).replace("%", "%%");
    return '"' + escaped + '"';
}

QString TKivAssoc::ExecLine() const
{
    return QuoteExecArgument(m_env.executable) + " %f";
}

QString TKivAssoc::ExecProgram(const QString &exec)
{
    qsizetype i = 0;
    while (i < exec.size() && (exec[i] == ' ' || exec[i] == '\t'))
        ++i;
    QString program;
    if (i < exec.size() && exec[i] == '"') {
        for (++i;; ++i) {
            if (i >= exec.size())
                return {};   // unterminated quote
            const QChar c = exec[i];
            if (c == '"')
                break;
            if (c == '\\' && i + 1 < exec.size()
                && QStringLiteral("\"`$\\").contains(exec[i + 1])) {
                program += exec[++i];
                continue;
            }
            program += c;
        }
    } else {
        while (i < exec.size() && exec[i] != ' ' && exec[i] != '\t')
            program += exec[i++];
    }
    return program.replace("%%", "%");
}

QByteArray TKivAssoc::DesktopEntry(const TKivFile &file) const
{
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Name=KIV C Compiler IDE\n");
    text += "Comment=" + EscapeValue(TypeDescription(file)) + '\n';
    text += "Exec=" + EscapeValue(ExecLine()) + '\n';
    const QString icon = IconFile(file);
    if (!icon.isEmpty())
        text += "Icon=" + EscapeValue(icon) + '\n';
    text += "MimeType=" + QString::fromLatin1(file.mimeType) + ";\n";
    text += QStringLiteral("NoDisplay=true\n");
    text += QStringLiteral("Terminal=false\n");
    return text.toUtf8();
}

QByteArray TKivAssoc::MimePackage(const TKivFile &file) const
{
    const QString type = QString::fromLatin1(file.mimeType);
    QString xml;
    xml += QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    xml += QStringLiteral("<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n");
    xml += "  <mime-type type=\"" + XmlEscape(type) + "\">\n";
    xml += "    <comment>" + XmlEscape(TypeDescription(file)) + "</comment>\n";
    // Project files are INI text; text/* types are text already, COFF and COD are binary.
    if (type == QLatin1String("application/x-kiv-project"))
        xml += QStringLiteral("    <sub-class-of type=\"text/plain\"/>\n");
    xml += "    <glob pattern=\"*." + QString::fromLatin1(file.extension).toLower() + "\"/>\n";
    xml += QStringLiteral("  </mime-type>\n");
    xml += QStringLiteral("</mime-info>\n");
    return xml.toUtf8();
}

QStringList TKivAssoc::MimeAppsFiles() const
{
    QStringList folders;
    if (!m_env.configHome.isEmpty())
        folders << m_env.configHome;
    folders << m_env.configDirs;
    if (!m_env.dataHome.isEmpty())
        folders << Join(m_env.dataHome, "applications");
    for (const QString &dir : m_env.dataDirs)
        folders << Join(dir, "applications");
    QStringList files;
    for (const QString &folder : folders) {
        for (const QString &desktop : m_env.desktops)
            files << Join(folder, desktop + "-mimeapps.list");
        files << Join(folder, "mimeapps.list");
    }
    return files;
}

QStringList TKivAssoc::WritableMimeAppsFiles() const
{
    QStringList folders;
    if (!m_env.configHome.isEmpty())
        folders << m_env.configHome;
    if (!m_env.dataHome.isEmpty())
        folders << Join(m_env.dataHome, "applications");
    QStringList files;
    for (const QString &folder : folders) {
        for (const QString &desktop : m_env.desktops)
            files << Join(folder, desktop + "-mimeapps.list");
        files << Join(folder, "mimeapps.list");
    }
    return files;
}

QString TKivAssoc::FindDesktopFile(const QString &desktopId) const
{
    if (!desktopId.endsWith(".desktop") || desktopId.contains('/') || desktopId.startsWith('.'))
        return {};
    QStringList folders;
    if (!m_env.dataHome.isEmpty())
        folders << Join(m_env.dataHome, "applications");
    for (const QString &dir : m_env.dataDirs)
        folders << Join(dir, "applications");
    for (const QString &folder : folders) {
        const QString path = ResolveDesktopId(folder, desktopId);
        if (path.isEmpty())
            continue;
        // The first folder that has the id decides; a hidden entry there means it is deleted.
        TKeyFile entry;
        if (!entry.Load(path) || entry.Value(kEntryGroup, "Hidden", Qt::CaseSensitive) == "true")
            return {};
        return path;
    }
    return {};
}

QString TKivAssoc::DefaultApplication(const QString &mimeType) const
{
    for (const QString &path : MimeAppsFiles()) {
        TKeyFile file;
        if (!QFileInfo(path).isFile() || !file.Load(path))
            continue;
        for (const QString &id : SplitList(file.Value(kDefaultGroup, mimeType, Qt::CaseInsensitive))) {
            if (!FindDesktopFile(id).isEmpty())
                return id;
        }
    }
    return {};
}

bool TKivAssoc::IsRegistered(const TKivFile &file) const
{
    if (m_env.dataHome.isEmpty() || m_env.configHome.isEmpty() || m_env.executable.isEmpty())
        return false;
    if (file.ownMimeType) {
        const QString package = QFileInfo(MimePackagePath(file)).fileName();
        bool defined = false;
        for (const QString &dir : QStringList{m_env.dataHome} + m_env.dataDirs)
            defined = defined || QFileInfo(Join(dir, "mime/packages/" + package)).isFile();
        if (!defined)
            return false;
    }
    const QString id = DesktopId(file);
    if (DefaultApplication(QString::fromLatin1(file.mimeType)) != id)
        return false;
    TKeyFile entry;
    if (!entry.Load(FindDesktopFile(id)))
        return false;
    const QString exec = UnescapeValue(entry.Value(kEntryGroup, "Exec", Qt::CaseSensitive));
    return SameProgram(ExecProgram(exec), m_env.executable);
}

bool TKivAssoc::Register(const TKivFile &file)
{
    if (m_env.dataHome.isEmpty() || m_env.configHome.isEmpty() || m_env.executable.isEmpty())
        return false;
    const QString type = QString::fromLatin1(file.mimeType);
    const QString id = DesktopId(file);
    std::vector<TFileChange> changes;
    // The type first, then the entry, then the default that names them.
    if (file.ownMimeType) {
        changes.push_back({MimePackagePath(file), MimePackage(file)});
        const QString icon = IconFile(file);
        if (!icon.isEmpty()) {
            QFile source(icon);
            if (!source.open(QIODevice::ReadOnly))
                return false;
            changes.push_back({MimeIconPath(file), source.readAll()});
        }
    }
    changes.push_back({DesktopFilePath(file), DesktopEntry(file)});
    if (!EditDefaults(MimeAppsPath(), type, id, true, changes))
        return false;
    // A desktop-specific list of the user's that names a default for the type would hide ours.
    for (const QString &desktop : m_env.desktops) {
        const QString path = Join(m_env.configHome, desktop + "-mimeapps.list");
        TKeyFile list;
        if (!QFileInfo(path).isFile() || !list.Load(path) || !list.HasKey(kDefaultGroup, type, Qt::CaseInsensitive))
            continue;
        if (!EditDefaults(path, type, id, true, changes))
            return false;
    }
    return CommitChanges(changes);
}

bool TKivAssoc::Unregister(const TKivFile &file)
{
    if (m_env.dataHome.isEmpty() || m_env.configHome.isEmpty())
        return false;
    const QString type = QString::fromLatin1(file.mimeType);
    const QString id = DesktopId(file);
    std::vector<TFileChange> changes;
    // Defaults first, so no list ever names an entry that is gone.
    for (const QString &path : WritableMimeAppsFiles()) {
        if (QFileInfo::exists(path) && !EditDefaults(path, type, id, false, changes))
            return false;
    }
    changes.push_back({DesktopFilePath(file), std::nullopt});
    if (file.ownMimeType && !OwnTypeNeededByOthers(file)) {
        changes.push_back({MimePackagePath(file), std::nullopt});
        changes.push_back({MimeIconPath(file), std::nullopt});
    }
    return CommitChanges(changes);
}

bool TKivAssoc::OwnTypeNeededByOthers(const TKivFile &file) const
{
    for (const TKivFile &other : g_KivFiles) {
        if (&other != &file && qstrcmp(other.mimeType, file.mimeType) == 0
            && QFileInfo(DesktopFilePath(other)).isFile())
            return true;
    }
    return false;
}

bool TKivAssoc::RefreshDatabases() const
{
    if (!m_env.refreshDatabases || m_env.dataHome.isEmpty())
        return false;
    bool ok = true;
    if (QFileInfo(Join(m_env.dataHome, "mime/packages")).isDir())
        ok = RunTool("update-mime-database", Join(m_env.dataHome, "mime")) && ok;
    ok = RunTool("update-desktop-database", Join(m_env.dataHome, "applications")) && ok;
    return ok;
}

}  // namespace kiv
