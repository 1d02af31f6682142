// Project files (.pjt) and the blocks the project reads from the compiler's symbol file, and a
// project template expanded into a new file.

#include "fuzz_target.h"
#include "kivproject.h"

#include <QFile>

KIV_FUZZ_TARGET(project)
{
    using namespace kiv;
    const QString projectPath = QString::fromStdString(fuzz::WriteScratchFile("fuzz.pjt", data, size));
    TProjectFile project(projectPath);
    const QString mainFile = project.MainFile();
    (void)project.OptionString();
    (void)project.Edition();
    const QStringList opened = project.OpenedFiles();
    (void)SplitIncludeList(project.Includes());
    (void)project.Processor(-1);
    (void)TCurrentProject::FromMainFile(mainFile).ProjectFile();

    const QString symPath = QString::fromStdString(fuzz::WriteScratchFile("fuzz.sym", data, size));
    const QStringList files = ProjectFileList(symPath);
    (void)SymFileBlock(symPath, QStringLiteral("Compiler Settings:"));

    const QString target = QString::fromStdString(fuzz::ScratchFolder()) + QStringLiteral("/made.pjt");
    QFile::remove(target);
    TTemplateValues values;
    values.fileName = QStringLiteral("main");
    values.extension = QStringLiteral("c");
    values.includes = QStringLiteral("100%;C:\\include\\;");
    values.processor = 0x877A;
    const TTemplateResult made = WriteFromTemplate(projectPath, target, values);
    QFile::remove(target);
    QFile::remove(symPath);
    QFile::remove(projectPath);
    return fuzz::Outcome(true, {}, std::to_string(opened.size()) + " opened files, " + std::to_string(files.size())
                                 + " project files, template " + std::to_string(int(made)));
}
