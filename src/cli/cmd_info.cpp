// Placeholder until the subcommand is built; replaced by its own file.
#include "cli/commands.h"

namespace torvix::cli {

void AddInfoCommand(CLI::App& app, int& exit_code) {
    app.add_subcommand("info", "(not available yet)")->callback([&exit_code] { exit_code = kBadUsage; });
}

}  // namespace torvix::cli
