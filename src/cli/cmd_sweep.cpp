// torvix-cli sweep: the solver and the ride report over a grid of settings,
// ranked by a ride figure.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "base/status.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/ride_output.h"
#include "heartline/solver.h"
#include "heartline/track_length.h"
#include "railframe/rail_frame.h"
#include "sweep/sweep.h"
#include "track/track_io.h"

using namespace torvix::heartline;
using namespace torvix::refined;
using namespace torvix::track;

namespace torvix::cli {

namespace {

// Ctrl-C only sets this; the sweep polls it between runs. A signal handler
// can reach nothing but a flag with static storage.
std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) { g_interrupted.store(true); }

struct SweepOptions {
    std::string path;
    std::string segments = std::to_string(HeartlineParams{}.segments);
    std::string precision = std::to_string(HeartlineParams{}.precision);
    std::string filter = std::to_string(HeartlineParams{}.filter);
    std::string rank = "lateral_rms";
    std::string mode = "literal";
    std::string reading = "simulator";
    sweep::SweepSettings settings;
    std::string csv;
    std::string best;
    bool json = false;
};

nlohmann::ordered_json EntryJson(const sweep::SweepEntry& e, railframe::RollReading reading) {
    nlohmann::ordered_json j = {{"segments", e.segments}, {"precision", e.precision}, {"filter", e.filter},
                                {"ok", e.status.ok()}, {"roll_reading", railframe::ReadingName(reading)}};
    if (!e.status.ok()) {
        j["message"] = e.status.message();
        return j;
    }
    j["filter_used"] = e.filter_used;
    j["lateral_rms"] = e.lateral_rms;
    j["lateral_max"] = e.lateral_max;
    j["vertical_min"] = e.vertical_min;
    j["vertical_max"] = e.vertical_max;
    j["roll_rate_max"] = e.roll_rate_max;
    j["bank_error_max"] = e.bank_error_max;
    j["heart_deviation_max"] = e.heart_deviation_max;
    j["vertex_count"] = e.vertex_count;
    j["file_size"] = e.file_size;
    j["unasked_roll"] = e.unasked_roll;
    j["verdict"] = {{"level", ride::VerdictName(e.verdict)}, {"text", e.verdict_text}};
    return j;
}

std::string EntriesCsv(const std::vector<sweep::SweepEntry>& entries) {
    std::string out =
        "segments,precision,filter,ok,lateral_rms,lateral_max,vertical_min,vertical_max,roll_rate_max,"
        "bank_error_max,heart_deviation_max,vertex_count,file_size,unasked_roll,verdict,message\n";
    char line[400];
    for (const sweep::SweepEntry& e : entries) {
        std::snprintf(line, sizeof line, "%d,%d,%d,%d,%.5f,%.5f,%.5f,%.5f,%.3f,%.3f,%.5f,%d,%zu,%.2f,%s,", e.segments,
                      e.precision, e.filter, e.status.ok() ? 1 : 0, e.lateral_rms, e.lateral_max, e.vertical_min,
                      e.vertical_max, e.roll_rate_max, e.bank_error_max, e.heart_deviation_max, e.vertex_count,
                      e.file_size, e.unasked_roll, e.status.ok() ? ride::VerdictName(e.verdict) : "");
        std::string message = e.status.message();
        for (char& c : message)
            if (c == '"') c = '\'';
        out += line + (message.empty() ? std::string() : "\"" + message + "\"") + "\n";
    }
    return out;
}

void PrintTable(const std::vector<sweep::SweepEntry>& entries, std::ostream& out) {
    out << " seg  prec  filt  lat.RMS g  lat.max g   vert.min..max g  roll.max deg/s  heart.dev m  unasked m  vertices     "
           "bytes  verdict\n";
    char line[240];
    for (const sweep::SweepEntry& e : entries) {
        if (!e.status.ok()) continue;
        std::snprintf(line, sizeof line,
                      "%4d  %4d  %4d  %9.3f  %9.2f  %7.2f..%-7.2f  %14.0f  %11.3f  %9.1f  %8d  %8zu  %s\n", e.segments,
                      e.precision, e.filter, e.lateral_rms, e.lateral_max, e.vertical_min, e.vertical_max,
                      e.roll_rate_max, e.heart_deviation_max, e.unasked_roll, e.vertex_count, e.file_size,
                      ride::VerdictName(e.verdict));
        out << line;
    }
    for (const sweep::SweepEntry& e : entries)
        if (!e.status.ok())
            out << "failed: " << e.segments << " x " << e.precision << ", filter " << e.filter << ": " << e.status.message()
                << '\n';
}

// Fills the settings from the options; false, said on standard error, where one is wrong.
bool ParseSettings(SweepOptions& opt) {
    const base::Result<std::vector<int>> segments = sweep::ParseGrid(opt.segments);
    const base::Result<std::vector<int>> precision = segments ? sweep::ParseGrid(opt.precision) : segments.status();
    const base::Result<std::vector<int>> filter = precision ? sweep::ParseGrid(opt.filter) : precision.status();
    if (!filter) {
        std::cerr << "Bad grid " << filter.error() << '\n';
        return false;
    }
    const auto rank = sweep::ParseRank(opt.rank);
    if (!rank) {
        std::cerr << "--rank must be one of " << sweep::RankNames() << '\n';
        return false;
    }
    const auto mode = ParseMode(opt.mode);
    if (!mode) {
        std::cerr << "--mode must be literal or refined\n";
        return false;
    }
    const auto reading = railframe::ParseReading(opt.reading);
    if (!reading) {
        std::cerr << "--roll-reading must be simulator or designer\n";
        return false;
    }
    sweep::SweepSettings& s = opt.settings;
    s.reading = *reading;
    s.segments = *segments;
    s.precision = *precision;
    s.filter = *filter;
    s.rank = *rank;
    s.mode = *mode;
    return true;
}

int RunSweepCommand(SweepOptions& opt) {
    if (!ParseSettings(opt)) return kBadUsage;
    const sweep::SweepSettings& s = opt.settings;
    Track track;
    if (!LoadTrackOrReport(opt.path, track, std::cerr)) return kReadFailed;
    // A spline that cannot be measured is refused by every run, each row saying why.
    const base::Result<double> measured = TrackLength(track);
    const double track_length = measured.ok() ? *measured : 0;

    g_interrupted.store(false);
    const auto previous = std::signal(SIGINT, OnInterrupt);
    const auto start = std::chrono::steady_clock::now();
    const sweep::SweepResult result = sweep::RunSweep(track, track_length, s, &g_interrupted);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::signal(SIGINT, previous);

    if (!opt.csv.empty() && !WriteTextOrReport(opt.csv, EntriesCsv(result.entries), std::cerr)) return kWriteFailed;
    if (opt.json) {
        nlohmann::ordered_json all = nlohmann::ordered_json::array();
        for (const sweep::SweepEntry& e : result.entries) all.push_back(EntryJson(e, s.reading));
        std::cout << all.dump(2) << '\n';
    } else {
        PrintTable(result.entries, std::cout);
        char line[160];
        std::snprintf(line, sizeof line, "%zu runs in %.2f s, ranked by %s (%s mode, %s reading of the rolls)\n",
                      result.entries.size(), seconds, sweep::RankName(s.rank), ModeName(s.mode),
                      railframe::ReadingName(s.reading));
        std::cout << line;
    }
    if (result.cancelled) {
        std::cerr << "Interrupted: " << result.entries.size() << " runs finished.\n";
        return kInterrupted;
    }
    const bool any = !result.entries.empty() && result.entries.front().status.ok();
    if (!opt.best.empty()) {
        if (!any) {
            std::cerr << "No combination ran through; nothing written.\n";
            return kSolverFailed;
        }
        // Run the winner again exactly as `heartline` would, and write that.
        const sweep::SweepEntry& best = result.entries.front();
        HeartlineParams params;
        params.segments = best.segments;
        params.precision = best.precision;
        params.filter = best.filter;
        params.heartline = s.heartline;
        params.start_speed = s.start_speed;
        params.end_speed = s.end_speed;
        if (!SolveHeartlineWith(s.mode, track, track_length, params).status.ok()) return kSolverFailed;
        if (!SaveTrackOrReport(opt.best, track, std::cerr)) return kWriteFailed;
        std::cerr << "Best: " << best.segments << " x " << best.precision << ", filter " << best.filter
                  << ", written to " << opt.best << '\n';
    }
    return any ? kOk : kSolverFailed;
}

}  // namespace

void AddSweepCommand(CLI::App& app, int& exit_code) {
    auto opt = std::make_shared<SweepOptions>();
    CLI::App* cmd = app.add_subcommand("sweep", "Try a grid of settings and rank them by how the new track rides");
    cmd->add_option("track", opt->path, "Track file (.nltrack)")->required();
    cmd->add_option("--segments", opt->segments, "Segments: a list (40,60) or A:B:STEP")->capture_default_str();
    cmd->add_option("--precision", opt->precision, "Precision: a list or A:B:STEP")->capture_default_str();
    cmd->add_option("--filter", opt->filter, "Filter: a list or A:B:STEP")->capture_default_str();
    cmd->add_option("--heartline", opt->settings.heartline, "Heartline height in metres")->capture_default_str();
    cmd->add_option("--start-speed", opt->settings.start_speed, "Speed at the first vertex, m/s")->capture_default_str();
    cmd->add_option("--end-speed", opt->settings.end_speed, "Speed at the last vertex, m/s")->capture_default_str();
    cmd->add_option("--mode", opt->mode, "Banking method: literal or refined")->capture_default_str();
    cmd->add_option("--roll-reading", opt->reading, "How the ride report reads the vertex rolls: simulator or designer")
        ->capture_default_str();
    cmd->add_option("--jobs", opt->settings.jobs, "Runs at a time (default: one per core)");
    cmd->add_option("--rank", opt->rank, "Figure to minimise: " + sweep::RankNames())->capture_default_str();
    cmd->add_option("--csv", opt->csv, "Write every result as CSV to FILE (- for standard output)");
    cmd->add_option("--best", opt->best, "Write the best track to FILE, as heartline would");
    cmd->add_flag("--json", opt->json, "Print one JSON array, best first, failures last");
    cmd->callback([opt, &exit_code] { exit_code = RunSweepCommand(*opt); });
}

}  // namespace torvix::cli
