#include <string>

#include "cli/commands.h"

#ifndef TORVIX_VERSION
#define TORVIX_VERSION "unknown"
#endif

namespace torvix::cli {

void AddAllCommands(CLI::App& app, int& exit_code) {
    AddDumpCommand(app, exit_code);
    AddRewriteCommand(app, exit_code);
    AddInfoCommand(app, exit_code);
    AddHeartlineCommand(app, exit_code);
    AddRideCommand(app, exit_code);
    AddSweepCommand(app, exit_code);
    AddExportNl2Command(app, exit_code);
}

int RunCli(int argc, const char* const* argv) {
    CLI::App app{"Torvix: heartline banking for NoLimits tracks"};
    app.name("torvix-cli");
    app.set_version_flag("--version", std::string("torvix-cli ") + TORVIX_VERSION);
    app.require_subcommand(1);
    // CLI11 reads "/name" as an option on Windows; there it is a path on the
    // current drive. Subcommands take the setting from here when made.
    app.allow_windows_style_options(false);
    app.footer(
        "Run torvix-cli COMMAND --help for a command's options.\n"
        "Exit codes: 0 success, 1 the heartline run failed or the ride valleys, 2 bad usage,\n"
        "3 the track could not be read, 4 the output could not be written, 130 a sweep stopped by Ctrl-C.");
    int exit_code = kOk;
    AddAllCommands(app, exit_code);
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kBadUsage;
    }
    return exit_code;
}

}  // namespace torvix::cli
