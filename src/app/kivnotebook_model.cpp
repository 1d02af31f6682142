#include "kivnotebook_model.h"

#include "textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <sys/stat.h>

namespace kiv {

namespace {

constexpr int kContentHead = 1024;

struct TOpenFilter {
    const char *description;
    const char *patterns;   // ";"-separated, as the dialog's pattern list
};

// The order is the filter index 1 .. 7 that OpenByFilter dispatches on.
constexpr TOpenFilter kOpenFilters[] = {
    {"Source Code", "*.c;*.h"},
    {"Output files", "*.lst;*.hex;*.sym;*.tre"},
    {"Text files", "*.txt"},
    {"Debug files", "*.cod"},
    {"COFF Debug files", "*.cof;*.out;*.o"},
    {"Project files", "*.pjt"},
    {"All files", "*.*"},
};

bool SameInode(const QString &a, const QString &b)
{
    struct stat sa {};
    struct stat sb {};
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0
        || ::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

int EditorPageKind(int editorType)
{
    constexpr int kDiffFileViewer = 2;
    constexpr int kAdvancedViewer = 4;
    int kind = pkEditor;
    if (editorType == kDiffFileViewer)
        kind |= pkReadOnly | pkCompare;
    else if (editorType == kAdvancedViewer)
        kind |= pkReadOnly;
    return kind;
}

int ViewerPageKind(bool hex)
{
    return pkViewer | pkReadOnly | (hex ? pkHex : 0);
}

QString UpperExtension(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf('.');
    return dot < 0 ? QString() : name.mid(dot + 1).toUpper();
}

TOpener OpenerForPath(const QString &path)
{
    const QString ext = UpperExtension(path);
    if (ext == "C" || ext == "H")
        return TOpener::opSource;
    if (ext == "LST")
        return TOpener::opList;
    if (ext == "HEX" || ext == "SYM")
        return TOpener::opOutput;
    if (ext == "TRE")
        return TOpener::opTree;
    if (ext == "$$$")
        return TOpener::opCompare;
    if (ext == "COD")
        return TOpener::opCod;
    if (ext == "COF" || ext == "O")
        return TOpener::opCoff;
    if (ext == "PJT")
        return TOpener::opProject;
    return TOpener::opContent;
}

bool IsBinaryData(const QByteArray &head)
{
    const qsizetype n = qMin<qsizetype>(head.size(), kContentHead);
    const auto *p = reinterpret_cast<const unsigned char *>(head.constData());
    for (qsizetype i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c == 0)
            return true;
        if (c < 0x80) {
            ++i;
            continue;
        }
        const int length = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        if (length == 0)
            return true;
        // A sequence cut off by the end of the inspected bytes is judged by what is there.
        if (i + length > n) {
            if (n < kContentHead)
                return true;
            for (qsizetype k = i + 1; k < n; ++k) {
                if ((p[k] & 0xC0) != 0x80)
                    return true;
            }
            return false;
        }
        if (!IsValidUtf8(head.mid(i, length)))
            return true;
        i += length;
    }
    return false;
}

TContent ContentOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return TContent::ctText;
    const QByteArray head = file.read(kContentHead);
    if (UpperExtension(path) == "$$$" && head.size() >= 10 && head.startsWith("Comparing"))
        return TContent::ctCompare;
    return IsBinaryData(head) ? TContent::ctBinary : TContent::ctText;
}

QStringList OpenDialogFilters()
{
    QStringList filters;
    for (const TOpenFilter &f : kOpenFilters) {
        QString patterns = QString::fromLatin1(f.patterns);
        patterns.replace(';', ' ');
        filters << QString::fromLatin1(f.description) + " (" + patterns + ")";
    }
    return filters;
}

int FilterIndexForPath(const QString &path)
{
    const QString ext = UpperExtension(path);
    // "*." alone would be found in the first filter and send any name without extension,
    // binary or not, to the source editor; such names take the content test.
    if (ext.isEmpty())
        return 0;
    const QString wanted = "*." + ext;
    for (int i = 0; i < int(std::size(kOpenFilters)); ++i) {
        if (QString::fromLatin1(kOpenFilters[i].patterns).toUpper().contains(wanted))
            return i + 1;
    }
    return 0;
}

bool SameFile(const QString &pagePath, const QString &path)
{
    if (pagePath.isEmpty() || path.isEmpty())
        return false;
    if (pagePath == path)
        return true;
    if (pagePath.toLower() != path.toLower())
        return false;
    const QFileInfo a(pagePath);
    const QFileInfo b(path);
    if (a.exists() && b.exists())
        return SameInode(pagePath, path);
    return true;
}

int SortedInsertIndex(const QStringList &captions, const QString &caption)
{
    for (int i = 0; i < captions.size(); ++i) {
        if (QString::compare(captions[i], caption, Qt::CaseSensitive) >= 0)
            return i;
    }
    return int(captions.size());
}

int PageToSelectOnClose(int count, int current, int closing)
{
    if (closing != current)
        return current;
    if (closing > 0)
        return closing - 1;
    return count > 1 ? 1 : -1;
}

QString WithDefaultExtension(const QString &name)
{
    if (name.isEmpty() || !UpperExtension(name).isEmpty())
        return name;
    // A name ending with "." has an empty extension: it still gets "c" only.
    return name.endsWith('.') ? name + "c" : name + ".c";
}

QString FindSourceFile(const QString &path, const QString &workingDir, const QString &includeDirs)
{
    if (path.isEmpty() || QFileInfo::exists(path))
        return path;
    auto inFolder = [&path](QString folder) {
        if (!folder.endsWith('/'))
            folder += '/';
        return folder + path;
    };
    const QString local = inFolder(workingDir);
    if (QFileInfo::exists(local))
        return local;
    for (const QString &dir : includeDirs.split(';', Qt::SkipEmptyParts)) {
        const QString candidate = inFolder(dir);
        if (QFileInfo::exists(candidate))
            return candidate;
    }
    return path;
}

QString DiskChangeQuestion(const QString &path, bool modifiedEditor)
{
    if (modifiedEditor)
        return "Disk copy of " + path
               + " has changed, CHANGES HAVE BEEN MADE TO THE EDITOR COPY AS WELL, Reload from disk?";
    return "Disk copy of " + path + " has changed, Reload from disk?";
}

QString DeletedFileMessage(const QString &path, bool editor)
{
    if (editor)
        return "The file " + path
               + " was deleted from disk. The editor keeps its text; saving writes it to the file "
                 "again.";
    return "The file " + path + " was deleted from disk; the page shows what was read before.";
}

QStringList TabCaptions(const QStringList &captions, const QStringList &paths,
                        const QList<bool> &modified)
{
    QStringList shown = captions;
    // Folder names of each page's file, nearest first.
    QList<QStringList> folders;
    for (const QString &path : paths) {
        QStringList names = QFileInfo(path).absolutePath().split('/', Qt::SkipEmptyParts);
        std::reverse(names.begin(), names.end());
        folders << names;
    }
    for (int i = 0; i < captions.size(); ++i) {
        QList<int> same;
        for (int j = 0; j < captions.size(); ++j) {
            if (j != i && captions[j] == captions[i] && !paths.value(j).isEmpty()
                && QFileInfo(paths.value(j)).absolutePath() != QFileInfo(paths.value(i)).absolutePath())
                same << j;
        }
        if (same.isEmpty() || paths.value(i).isEmpty())
            continue;
        // The fewest trailing folders that no other page with this caption shares.
        const QStringList &mine = folders[i];
        int depth = 1;
        for (; depth <= mine.size(); ++depth) {
            const QStringList tail = mine.mid(0, depth);
            const bool unique = std::none_of(same.begin(), same.end(), [&](int j) {
                return folders[j].mid(0, depth) == tail;
            });
            if (unique)
                break;
        }
        QStringList tail = mine.mid(0, std::min<qsizetype>(depth, mine.size()));
        std::reverse(tail.begin(), tail.end());
        QString prefix = tail.join('/');
        // Every folder was needed: the path is shown from the root.
        if (depth > mine.size())
            prefix.prepend('/');
        if (!prefix.endsWith('/'))
            prefix += '/';
        shown[i] = prefix + captions[i];
    }
    for (int i = 0; i < shown.size(); ++i) {
        if (modified.value(i))
            shown[i].prepend('*');
    }
    return shown;
}

}  // namespace kiv
