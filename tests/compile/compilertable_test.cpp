#include "compile_fixture.h"
#include "compilertable.h"

namespace kiv::test {
namespace {

TEST(CompilerTable, HoldsTheSixEditionsInOrder)
{
    const QStringList codes = {"QEL", "QOR", "QAN", "NIV", "MAZ", "QIRVA"};
    const QStringList names = {"Microchip 12 bit", "Microchip 14 bit", "Microchip PIC18",
                               "Maxim UC",         "Scenix SX",        "Microchip dsPIC"};
    ASSERT_EQ(CompilerTable.size(), 6u);
    for (int n = 0; n < 6; ++n) {
        EXPECT_EQ(QString::fromLatin1(CompilerTable[n].code), codes[n]);
        EXPECT_EQ(QString::fromLatin1(CompilerTable[n].name), names[n]);
        EXPECT_LE(qstrlen(CompilerTable[n].code), 5u);
        EXPECT_LE(qstrlen(CompilerTable[n].name), 25u);
    }
}

using InstalledCompilers = TCompileFixture;

TEST_F(InstalledCompilers, PreSelectionDependsOnHowManyAreInstalled)
{
    struct Case {
        QStringList installed;
        QStringList listed;
        int selected;
    };
    const Case cases[] = {
        {{}, {}, -1},
        {{"QAN"}, {"QAN"}, 0},
        {{"QAN", "QEL"}, {"QEL", "QAN"}, 1},
        {{"MAZ", "QOR", "QEL"}, {"QEL", "QOR", "MAZ"}, 1},
    };
    for (const Case &c : cases) {
        QDir(dllDir).removeRecursively();
        QDir().mkpath(dllDir);
        Install(c.installed);
        TInstalledCompilers compilers;
        compilers.Build(dllDir);
        EXPECT_EQ(compilers.Codes(), c.listed) << c.installed.join(',').toStdString();
        EXPECT_EQ(compilers.Selected(), c.selected) << c.installed.join(',').toStdString();
    }
}

TEST_F(InstalledCompilers, NamesFollowTheCodesAndSelectionStaysInRange)
{
    Install({"QOR", "MAZ"});
    // A file of another edition name that is not in the table is not an edition.
    WriteFile(dllDir + "QUT.so", "x");
    TInstalledCompilers compilers;
    compilers.Build(dllDir);
    EXPECT_EQ(compilers.Names(), QStringList({"Microchip 14 bit", "Scenix SX"}));
    EXPECT_EQ(compilers.SelectedCode(), "MAZ");
    EXPECT_FALSE(compilers.Select(2));
    EXPECT_FALSE(compilers.Select(-1));
    EXPECT_EQ(compilers.Selected(), 1);
    EXPECT_TRUE(compilers.Select(0));
    EXPECT_EQ(compilers.SelectedName(), "Microchip 14 bit");
    EXPECT_EQ(compilers.IndexOfCode("MAZ"), 1);
    EXPECT_EQ(compilers.IndexOfCode("QEL"), -1);
    EXPECT_EQ(compilers.IndexContaining("AZ"), 1);
    EXPECT_EQ(compilers.IndexContaining("Q"), 0);
}

TEST_F(InstalledCompilers, AFolderNamedLikeALibraryIsNotAnEdition)
{
    QDir().mkpath(dllDir + "QEL.so");
    EXPECT_FALSE(CompilerInstalled(dllDir, "QEL"));
    EXPECT_EQ(CompilerLibraryPath(dllDir, "QEL"), dllDir + "QEL.so");
}

}  // namespace
}  // namespace kiv::test
