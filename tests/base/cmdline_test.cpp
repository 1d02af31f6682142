#include "kivcmdline.h"

#include <gtest/gtest.h>

using namespace kiv;

TEST(CommandLineTest, Cases)
{
    struct Case {
        QStringList args;
        QString file;
        int traceLevel;
        bool createTrace;
        int printLines;
        bool error;
    };
    const Case cases[] = {
        {{}, "", 0, false, 0, false},
        {{"+debug", "main.c"}, "main.c", 1, true, 0, false},
        // the trace file is created, but milestones stop at level 2
        {{"+DEBUG", "-TOOLBAR"}, "", 2, true, 0, false},
        {{"+DEBUGLOG"}, "", 3, false, 0, false},
        // a switch must match the whole argument
        {{"+DEBUGX"}, "", 0, false, 0, false},
        {{"a.c", "b.c"}, "b.c", 0, false, 0, false},
        {{"x.PJT"}, "x.PJT", 0, false, 0, false},
        {{"/p/proj.pjt"}, "/p/proj.pjt", 0, false, 0, false},
        {{"notes.txt"}, "", 0, false, 0, false},
        {{"main.cpp"}, "main.cpp", 0, false, 0, false},
        {{"/src.code/notes.txt"}, "/src.code/notes.txt", 0, false, 0, false},
        {{"PRINTLINES=55"}, "", 0, false, 55, false},
        {{"printlines=0712"}, "", 0, false, 7, false},
        {{"PRINTLINES=5x"}, "", 0, false, 0, true},
        {{"PRINTLINES="}, "", 0, false, 0, true},
        {{"PRINTLINES=-1"}, "", 0, false, 0, true},
    };
    for (const Case &c : cases) {
        const TCommandLine r = ParseCommandLine(c.args);
        const QString label = c.args.join(' ');
        EXPECT_EQ(r.CommandLineFile, c.file) << label.toStdString();
        EXPECT_EQ(r.TraceLevel, c.traceLevel) << label.toStdString();
        EXPECT_EQ(r.CreateTraceFile, c.createTrace) << label.toStdString();
        EXPECT_EQ(r.PrintLines, c.printLines) << label.toStdString();
        EXPECT_EQ(!r.Error.isEmpty(), c.error) << label.toStdString();
    }
}

TEST(CommandLineTest, RejectedPrintLinesNamesTheArgument)
{
    const TCommandLine r = ParseCommandLine({"PRINTLINES=ab"});
    EXPECT_TRUE(r.Error.contains("PRINTLINES=ab"));
}
