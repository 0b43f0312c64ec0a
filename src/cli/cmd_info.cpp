// torvix-cli info: vertex and segment counts, length and end measures of a track.
#include <iostream>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "texts/display_texts.h"
#include "texts/messages.h"
#include "analysis/track_ends.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "heartline/track_length.h"
#include "track/track.h"

using namespace torvix::analysis;
using namespace torvix::heartline;
using namespace torvix::texts;
using namespace torvix::track;

namespace torvix::cli {

namespace {

struct InfoOptions {
    std::string path;
    bool json = false;
};

int RunInfo(const InfoOptions& opt) {
    Track track;
    if (!LoadTrackOrReport(opt.path, track, std::cerr)) return kReadFailed;
    const base::Result<double> measured = TrackLength(track);
    if (!measured.ok()) {
        std::cerr << kTrackLoadError << '\n' << LengthNotMeasured(measured.error()) << '\n';
        return kReadFailed;
    }
    const double length = *measured;
    const TrackEndMeasures m = AnalyzeTrackEnds(track);

    if (opt.json) {
        nlohmann::ordered_json out = {
            {"vertex_count", track.bezr.vertex_count},
            {"segment_count", track.segm.segment_count},
            {"length", length},
        };
        AddEndMeasures(out, m);
        std::cout << out.dump(2) << '\n';
        return kOk;
    }

    const auto radius = [](double r) { return r == -1.0 ? std::string("straight") : FormatFixed(r, 3); };
    const auto tilt = [](double r, double t) { return r == -1.0 ? std::string("none") : FormatFixed(t, 3); };
    std::cout << "Vertices:   " << track.bezr.vertex_count << '\n'
              << "Segments:   " << track.segm.segment_count << '\n'
              << "Length:     " << FormatFixed(length, 2) << " m\n"
              << "Radius in:  " << radius(m.radius_in) << '\n'
              << "Slope in:   " << FormatFixed(m.slope_in, 3) << '\n'
              << "Tilt in:    " << tilt(m.radius_in, m.tilt_in) << '\n'
              << "Radius out: " << radius(m.radius_out) << '\n'
              << "Slope out:  " << FormatFixed(m.slope_out, 3) << '\n'
              << "Tilt out:   " << tilt(m.radius_out, m.tilt_out) << '\n';
    return kOk;
}

}  // namespace

void AddInfoCommand(CLI::App& app, int& exit_code) {
    auto opt = std::make_shared<InfoOptions>();
    CLI::App* cmd = app.add_subcommand("info", "Show the length and the entry and exit measures of a track");
    cmd->add_option("track", opt->path, "Track file (.nltrack)")->required();
    cmd->add_flag("--json", opt->json, "Print the values as one JSON object");
    cmd->callback([opt, &exit_code] { exit_code = RunInfo(*opt); });
}

}  // namespace torvix::cli
