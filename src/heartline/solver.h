// The heartline solver: treats a track's spline as the riders' heart path,
// banks it by the forces a train at the given speeds feels, smooths the
// banking, moves the path down by the heartline height and fits new curves.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "base/status.h"
#include "track/run_defaults.h"
#include "track/track_fwd.h"

namespace torvix::heartline {

struct HeartlineParams {
    int segments = track::RunDefaults::kSegments;           // curves of the new spline
    int precision = track::RunDefaults::kPrecision;         // fitting points per curve
    double heartline = track::RunDefaults::kHeartline;      // metres from the heart path down to the rails
    double start_speed = track::RunDefaults::kStartSpeed;   // m/s at the first vertex
    double end_speed = track::RunDefaults::kEndSpeed;       // m/s at the last vertex
    int filter = track::RunDefaults::kFilter;               // smoothing passes (may be raised by segment colours)
};

// What a window needs to see during a run. Either callback may be empty.
struct SolverObserver {
    // The average friction coefficient; once per run, before sampling.
    std::function<void(double friction)> display_gradient;
    // Called after each counted step (sample, smoothing pass, fitting point).
    std::function<void(long progress_count, long progress_total)> progress;
    // Polled after each counted step; once set, the run stops there and fails
    // with kCancelledMessage, the track untouched. Lets a window run the solver
    // on a thread of its own and stop it without throwing through it.
    const std::atomic<bool>* cancel = nullptr;
};

struct SolveResult {
    base::Status status = base::Status::Fail("");  // ok once the track is committed; why not otherwise
    int filter = 0;       // the final Filter (raised by explicit or speed-derived counts)
    double friction = 0;  // the average friction coefficient the speeds imply; set once the inputs pass
};

// `track_length` is the track length as measured at load (TrackLength). A
// spline outside the bounds of SplineBoundsProblem is refused. On
// failure `track` is left exactly as it was.
SolveResult SolveHeartline(track::Track& track, double track_length, const HeartlineParams& params,
                           const SolverObserver& observer = {});

// Why a run stopped by its observer's cancel flag failed.
inline constexpr const char* kCancelledMessage = "The run was cancelled.";

// The message a window shows (title "Horrible!") when a run fails because the
// train ran out of energy.
inline constexpr const char* kValleyMessage =
    "Something went wrong! The train probably valleyed. Check speed settings.";

}  // namespace torvix::heartline
