// torvix-cli ride: what riders feel along a track, as a summary, samples and a plot.
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/ride_output.h"
#include "nl2/element.h"
#include "nl2/element_track.h"
#include "railframe/rail_frame.h"
#include "ride/ride_report.h"
#include "ride/verdict.h"

using namespace torvix::track;

namespace torvix::cli {

namespace {

struct RideOptions {
    std::string path;
    ride::RideParams params;
    std::string csv;
    std::string plot;
    std::string reading = "simulator";
    std::string drawn;
    bool reading_given = false;
    bool json = false;
};

int RunRide(RideOptions& opt) {
    const auto reading = railframe::ParseReading(opt.reading);
    if (!reading) {
        std::cerr << "--roll-reading must be simulator or designer\n";
        return kBadUsage;
    }
    opt.params.reading = *reading;
    if (opt.json && opt.csv == "-") {
        std::cerr << "--json and --csv - both want standard output; write the samples to a file.\n";
        return kBadUsage;
    }
    const bool element = nl2::HasElementExtension(opt.path);
    ride::RideReport report;
    if (element) {
        // An element's rolls are read as NoLimits 2 builds the track from it.
        if (opt.reading_given) {
            std::cerr << "--roll-reading applies to track files; an element is read as NoLimits 2 builds it\n";
            return kBadUsage;
        }
        const base::Result<nl2::Element> file = nl2::ReadElementFile(opt.path);
        const base::Result<nl2::ElementTrack> line = file ? nl2::ElementTrack::Build(*file) : file.status();
        if (!line) {
            std::cerr << "Error Loading Element File!\n" << line.error() << '\n';
            return kReadFailed;
        }
        report = ride::MeasureRide(*line, opt.params);
    } else {
        Track track, drawn;
        if (!LoadTrackOrReport(opt.path, track, std::cerr)) return kReadFailed;
        if (!opt.drawn.empty() && !LoadTrackOrReport(opt.drawn, drawn, std::cerr)) return kReadFailed;
        report = ride::MeasureRide(track, opt.params, opt.drawn.empty() ? nullptr : &drawn);
    }
    // An element is its own heart line, its rolls read as NoLimits 2 builds them.
    auto json = [&] {
        nlohmann::ordered_json j = RideJson(report);
        if (element) j["roll_reading"] = "nl2 element", j.erase("heartline");
        return j;
    };
    if (report.samples.empty()) {
        std::cerr << report.status.message() << '\n';
        if (opt.json) std::cout << json().dump(2) << '\n';
        return kSolverFailed;
    }

    if (!opt.csv.empty() && !WriteTextOrReport(opt.csv, ride::SamplesCsv(report), std::cerr)) return kWriteFailed;
    if (!opt.plot.empty()) {
        ride::PlotOptions plot;
        plot.title = "Ride report: " + std::filesystem::path(opt.path).filename().string();
        // An element's pieces are its samples, too dense to mark.
        if (!element) plot.vertex_s = report.vertex_s;
        if (!WritePlotOrReport(opt.plot, report, plot, std::cerr)) return kWriteFailed;
    }
    if (opt.json) {
        std::cout << json().dump(2) << '\n';
    } else if (opt.csv != "-") {
        std::cout << ride::FormatSummary(report) << "Ride: " << ride::JudgeRide(report).text << '\n';
    }
    if (!report.status.ok()) {
        std::cerr << report.status.message() << '\n';
        return kSolverFailed;
    }
    return kOk;
}

}  // namespace

void AddRideCommand(CLI::App& app, int& exit_code) {
    auto opt = std::make_shared<RideOptions>();
    CLI::App* cmd = app.add_subcommand("ride", "Report the forces riders feel along a track");
    cmd->add_option("track", opt->path, "Track file (.nltrack), or a NoLimits 2 element (.nl2elem)")->required();
    cmd->add_option("--heartline", opt->params.heartline, "Heartline height in metres")->capture_default_str();
    cmd->add_option("--start-speed", opt->params.start_speed, "Speed at the first vertex, m/s")->capture_default_str();
    cmd->add_option("--end-speed", opt->params.end_speed, "Speed at the last vertex, m/s")->capture_default_str();
    cmd->add_option("--step", opt->params.step, "Metres of heart line between samples")->capture_default_str();
    cmd->add_option("--csv", opt->csv, "Write the samples as CSV to FILE (- for standard output)");
    cmd->add_option("--plot", opt->plot, "Draw the report to FILE.svg or FILE.png");
    cmd->add_option("--roll-reading", opt->reading, "How the vertex rolls are read: simulator or designer")
        ->capture_default_str()
        ->each([opt](const std::string&) { opt->reading_given = true; });
    cmd->add_option("--drawn", opt->drawn,
                    "The track as drawn, when TRACK was rebuilt from it: its colours say where the designer's "
                    "own roll is asked for");
    cmd->add_flag("--json", opt->json, "Print the summary as one JSON object");
    cmd->callback([opt, &exit_code] { exit_code = RunRide(*opt); });
}

}  // namespace torvix::cli
