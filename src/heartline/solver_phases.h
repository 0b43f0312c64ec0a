// The steps of a run the refined method shares with the literal solver, so
// that both methods refuse, count and commit alike: the checks of a run's
// inputs, progress, the energy model and the final commit. The solver's other
// phases are private (solver_phases_internal.h); the front ends use solver.h.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/status.h"
#include "heartline/solver.h"
#include "track/track_fwd.h"

namespace torvix::heartline {

// progress_count / progress_total of a run, reported to the observer after each step.
class Progress {
public:
    explicit Progress(const SolverObserver& observer) : observer_(observer) {}
    void SetTotal(long total) { total_ = total; }
    void Step() {
        ++count_;
        if (observer_.progress) observer_.progress(count_, total_);
    }
    bool Cancelled() const { return observer_.cancel != nullptr && observer_.cancel->load(); }
    long count() const { return count_; }
    long total() const { return total_; }

private:
    const SolverObserver& observer_;
    long count_ = 0;
    long total_ = 0;
};

// Refusals before any work, shared by both banking methods: parameters and
// tracks the data model cannot carry, and splines too far out to measure.
// The literal method also needs its 16-bit progress total to fit.
base::Status CheckRunInputs(const track::Track& track, double track_length, const HeartlineParams& params,
                       bool check_progress_total);

// ---- Energy ----

struct EnergyModel {
    double e_start = 0;   // energy height at the first vertex, metres of head
    double e_end = 0;     // energy height at the last vertex
    double gradient = 0;  // change of energy height per metre of track
};

// `vertices` holds at least one vertex; `length` is the stored track length.
EnergyModel ComputeEnergy(std::span<const track::BezierVertex> vertices, double length, double start_speed,
                          double end_speed);

// ---- Commit ----

// Replaces the spline and the few fields a run changes: `segments` curves,
// with `segments` + 1 vertices, or as many vertices as curves for a closed
// circuit whose last curve runs back to the first vertex.
void CommitTrack(track::Track& track, std::vector<track::BezierVertex> vertices, int segments, bool closed = false);

}  // namespace torvix::heartline
