// Placeholder until the refined method lands: refuses every run.
#include "heartline/solver_modes.h"

namespace torvix {

SolveResult SolveHeartlineRefined(Track&, double, const HeartlineParams& params, const SolverObserver&) {
    SolveResult result;
    result.filter = params.filter;
    result.message = "The refined mode is not available in this build.";
    return result;
}

}  // namespace torvix
