// dump TRACK: prints the whole model as JSON on stdout.
#include <iostream>
#include <memory>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/track_json.h"

using namespace torvix::track;

namespace torvix::cli {

void AddDumpCommand(CLI::App& app, int& exit_code) {
    auto path = std::make_shared<std::string>();
    CLI::App* cmd = app.add_subcommand("dump", "Print a track file's whole model as JSON");
    cmd->add_option("TRACK", *path, "Track file to read (.nltrack)")->required();
    cmd->callback([path, &exit_code] {
        Track track;
        if (!LoadTrackOrReport(*path, track, std::cerr)) {
            exit_code = kReadFailed;
            return;
        }
        std::cout << TrackToJson(track).dump(1) << std::endl;
        exit_code = kOk;
    });
}

}  // namespace torvix::cli
