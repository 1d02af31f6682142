// Replays what the fuzz targets keep through the ordinary readers: every seed of
// tests/fuzz/corpus/<target> (real files, which the reader must take) and every kept input of
// tests/fuzz/regressions/<target> (inputs that once broke a reader, which it must now survive;
// an input with a NAME.expect file beside it must give exactly that summary).

#include "fuzz_target.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <string>
#include <vector>

namespace kiv {
namespace {

QString FuzzDir()
{
    return test::SourceDir() + QStringLiteral("/tests/fuzz");
}

std::vector<std::string> TargetNames()
{
    std::vector<std::string> names;
    for (const auto &[name, body] : fuzz::Targets())
        names.push_back(name);
    return names;
}

// The input files of a folder in name order, without the expectation files.
QStringList Inputs(const QString &folder)
{
    QStringList files;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
        if (!name.endsWith(QLatin1String(".expect")) && name != QLatin1String("README"))
            files << dir.filePath(name);
    }
    return files;
}

std::string RunTarget(const std::string &target, const QString &file)
{
    const QByteArray bytes = test::ReadFile(file);
    return fuzz::Targets().at(target)(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                                      static_cast<std::size_t>(bytes.size()));
}

// A target that reads its bytes more than one way (HEX dialects, watch scopes) gives a line per
// way; a seed is taken when one of them took it.
bool SomeLineOk(const std::string &text)
{
    std::size_t at = 0;
    while (at < text.size()) {
        if (text.compare(at, 2, "ok") == 0)
            return true;
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    return false;
}

class FuzzReplay : public ::testing::TestWithParam<std::string> {};

TEST_P(FuzzReplay, ReaderTakesEverySeed)
{
    const QStringList seeds = Inputs(FuzzDir() + "/corpus/" + QString::fromStdString(GetParam()));
    ASSERT_FALSE(seeds.isEmpty()) << "no seed corpus for " << GetParam();
    for (const QString &seed : seeds) {
        const std::string summary = RunTarget(GetParam(), seed);
        EXPECT_TRUE(SomeLineOk(summary)) << seed.toStdString() << ": " << summary;
    }
}

TEST_P(FuzzReplay, ReaderSurvivesKeptInputs)
{
    const QString folder = FuzzDir() + "/regressions/" + QString::fromStdString(GetParam());
    for (const QString &input : Inputs(folder)) {
        const std::string summary = RunTarget(GetParam(), input);
        const QString expectFile = input + QStringLiteral(".expect");
        if (QFile::exists(expectFile)) {
            const std::string expected = test::ReadFile(expectFile).trimmed().toStdString();
            EXPECT_EQ(QByteArray::fromStdString(summary).trimmed().toStdString(), expected) << input.toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, FuzzReplay, ::testing::ValuesIn(TargetNames()),
                         [](const ::testing::TestParamInfo<std::string> &info) { return info.param; });

// Every folder of kept inputs belongs to a target, so that none is silently left out.
TEST(FuzzReplayFolders, EveryFolderHasItsTarget)
{
    for (const char *kind : {"corpus", "regressions"}) {
        const QDir dir(FuzzDir() + "/" + kind);
        for (const QString &name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            EXPECT_EQ(fuzz::Targets().count(name.toStdString()), 1u) << kind << "/" << name.toStdString();
    }
}

}  // namespace
}  // namespace kiv
