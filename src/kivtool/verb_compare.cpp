// kivtool compare [--ignore-case] A B — the line differences of two files in the normal output
// form of diff. Exit status 0 when the files have the same lines, 1 when they differ, 2 when a
// file cannot be read. CR LF and LF line ends compare equal, as in the IDE's File Compare.

#include "kivtool.h"

#include "fastfc.h"

#include <QFile>

#include <cstdio>

namespace kiv::tool {

int VerbCompare(const QStringList &args)
{
    TCompareOptions options;
    QStringList files;
    for (const QString &arg : args) {
        if (arg == QLatin1String("--ignore-case") || arg == QLatin1String("-i"))
            options.ignoreCase = true;
        else if (arg.startsWith(QLatin1String("--"))) {
            Err() << "kivtool compare: unknown option " << arg << '\n';
            return 2;
        } else
            files << arg;
    }
    if (files.size() != 2) {
        Err() << "usage: kivtool compare [--ignore-case] FILE1 FILE2\n";
        return 2;
    }
    TTextLines a, b;
    std::string error;
    if (!ReadFileBytes(QFile::encodeName(files[0]).toStdString(), &a.text, &error) ||
        !ReadFileBytes(QFile::encodeName(files[1]).toStdString(), &b.text, &error)) {
        Err() << "kivtool compare: " << QString::fromLocal8Bit(error.c_str()) << '\n';
        return 2;
    }
    a.Split();
    b.Split();
    std::vector<int> keysA, keysB;
    if (options.ignoreCase) {
        std::vector<std::string> normA, normB;
        for (std::string_view line : a.lines)
            normA.push_back(NormaliseLine(line, options, 0));
        for (std::string_view line : b.lines)
            normB.push_back(NormaliseLine(line, options, 0));
        LineKeys(std::vector<std::string_view>(normA.begin(), normA.end()),
                 std::vector<std::string_view>(normB.begin(), normB.end()), &keysA, &keysB);
    } else {
        LineKeys(a.lines, b.lines, &keysA, &keysB);
    }
    const std::string out = NormalDiff(a, b, keysA, keysB);
    Out().flush();
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    return out.empty() ? 0 : 1;
}

}  // namespace kiv::tool
