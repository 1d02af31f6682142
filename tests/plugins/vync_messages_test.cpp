// The C compiler's messages: every number has its page in the help set, and errors are reported
// with their places, several in one run.

#include "vync_parse.h"
#include "vync_runner.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace {

std::string ReadText(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(VyncMessages, EveryNumberHasAHelpEntry)
{
    const std::string root = KIV_TEST_SOURCE_DIR;
    const std::string numbers = ReadText(root + "/plugins/vync/vync_diag.h");
    const std::string errors = ReadText(root + "/data/lumo/vync.help/Error_Messages/Errors.htm");
    const std::string warnings = ReadText(root + "/data/lumo/vync.help/Warnings/Warnings.htm");
    ASSERT_FALSE(numbers.empty());
    ASSERT_FALSE(errors.empty());
    const std::regex entry(R"((vmw?[A-Za-z]+) = (\d+),)");
    int count = 0;
    for (auto it = std::sregex_iterator(numbers.begin(), numbers.end(), entry); it != std::sregex_iterator(); ++it) {
        const int n = std::stoi((*it)[2]);
        const std::string anchor = n >= 200 ? "name=\"W" + std::to_string(n) + "\"" : "name=\"E" + std::to_string(n) + "\"";
        EXPECT_NE((n >= 200 ? warnings : errors).find(anchor), std::string::npos) << (*it)[1] << " " << n;
        ++count;
    }
    EXPECT_GT(count, 40);
}

TEST(VyncHelp, EveryBuiltInHasItsPage)
{
    // F1 on a name in the editor opens the page named after it: every function the compiler
    // writes in place and every function and macro of the run-time library has one.
    const std::string root = KIV_TEST_SOURCE_DIR;
    const std::string help = root + "/data/lumo/vync.help/";
    std::vector<std::string> names = kiv::vync::BuiltinNames();
    const std::string runtime = ReadText(root + "/plugins/vync/vyncrt.h");
    ASSERT_FALSE(runtime.empty());
    const std::regex function(R"((?:^|\n)(?:#define|void|int8|int16|int32) +([a-z][a-z0-9_]*)\()");
    for (auto it = std::sregex_iterator(runtime.begin(), runtime.end(), function); it != std::sregex_iterator(); ++it)
        names.push_back((*it)[1]);
    EXPECT_GT(names.size(), 50u);
    const std::string index = ReadText(help + "index.txt");
    const std::string overview = ReadText(help + "BuiltInFunctions.htm");
    for (const std::string &name : names) {
        const std::string page = ReadText(help + name + ".htm");
        EXPECT_NE(page.find("<h1>" + name + "</h1>"), std::string::npos) << name << ".htm";
        EXPECT_NE(index.find(name + " | " + name + ".htm"), std::string::npos) << name << " in the index";
        EXPECT_NE(overview.find("href=\"" + name + ".htm\""), std::string::npos) << name << " on the overview page";
    }
    // The topics of the Help menu describe the C language too.
    for (const char *topic : {"BuiltInFunctions", "PreProcessor", "DataDefinition", "Operators", "Statements"})
        EXPECT_NE(ReadText(help + topic + ".htm").find("C "), std::string::npos) << topic;
}

TEST(VyncMessages, SeveralErrorsInOneRunEachWithItsPlace)
{
    kiv::vynctest::TVyncRunner runner;
    const auto out = runner.Compile("#device PIC16F877A\nint8 a;\nvoid main() {\n   a = missing + 1;\n   a = 2\n"
                                    "   a = 3;\n   float f;\n}\n");
    ASSERT_FALSE(out.ok);
    std::vector<std::string> lines;
    for (const auto &m : out.messages.All())
        lines.push_back(kiv::vync::MessageLine(out.messages, m));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_NE(lines[0].find("*** Error 60 \""), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("\" Line 4(8,15): "), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("*** Error 50 "), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("\" Line 7(4,9): "), std::string::npos) << lines[2];
    EXPECT_NE(lines[2].find("Floating point"), std::string::npos) << lines[2];
}

}  // namespace
