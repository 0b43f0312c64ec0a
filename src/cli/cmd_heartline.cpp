// torvix-cli heartline: runs the solver on a track file and writes the result.
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "analysis/track_ends.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/ride_output.h"
#include "heartline/solver.h"
#include "heartline/track_length.h"
#include "heartline/valley.h"
#include "nl2/element_export.h"
#include "railframe/rail_frame.h"
#include "refined/solver_modes.h"
#include "ride/ride_report.h"
#include "ride/verdict.h"
#include "texts/display_texts.h"
#include "texts/messages.h"
#include "texts/valley_texts.h"
#include "track/result_path.h"

using namespace torvix::analysis;
using namespace torvix::heartline;
using namespace torvix::refined;
using namespace torvix::texts;
using namespace torvix::track;

namespace torvix::cli {

namespace {

struct HeartlineOptions {
    std::string input;
    std::string output;
    HeartlineParams params;
    std::string mode = "literal";
    std::string reading = "simulator";
    std::string nl2;
    bool json = false;
    bool report = false;
};

struct Choices {
    SolverMode mode = SolverMode::kLiteral;
    railframe::RollReading reading = railframe::RollReading::kSimulator;
};

// The options checked before anything is read; what is wrong goes to standard error.
std::optional<Choices> CheckOptions(const HeartlineOptions& options) {
    const std::optional<SolverMode> mode = ParseMode(options.mode);
    if (!mode) {
        std::cerr << "--mode must be literal or refined\n";
        return std::nullopt;
    }
    const auto reading = railframe::ParseReading(options.reading);
    if (!reading) {
        std::cerr << "--roll-reading must be simulator or designer\n";
        return std::nullopt;
    }
    if (!options.nl2.empty()) {
        if (const base::Status checked = nl2::CheckExportParams({options.params.heartline, nl2::kDefaultSpacing});
            !checked) {
            std::cerr << "Cannot export: " << checked.message() << ".\n";
            return std::nullopt;
        }
    }
    return Choices{*mode, *reading};
}

// A failed run says why, and where a valley stops the train, what carries it
// through, by the literal run's own energy model (a failed run leaves the
// track as it was loaded).
int ReportFailure(const SolveResult& result, const Track& track, double track_length,
                  const HeartlineOptions& options) {
    std::cerr << result.status.message() << '\n';
    nlohmann::json failure{{"ok", false}, {"error", result.status.message()}};
    if (result.status.message() == kValleyMessage) {
        if (const std::optional<SolverValley> valley = FindSolverValley(track, track_length, options.params)) {
            std::cerr << ValleySentence(valley->s, "curve " + std::to_string(valley->curve), valley->min_start_speed)
                      << '\n';
            failure["valley"] = {{"s", valley->s}, {"curve", valley->curve},
                                 {"min_start_speed", valley->min_start_speed}};
        }
    }
    if (options.json) std::cout << failure.dump() << '\n';
    return kSolverFailed;
}

// Where the new track and its element went.
struct Written {
    std::string track;
    std::string element;  // empty when none was asked for
};

// Writes the new track and, when asked, its heart line as a NoLimits 2
// element beside it; an exit code other than kOk where that fails.
int WriteResults(const Track& track, const HeartlineOptions& options, Written& written) {
    written.track = options.output.empty() ? ResultPath(options.input) : options.output;
    if (!SaveTrackOrReport(written.track, track, std::cerr)) return kWriteFailed;
    if (options.nl2.empty()) return kOk;
    const nl2::WriteResult element =
        nl2::WriteElementFile(track, options.params.heartline, nl2::kDefaultSpacing, options.nl2);
    if (!element.status.ok()) {
        std::cerr << element.status.message() << '\n';
        return element.element.status.ok() ? kWriteFailed : kSolverFailed;
    }
    written.element = element.written.string();
    return kOk;
}

// What a successful run prints: the figures of the new track, its ride's verdict and, when asked, its report.
struct Outcome {
    const SolveResult& result;
    const Track& track;
    const ride::RideReport& ride;
    const ride::RideVerdict& verdict;
    const Written& written;
    Choices choices;
};

void PrintJson(const Outcome& o, const HeartlineOptions& options) {
    nlohmann::json j = {
        {"ok", true},
        {"friction", o.result.friction},
        {"friction_text", FormatFriction(o.result.friction)},
        {"filter", o.result.filter},
        {"vertex_count", o.track.bezr.vertex_count},
        {"segment_count", o.track.segm.segment_count},
        {"mode", ModeName(o.choices.mode)},
    };
    AddEndMeasures(j, AnalyzeTrackEnds(o.track));
    j["verdict"] = VerdictJson(o.verdict);
    if (options.report) j["ride"] = RideJson(o.ride);
    if (!o.written.element.empty()) j["nl2"] = o.written.element;
    std::cout << j.dump() << '\n';
}

void PrintText(const Outcome& o, const HeartlineOptions& options) {
    const EndMeasureTexts texts = FormatEndMeasures(AnalyzeTrackEnds(o.track));
    std::cout << "Friction coefficient: " << FormatFriction(o.result.friction) << '\n'
              << "Filter: " << o.result.filter << '\n'
              << "Vertices: " << o.track.bezr.vertex_count << '\n'
              << "Entry: radius " << texts.radius_in << ", slope " << texts.slope_in << ", tilt " << texts.tilt_in
              << '\n'
              << "Exit: radius " << texts.radius_out << ", slope " << texts.slope_out << ", tilt " << texts.tilt_out
              << '\n'
              << "Written: " << o.written.track << '\n';
    if (!o.written.element.empty())
        std::cout << "NoLimits 2 element: " << o.written.element << " (spline position Heart Line, "
                  << FormatFixed(options.params.heartline, 2) << " m)\n";
    if (options.report) {
        std::cout << "\nRide report of the new track (" << ModeName(o.choices.mode) << " mode, "
                  << railframe::ReadingName(o.choices.reading) << " reading of the rolls):\n"
                  << ride::FormatSummary(o.ride);
        if (!o.ride.status.ok()) std::cout << o.ride.status.message() << '\n';
    }
    std::cout << "Ride: " << o.verdict.text << '\n';
}

int RunHeartline(const HeartlineOptions& options) {
    const std::optional<Choices> choices = CheckOptions(options);
    if (!choices) return kBadUsage;
    Track track;
    if (!LoadTrackOrReport(options.input, track, std::cerr)) return kReadFailed;
    const base::Result<double> measured = TrackLength(track);
    if (!measured.ok()) {
        std::cerr << kTrackLoadError << '\n' << LengthNotMeasured(measured.error()) << '\n';
        return kReadFailed;
    }
    // The path as drawn, which the ride's verdict measures the new track against.
    Track drawn;
    drawn.bezr = track.bezr;
    drawn.segm = track.segm;
    const SolveResult result = SolveHeartlineWith(choices->mode, track, *measured, options.params);
    if (!result.status.ok()) return ReportFailure(result, track, *measured, options);
    Written written;
    if (const int code = WriteResults(track, options, written); code != kOk) return code;

    const HeartlineParams& p = options.params;
    const ride::RideReport ride =
        ride::MeasureRide(track, {p.heartline, p.start_speed, p.end_speed, 0.5, choices->reading}, &drawn);
    const ride::RideVerdict verdict = ride::JudgeRide(ride);
    const Outcome outcome{result, track, ride, verdict, written, *choices};
    if (options.json) PrintJson(outcome, options);
    else PrintText(outcome, options);
    return kOk;
}

}  // namespace

void AddHeartlineCommand(CLI::App& app, int& exit_code) {
    auto options = std::make_shared<HeartlineOptions>();
    CLI::App* cmd = app.add_subcommand("heartline", "Bank a track around its heartline and write the result");
    cmd->add_option("track", options->input, "Input .nltrack file")->required();
    cmd->add_option("-o,--output", options->output, "Output file (default: beside the input, _Torvix.nltrack)");
    cmd->add_option("--segments", options->params.segments, "Curves of the new spline")->capture_default_str();
    cmd->add_option("--precision", options->params.precision, "Fitting points per curve")->capture_default_str();
    cmd->add_option("--filter", options->params.filter, "Smoothing passes")->capture_default_str();
    cmd->add_option("--heartline", options->params.heartline, "Heartline height in metres")->capture_default_str();
    cmd->add_option("--start-speed", options->params.start_speed, "Speed at the first vertex, m/s")
        ->capture_default_str();
    cmd->add_option("--end-speed", options->params.end_speed, "Speed at the last vertex, m/s")->capture_default_str();
    cmd->add_option("--mode", options->mode, "Banking method: literal (the default) or refined")
        ->capture_default_str();
    cmd->add_flag("--report", options->report, "Add the ride report of the new track");
    cmd->add_option("--roll-reading", options->reading, "How the ride report reads the vertex rolls: simulator or designer")
        ->capture_default_str();
    cmd->add_option("--nl2", options->nl2, "Also write the new track's heart line as a NoLimits 2 element to FILE");
    cmd->add_flag("--json", options->json, "Print one JSON object");
    cmd->callback([options, &exit_code] { exit_code = RunHeartline(*options); });
}

}  // namespace torvix::cli
