// rewrite IN OUT: reads a track and writes it back in this program's layout.
#include <iostream>
#include <memory>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "track/track.h"

using namespace torvix::track;

namespace torvix::cli {

void AddRewriteCommand(CLI::App& app, int& exit_code) {
    struct Args {
        std::string in;
        std::string out;
    };
    auto args = std::make_shared<Args>();
    CLI::App* cmd = app.add_subcommand("rewrite", "Read a track file and write it back");
    cmd->add_option("IN", args->in, "Track file to read (.nltrack)")->required();
    cmd->add_option("OUT", args->out, "Track file to write; \".nltrack\" is appended when missing")->required();
    cmd->callback([args, &exit_code] {
        Track track;
        if (!LoadTrackOrReport(args->in, track, std::cerr)) {
            exit_code = kReadFailed;
            return;
        }
        exit_code = SaveTrackOrReport(args->out, track, std::cerr) ? kOk : kWriteFailed;
    });
}

}  // namespace torvix::cli
