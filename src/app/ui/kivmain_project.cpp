// The main window's project commands: the current project, opening and closing a project,
// its open files, the include folder dialogs and manual project creation.

#include "kivmain.h"

#include "kivinc.h"
#include "kivmnew.h"
#include "kivnotebook.h"
#include "kivnotebook_model.h"
#include "kivprompt.h"
#include "kivproject.h"

#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

namespace kiv {

namespace {

const QString kNotCompiled = QStringLiteral("Project must be compiled first.");
constexpr int kProjectFilesFilter = 6;

QString AbsoluteFile(const QString &path)
{
    return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
}

}  // namespace

void Tfkivmain::CreateProjects()
{
    ReopenProject = [this](const QString &path) { OpenProject(path); };
    OpenProjectHook = [this](const QString &path) { return OpenProject(path); };
    RecordOpenFilesHook = [this] { RecordOpenFiles(); };
}

void Tfkivmain::SetProject(const QString &mainFile)
{
    m_project = TCurrentProject::FromMainFile(mainFile);
    SetStatusText(3, m_project.Name());
    UpdateCommandGroups(1);
}

int Tfkivmain::OpenProject(const QString &projectFile)
{
    const QString path = AbsoluteFile(projectFile);
    const TProjectFile file(path);
    // A project that cannot be opened says why and leaves the open documents alone.
    const QString problem = ProjectOpenProblem(path);
    if (!problem.isEmpty()) {
        ShowError(problem);
        return -1;
    }
    const QString mainFile = file.MainFile();
    AddRecentProject(path);
    const QString edition = file.Edition();
    if (!edition.isEmpty() && SelectCompilerEdition)
        SelectCompilerEdition(edition);
    // Close All records the previous project's open files; a page whose text could not be
    // saved stays open, and then this project is not opened over it.
    if (!CloseAll())
        return -1;
    if (doopenfile(mainFile, 'R') < 0)
        return -1;
    RecallOpenFiles();
    const int index = FindPage(mainFile);
    if (index >= 0)
        Notebook()->SetCurrentPage(index);
    return index;
}

void Tfkivmain::RecordOpenFiles()
{
    TProjectFile file(m_project.ProjectFile());
    const QStringList pages = Notebook()->PagePaths();
    const bool anyFile = std::any_of(pages.begin(), pages.end(),
                                     [](const QString &p) { return !p.isEmpty(); });
    if (!anyFile || !file.Exists())
        return;
    if (!file.RecordOpenFiles(pages))
        ShowError(QStringLiteral("Cannot write the open files to ") + file.Path());
}

void Tfkivmain::RecallOpenFiles()
{
    const QStringList files = TProjectFile(m_project.ProjectFile()).OpenedFiles();
    if (files.isEmpty())
        return;
    Notebook()->BeginUpdate();
    for (const QString &path : files)
        OpenByExtension(path, false);
    Notebook()->EndUpdate();
}

bool Tfkivmain::ProjectCompiled()
{
    const QString sym = m_project.OutputFile(QStringLiteral(".sym"));
    if (sym.isEmpty() || !QFileInfo(sym).isFile()) {
        ShowError(kNotCompiled);
        return false;
    }
    return true;
}

void Tfkivmain::CloseProject()
{
    if (!ProjectCompiled())
        return;
    RecordOpenFiles();
    const QString current = Notebook()->CurrentPath();
    const QStringList files = ProjectFileList(m_project.OutputFile(QStringLiteral(".sym")));
    auto listed = [&files](const QString &page) {
        return std::any_of(files.begin(), files.end(),
                           [&page](const QString &f) { return SameFile(page, f); });
    };
    Notebook()->BeginUpdate();
    // From the last page down, so the indices of the pages still to look at do not move.
    for (int i = Notebook()->PageCount() - 1; i >= 0; --i) {
        if (i < Notebook()->PageCount() && listed(Notebook()->PagePath(i)))
            doclosefile(i);
    }
    Notebook()->EndUpdate();
    if (!current.isEmpty())
        SelectPage(current);
}

void Tfkivmain::OpenAllFiles()
{
    if (!ProjectCompiled())
        return;
    const QString current = Notebook()->CurrentPath();
    Notebook()->BeginUpdate();
    for (const QString &path : ProjectFileList(m_project.OutputFile(QStringLiteral(".sym"))))
        OpenByExtension(path, false);
    Notebook()->EndUpdate();
    if (!current.isEmpty())
        SelectPage(current);
}

void Tfkivmain::PrintAllFiles()
{
    if (!PrintFiles || !ProjectCompiled())
        return;
    SaveAll();
    PrintFiles(ProjectFileList(m_project.OutputFile(QStringLiteral(".sym"))));
}

void Tfkivmain::EditGlobalIncludeDirs()
{
    bool assign = true;
    bool accepted = false;
    const QString list = EditIncludeDirs(this, Environment().IncludeDirs,
                                         QStringLiteral("Assign new list to current project"),
                                         assign, &accepted);
    if (!accepted)
        return;
    Environment().IncludeDirs = list;
    TProjectFile file(m_project.ProjectFile());
    if (assign && Notebook()->PageCount() > 0 && file.Exists() && !file.WriteIncludes(list))
        ShowError(QStringLiteral("Cannot write the include folders to ") + file.Path());
}

void Tfkivmain::EditProjectIncludeDirs()
{
    TProjectFile file(m_project.ProjectFile());
    if (!file.Exists()) {
        ManualCreateProject();
        return;
    }
    bool makeDefault = false;
    bool accepted = false;
    const QString list = EditIncludeDirs(this, file.Includes(),
                                         QStringLiteral("Make this list the default for new projects"),
                                         makeDefault, &accepted);
    if (!accepted)
        return;
    if (!file.WriteIncludes(list)) {
        ShowError(QStringLiteral("Cannot write the include folders to ") + file.Path());
        return;
    }
    if (makeDefault)
        Environment().IncludeDirs = list;
}

void Tfkivmain::ManualCreateProject()
{
    const TProjectFile project(m_project.ProjectFile());
    const int processor = project.Exists() ? project.Processor(0) : 0;
    const QString mainFile =
        ManualCreate(this, m_project.MainFile(), Environment().IncludeDirs, InstalledDevices(),
                     processor > 0 && processor <= 0xFFFF ? quint16(processor) : quint16(0));
    if (mainFile.isEmpty() || !CloseAll())
        return;
    doopenfile(mainFile, 'R');
}

void Tfkivmain::ActionProjectOpenExecute()
{
    const QString path = AskOpenFileName(kProjectFilesFilter);
    if (!path.isEmpty())
        OpenProject(path);
}

}  // namespace kiv
