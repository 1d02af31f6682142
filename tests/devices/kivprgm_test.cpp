#include "kivini.h"
#include "kivprgm_model.h"
#include "pc_dirs.h"

#include "testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace kiv;
using kiv::test::ReadFile;
using kiv::test::WriteFile;

namespace {

struct TExpandCase {
    const char *name;
    const char *command;
    bool project;              // with the project of the fixture, or none
    const char *program;
    QStringList arguments;     // "$H" hex file, "$B" base
};

// The project of the expansion table lives in a folder with a blank in its name.
const QString kBase = QStringLiteral("/work/my projects/blink");
const QString kHex = QStringLiteral("/work/my projects/blink.HEX");

QStringList Expected(const QStringList &arguments)
{
    QStringList out;
    for (QString a : arguments)
        out << a.replace("$H", kHex).replace("$B", kBase);
    return out;
}

}  // namespace

TEST(ToolLaunch, TemplatesExpandAsATable)
{
    const TExpandCase cases[] = {
        // The defaults of the three filled slots.
        {"WARP-13", "C:\\PROGRA~1\\WARP13\\WARP13.EXE  %H /%D", true, "C:\\PROGRA~1\\WARP13\\WARP13.EXE", {"$H", "/"}},
        {"ICD", "\"c:\\program files\\lumo\\ICD.EXE\" \"-T%H\"", true, "c:\\program files\\lumo\\ICD.EXE", {"-T$H"}},
        {"MPLAB", "c:\\program files\\mplab ide\\dlls\\mplab.exe %P", true,
         "c:\\program files\\mplab ide\\dlls\\mplab.exe", {"$B.mcp"}},
        // Every marker, in either case.
        {"Prog", "/usr/bin/picprog %P %C %H %D", true, "/usr/bin/picprog", {"$B.pjt", "$B.cod", "$H", ""}},
        {"Prog", "/usr/bin/picprog -p%p -c%c -h%h", true, "/usr/bin/picprog", {"-p$B.pjt", "-c$B.cod", "-h$H"}},
        // Only the first occurrence is replaced; the rest of the text keeps its case.
        {"Prog", "/usr/bin/picprog %H %H -X", true, "/usr/bin/picprog", {"$H", "%H", "-X"}},
        // MPLAB by name but not from its DLLS folder: the project file.
        {"mplab 8", "/opt/mplab/bin/mplab %P", true, "/opt/mplab/bin/mplab", {"$B.pjt"}},
        // Without a project the program gets no arguments.
        {"Prog", "/usr/bin/picprog %P %C %H %D", false, "/usr/bin/picprog", {}},
        // A program without a blank after it, a quoted program without its closing quote.
        {"Prog", "/usr/bin/picprog", true, "/usr/bin/picprog", {}},
        {"Prog", "\"/opt/pic tools/prog", true, "/opt/pic tools/prog", {}},
        // ".exe" inside a folder name ends no program path.
        {"Prog", "/home/me/my.executables/prog %H", true, "/home/me/my.executables/prog", {"$H"}},
        {"Prog", "/opt/x/PROG.BAT  -q  %H", true, "/opt/x/PROG.BAT", {"-q", "$H"}},
        // Quoted parts group; two double quotes inside stand for one.
        {"Prog", "/usr/bin/prog \"a b\" \"say \"\"hi\"\"\" %C", true, "/usr/bin/prog", {"a b", "say \"hi\"", "$B.cod"}},
    };
    for (const TExpandCase &c : cases) {
        SCOPED_TRACE(c.command);
        TLaunchContext context;
        if (c.project) {
            context.base = kBase;
            context.hexFile = kHex;
        }
        const TToolCommand command = ExpandToolCommand({QString::fromLatin1(c.name), QString::fromLatin1(c.command)}, context);
        EXPECT_EQ(command.program, QString::fromLatin1(c.program));
        EXPECT_EQ(command.arguments, Expected(c.arguments));
    }
}

TEST(ToolLaunch, ReplacementTextIsNotReadAgain)
{
    TLaunchContext context;
    context.base = "/tmp/100%Hdone/x";
    context.hexFile = "/tmp/100%Ddone/x.HEX";
    const TToolCommand command = ExpandToolCommand({"Prog", "/bin/p %P %H %D"}, context);
    EXPECT_EQ(command.arguments, QStringList({"/tmp/100%Hdone/x.pjt", "/tmp/100%Ddone/x.HEX", ""}));
    EXPECT_EQ(command.Display(), "/bin/p /tmp/100%Hdone/x.pjt /tmp/100%Ddone/x.HEX \"\"");
}

TEST(ToolLaunch, BasePartNumberFromTheHexFile)
{
    QTemporaryDir dir;
    const QString hex = dir.filePath("blink.HEX");
    ASSERT_TRUE(WriteFile(hex, ":020000000528D1\r\n:00000001FF\r\n;PIC16F877A\r\n\r\n"));
    EXPECT_EQ(BasePartNumber(hex, "/opt/prog"), "PIC16F877A");
    EXPECT_EQ(BasePartNumber(hex, "C:\\PROGRA~1\\WARP13\\WARP13.EXE"), "16F877A");
    EXPECT_EQ(BasePartNumber(dir.filePath("none.HEX"), "/opt/warp"), "");

    TLaunchContext context{hex, dir.filePath("blink"), {}};
    const TToolCommand command = ExpandToolCommand({"WARP-13", "/opt/warp13/warp13 %H /%D"}, context);
    EXPECT_EQ(command.arguments, QStringList({hex, "/16F877A"}));
}

TEST(ToolLaunch, StoredCommandsReadBackUnchanged)
{
    struct TCase {
        const char *command;
        const char *stored;
    };
    const TCase cases[] = {
        {"prog %H", "prog %H"},
        {"\"/opt/my prog\" \"-T%H\"", "{/opt/my prog{ {-T%H{"},
        {"\"c:\\program files\\lumo\\ICD.EXE\" \"-T%H\"", "\"{c:\\program files\\lumo\\ICD.EXE{ {-T%H{\""},
        {"", ""},
    };
    for (const TCase &c : cases) {
        EXPECT_EQ(EncodeToolCommand(c.command), QString::fromLatin1(c.stored));
        EXPECT_EQ(DecodeToolCommand(c.stored), QString::fromLatin1(c.command));
    }

    QTemporaryDir dir;
    TIniFile ini(dir.filePath("kiv.ini"));
    TToolSettings defaults;
    TToolSettings read;
    read.Load(ini);
    EXPECT_EQ(read, defaults);
    EXPECT_EQ(defaults.Slot(tsProgrammer2).command, "\"c:\\program files\\lumo\\ICD.EXE\" \"-T%H\"");
    TToolSettings edited;
    edited.Slot(tsDebugger2) = {"Sim", "\"/opt/pic sim/sim\" \"%C\""};
    edited.Slot(tsProgrammer1) = {"", ""};
    ASSERT_TRUE(edited.Save(ini));
    EXPECT_EQ(ini.ReadString("debugger2", "command"), "{/opt/pic sim/sim{ {%C{");
    TToolSettings again;
    again.Load(ini);
    EXPECT_EQ(again, edited);
}

TEST(ToolLaunch, CommandStatesFollowTheSlots)
{
    TToolSettings s;
    s.Slot(tsDebugger1) = {"MPLAB", "c:\\mplab\\mplab.exe %P"};
    s.Slot(tsDebugger2) = {"Emulator", "/opt/icepic32/run %C"};
    s.Slot(tsDebugger3) = {"", "/usr/bin/x"};
    s.Slot(tsProgrammer1) = {"Burner", "/opt/mplab-ish/burn %H"};
    EXPECT_EQ(ToolCommandState(s, tsDebugger1).image, tiMplab);
    EXPECT_EQ(ToolCommandState(s, tsDebugger2).image, tiIcepic);
    EXPECT_FALSE(ToolCommandState(s, tsDebugger3).visible);
    EXPECT_TRUE(ToolCommandState(s, tsProgrammer1).visible);
    EXPECT_EQ(ToolCommandState(s, tsProgrammer1).caption, "Burner");
    EXPECT_EQ(ToolCommandState(s, tsProgrammer1).image, tiNone);
}

class ToolLaunchFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A "dll" folder makes "inst" the installation folder of inst/bin/kiv.
        QDir().mkpath(m_dir.filePath("inst/dll"));
        QDir().mkpath(m_dir.filePath("inst/lumo"));
        QDir().mkpath(m_dir.filePath("my project"));
        SetExecutablePathForDirs(m_dir.filePath("inst/bin/kiv"));
        m_env.settingsFile = m_dir.filePath("kiv.ini");
        m_env.icepicSettings = m_dir.filePath("wine/icepic32.ini");
        m_env.setupProgram = m_dir.filePath("inst/vync/vync");
        m_context.base = m_dir.filePath("my project/blink");
        m_context.hexFile = m_context.base + ".HEX";
        m_context.includes = "/inc/a;/inc/b;";
    }
    void TearDown() override { SetExecutablePathForDirs(QString()); }

    // A program that writes its arguments, one a line, into `out` and exits.
    QString Script(const QString &name, const QString &out)
    {
        const QString path = m_dir.filePath(name);
        EXPECT_TRUE(WriteFile(path, "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '" + out.toLocal8Bit() + ".tmp'\n"
                                    "mv '" + out.toLocal8Bit() + ".tmp' '" + out.toLocal8Bit() + "'\n"));
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return path;
    }
    static QByteArray WaitForFile(const QString &path)
    {
        for (int i = 0; i < 500 && !QFileInfo::exists(path); ++i)
            QThread::msleep(10);
        return ReadFile(path);
    }

    QTemporaryDir m_dir;
    TLaunchEnvironment m_env;
    TLaunchContext m_context;
};

TEST_F(ToolLaunchFiles, StartsTheProgramWithPathsAsWholeArguments)
{
    const QString out = m_dir.filePath("args.txt");
    const QString script = Script("pic tools/prog", out);
    const TLaunchResult result = LaunchTool({"Prog", "\"" + script + "\" -x %H %P"}, m_context, m_env);
    ASSERT_TRUE(result.started) << result.error.toStdString();
    EXPECT_GT(result.pid, 0);
    EXPECT_EQ(WaitForFile(out), "-x\n" + m_context.hexFile.toLocal8Bit() + "\n" + m_context.base.toLocal8Bit() + ".pjt\n");
    EXPECT_TRUE(result.command.Display().contains("\"" + m_context.hexFile + "\""));
}

TEST_F(ToolLaunchFiles, AMissingOrUnstartableProgramSaysWhy)
{
    TLaunchResult result = LaunchTool({"Prog", "/no/such/prog %H"}, m_context, m_env);
    EXPECT_FALSE(result.started);
    EXPECT_EQ(result.error, "Cannot find program: /no/such/prog");
    result = LaunchTool({"Prog", ""}, m_context, m_env);
    EXPECT_EQ(result.error, "Cannot find program: ");
    result = LaunchTool({"Prog", "no-such-program-anywhere %H"}, m_context, m_env);
    EXPECT_EQ(result.error, "Cannot find program: no-such-program-anywhere");

    const QString plain = m_dir.filePath("not-executable");
    ASSERT_TRUE(WriteFile(plain, "#!/bin/sh\n"));
    QFile::setPermissions(plain, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    result = LaunchTool({"Prog", plain + " %H"}, m_context, m_env);
    EXPECT_FALSE(result.started);
    EXPECT_TRUE(result.error.startsWith("Cannot start " + plain + ": ")) << result.error.toStdString();
    EXPECT_GT(result.error.size(), QString("Cannot start " + plain + ": ").size());

    // A program on the search path is found by its name.
    result = LaunchTool({"Prog", "true %H"}, m_context, m_env);
    EXPECT_TRUE(result.started) << result.error.toStdString();
}

TEST_F(ToolLaunchFiles, WritesTheMplabProjectFromItsTemplate)
{
    ASSERT_TRUE(WriteFile(m_dir.filePath("inst/lumo/DEFAULT.MCP"), "[HEADER]\nfile=%F.%E\ninc=%I\nfamily=%O\n"));
    QString error;
    ASSERT_TRUE(PrepareToolFiles({"MPLAB", "c:\\program files\\mplab ide\\dlls\\mplab.exe %P"}, m_context, m_env, &error))
        << error.toStdString();
    EXPECT_EQ(ReadFile(m_context.base + ".mcp"), "[HEADER]\r\nfile=blink.c\r\ninc=/inc/a;/inc/b;\r\nfamily=+FM\r\n");
    // An existing project is kept.
    ASSERT_TRUE(WriteFile(m_context.base + ".mcp", "mine"));
    ASSERT_TRUE(PrepareToolFiles({"MPLAB", "/opt/mplab/core/mplab %P"}, m_context, m_env, &error));
    EXPECT_EQ(ReadFile(m_context.base + ".mcp"), "mine");
}

TEST_F(ToolLaunchFiles, SetsMplabsProcessor)
{
    struct TCase {
        const char *processor;   // nullptr: no project file
        const char *written;
    };
    const TCase cases[] = {{"0x877a", "0x877A"}, {"132", "0x0084"}, {"junk", "0x0000"}, {nullptr, "0x0000"}};
    QDir().mkpath(m_dir.filePath("mplab"));
    TIniFile(m_env.settingsFile).WriteString("KIV", "MPLAB", m_dir.filePath("mplab/mplab.exe"));
    for (const TCase &c : cases) {
        QFile::remove(m_context.base + ".pjt");
        if (c.processor) {
            ASSERT_TRUE(WriteFile(m_context.base + ".pjt", QByteArray("[PROJECT]\r\nProcessor=") + c.processor + "\r\n"));
        }
        QString error;
        ASSERT_TRUE(PrepareToolFiles({"MPLAB", "/opt/mplab/mplab %P"}, m_context, m_env, &error)) << error.toStdString();
        EXPECT_EQ(TIniFile(m_dir.filePath("mplab/mplab.ini")).ReadString("configuration", "Processor"), c.written);
    }
}

TEST_F(ToolLaunchFiles, WithoutMplabNamedTheCompilerProgramIsAsked)
{
    const QString out = m_dir.filePath("setup.txt");
    QDir().mkpath(m_dir.filePath("inst/vync"));
    const QString script = Script("inst/vync/vync", out);
    ASSERT_EQ(script, m_env.setupProgram);
    QString error;
    ASSERT_TRUE(PrepareToolFiles({"MPLAB", "/opt/mplab/mplab %P"}, m_context, m_env, &error));
    // It was waited for: its output is there at once.
    EXPECT_EQ(ReadFile(out), "+SETUP\n");
}

TEST_F(ToolLaunchFiles, WritesTheIcepicSettings)
{
    QDir().mkpath(m_dir.filePath("wine"));
    QString error;
    ASSERT_TRUE(PrepareToolFiles({"Emulator", "/opt/ICEPIC32/icepic32 %C"}, m_context, m_env, &error));
    TIniFile ini(m_env.icepicSettings);
    EXPECT_EQ(ini.ReadString("Main Window", "File"), m_context.base + ".cod");
    EXPECT_EQ(ini.ReadString("Editor", "Load"), "2");
    EXPECT_EQ(ini.ReadString("Emul", "CodeMem"), "56");
    EXPECT_EQ(ini.ReadString("Recent File List", "File1"), m_context.base + ".c");

    // Without a project nothing is written.
    QFile::remove(m_env.icepicSettings);
    ASSERT_TRUE(PrepareToolFiles({"Emulator", "/opt/ICEPIC32/icepic32 %C"}, TLaunchContext{}, m_env, &error));
    EXPECT_FALSE(QFileInfo::exists(m_env.icepicSettings));
    // A folder that is not there: the launch says so and starts nothing.
    m_env.icepicSettings = m_dir.filePath("no/such/dir/icepic32.ini");
    const TLaunchResult result = LaunchTool({"Emulator", "/bin/true ICEPIC32 %C"}, m_context, m_env);
    EXPECT_FALSE(result.started);
    EXPECT_TRUE(result.error.contains("icepic32.ini"));
}
