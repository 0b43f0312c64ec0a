// The two banking methods behind one call: the literal method (the default,
// whose output is the contract) and the refined method, which takes the same
// inputs, fails the same way and writes the same kind of track.
#pragma once

#include <optional>
#include <string_view>

#include "heartline/solver.h"

namespace torvix::refined {

enum class SolverMode { kLiteral, kRefined };

// "literal" or "refined".
const char* ModeName(SolverMode mode);
std::optional<SolverMode> ParseMode(std::string_view name);

// The refined method: banking against a rotation-minimising frame, airtime
// left upright, smoothing in ride time with a roll-rate bound, rails and
// rolls fitted together.
heartline::SolveResult SolveHeartlineRefined(track::Track& track, double track_length,
                                             const heartline::HeartlineParams& params,
                                             const heartline::SolverObserver& observer = {});

heartline::SolveResult SolveHeartlineWith(SolverMode mode, track::Track& track, double track_length,
                                          const heartline::HeartlineParams& params,
                                          const heartline::SolverObserver& observer = {});

}  // namespace torvix::refined
