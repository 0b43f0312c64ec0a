#include "refined/solver_modes.h"

using namespace torvix::heartline;
using namespace torvix::track;

namespace torvix::refined {

const char* ModeName(SolverMode mode) { return mode == SolverMode::kRefined ? "refined" : "literal"; }

std::optional<SolverMode> ParseMode(std::string_view name) {
    if (name == "literal") return SolverMode::kLiteral;
    if (name == "refined") return SolverMode::kRefined;
    return std::nullopt;
}

SolveResult SolveHeartlineWith(SolverMode mode, Track& track, double track_length, const HeartlineParams& params,
                               const SolverObserver& observer) {
    if (mode == SolverMode::kRefined) return SolveHeartlineRefined(track, track_length, params, observer);
    return SolveHeartline(track, track_length, params, observer);
}

}  // namespace torvix::refined
