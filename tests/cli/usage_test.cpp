#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace torvix::cli {
namespace {

std::string CapturedRun(std::vector<const char*> argv, int& code) {
    argv.insert(argv.begin(), "torvix-cli");
    testing::internal::CaptureStdout();
    code = RunCli(static_cast<int>(argv.size()), argv.data());
    return testing::internal::GetCapturedStdout();
}

TEST(CliUsage, VersionIsTheProjectVersion) {
    int code = -1;
    EXPECT_EQ(CapturedRun({"--version"}, code), std::string("torvix-cli ") + TORVIX_VERSION + "\n");
    EXPECT_EQ(code, 0);
}

// Each registered command appears in --help on a line of its own, with its
// description on that same line, so the manual page lists them all.
TEST(CliUsage, HelpListsEveryCommandOnOneLine) {
    int code = -1;
    const std::string help = CapturedRun({"--help"}, code);
    EXPECT_EQ(code, 0);

    CLI::App reference;
    int unused = 0;
    AddAllCommands(reference, unused);
    std::size_t listed = 0;
    for (const CLI::App* command : reference.get_subcommands({})) {
        bool found = false;
        std::istringstream lines(help);
        for (std::string line; std::getline(lines, line);) {
            const std::string name = "  " + command->get_name() + " ";
            if (line.rfind(name, 0) == 0 && line.find(command->get_description()) != std::string::npos) found = true;
        }
        EXPECT_TRUE(found) << command->get_name() << " is not listed in:\n" << help;
        ++listed;
    }
    EXPECT_GE(listed, 4u);
    EXPECT_NE(help.find("Exit codes:"), std::string::npos);
}

}  // namespace
}  // namespace torvix::cli
