// A session on the example program blink.asm built by gputils, with the real watch library
// (watch/vynwatch.so) and the scripted debugger library in the simulator's place: source
// lines, breakpoints, watches and the peripheral registers from the real debug file.

#include "devicesdat_writer.h"
#include "fakehost.h"
#include "gputils_build.h"
#include "kivini.h"
#include "kivprompt.h"
#include "scriptlibs.h"
#include "testfiles.h"
#include "uDbgForm_model.h"
#include "uDebugFormBreaks_model.h"
#include "uDebugFormRAM_model.h"
#include "uDebugFormStack_model.h"
#include "uDebugFormWatches_model.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kiv;
using namespace kiv::test;

namespace {

class RealWatch : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!GputilsAvailable())
            GTEST_SKIP() << "gputils is not installed (the setup step installs it)";
        ASSERT_TRUE(dir.isValid());
        const QByteArray source = ReadFile(SourceDir() + QStringLiteral("/data/examples/blink/blink.asm"));
        ASSERT_FALSE(source.isEmpty());
        program = BuildProgram(dir.path(), QStringLiteral("blink"), source, TBuildKind::bkRelocatable);
        ASSERT_TRUE(program.ok) << program.log.toStdString();
        // The device database names the part the COFF file's processor number stands for.
        const QByteArray cof = ReadFile(program.Path("cof"));
        ASSERT_GE(cof.size(), 30);
        const auto u16 = [&cof](int at) { return uint32_t(uint8_t(cof[at])) | (uint32_t(uint8_t(cof[at + 1])) << 8); };
        const int stamp = u16(0) == 0x1234 ? 2 : 4;
        const uint32_t id = u16(22 + stamp);
        devices = dir.filePath(QStringLiteral("devices.dat"));
        TDevicesDatWriter writer;
        DeviceRecord pic;
        pic.setName(QStringLiteral("PIC16F877A"));
        pic.setKind(1);
        pic.setId(uint16_t(id));
        pic.setEepromSize(16);
        pic.setPortMask('B', 0xFF);
        for (int a = 0x20; a <= 0x7F; ++a)
            pic.setRamMap(a, 1);
        writer.AddRecord(pic);
        ASSERT_TRUE(writer.Save(devices));
        SetDeviceFile(devices);
        host.base = program.base;
        model = std::make_unique<TDbgFormModel>(host, dir.filePath(QStringLiteral("kiv.ini")), QStringLiteral(KIV_WATCH_LIBRARY),
                                                QStringList{dbg.Path()}, devices);
    }
    void TearDown() override
    {
        if (model && model->IsActive())
            model->Stop(false);
        model.reset();
        SetDeviceFile(QString());
    }
    /// The 1-based line of blink.asm that starts with `text` (after blanks).
    int LineOf(const char *text) const
    {
        const QStringList lines = QString::fromLatin1(ReadFile(program.Path("asm"))).split(QLatin1Char('\n'));
        for (int i = 0; i < lines.size(); ++i) {
            if (lines.at(i).trimmed().startsWith(QLatin1String(text)))
                return i + 1;
        }
        return 0;
    }
    quint32 AddressOf(int line)
    {
        TWatchLine where;
        where.fileNumber = model->FileIndex(program.Path("asm"));
        where.line = line;
        EXPECT_TRUE(model->Watch()->FindLine(wfLineToAddress, where)) << line;
        return where.address;
    }

    QTemporaryDir dir;
    TScriptDbg dbg{"scriptdbg_sim"};
    TFakeHost host;
    TScriptedPrompt prompt;
    TPromptGuard guard{&prompt};
    TBuiltProgram program;
    QString devices;
    std::unique_ptr<TDbgFormModel> model;
};

}  // namespace

TEST_F(RealWatch, TheProgramsLinesAndTheResetMarker)
{
    model->Enable();
    ASSERT_EQ(model->State(), dsReady) << prompt.Messages().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(model->codeTarget, QStringLiteral("PIC16F877A"));
    ASSERT_NE(model->FileIndex(program.Path("asm")), -1) << model->sourceFiles.join(QLatin1Char(' ')).toStdString();
    // After reset a 14-bit part stands at address 1, the second word of "pagesel main".
    const QString asmFile = model->FileName(model->FileIndex(program.Path("asm")));
    ASSERT_TRUE(host.open.contains(asmFile));
    EXPECT_EQ(host.open[asmFile].current, LineOf("pagesel main"));
}

TEST_F(RealWatch, BreakpointsWatchesAndSteps)
{
    model->Enable();
    ASSERT_EQ(model->State(), dsReady) << prompt.Messages().join(QLatin1Char('\n')).toStdString();
    const QString asmFile = model->FileName(model->FileIndex(program.Path("asm")));
    const int inner = LineOf("decfsz  count2, f");
    ASSERT_GT(inner, 0);
    const quint32 innerAddress = AddressOf(inner);
    EXPECT_GE(model->Breaks().AddBreak(asmFile, inner), 0);
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_SET_BREAK")).last(), QStringLiteral("DBG_SET_BREAK %1").arg(innerAddress));

    // A watch reads the variable through the IDE's memory function.
    QString address;
    ASSERT_TRUE(model->Watch()->Evaluate(model->curFile, model->curLine, QStringLiteral("&count2"), address, 255,
                                         &TDebugRamModel::MemoryFunction, &model->Ram()));
    const int count2 = address.toInt(nullptr, 0);
    ASSERT_GT(count2, 0) << address.toStdString();
    dbg.Ram()[count2] = 0x2A;
    model->Watches().AddWatchText(QStringLiteral("count2"));
    EXPECT_TRUE(model->Watches().WatchElement(0).value.startsWith(QStringLiteral("42"))) << model->Watches().WatchElement(0).value.toStdString();

    // Run stops at the breakpoint: the marker is on its line.
    dbg.PushStop(innerAddress, 0, kDbgStoppedOnBreak);
    model->Run();
    EXPECT_EQ(host.open[asmFile].current, inner);
    // A single step onto the next instruction's line.
    dbg.PushStep(innerAddress + 1);
    model->Step();
    EXPECT_EQ(host.open[asmFile].current, LineOf("goto    inner"));
}
