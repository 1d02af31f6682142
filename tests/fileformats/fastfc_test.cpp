// File compare: the difference algorithm (against a quadratic LCS on random sequences), the
// merged listing and its options, and the normal diff output against GNU diff on seeded random
// edits.

#include "fastfc.h"
#include "testfiles.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

namespace kiv {
namespace {

int LcsLength(const std::vector<int> &a, const std::vector<int> &b)
{
    std::vector<int> row(b.size() + 1, 0), prev(b.size() + 1, 0);
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j)
            row[j] = a[i - 1] == b[j - 1] ? prev[j - 1] + 1 : std::max(prev[j], row[j - 1]);
        std::swap(row, prev);
    }
    return prev[b.size()];
}

// Applies an edit script to a and checks that it yields b.
std::vector<int> Apply(const std::vector<int> &a, const std::vector<int> &b, const std::vector<TEdit> &script)
{
    std::vector<int> out;
    size_t next = 0;  // next line of a (0-based) not yet copied
    std::vector<bool> deleted(a.size(), false);
    for (const TEdit &e : script)
        if (e.kind == TEdit::Delete)
            deleted[size_t(e.i - 1)] = true;
    for (const TEdit &e : script) {
        if (e.kind != TEdit::Insert)
            continue;
        for (; next < size_t(e.p); ++next)
            if (!deleted[next])
                out.push_back(a[next]);
        out.push_back(b[size_t(e.j - 1)]);
    }
    for (; next < a.size(); ++next)
        if (!deleted[next])
            out.push_back(a[next]);
    return out;
}

TEST(CIntArrayDiff, ShortestScriptsOnRandomSequences)
{
    std::mt19937 random(1234);
    for (int round = 0; round < 400; ++round) {
        const int n = int(random() % 40), m = int(random() % 40), alphabet = 1 + int(random() % 6);
        std::vector<int> a(static_cast<size_t>(n)), b(static_cast<size_t>(m));
        for (int &v : a)
            v = int(random() % alphabet);
        for (int &v : b)
            v = int(random() % alphabet);
        CIntArrayDiff diff(a, b);
        const std::vector<TEdit> &script = diff.GetEditScript();
        const int lcs = LcsLength(a, b);
        EXPECT_EQ(int(script.size()), n + m - 2 * lcs) << "round " << round;
        EXPECT_EQ(Apply(a, b, script), b) << "round " << round;
        int runLength = 0;
        int lastX = 0, lastY = 0;
        for (const TLcsRun &run : diff.GetLcs()) {
            EXPECT_GT(run.x, lastX);
            EXPECT_GT(run.y, lastY);
            for (int k = 0; k < run.length; ++k)
                EXPECT_EQ(a[size_t(run.x - 1 + k)], b[size_t(run.y - 1 + k)]);
            lastX = run.x + run.length - 1;
            lastY = run.y + run.length - 1;
            runLength += run.length;
        }
        EXPECT_EQ(runLength, lcs);
    }
}

TEST(CIntArrayDiff, DeletionsOfAGapComeBeforeItsInsertions)
{
    CIntArrayDiff diff({1, 2, 3}, {1, 4, 3});
    const std::vector<TEdit> &script = diff.GetEditScript();
    ASSERT_EQ(script.size(), 2u);
    EXPECT_EQ(script[0].kind, TEdit::Delete);
    EXPECT_EQ(script[0].i, 2);
    EXPECT_EQ(script[1].kind, TEdit::Insert);
    EXPECT_EQ(script[1].j, 2);
    EXPECT_EQ(script[1].p, 2);
}

class FileCompare : public ::testing::Test {
protected:
    QString File(const QString &name, const QByteArray &text)
    {
        const QString path = m_dir.filePath(name);
        EXPECT_TRUE(test::WriteFile(path, text));
        return path;
    }
    // Runs the comparison of two texts; the result file's lines after the "Comparing" line.
    QStringList Compare(const QByteArray &one, const QByteArray &two, TCompareOptions options = {},
                        bool expectOk = true)
    {
        const QString a = File("one.txt", one), b = File("two.txt", two);
        std::string error;
        CFileCompare compare;
        EXPECT_EQ(compare.Run(a.toStdString(), b.toStdString(), Result().toStdString(), options, &error), expectOk)
            << error;
        m_error = QString::fromStdString(error);
        const QByteArray result = test::ReadFile(Result());
        EXPECT_TRUE(result.isEmpty() || result.endsWith("\r\n"));
        QStringList lines = QString::fromLatin1(result).split(QStringLiteral("\r\n"));
        lines.removeLast();
        if (expectOk) {
            EXPECT_EQ(lines.value(0), "Comparing " + a + " and " + b);
            lines.removeFirst();
        }
        return lines;
    }
    QString Result() const { return m_dir.filePath("compare.$$$"); }

    QTemporaryDir m_dir;
    QString m_error;
};

TEST_F(FileCompare, IdenticalFiles)
{
    EXPECT_EQ(Compare("a\nb\nc\n", "a\nb\nc\n"), QStringList({"  a", "  b", "  c"}));
}

TEST_F(FileCompare, InsertedLine)
{
    EXPECT_EQ(Compare("1\n2\n3\n4\n5\n", "1\n2\n3\nnew\n4\n5\n"),
              QStringList({"  1", "  2", "  3", "I !> new", "  4", "  5"}));
}

TEST_F(FileCompare, ReplacedLine)
{
    EXPECT_EQ(Compare("1\n2\n3\n", "1\nTWO\n3\n"), QStringList({"  1", "D <! 2", "I !> TWO", "  3"}));
}

TEST_F(FileCompare, IgnoreCase)
{
    EXPECT_EQ(Compare("Movlw 1\nx\n", "MOVLW 1\nX\n", {.ignoreCase = true}), QStringList({"  Movlw 1", "  x"}));
    EXPECT_EQ(Compare("a\n", "A\n", {}), QStringList({"D <! a", "I !> A"}));
}

TEST_F(FileCompare, EmptyFirstFile)
{
    EXPECT_EQ(Compare("", "x\ny\n"), QStringList({"I !> x", "I !> y"}));
    EXPECT_EQ(Compare("x\ny\n", ""), QStringList({"D <! x", "D <! y"}));
    EXPECT_EQ(Compare("", ""), QStringList());
}

TEST_F(FileCompare, LineEndsAndMissingFinalBreak)
{
    EXPECT_EQ(Compare("a\r\nb\r\n", "a\nb"), QStringList({"  a", "  b"}));
}

TEST_F(FileCompare, NotListFiles)
{
    EXPECT_EQ(Compare("abc\nx\n", "abcdef\nx\n", {.ignoreRam = true}, false), QStringList({"Files are not list file"}));
    EXPECT_EQ(m_error, "Error! One of the file is not a compatible list file.");
}

// An MPASM listing line: address, instruction word, the source from column 27 (the first
// word's length + 23).
QByteArray Mpasm(const char *address, const char *word, const char *source)
{
    QByteArray line = QByteArray(address) + ' ' + word;
    return line.leftJustified(26, ' ') + source + '\n';
}

TEST_F(FileCompare, MpasmListingIgnoringRomAddresses)
{
    const QByteArray one = "MPASM 5.50  PROG.ASM\n" + Mpasm("0000", "3012", "movlw   0x12") + Mpasm("0001", "2805", "goto    lab1");
    const QByteArray two = "MPASM 5.50  PROG.ASM\n" + Mpasm("0010", "3012", "movlw   0x12") + Mpasm("0011", "2899", "goto    lab2");
    TCompareOptions options{.ignoreCase = true, .ignoreRom = true};
    const QStringList result = Compare(one, two, options);
    ASSERT_EQ(result.size(), 3);
    for (const QString &line : result)
        EXPECT_TRUE(line.startsWith("  ")) << line.toStdString();
    EXPECT_EQ(NormaliseLine(Mpasm("0001", "2805", "goto    lab1").chopped(1).toStdString(), options, 3), "GOTO");
    EXPECT_EQ(NormaliseLine(Mpasm("0001", "3012", "movlw   0x12").chopped(1).toStdString(), options, 3), "MOVLW   0X12");
    // Without ignore ROM the addresses count.
    EXPECT_EQ(Compare(one, two, {.ignoreCase = true}).count("  MPASM 5.50  PROG.ASM"), 1);
    EXPECT_EQ(Compare(one, two, {.ignoreCase = true}).size(), 5);
}

TEST_F(FileCompare, MovlbLinesLeave)
{
    EXPECT_EQ(Compare("a\nmovlb 1\nb\n", "a\nb\nMOVLB 2\n", {.ignoreCase = true, .ignoreMovlb = true}),
              QStringList({"  a", "  b"}));
}

TEST_F(FileCompare, RegisterOperandsIgnored)
{
    // Our compiler's listing, RAM addresses: the register operand of the instruction at column
    // 10 goes (an "x" five columns on, then the run of hexadecimal digits).
    TCompareOptions options{.ignoreRam = true};
    EXPECT_EQ(NormaliseLine("0004:    BSF 0x21,3  ; flag", options, 2), "0004:    BSF 0,3  ; flag");
    EXPECT_EQ(NormaliseLine("0004:    BSF 0x35,3  ; flag", options, 2), "0004:    BSF 0,3  ; flag");
    EXPECT_EQ(NormaliseLine("0004:    MOVLW  0x21    ; count", options, 2), "0004:    MOVLW  0x21    ; count");
    EXPECT_EQ(NormaliseLine("0004:    BSF 0x21,3 ; RETFIE", options, 2), "0004:    BSF 0x21,3 ; RETFIE");
    EXPECT_EQ(NormaliseLine("short", options, 2), "short");
    EXPECT_EQ(DetectListingType("VYN listing", "VYN listing 2"), 2);
    EXPECT_EQ(DetectListingType("MPASM 1", "x MPASM"), 3);
    EXPECT_EQ(DetectListingType("PIC16 list", "gplist PIC"), 4);
    EXPECT_EQ(DetectListingType("PIC", "PIC16F877"), 0);
    EXPECT_EQ(DetectListingType("abcdef", "ghijkl"), 0);
}

TEST_F(FileCompare, ErrorsNameTheFile)
{
    const QString missing = m_dir.filePath("missing.txt");
    const QString b = File("b.txt", "x\n");
    CFileCompare compare;
    std::string error;
    EXPECT_FALSE(compare.Run(missing.toStdString(), b.toStdString(), Result().toStdString(), {}, &error));
    EXPECT_EQ(error, missing.toStdString() + ": Error reading the file");
    const QString noFolder = m_dir.filePath("no/such/compare.$$$");
    EXPECT_FALSE(compare.Run(b.toStdString(), b.toStdString(), noFolder.toStdString(), {}, &error));
    EXPECT_EQ(error, noFolder.toStdString() + ": Error creating the file");
}

// The lines point into the text, so the object is filled where it stays.
void Text(TTextLines &lines, std::string text)
{
    lines.text = std::move(text);
    lines.Split();
}

TEST(NormalDiff, FormOfTheChangeCommands)
{
    TTextLines a, b;
    Text(a, "1\n2\n3\n4\n5\n6\n");
    Text(b, "1\nX\n3\n5\n6\n7\n8");
    std::vector<int> ka, kb;
    LineKeys(a.lines, b.lines, &ka, &kb);
    int deleted = 0, inserted = 0;
    EXPECT_EQ(NormalDiff(a, b, ka, kb, &deleted, &inserted),
              "2c2\n< 2\n---\n> X\n4d3\n< 4\n6a6,7\n> 7\n> 8\n\\ No newline at end of file\n");
    EXPECT_EQ(deleted, 2);
    EXPECT_EQ(inserted, 3);
}

// Against GNU diff: seeded random edits of a generated file — insertions, deletions, changes
// and moved blocks — must give the same numbers of deleted and inserted lines.
class GnuDiffAgreement : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("diff")).isEmpty())
            GTEST_SKIP() << "GNU diff not installed";
    }
    // Runs GNU diff; counts its "<" and ">" lines.
    void Peer(const QString &a, const QString &b, const QStringList &options, int *deleted, int *inserted, int *status)
    {
        QProcess process;
        process.start(QStringLiteral("diff"), options + QStringList{a, b});
        ASSERT_TRUE(process.waitForFinished(60000));
        *status = process.exitCode();
        *deleted = *inserted = 0;
        for (const QByteArray &line : process.readAllStandardOutput().split('\n')) {
            if (line.startsWith("< "))
                ++*deleted;
            else if (line.startsWith("> "))
                ++*inserted;
        }
    }
    void Ours(const QByteArray &one, const QByteArray &two, int *deleted, int *inserted, std::string *out)
    {
        TTextLines a, b;
        Text(a, one.toStdString());
        Text(b, two.toStdString());
        std::vector<int> ka, kb;
        LineKeys(a.lines, b.lines, &ka, &kb);
        *out = NormalDiff(a, b, ka, kb, deleted, inserted);
    }
    QTemporaryDir m_dir;
};

TEST_F(GnuDiffAgreement, SeededRandomEdits)
{
    std::mt19937 random(29);
    const char *const kWords[] = {"{", "}", "", "  return 0;", "  i++;", "alpha", "beta"};
    int identicalOutputs = 0;
    const int rounds = qEnvironmentVariableIntValue("KIV_COMPARE_ROUNDS") > 0 ? qEnvironmentVariableIntValue("KIV_COMPARE_ROUNDS") : 40;
    for (int round = 0; round < rounds; ++round) {
        std::vector<std::string> lines;
        const int count = 50 + int(random() % 3000);
        for (int i = 0; i < count; ++i)
            lines.push_back(random() % 3 ? std::string(kWords[random() % 7]) : "line " + std::to_string(random() % 500));
        std::vector<std::string> edited = lines;
        const int edits = 1 + int(random() % 40);
        for (int e = 0; e < edits && !edited.empty(); ++e) {
            const size_t at = random() % edited.size();
            switch (random() % 4) {
            case 0: edited.insert(edited.begin() + long(at), "inserted " + std::to_string(random())); break;
            case 1: edited.erase(edited.begin() + long(at), edited.begin() + long(std::min(edited.size(), at + 1 + random() % 4))); break;
            case 2: edited[at] = "changed " + std::to_string(random()); break;
            default: {  // a block moves elsewhere
                const size_t length = std::min<size_t>(edited.size() - at, 1 + random() % 20);
                std::vector<std::string> block(edited.begin() + long(at), edited.begin() + long(at + length));
                edited.erase(edited.begin() + long(at), edited.begin() + long(at + length));
                const size_t to = edited.empty() ? 0 : random() % edited.size();
                edited.insert(edited.begin() + long(to), block.begin(), block.end());
            }
            }
        }
        QByteArray one, two;
        for (const std::string &l : lines)
            one += QByteArray::fromStdString(l) + '\n';
        for (const std::string &l : edited)
            two += QByteArray::fromStdString(l) + '\n';
        const QString a = m_dir.filePath("a.txt"), b = m_dir.filePath("b.txt");
        ASSERT_TRUE(test::WriteFile(a, one));
        ASSERT_TRUE(test::WriteFile(b, two));
        int peerDeleted, peerInserted, status, deleted, inserted;
        Peer(a, b, {QStringLiteral("--minimal")}, &peerDeleted, &peerInserted, &status);
        std::string out;
        Ours(one, two, &deleted, &inserted, &out);
        EXPECT_EQ(deleted, peerDeleted) << "round " << round;
        EXPECT_EQ(inserted, peerInserted) << "round " << round;
        EXPECT_EQ(out.empty(), status == 0);
        QProcess process;
        process.start(QStringLiteral("diff"), {a, b});
        process.waitForFinished(60000);
        identicalOutputs += process.readAllStandardOutput().toStdString() == out;
    }
    std::printf("  output identical to GNU diff's in %d of %d rounds\n", identicalOutputs, rounds);
}

TEST_F(GnuDiffAgreement, SpecialFiles)
{
    struct TCase {
        const char *name;
        QByteArray one, two;
        QStringList peerOptions;
    };
    const TCase cases[] = {
        {"identical", "a\nb\n", "a\nb\n", {}},
        {"both empty", "", "", {}},
        {"first empty", "", "a\nb\n", {}},
        {"second empty", "a\nb\n", "", {}},
        {"no final break, equal lines", "a\nb", "a\nb\n", {}},
        {"no final break, different", "a\nb", "a\nc", {}},
        {"CR LF against LF", "a\r\nb\r\nc\r\n", "a\nb\nd\n", {QStringLiteral("--strip-trailing-cr")}},
    };
    for (const TCase &c : cases) {
        const QString a = m_dir.filePath("a.txt"), b = m_dir.filePath("b.txt");
        ASSERT_TRUE(test::WriteFile(a, c.one));
        ASSERT_TRUE(test::WriteFile(b, c.two));
        int peerDeleted, peerInserted, status, deleted, inserted;
        Peer(a, b, c.peerOptions, &peerDeleted, &peerInserted, &status);
        std::string out;
        Ours(c.one, c.two, &deleted, &inserted, &out);
        if (std::string(c.name) == "no final break, equal lines") {
            // The lines are the same; only the final line break differs, which diff reports.
            EXPECT_TRUE(out.empty());
            EXPECT_EQ(status, 1);
            continue;
        }
        EXPECT_EQ(deleted, peerDeleted) << c.name;
        EXPECT_EQ(inserted, peerInserted) << c.name;
        EXPECT_EQ(out.empty(), status == 0) << c.name;
    }
}

}  // namespace
}  // namespace kiv
