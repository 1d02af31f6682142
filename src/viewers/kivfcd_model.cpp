#include "kivfcd_model.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace kiv {

bool TKivFcdModel::FilesExist() const
{
    return QFileInfo(file1.trimmed()).isFile() && QFileInfo(file2.trimmed()).isFile();
}

QString TKivFcdModel::ResultFile() const
{
    return QDir(QFileInfo(file1.trimmed()).absolutePath()).filePath(QStringLiteral("compare.$$$"));
}

bool TKivFcdModel::Compare(QString *error) const
{
    TCompareOptions options;
    options.ignoreCase = ignoreCase;
    options.ignoreRom = ignoreRom;
    options.ignoreRam = ignoreRam;
    options.ignoreMovlb = ignoreMovlb;
    CFileCompare compare;
    std::string message;
    if (!compare.Run(QFile::encodeName(file1.trimmed()).toStdString(), QFile::encodeName(file2.trimmed()).toStdString(),
                     QFile::encodeName(ResultFile()).toStdString(), options, &message)) {
        *error = QString::fromLocal8Bit(message.c_str());
        return false;
    }
    return true;
}

int NextChangeLine(const std::vector<char> &firstChars, int line, bool forward)
{
    const int count = int(firstChars.size());
    auto changed = [&](int i) { return i >= 0 && i < count && (firstChars[size_t(i)] == 'D' || firstChars[size_t(i)] == 'I'); };
    // The rest of the block the line is in is skipped first, so that a block counts once.
    if (forward) {
        int i = std::max(line, -1) + 1;
        if (changed(line))
            while (changed(i))
                ++i;
        while (i < count && !changed(i))
            ++i;
        return i < count ? i : -1;
    }
    int i = std::min(line, count) - 1;
    if (changed(line))
        while (changed(i))
            --i;
    while (i >= 0 && !changed(i))
        --i;
    if (i < 0)
        return -1;
    while (changed(i - 1))
        --i;
    return i;
}

}  // namespace kiv
