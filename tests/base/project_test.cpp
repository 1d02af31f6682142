#include "kivini.h"
#include "kivproject.h"
#include "pc_dirs.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kiv;
using kiv::test::ReadFile;
using kiv::test::WriteFile;

namespace {

class ProjectTest : public ::testing::Test {
protected:
    QString Path(const QString &name) const { return m_tmp.filePath(name); }
    QString Folder() const { return m_tmp.path() + '/'; }
    QTemporaryDir m_tmp;
};

}  // namespace

// --- The current project and its derived paths ------------------------------------------------

struct NameCase {
    const char *mainFile;
    const char *name;
    const char *extension;
};

TEST(CurrentProject, NameDropsTheExtensionWhateverItIs)
{
    const NameCase cases[] = {
        {"/w/main.c", "main", ".c"},
        {"/w/MAIN.C", "MAIN", ".C"},
        {"/w/blink.asm", "blink", ".asm"},
        {"/w/main.h", "main", ".h"},
        {"/w/v1.2/pump.ctl.c", "pump.ctl", ".c"},
        {"/w/Makefile", "Makefile", ""},
        {"/w/.profile", ".profile", ""},
    };
    for (const NameCase &c : cases) {
        SCOPED_TRACE(c.mainFile);
        const TCurrentProject p = TCurrentProject::FromMainFile(c.mainFile);
        EXPECT_EQ(p.Name(), c.name);
        EXPECT_EQ(p.Extension(), c.extension);
        // The main file is always found again from base + extension.
        EXPECT_EQ(p.MainFile(), c.mainFile);
        EXPECT_EQ(p.Folder(), QFileInfo(c.mainFile).absolutePath() + '/');
        EXPECT_EQ(p.ProjectFile(), p.Folder() + c.name + ".pjt");
    }
}

TEST(CurrentProject, AssemblyProjectDerivesItsOutputsFromTheBareName)
{
    const TCurrentProject p = TCurrentProject::FromMainFile("/w/blink.asm");
    EXPECT_EQ(p.Base(), "/w/blink");
    EXPECT_EQ(p.ProjectFile(), "/w/blink.pjt");
    QStringList outputs;
    for (const QString &ext : TCurrentProject::OutputExtensions())
        outputs << p.OutputFile(ext);
    EXPECT_EQ(outputs, (QStringList{"/w/blink.lst", "/w/blink.sym", "/w/blink.tre", "/w/blink.sta",
                                    "/w/blink.hex", "/w/blink.err", "/w/blink.cof", "/w/blink.cod",
                                    "/w/blink.$$$"}));
}

TEST(CurrentProject, NoProjectHasNoPaths)
{
    const TCurrentProject p = TCurrentProject::FromMainFile(QString());
    EXPECT_TRUE(p.IsEmpty());
    EXPECT_TRUE(p.Folder().isEmpty());
    EXPECT_TRUE(p.Base().isEmpty());
    EXPECT_TRUE(p.MainFile().isEmpty());
    EXPECT_TRUE(p.ProjectFile().isEmpty());
    EXPECT_TRUE(p.OutputFile(".sym").isEmpty());
}

// --- Editions and families --------------------------------------------------------------------

TEST(ProjectEdition, OptionStringLetterTable)
{
    const std::pair<const char *, const char *> cases[] = {
        {"+FA", "DOLT"}, {"+FB", "QEL"}, {"+FC", "MAZ"}, {"+FS", "MAZ"}, {"+FG", "QUT"},
        {"+FH", "QAN"}, {"+FM", "QOR"}, {"+FX", ""}, {"+FZ +FH", ""}, {"-Q +FM -T", "QOR"},
        {"+F", ""}, {"+fh", ""}, {"", ""}, {"+D +EH", ""},
    };
    for (const auto &[options, edition] : cases) {
        SCOPED_TRACE(options);
        EXPECT_EQ(EditionForOptionString(options), edition);
    }
}

TEST(ProjectEdition, FamilyOptionPerDeviceKind)
{
    const char *expected[] = {"+FB", "+FM", "+FU", "+FH", "+FS", "+FA", "", ""};
    for (int kind = 0; kind < 8; ++kind)
        EXPECT_EQ(FamilyOption(kind), expected[kind]) << kind;
    EXPECT_EQ(FamilyOption(-1), "");
}

// --- The project file ----------------------------------------------------------------------------

TEST_F(ProjectTest, FileListFirstNameRelativeOrAbsolute)
{
    const struct {
        const char *fileList;   // nullptr: the key is missing
        QString expected;
    } cases[] = {
        {"main.c;extra.c", Folder() + "main.c"},
        {"main.c", Folder() + "main.c"},
        {"/elsewhere/src/main.c;main.c", "/elsewhere/src/main.c"},
        {"src/main.c", Folder() + "src/main.c"},
        {nullptr, Folder() + "noname.c"},
        {"", QString()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.fileList ? c.fileList : "(missing)");
        QFile::remove(Path("p.pjt"));
        QByteArray text = "[Target Data]\r\nOptionString=+FM\r\n";
        if (c.fileList)
            text += QByteArray("FileList=") + c.fileList + "\r\n";
        ASSERT_TRUE(WriteFile(Path("p.pjt"), text));
        EXPECT_EQ(TProjectFile(Path("p.pjt")).MainFile(), c.expected);
    }
}

TEST_F(ProjectTest, EditionComesFromTheOptionString)
{
    ASSERT_TRUE(WriteFile(Path("p.pjt"), "[target data]\nOPTIONSTRING=+A +FH\n"));
    EXPECT_EQ(TProjectFile(Path("p.pjt")).Edition(), "QAN");
    ASSERT_TRUE(WriteFile(Path("q.pjt"), "[Target Data]\nFileList=q.c\n"));
    EXPECT_EQ(TProjectFile(Path("q.pjt")).Edition(), "");
    EXPECT_EQ(TProjectFile(Path("missing.pjt")).Edition(), "");
}

TEST_F(ProjectTest, RecordOpenFilesWritesKeysAndAClosingEmptyOne)
{
    const QString pjt = Path("p.pjt");
    ASSERT_TRUE(WriteFile(pjt, "[PROJECT]\r\nTarget=p.hex\r\n\r\n[Opened Files]\r\n1=/a.c\r\n2=/b.c\r\n"
                               "3=/c.c\r\n4=/d.c\r\n5=\r\n\r\n[Custom]\r\nKeep=yes\r\n"));
    TProjectFile file(pjt);
    EXPECT_TRUE(file.RecordOpenFiles({"/w/one.c", "", "/w/two.h"}));
    const TIniFile ini(pjt);
    EXPECT_EQ(ini.ReadSection("Opened Files"), (QStringList{"1", "2", "3"}));
    EXPECT_EQ(ini.ReadString("Opened Files", "1"), "/w/one.c");
    EXPECT_EQ(ini.ReadString("Opened Files", "2"), "/w/two.h");
    EXPECT_TRUE(ini.ValueExists("Opened Files", "3"));
    EXPECT_EQ(ini.ReadString("Opened Files", "3", "x"), "");
    EXPECT_EQ(ini.ReadString("Custom", "Keep"), "yes");
    EXPECT_EQ(ini.ReadString("PROJECT", "Target"), "p.hex");
    EXPECT_EQ(file.OpenedFiles(), (QStringList{"/w/one.c", "/w/two.h"}));
}

// Files inside the project's folder are recorded relative to it, so a copied project opens its
// own files; files elsewhere keep their full paths.
TEST_F(ProjectTest, OpenFilesInsideTheProjectFolderAreRecordedRelativeToIt)
{
    const QString pjt = Path("p.pjt");
    ASSERT_TRUE(WriteFile(pjt, "[Target Data]\r\nFileList=p.c\r\n"));
    TProjectFile file(pjt);
    ASSERT_TRUE(file.RecordOpenFiles({Folder() + "p.c", Folder() + "src/io.h", "/elsewhere/lib.h",
                                      Folder() + "../beside.c"}));
    const TIniFile ini(pjt);
    EXPECT_EQ(ini.ReadString("Opened Files", "1"), "p.c");
    EXPECT_EQ(ini.ReadString("Opened Files", "2"), "src/io.h");
    EXPECT_EQ(ini.ReadString("Opened Files", "3"), "/elsewhere/lib.h");
    EXPECT_EQ(ini.ReadString("Opened Files", "4"), Folder() + "../beside.c");

    // The folder copied elsewhere: the copy's files, not the original's.
    QTemporaryDir other;
    const QString copy = other.path() + "/p.pjt";
    ASSERT_TRUE(QFile::copy(pjt, copy));
    EXPECT_EQ(TProjectFile(copy).OpenedFiles().mid(0, 2),
              (QStringList{other.path() + "/p.c", other.path() + "/src/io.h"}));
}

// What keeps a file from being opened as a project is said with the file's name.
TEST_F(ProjectTest, AProjectThatCannotBeOpenedSaysWhy)
{
    QDir().mkpath(Path("folder.pjt"));
    QDir().mkpath(Path("main.c"));
    ASSERT_TRUE(WriteFile(Path("garbage.pjt"), QByteArray("\x00\x01\x02[Target Data]\x7f\x00\x10", 17)));
    ASSERT_TRUE(WriteFile(Path("empty.pjt"), "[Target Data]\r\nFileList=\r\n"));
    ASSERT_TRUE(WriteFile(Path("nomain.pjt"), "[Target Data]\r\nFileList=gone.c\r\n"));
    ASSERT_TRUE(WriteFile(Path("dirmain.pjt"), "[Target Data]\r\nFileList=main.c\r\n"));
    ASSERT_TRUE(WriteFile(Path("good.c"), "void main() {}\r\n"));
    ASSERT_TRUE(WriteFile(Path("good.pjt"), "[Target Data]\r\nFileList=good.c\r\n"));
    const struct {
        const char *file;
        QString problem;
    } cases[] = {
        {"missing.pjt", "The project file " + Path("missing.pjt") + " does not exist."},
        {"folder.pjt", Path("folder.pjt") + " is a folder, not a project file."},
        {"garbage.pjt", Path("garbage.pjt") + " is not a project file: it holds binary data, not text."},
        {"empty.pjt", "The project file " + Path("empty.pjt")
                          + " names no main file: its [Target Data] FileList is empty."},
        {"nomain.pjt", "The main file " + Folder() + "gone.c of the project " + Path("nomain.pjt")
                           + " does not exist."},
        {"dirmain.pjt", "The main file " + Folder() + "main.c of the project " + Path("dirmain.pjt")
                            + " is a folder, not a file."},
        {"good.pjt", QString()},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ProjectOpenProblem(Path(c.file)), c.problem) << c.file;
}

TEST_F(ProjectTest, RecordOpenFilesNeedsAProjectFileAndAPage)
{
    TProjectFile missing(Path("none.pjt"));
    EXPECT_FALSE(missing.RecordOpenFiles({"/w/a.c"}));
    EXPECT_FALSE(QFileInfo::exists(Path("none.pjt")));

    const QByteArray before = "[Opened Files]\r\n1=/w/a.c\r\n2=\r\n";
    ASSERT_TRUE(WriteFile(Path("p.pjt"), before));
    TProjectFile file(Path("p.pjt"));
    EXPECT_FALSE(file.RecordOpenFiles({}));
    EXPECT_FALSE(file.RecordOpenFiles({QString()}));
    EXPECT_EQ(ReadFile(Path("p.pjt")), before);
}

TEST_F(ProjectTest, RecallStopsAtTheFirstEmptyValueAndResolvesRelativeNames)
{
    ASSERT_TRUE(WriteFile(Path("p.pjt"), "[Opened Files]\n2=/w/second.c\n1=first.c\n3=other.pjt\n"
                                         "4=/w/fourth.lst\n5=\n6=/w/never.c\n"));
    EXPECT_EQ(TProjectFile(Path("p.pjt")).OpenedFiles(),
              (QStringList{Folder() + "first.c", "/w/second.c", "/w/fourth.lst"}));
    EXPECT_TRUE(TProjectFile(Path("none.pjt")).OpenedFiles().isEmpty());
}

TEST_F(ProjectTest, IncludesAndProcessor)
{
    ASSERT_TRUE(WriteFile(Path("p.pjt"), "[PROJECT]\r\nProcessor=0x877A\r\n"));
    TProjectFile file(Path("p.pjt"));
    EXPECT_EQ(file.Processor(), 0x877A);
    EXPECT_TRUE(file.WriteProcessor(0x452F));
    EXPECT_EQ(TIniFile(Path("p.pjt")).ReadString("PROJECT", "Processor"), "0x452F");
    EXPECT_TRUE(file.WriteProcessor(0x00ab));
    EXPECT_EQ(TIniFile(Path("p.pjt")).ReadString("PROJECT", "Processor"), "0x00AB");
    EXPECT_EQ(ProjectProcessorNumber(Path("p.pjt")), 0xAB);

    EXPECT_EQ(file.Includes(), "");
    EXPECT_TRUE(file.WriteIncludes("/inc/a/;/inc/b/;"));
    EXPECT_EQ(file.Includes(), "/inc/a/;/inc/b/;");

    ASSERT_TRUE(WriteFile(Path("q.pjt"), "[Target Data]\r\nFileList=q.c\r\n"));
    EXPECT_EQ(ProjectProcessorNumber(Path("q.pjt")), 0);
    EXPECT_EQ(ProjectProcessorNumber(Path("none.pjt")), 21829);
}

// --- Symbol file blocks ---------------------------------------------------------------------

TEST_F(ProjectTest, ProjectFileListReadsOnlyItsBlock)
{
    ASSERT_TRUE(WriteFile(Path("p.sym"),
                          "Symbol map\r\n  /w/not-this.c\r\nProject Files: \r\n  /w/nor-this.c\r\n\r\n"
                          "Project Files:\r\n     /w/main.c\r\n/w/main.h\r\n  inc/util.h\r\n"
                          "\r\nCompiler Settings:\r\n    Debug/COFF: Yes\r\n    ICD Provisions: Yes\r\n"));
    EXPECT_EQ(ProjectFileList(Path("p.sym")),
              (QStringList{"/w/main.c", "/w/main.h", Folder() + "inc/util.h"}));
    EXPECT_EQ(SymFileBlock(Path("p.sym"), "Compiler Settings:", true),
              (QStringList{"    Debug/COFF: Yes", "    ICD Provisions: Yes"}));
}

TEST_F(ProjectTest, ProjectFileListEndsAtABlankLineOrTheEnd)
{
    ASSERT_TRUE(WriteFile(Path("a.sym"), "Project Files:\n /w/a.c\n   \n /w/b.c\n"));
    EXPECT_EQ(ProjectFileList(Path("a.sym")), QStringList{"/w/a.c"});
    ASSERT_TRUE(WriteFile(Path("b.sym"), "Project Files:\n /w/a.c\n /w/b.c"));
    EXPECT_EQ(ProjectFileList(Path("b.sym")), (QStringList{"/w/a.c", "/w/b.c"}));
    ASSERT_TRUE(WriteFile(Path("c.sym"), "no block here\n"));
    EXPECT_TRUE(ProjectFileList(Path("c.sym")).isEmpty());
    EXPECT_TRUE(ProjectFileList(Path("missing.sym")).isEmpty());
    QByteArray binary(4096, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char(i * 37);
    ASSERT_TRUE(WriteFile(Path("d.sym"), binary));
    EXPECT_TRUE(ProjectFileList(Path("d.sym")).isEmpty());
}

// --- Include lists --------------------------------------------------------------------------

TEST(IncludeList, EmptyPiecesAreDropped)
{
    EXPECT_EQ(SplitIncludeList(";;/opt/inc/"), QStringList{"/opt/inc/"});
    EXPECT_EQ(JoinIncludeList(SplitIncludeList(";;/opt/inc/")), "/opt/inc/;");
    EXPECT_EQ(SplitIncludeList("/a/;/b/"), (QStringList{"/a/", "/b/"}));
    EXPECT_EQ(JoinIncludeList({"/a/", "/b/"}), "/a/;/b/;");
    EXPECT_TRUE(SplitIncludeList(";;;").isEmpty());
    EXPECT_EQ(JoinIncludeList({}), "");
}

// --- Template engine ------------------------------------------------------------------------

namespace {

TTemplateValues SampleValues()
{
    TTemplateValues v;
    v.fileName = "pump";
    v.extension = "c";
    v.includes = "/inst/devices/;/inst/drivers/";
    v.kind = 3;
    v.processor = 0x452f;
    return v;
}

}  // namespace

TEST(TemplateEngine, EveryMarker)
{
    const std::pair<const char *, const char *> cases[] = {
        {"%F", "pump"},
        {"%E", "c"},
        {"%S", "pump.c"},
        {"%I", "/inst/devices/;/inst/drivers/"},
        {"%O", "+FH"},
        {"%P", "452F"},
        {"a%Qb", "ab"},
        {"%f", ""},
        {"100%%", "100"},
        {"tail%", "tail"},
        {"no markers", "no markers"},
        {"FileList=%S;Target=%F.hex;Processor=0x%P;Opt=%O", "FileList=pump.c;Target=pump.hex;"
                                                              "Processor=0x452F;Opt=+FH"},
        {"%F%E%S", "pumpcpump.c"},
    };
    for (const auto &[line, expected] : cases) {
        SCOPED_TRACE(line);
        EXPECT_EQ(ExpandTemplateLine(line, SampleValues()), expected);
    }
}

TEST(TemplateEngine, ValuesHoldingMarkersAreNotExpandedAgain)
{
    TTemplateValues v = SampleValues();
    v.includes = "/home/u/100%I/;/x/%F/";
    EXPECT_EQ(ExpandTemplateLine("Include=%I", v), "Include=/home/u/100%I/;/x/%F/");
    v.kind = 9;
    v.processor = 0x0012;
    EXPECT_EQ(ExpandTemplateLine("[%O][%P]", v), "[][0012]");
    v.extension.clear();
    EXPECT_EQ(ExpandTemplateLine("%S", v), "pump");
}

TEST(TemplateEngine, LongLinesAreNotCut)
{
    TTemplateValues v = SampleValues();
    v.includes = QString(250, 'd') + '/';
    const QString line = "Include=" + QString(300, 'x') + "%I" + QString(40, 'y') + "%S";
    const QString out = ExpandTemplateLine(line, v);
    EXPECT_EQ(out, "Include=" + QString(300, 'x') + v.includes + QString(40, 'y') + "pump.c");
    EXPECT_EQ(out.size(), 8 + 300 + 251 + 40 + 6);
}

TEST_F(ProjectTest, TemplateWritesEveryLineWithCrLf)
{
    const QString longFolder = Path(QString(120, 'f') + "/" + QString(120, 'g'));
    ASSERT_TRUE(QDir().mkpath(longFolder));
    ASSERT_TRUE(WriteFile(Path("T.PJT"), "[Target Data]\nFileList=%S\n" + QByteArray(300, 'z')
                                             + "%F\n\nOptionString=%O\n"));
    TTemplateValues v = SampleValues();
    const QString target = longFolder + "/pump.pjt";
    EXPECT_EQ(WriteFromTemplate(Path("T.PJT"), target, v), trWritten);
    EXPECT_EQ(ReadFile(target), "[Target Data]\r\nFileList=pump.c\r\n" + QByteArray(300, 'z')
                                    + "pump\r\n\r\nOptionString=+FH\r\n");
}

TEST_F(ProjectTest, AnExistingProjectFileIsKept)
{
    ASSERT_TRUE(WriteFile(Path("T.PJT"), "FileList=%S\n"));
    const QByteArray mine = "[Target Data]\r\nFileList=mine.c\r\n[Opened Files]\r\n1=/w/x.c\r\n";
    ASSERT_TRUE(WriteFile(Path("pump.pjt"), mine));
    EXPECT_EQ(WriteFromTemplate(Path("T.PJT"), Path("pump.pjt"), SampleValues()), trKept);
    EXPECT_EQ(ReadFile(Path("pump.pjt")), mine);
    // An existing empty file is kept just the same.
    ASSERT_TRUE(WriteFile(Path("empty.pjt"), ""));
    EXPECT_EQ(WriteFromTemplate(Path("T.PJT"), Path("empty.pjt"), SampleValues()), trKept);
    EXPECT_EQ(ReadFile(Path("empty.pjt")), "");
}

TEST_F(ProjectTest, MissingTemplateLeavesAnEmptyProjectFile)
{
    EXPECT_EQ(WriteFromTemplate(Path("NONE.PJT"), Path("pump.pjt"), SampleValues()), trEmpty);
    EXPECT_TRUE(QFileInfo::exists(Path("pump.pjt")));
    EXPECT_EQ(QFileInfo(Path("pump.pjt")).size(), 0);
    // Every key has its default: the main file is "noname.c" beside the project file.
    EXPECT_EQ(TProjectFile(Path("pump.pjt")).MainFile(), Folder() + "noname.c");
}

TEST_F(ProjectTest, UnwritableTargetFails)
{
    ASSERT_TRUE(WriteFile(Path("T.PJT"), "FileList=%S\n"));
    EXPECT_EQ(WriteFromTemplate(Path("T.PJT"), Path("no/such/folder/pump.pjt"), SampleValues()),
              trFailed);
}

TEST(MainFileName, SplitAtTheLastDot)
{
    const std::tuple<const char *, const char *, const char *> cases[] = {
        {"/w/pump.c", "/w/pump", "c"},
        {"/w/blink.asm", "/w/blink", "asm"},
        {"/w/v1.2/pump", "/w/v1.2/pump", ""},
        {"/w/a.b.text", "/w/a.b", "text"},
        {"noname.c", "noname", "c"},
    };
    for (const auto &[path, base, ext] : cases) {
        SCOPED_TRACE(path);
        QString b, e;
        SplitMainFileName(path, &b, &e);
        EXPECT_EQ(b, base);
        EXPECT_EQ(e, ext);
    }
}

TEST(StarterFile, FiveLinesNamingTheDeviceHeader)
{
    EXPECT_EQ(StarterFileText("PIC16C74"), "#include <16C74.h>\r\n\r\nvoid main() {\r\n\r\n}\r\n");
    EXPECT_EQ(StarterInclude("PIC18LF45K22"), "#include <18LF45K22.h>");
    EXPECT_EQ(StarterInclude("SX28AC"), "#include <SX28AC.h>");
}

// --- The installed templates ----------------------------------------------------------------

// The shipped templates in the source tree.
QString SourceDataDir()
{
    const QString source = kiv::test::SourceDir();
    if (!source.isEmpty())
        return source + "/data";
    return QFileInfo(QStringLiteral(__FILE__)).absolutePath() + "/../../data";
}

class InstalledTemplateTest : public ProjectTest {
protected:
    void SetUp() override
    {
        const QString lumo = Path("inst/lumo");
        ASSERT_TRUE(QDir().mkpath(lumo));
        ASSERT_TRUE(QDir().mkpath(Path("inst/dll")));
        for (const char *name : {"DEFAULT.PJT", "DEFAULT.MCP"}) {
            ASSERT_TRUE(QFile::copy(SourceDataDir() + "/lumo/" + name,
                                    lumo + '/' + name)) << name;
        }
        SetExecutablePathForDirs(Path("inst/bin/kiv"));
    }
    void TearDown() override { SetExecutablePathForDirs(QString()); }
};

TEST_F(InstalledTemplateTest, NewProjectFileReadsBack)
{
    const QString base = Path("work/blink");
    ASSERT_TRUE(QDir().mkpath(Path("work")));
    EXPECT_EQ(CreateProjectFile(base, "asm", 0x877A, "/i/devices/;/i/drivers/", 1), trWritten);
    TProjectFile file(base + ".pjt");
    EXPECT_EQ(file.MainFile(), base + ".asm");
    EXPECT_EQ(file.Edition(), "QOR");
    EXPECT_EQ(file.Processor(), 0x877A);
    EXPECT_EQ(file.Includes(), "/i/devices/;/i/drivers/");
    EXPECT_FALSE(ReadFile(base + ".pjt").contains('%'));
    // A second creation keeps the file.
    EXPECT_EQ(CreateProjectFile(base, "c", 0x1234, "", 3), trKept);
    EXPECT_EQ(TProjectFile(base + ".pjt").Processor(), 0x877A);

    EXPECT_EQ(CreateMplabProjectFile(base, "c", 0, "/i/devices/", 1), trWritten);
    const QByteArray mcp = ReadFile(base + ".mcp");
    EXPECT_TRUE(mcp.contains("blink.c")) << mcp.constData();
    EXPECT_FALSE(mcp.contains('%'));
}
