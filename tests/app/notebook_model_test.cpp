#include "kivnotebook_model.h"
#include "testfiles.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

using namespace kiv;
using kiv::test::WriteFile;

TEST(NotebookModel, ExtensionTable)
{
    struct Case {
        const char *path;
        TOpener opener;
    };
    const Case cases[] = {
        {"/w/main.c", TOpener::opSource},     {"/w/MAIN.H", TOpener::opSource},
        {"/w/a.lst", TOpener::opList},        {"/w/a.Hex", TOpener::opOutput},
        {"/w/a.sym", TOpener::opOutput},      {"/w/a.tre", TOpener::opTree},
        {"/w/a.$$$", TOpener::opCompare},     {"/w/a.cod", TOpener::opCod},
        {"/w/a.cof", TOpener::opCoff},        {"/w/a.o", TOpener::opCoff},
        {"/w/a.pjt", TOpener::opProject},     {"/w/a.txt", TOpener::opContent},
        {"/w/a.out", TOpener::opContent},     {"/w/a.c.bak", TOpener::opContent},
        {"/w/dir.c/Makefile", TOpener::opContent}, {"/w/a.", TOpener::opContent},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(OpenerForPath(c.path), c.opener);
    }
    EXPECT_EQ(UpperExtension("/w/x.y/main.c"), "C");
    EXPECT_EQ(UpperExtension("/w/x.y/main"), "");
}

TEST(NotebookModel, BinaryByNulOrHighBitOutsideUtf8)
{
    struct Case {
        const char *name;
        QByteArray head;
        bool binary;
    };
    const Case cases[] = {
        {"empty", "", false},
        {"ascii", "int main;\r\n\t", false},
        {"nul", QByteArray("ab\0cd", 5), true},
        {"latin1 high bit", "caf\xe9\n", true},
        {"utf8 text", "caf\xc3\xa9\n", false},
        {"overlong utf8", "\xc0\xaf", true},
        {"lone continuation", "\x80", true},
        {"cut utf8 at end of short file", "ab\xc3", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsBinaryData(c.head), c.binary);
    }
    // Only the first 1024 bytes count; a sequence cut off by that limit is still text.
    QByteArray late(1024, 'a');
    late.append('\0');
    EXPECT_FALSE(IsBinaryData(late));
    QByteArray cut(1023, 'a');
    cut.append("\xc3\xa9");
    EXPECT_FALSE(IsBinaryData(cut));
}

TEST(NotebookModel, ContentTest)
{
    QTemporaryDir tmp;
    struct Case {
        const char *name;
        QByteArray data;
        TContent content;
    };
    const Case cases[] = {
        {"result.$$$", "Comparing a.c and b.c\n", TContent::ctCompare},
        {"short.$$$", "Comparing", TContent::ctText},            // fewer than 10 bytes
        {"zero.$$$", QByteArray("Compare\0d", 9) + QByteArray(20, 'x'), TContent::ctBinary},
        {"notes.txt", "Comparing is fine here\n", TContent::ctText},
        {"image.bin", QByteArray("\x7f" "ELF\x02\x01\x01\x00", 8), TContent::ctBinary},
        {"empty.dat", "", TContent::ctText},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = tmp.filePath(c.name);
        ASSERT_TRUE(WriteFile(path, c.data));
        EXPECT_EQ(ContentOf(path), c.content);
    }
    EXPECT_EQ(ContentOf(tmp.filePath("missing.bin")), TContent::ctText);
}

TEST(NotebookModel, FilterIndexIsASubstringSearch)
{
    struct Case {
        const char *path;
        int index;
    };
    const Case cases[] = {
        {"/w/a.c", 1},   {"/w/a.H", 1},   {"/w/a.lst", 2}, {"/w/a.tre", 2}, {"/w/a.txt", 3},
        {"/w/a.cod", 4}, {"/w/a.cof", 5}, {"/w/a.out", 5}, {"/w/a.o", 5},   {"/w/a.pjt", 6},
        {"/w/a.$$$", 0}, {"/w/a.bin", 0}, {"/w/Makefile", 0}, {"/w/a.co", 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(FilterIndexForPath(c.path), c.index);
    }
    const QStringList filters = OpenDialogFilters();
    ASSERT_EQ(filters.size(), 7);
    EXPECT_EQ(filters[0], "Source Code (*.c *.h)");
    EXPECT_EQ(filters[4], "COFF Debug files (*.cof *.out *.o)");
    EXPECT_EQ(filters[6], "All files (*.*)");
}

TEST(NotebookModel, SameFileIgnoresCaseUnlessTwoFilesExist)
{
    QTemporaryDir tmp;
    const QString lower = tmp.filePath("main.c");
    const QString upper = tmp.filePath("MAIN.C");
    EXPECT_TRUE(SameFile(lower, lower));
    EXPECT_TRUE(SameFile("/w/Main.c", "/W/MAIN.C"));   // nothing on disk tells them apart
    EXPECT_FALSE(SameFile("/w/main.c", "/w/main.h"));
    EXPECT_FALSE(SameFile("", ""));
    ASSERT_TRUE(WriteFile(lower, "a"));
    EXPECT_TRUE(SameFile(lower, upper));
    ASSERT_TRUE(WriteFile(upper, "b"));
    EXPECT_FALSE(SameFile(lower, upper));
}

TEST(NotebookModel, SortedInsertion)
{
    const QStringList captions{"b.c", "d.c", "d.c", "main.c"};
    struct Case {
        const char *caption;
        int index;
    };
    const Case cases[] = {{"a.c", 0}, {"b.c", 0}, {"c.c", 1}, {"d.c", 1}, {"e.c", 3},
                          {"z.c", 4}, {"B.c", 0}, {"Main.c", 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.caption);
        EXPECT_EQ(SortedInsertIndex(captions, c.caption), c.index);
    }
    EXPECT_EQ(SortedInsertIndex({}, "a"), 0);
}

TEST(NotebookModel, PageSelectedWhenClosing)
{
    struct Case {
        int count, current, closing, result;
    };
    const Case cases[] = {
        {3, 0, 0, 1},    // closing the current first page: the former page 1
        {3, 2, 2, 1},    // closing the current last page: the previous one
        {3, 1, 1, 0},
        {3, 1, 2, 1},    // a page that is not current: the current page stays
        {3, 2, 0, 2},
        {1, 0, 0, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " " << c.current << " " << c.closing);
        EXPECT_EQ(PageToSelectOnClose(c.count, c.current, c.closing), c.result);
    }
}

TEST(NotebookModel, DefaultExtensionAndKinds)
{
    EXPECT_EQ(WithDefaultExtension("/w/prog"), "/w/prog.c");
    EXPECT_EQ(WithDefaultExtension("/w/prog."), "/w/prog.c");
    EXPECT_EQ(WithDefaultExtension("/w/prog.h"), "/w/prog.h");
    EXPECT_EQ(WithDefaultExtension("/w.d/prog"), "/w.d/prog.c");
    EXPECT_EQ(EditorPageKind(0), 1);
    EXPECT_EQ(EditorPageKind(1), 1);
    EXPECT_EQ(EditorPageKind(2), 0x15);
    EXPECT_EQ(EditorPageKind(3), 1);
    EXPECT_EQ(EditorPageKind(4), 5);
    EXPECT_EQ(ViewerPageKind(true), 14);
    EXPECT_EQ(ViewerPageKind(false), 6);
}

TEST(NotebookModel, SourceSearchTriesWorkingFolderThenIncludes)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(WriteFile(tmp.filePath("inc1/a.h"), "a"));
    ASSERT_TRUE(WriteFile(tmp.filePath("inc2/a.h"), "a"));
    ASSERT_TRUE(WriteFile(tmp.filePath("inc2/b.h"), "b"));
    ASSERT_TRUE(WriteFile(tmp.filePath("work/b.h"), "b"));
    const QString includes = ";" + tmp.filePath("inc1") + ";" + tmp.filePath("inc2") + "/";
    EXPECT_EQ(FindSourceFile("a.h", tmp.filePath("work"), includes), tmp.filePath("inc1") + "/a.h");
    EXPECT_EQ(FindSourceFile("b.h", tmp.filePath("work"), includes), tmp.filePath("work") + "/b.h");
    EXPECT_EQ(FindSourceFile("c.h", tmp.filePath("work"), includes), "c.h");
    EXPECT_EQ(FindSourceFile(tmp.filePath("inc2/b.h"), "/", includes), tmp.filePath("inc2/b.h"));
}

TEST(NotebookModel, DiskChangeQuestions)
{
    EXPECT_EQ(DiskChangeQuestion("/w/a.c", false), "Disk copy of /w/a.c has changed, Reload from disk?");
    EXPECT_EQ(DiskChangeQuestion("/w/a.c", true),
              "Disk copy of /w/a.c has changed, CHANGES HAVE BEEN MADE TO THE EDITOR COPY AS WELL, "
              "Reload from disk?");
}

// Tabs of equal captions show the trailing folders that tell them apart; a modified editor's
// tab starts with "*".
TEST(TabCaptions, EqualNamesShowTheirFoldersAndChangesAreMarked)
{
    const struct {
        const char *name;
        QStringList captions;
        QStringList paths;
        QList<bool> modified;
        QStringList shown;
    } cases[] = {
        {"different names", {"a.c", "b.c"}, {"/p/a.c", "/q/b.c"}, {false, true}, {"a.c", "*b.c"}},
        {"equal names, different folders",
         {"blink.asm", "blink.asm"},
         {"/inst/examples/blink/blink.asm", "/home/u/copy/blink.asm"},
         {false, false},
         {"blink/blink.asm", "copy/blink.asm"}},
        {"the nearest folders are equal too",
         {"blink.asm", "blink.asm"},
         {"/inst/examples/blink/blink.asm", "/home/work/blink/blink.asm"},
         {true, false},
         {"*examples/blink/blink.asm", "work/blink/blink.asm"}},
        {"a caption with a suffix",
         {"main.lst (C/ASM)", "main.lst (C/ASM)", "main.c"},
         {"/a/main.lst", "/b/main.lst", "/a/main.c"},
         {false, false, false},
         {"a/main.lst (C/ASM)", "b/main.lst (C/ASM)", "main.c"}},
        {"the same file twice needs nothing", {"x.c", "x.c"}, {"/a/x.c", "/a/x.c"}, {false, false},
         {"x.c", "x.c"}},
        {"one folder inside the other",
         {"m.c", "m.c"},
         {"/m.c", "/src/m.c"},
         {false, false},
         {"/m.c", "src/m.c"}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TabCaptions(c.captions, c.paths, c.modified), c.shown) << c.name;
}
