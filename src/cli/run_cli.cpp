#include "cli/commands.h"

namespace torvix::cli {

int RunCli(int argc, const char* const* argv) {
    CLI::App app{"Torvix: heartline banking for NoLimits tracks"};
    app.require_subcommand(1);
    int exit_code = kOk;
    AddDumpCommand(app, exit_code);
    AddRewriteCommand(app, exit_code);
    AddInfoCommand(app, exit_code);
    AddHeartlineCommand(app, exit_code);
    AddRideCommand(app, exit_code);
    AddSweepCommand(app, exit_code);
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
