// The project wizard's own code generation on the staged installation (its device database,
// analog option file and project template) for a spread of 14-bit parts, with the main options
// of every page; each generated project compiles with vync without errors, and the PIC16F877A
// one runs in gpsim to the end of its set-up calls.

#include "kivwizard_code.h"
#include "kivwizard_model.h"
#include "pc_dirs.h"
#include "testfiles.h"
#include "vync_compile.h"
#include "vync_runner.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>

namespace {

struct TRealWizardCase {
    const char *device;
    QList<QPair<QString, QString>> settings;
};

// General, I/O pins, analog, communications, timers, other and interrupt choices; the options
// a page does not offer for a part are left out of its list.
QList<TRealWizardCase> Cases()
{
    const QList<QPair<QString, QString>> common = {
        {"np_clock", "20000000"}, {"pin:B4", "PIN_B4,LED"}, {"pullups", "1"}, {"t1mode", "Internal"},
        {"t1res4", "1"}, {"t2enabled", "1"}, {"t2div4", "1"}, {"t2p", "200"}, {"t2i", "2"},
        {"np_zeroram", "1"}, {"intchecklist", "RTCC"}};
    QList<TRealWizardCase> cases = {
        {"PIC16F877A", common + QList<QPair<QString, QString>>{{"adc_pinsrb", "1"}, {"adcclock", "2"}, {"NP_PSP", "1"},
                                                               {"ccp1mode", "PWM"}, {"vref", "8"},
                                                               {"intchecklist", "TIMER1"}}},
        {"PIC16F628A", common + QList<QPair<QString, QString>>{{"nowdt", "0"}, {"wdt72", "1"}, {"ccp1mode", "PWM"}}},
        {"PIC16F88", common + QList<QPair<QString, QString>>{{"np_clock", "8000000"}, {"adcclock", "1"}}},
        {"PIC16F690", common + QList<QPair<QString, QString>>{{"np_clock", "4000000"}}},
        {"PIC16F1827", common + QList<QPair<QString, QString>>{{"np_clock", "16000000"}}},
        {"PIC12F675", {{"np_clock", "4000000"}, {"t1mode", "Internal"}, {"intchecklist", "TIMER1"}}},
    };
    return cases;
}

TEST(VyncRealWizard, GeneratedProjectsCompileAndTheSixteenF877ARuns)
{
    const QString stage = kiv::test::BuildDir() + "/stage/";
    if (!QFileInfo::exists(stage + "utils/devices.dat") || !QFileInfo::exists(stage + "devices/16F877A.h") ||
        !QFileInfo::exists(stage + "lumo/KIV.HT"))
        GTEST_SKIP() << "no staged installation with device headers";
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    kiv::SetExecutablePathForDirs(stage + "bin/kiv");
    for (const TRealWizardCase &c : Cases()) {
        SCOPED_TRACE(c.device);
        kiv::TWizardModel model;
        model.Open();
        QString error;
        ASSERT_TRUE(kiv::RunWizardScript(model, c.device, c.settings, &error)) << error.toStdString();
        const QString folder = home.path() + "/" + c.device;
        QDir().mkpath(folder);
        const kiv::TWizardRunResult written = kiv::WriteWizardFiles(model, folder + "/main.c", QString());
        ASSERT_EQ(written.cPath, folder + "/main.c") << written.error.toStdString();

        kiv::vync::TCompileOptions options;
        options.mainFile = written.cPath.toStdString();
        options.installDir = stage.toStdString();
        const kiv::vync::TCompileOutcome out = kiv::vync::CompileC(options);
        std::string messages;
        for (const auto &m : out.messages.All())
            messages += kiv::vync::MessageLine(out.messages, m) + "\n";
        const std::string source = kiv::test::ReadFile(written.cPath).toStdString() + kiv::test::ReadFile(written.headerPath).toStdString();
        ASSERT_TRUE(out.ok) << messages << source;
        EXPECT_EQ(out.messages.ErrorCount(), 0);
        std::cout << "[ WIZARD   ] " << c.device << ": " << out.program.romUsed << " ROM words, "
                  << out.messages.All().size() << " warnings\n";

        if (std::string(c.device) == "PIC16F877A") {
            const std::string dir = folder.toStdString();
            std::ofstream(dir + "/main.asm", std::ios::binary) << out.assembly;
            std::string tools;
            ASSERT_EQ(kiv::vynctest::Shell("cd '" + dir + "' && gpasm -c -g -o main.o main.asm && gplink -c -m -o main.hex main.o", &tools), 0)
                << tools;
            kiv::vynctest::TRunResult run;
            run.report = out.program;
            kiv::vynctest::RunInGpsim(dir, "main", 500000, &run);
            EXPECT_TRUE(run.finished) << run.messages << source;
            const auto ram = [&](int a) { return run.ram[static_cast<std::size_t>(a)]; };
            EXPECT_EQ(ram(0x10) & 0x31, 0x21) << "T1CON: internal clock, 1:4";
            EXPECT_EQ(ram(0x92), 200) << "PR2";
            EXPECT_EQ(ram(0x12) & 0x07, 0x05) << "T2CON: on, 1:4";
            EXPECT_EQ(ram(0x17) & 0x0F, 0x0C) << "CCP1CON: PWM";
            EXPECT_EQ(ram(0x0B) & 0xA0, 0xA0) << "INTCON: GIE, T0IE";
        }
    }
    kiv::SetExecutablePathForDirs(QString());
}

}  // namespace
