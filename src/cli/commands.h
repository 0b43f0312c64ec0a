// Subcommands of torvix-cli. Each Add*Command registers one subcommand on
// `app`; its callback stores the process exit code in `exit_code`.
#pragma once

#include <CLI/CLI.hpp>

namespace torvix::cli {

enum ExitCode : int {
    kOk = 0,
    kSolverFailed = 1,
    kBadUsage = 2,
    kReadFailed = 3,
    kWriteFailed = 4,
    kInterrupted = 130,  // stopped by Ctrl-C, as a shell reports it
};

void AddDumpCommand(CLI::App& app, int& exit_code);
void AddRewriteCommand(CLI::App& app, int& exit_code);
void AddInfoCommand(CLI::App& app, int& exit_code);
void AddHeartlineCommand(CLI::App& app, int& exit_code);
void AddRideCommand(CLI::App& app, int& exit_code);
void AddSweepCommand(CLI::App& app, int& exit_code);
void AddExportNl2Command(CLI::App& app, int& exit_code);

// Registers every subcommand above, in the order --help lists them.
void AddAllCommands(CLI::App& app, int& exit_code);

// Parses argv and runs the chosen subcommand; returns the exit code.
int RunCli(int argc, const char* const* argv);

}  // namespace torvix::cli
