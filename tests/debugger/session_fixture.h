#pragma once

// A debug session over the scripted libraries: a temporary project with its output files, a
// small device database, a recording host and a scripted prompt.

#include "devicesdat_writer.h"
#include "fakehost.h"
#include "kivini.h"
#include "kivprompt.h"
#include "scriptlibs.h"
#include "testfiles.h"
#include "uDbgForm_model.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace kiv::test {

/// A COFF file's two headers (new format, magic 0x1240) naming processor `id`.
inline QByteArray CoffHeaders(uint32_t id)
{
    QByteArray bytes(20 + 18, '\0');
    const auto put16 = [&bytes](int at, uint32_t v) {
        bytes[at] = char(v & 0xFF);
        bytes[at + 1] = char((v >> 8) & 0xFF);
    };
    put16(0, 0x1240);
    put16(16, 18);
    put16(20, 0x5678);
    put16(26, id & 0xFFFF);
    put16(28, id >> 16);
    return bytes;
}

class SessionFixture : public ::testing::Test {
protected:
    explicit SessionFixture(const char *library = "scriptdbg_sim")
        : dbg(library)
    {
    }

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        devices = dir.filePath(QStringLiteral("devices.dat"));
        TDevicesDatWriter writer;
        DeviceRecord pic16;
        pic16.setName(QStringLiteral("PIC16F877A"));
        pic16.setKind(1);
        pic16.setId(0x877A);
        pic16.setEepromSize(16);
        for (int a = 0x20; a <= 0x7F; ++a)
            pic16.setRamMap(a, 1);
        pic16.setRamMap(0x1EF, 1);
        pic16.setPortMask('B', 0xFF);
        writer.AddRecord(pic16);
        DeviceRecord pic18;
        pic18.setName(QStringLiteral("PIC18F452"));
        pic18.setKind(3);
        pic18.setId(0x452);
        writer.AddRecord(pic18);
        ASSERT_TRUE(writer.Save(devices));
        SetDeviceFile(devices);

        base = dir.filePath(QStringLiteral("blink"));
        source = base + QStringLiteral(".asm");
        list = base + QStringLiteral(".lst");
        settings = dir.filePath(QStringLiteral("kiv.ini"));
        WriteProject(0x877A);
        ASSERT_TRUE(WriteFile(source, "; line 1\nmain\n  nop\n  nop\nloop\n  goto loop\ndelay\n  return\n"));
        ASSERT_TRUE(WriteFile(list, "list 1\nlist 2\nlist 3\nlist 4\nlist 5\nlist 6\n"));
        ASSERT_TRUE(WriteFile(base + QStringLiteral(".pjt"), "[PROJECT]\r\nProcessor=0x877A\r\n"));

        watch.AddFile(source);
        // address -> (file 0, line, list line)
        watch.AddLine(0, 2, 1, 0);
        watch.AddLine(0, 3, 2, 1);
        watch.AddLine(0, 4, 3, 2);
        watch.AddLine(0, 6, 4, 3);
        watch.AddLine(0, 8, 5, 0x10);
        watch.AddFunction("main", 0, 3);
        watch.AddFunction("delay", 0x10, 0x10);
        watch.AddSymbol("count", 0x20, 2);

        host.base = base;
        model = std::make_unique<TDbgFormModel>(host, settings, watch.Path(), QStringList{dbg.Path()}, devices);
    }

    void TearDown() override
    {
        if (model && model->IsActive()) {
            model->Stop(false);
            WaitUntil([this] { return !model->IsActive(); });
        }
        model.reset();
        SetDeviceFile(QString());
    }

    void WriteProject(uint32_t id)
    {
        ASSERT_TRUE(WriteFile(base + QStringLiteral(".cof"), CoffHeaders(id)));
        ASSERT_TRUE(WriteFile(base + QStringLiteral(".hex"),
                              ":0400000000000000FC\n:0400020001020304F0\n:00000001FF\n"));
    }

    /// Runs the event loop until `done` or 5 seconds.
    template <typename F>
    static bool WaitUntil(F done)
    {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    }

    /// The names of the debugger library's calls, in order.
    QStringList CallNames() const
    {
        QStringList names;
        for (const QString &call : dbg.Calls())
            names << call.section(QLatin1Char(' '), 0, 0);
        return names;
    }

    void EnableReady()
    {
        model->Enable();
        ASSERT_EQ(model->State(), dsReady) << prompt.Messages().join(QLatin1Char('\n')).toStdString();
    }

    QTemporaryDir dir;
    TScriptDbg dbg;
    TScriptWatch watch;
    TFakeHost host;
    TScriptedPrompt prompt;
    TPromptGuard guard{&prompt};
    QString devices;
    QString base;
    QString source;
    QString list;
    QString settings;
    std::unique_ptr<TDbgFormModel> model;
};

}  // namespace kiv::test
