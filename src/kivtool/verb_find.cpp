// kivtool find [--case] [--word] PATTERN PATH... — find in files from the command line. Prints
// every line that holds PATTERN as "file:line:text", the way grep -rn does: folders are searched
// with their sub-folders, the lines are printed byte for byte. Without --case ASCII letters
// match in either case (grep -i); --word asks for whole words (grep -w). Binary files are
// skipped; what was skipped is counted on standard error. Exit status 0 when a line was found,
// 1 when none was, 2 after an error (a missing path, an unreadable file or folder).

#include "kivtool.h"

#include "kivfif_search.h"

#include <QFile>

#include <cstdio>
#include <sys/stat.h>

namespace kiv::tool {

namespace {

// Output goes out in large blocks: a common word prints a line per match.
class TOutput {
public:
    ~TOutput() { Flush(); }
    void Append(const QByteArray &path, const TLineMatch &match)
    {
        AppendGrepLine(m_buffer, path, match);
        if (m_buffer.size() >= (1 << 20))
            Flush();
    }
    void Flush()
    {
        if (!m_buffer.isEmpty())
            std::fwrite(m_buffer.constData(), 1, size_t(m_buffer.size()), stdout);
        m_buffer.clear();
        std::fflush(stdout);
    }

private:
    QByteArray m_buffer;
};

int Usage()
{
    Err() << "usage: kivtool find [--case] [--word] PATTERN PATH...\n";
    return 2;
}

}  // namespace

bool ReadFindArguments(const QStringList &args, TFindOptions &options, QStringList &operands)
{
    bool optionsDone = false;
    for (const QString &arg : args) {
        if (!optionsDone && arg == QLatin1String("--case"))
            options.matchCase = true;
        else if (!optionsDone && arg == QLatin1String("--word"))
            options.wholeWord = true;
        else if (!optionsDone && arg == QLatin1String("--"))
            optionsDone = true;
        else if (!optionsDone && arg.startsWith(QLatin1String("--")))
            return false;
        else
            operands << arg;
    }
    return true;
}

int VerbFind(const QStringList &args)
{
    TFindOptions options;
    QStringList operands;
    if (!ReadFindArguments(args, options, operands) || operands.size() < 2)
        return Usage();
    options.text = operands.takeFirst();
    if (options.text.isEmpty() || options.text.contains('\n') || options.text.contains('\r')) {
        Err() << "kivtool find: the pattern must be a non-empty text on one line\n";
        return 2;
    }

    TFileSearcher searcher(options);
    TOutput out;
    qint64 found = 0;
    qint64 binary = 0;
    qint64 unreadable = 0;
    const auto searchFile = [&](const QByteArray &path) {
        QString error;
        const TFileStatus status = searcher.SearchFile(path, [&](const TLineMatch &match) {
            out.Append(path, match);
            ++found;
        }, &error);
        if (status == fsBinary) {
            ++binary;
        } else if (status == fsUnreadable) {
            ++unreadable;
            out.Flush();
            Err() << "kivtool find: " << QFile::decodeName(path) << ": " << error << '\n';
            Err().flush();
        }
        return true;
    };

    bool missing = false;
    for (const QString &operand : std::as_const(operands)) {
        const QByteArray path = QFile::encodeName(operand);
        struct stat st{};
        if (::stat(path.constData(), &st) != 0) {
            out.Flush();
            Err() << "kivtool find: " << operand << ": No such file or directory\n";
            missing = true;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            TWalkCounts counts;
            if (!WalkFolder(path, true, searchFile, nullptr, &counts))
                ++unreadable;
            unreadable += counts.unreadableFolders;
        } else {
            searchFile(path);
        }
    }
    out.Flush();
    if (binary > 0 || unreadable > 0) {
        Err() << "kivtool find: skipped " << binary << (binary == 1 ? " binary file" : " binary files")
              << " and " << unreadable << (unreadable == 1 ? " unreadable file" : " unreadable files")
              << '\n';
    }
    if (missing || unreadable > 0)
        return 2;
    return found > 0 ? 0 : 1;
}

}  // namespace kiv::tool
