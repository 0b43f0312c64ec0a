// Where a literal run valleys, and the lowest start speed that carries the
// train through by the solver's own energy model.
#pragma once

#include <optional>

#include "heartline/solver.h"

namespace torvix::heartline {

struct SolverValley {
    double s = 0;                // arc length along the input path where the train stops
    int curve = 0;               // input curve it stops on
    double min_start_speed = 0;  // lowest start speed, rounded up to 0.1 m/s, with which the run passes
};

// Empty when the run's sampling at `params` does not valley (it passes, or
// fails for another reason). A found speed has been checked by a run.
std::optional<SolverValley> FindSolverValley(const track::Track& track, double track_length,
                                             const HeartlineParams& params);

}  // namespace torvix::heartline
