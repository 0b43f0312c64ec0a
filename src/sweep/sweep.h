// The parameter sweep: runs the solver and the ride report for every
// combination of Segments, Precision and Filter on all cores, and ranks the
// results by a ride figure, so a designer sees which settings ride best.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "heartline/solver.h"
#include "railframe/rail_frame.h"
#include "refined/solver_modes.h"
#include "ride/verdict.h"
#include "track/track_fwd.h"

namespace torvix::sweep {

// "40,60,80" or "A:B:STEP" (B included when the steps reach it), or a mix:
// "20,40:80:20". Fails for text that is not such a list, for a step that is
// not positive, or for more than kMaxGridValues values.
inline constexpr std::size_t kMaxGridValues = 1000;
base::Result<std::vector<int>> ParseGrid(std::string_view text);

// What the ranking minimises.
// Whatever the figure, a setting whose track turns riders over where nothing
// asks for it ranks after every setting whose track does not. kVerdict ranks
// by the ride's verdict, then by lateral RMS.
enum class RankBy {
    kLateralRms, kLateralMax, kRollRateMax, kHeartDeviationMax, kBankErrorMax, kVertexCount, kFileSize, kVerdict
};
std::optional<RankBy> ParseRank(std::string_view name);
const char* RankName(RankBy rank);
// Every name ParseRank knows, separated by '|'.
std::string RankNames();

// Every parameter defaults to the solver's own default.
struct SweepSettings {
    std::vector<int> segments{heartline::HeartlineParams{}.segments};
    std::vector<int> precision{heartline::HeartlineParams{}.precision};
    std::vector<int> filter{heartline::HeartlineParams{}.filter};
    double heartline = heartline::HeartlineParams{}.heartline;
    double start_speed = heartline::HeartlineParams{}.start_speed;
    double end_speed = heartline::HeartlineParams{}.end_speed;
    double step = 0.5;  // ride report step, metres
    refined::SolverMode mode = refined::SolverMode::kLiteral;
    railframe::RollReading reading = railframe::RollReading::kSimulator;  // of the ride report
    RankBy rank = RankBy::kLateralRms;
    int jobs = 0;  // 0: one per core
};

struct SweepEntry {
    int segments = 0, precision = 0, filter = 0;
    base::Status status = base::Status::Fail("");  // why the run failed, when it did
    int filter_used = 0;  // Filter after the run raised it
    double lateral_rms = 0, lateral_max = 0;
    double vertical_min = 0, vertical_max = 0;
    double roll_rate_max = 0, bank_error_max = 0;
    double heart_deviation_max = 0;  // metres from the new heart line to the designed path
    int vertex_count = 0;
    std::size_t file_size = 0;  // bytes of the written track
    double unasked_roll = 0;    // metres turned over where nothing asks for it
    ride::VerdictLevel verdict = ride::VerdictLevel::kHarsh;
    std::string verdict_text;   // "comfortable: ..."
};

struct SweepResult {
    std::vector<SweepEntry> entries;  // ranked: best first, failures last
    bool cancelled = false;           // stopped early; entries hold the combinations that finished
};

// `track_length` is the track's measured length. `cancel`, when given, is
// polled between runs; `progress` is called (from the calling thread's
// workers, serialised) after each run with the runs done and the total.
SweepResult RunSweep(const track::Track& track, double track_length, const SweepSettings& settings,
                     const std::atomic<bool>* cancel = nullptr,
                     const std::function<void(std::size_t done, std::size_t total)>& progress = {});

// Sorts by the rank figure (smaller first; ties by fewer vertices), settings
// with unasked roll after those without, failures last.
void RankEntries(std::vector<SweepEntry>& entries, RankBy rank);

double RankValue(const SweepEntry& entry, RankBy rank);

// A modest grid for a track of `length` metres: Segments for curves of about
// 3 to 8 m, Precision 6 and 10, Filter 5, 15 and 30.
SweepSettings SuggestionGrid(double length);

// The settings a designer is offered: the lowest lateral RMS among the runs
// whose heart line stays within kSuggestDeviation of the designed path (or
// among all runs when none does). Empty when no run went through.
inline constexpr double kSuggestDeviation = 0.25;
std::optional<SweepEntry> PickSuggestion(const std::vector<SweepEntry>& ranked_by_lateral_rms);

}  // namespace torvix::sweep
