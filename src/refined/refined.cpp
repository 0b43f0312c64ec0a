// The refined banking method: the same inputs, failures, observer and commit
// as the literal solver, a different way of getting from one to the other.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "railframe/rail_frame.h"
#include "refined/refined_internal.h"
#include "refined/solver_modes.h"
#include "ride/ride_line.h"
#include "heartline/solver_phases.h"

using namespace torvix::geometry;
using namespace torvix::heartline;
using namespace torvix::track;

namespace torvix::refined {

namespace {


// The fit's first and last vertices lie on one place of a closed circuit: one
// vertex there, with the mean of both sides' tangents so that the closing
// curve (the fit's last) meets the first smoothly.
void CloseTheLap(std::vector<BezierVertex>& out, int segments) {
    BezierVertex& first = out[0];
    const BezierVertex& last = out[static_cast<std::size_t>(segments)];
    auto mean = [](const Vector3& a, const Vector3& b) {
        return Vector3{float((double(a.x) + b.x) / 2), float((double(a.y) + b.y) / 2), float((double(a.z) + b.z) / 2)};
    };
    const Vector3 at = mean(first.position, last.position);
    const Vector3 ahead = mean(first.control_next, last.control_next);
    first.control_next = VecAdd(at, VecSub(ahead, mean(first.position, last.position)));
    first.control_prev = VecAdd(at, VecSub(mean(first.control_prev, last.control_prev), mean(first.position, last.position)));
    first.position = at;
    out[static_cast<std::size_t>(segments)] = BezierVertex{};
}

// The run's inputs as the refined method rides them.
struct Lap {
    std::vector<BezierVertex> vertices;  // a closed circuit's first vertex again at the end
    std::span<const Segment> segments;   // one per curve
    bool closed = false;
};

// A closed circuit is ridden once round, its closing curve from the last
// vertex back to the first a curve like the others: the new track closes the
// same way, with one vertex fewer than an open one.
Lap LapOf(const Track& track, std::span<const BezierVertex> vertices, int segments) {
    Lap lap;
    lap.closed = ride::IsClosedCircuit(track) && track.segm.segments.size() >= vertices.size() && segments > 1;
    lap.vertices.assign(vertices.begin(), vertices.end());
    if (lap.closed) lap.vertices.push_back(vertices.front());
    lap.segments = {track.segm.segments.data(), lap.vertices.size() - 1};
    return lap;
}

// Seconds of ride on each side of a closed circuit's joint that the banking
// sees across it: three of the widest smoothing widths the run asks for, and
// half as much again for the widening the roll-rate bound may add.
double JointReach(const Lap& lap, int filter, const RefinedTuning& tuning) {
    int count = std::max(filter, 0);
    for (const Segment& s : lap.segments)
        if (s.color_2 < kFirstNonCountColour) count = std::max(count, static_cast<int>(s.color_2));
    return std::max(1.0, 4.5 * count * tuning.sigma_per_count);
}

// The down vector wanted at every grid point: chosen (around a closed
// circuit with the joint's other side in view) and smoothed in ride time.
std::vector<DVec3> WantedDown(Grid& grid, std::span<const BezierVertex> vertices, const Lap& lap, int filter,
                              const RefinedTuning& tuning) {
    const LapMargins margins = lap.closed ? AroundTheLap(grid, JointReach(lap, filter, tuning)) : LapMargins{};
    const std::size_t first = margins.before;
    const Grid& banked = grid;
    const std::vector<DVec3> frame = MinimalFrame(banked);
    // The designer's own roll as the simulator will show it.
    // Read only where a colour asks for it: most tracks are banked by the forces alone.
    auto asks = [](const Segment& s) {
        return s.color_1 == kDesignerRollColour || s.color_1 == kBlendToRollColour ||
               s.color_1 == kBlendToForceColour;
    };
    std::vector<DVec3> designer(banked.points.size());
    if (std::any_of(lap.segments.begin(), lap.segments.end(), asks)) {
        const std::vector<railframe::RailCurve> rails =
            railframe::PrepareRails(vertices, railframe::RollReading::kSimulator, lap.closed);
        for (std::size_t i = 0; i < designer.size(); ++i) {
            const GridPoint& g = banked.points[i];
            if (asks(lap.segments[static_cast<std::size_t>(g.in_curve)]))
                designer[i] = railframe::EvaluateRail(rails[g.in_curve], 0.0, g.in_t).down;
        }
    }
    BankTargets targets = ChooseTargets(banked, frame, designer, lap.segments, filter, tuning);
    const std::vector<double> angle = SmoothInTime(banked, targets, tuning);
    TrimTheLap(grid, margins);
    std::vector<DVec3> down(grid.points.size());
    for (std::size_t i = 0; i < down.size(); ++i)
        down[i] = railframe::TurnAbout(frame[first + i], grid.points[i].tangent, angle[first + i]);
    return down;
}

// The grid over the lap's exact path with the literal run's energy line
// spread over its length up to the last vertex (a closing curve continues it).
base::Status LapGrid(const Lap& lap, const heartline::EnergyModel& energy, const HeartlineParams& params,
                     const RefinedTuning& tuning, Grid& grid) {
    const ExactPath path(lap.vertices);
    const double to_last = lap.closed ? path.curve(path.curve_count() - 1).s0 : path.length();
    if (!(to_last > 0)) return base::Status::Fail("The track has no length.");
    const double gradient = (energy.e_end - energy.e_start) / to_last;
    return BuildGrid(path, params.segments, params.precision, energy.e_start, gradient, tuning, grid);
}

}  // namespace

SolveResult SolveRefinedTuned(Track& track, double track_length, const HeartlineParams& params,
                              const SolverObserver& observer, const RefinedTuning& tuning) {
    SolveResult result;
    result.filter = params.filter;
    if (base::Status refusal = heartline::CheckRunInputs(track, track_length, params, false); !refusal) {
        result.status = refusal;
        return result;
    }
    const int segments = params.segments;
    const std::span<const BezierVertex> vertices(track.bezr.vertices.data(),
                                                 static_cast<std::size_t>(track.bezr.vertex_count));
    const Lap lap = LapOf(track, vertices, segments);
    // The count a segment colour asks for raises Filter as in the literal run.
    for (const Segment& s : lap.segments)
        if (s.color_2 < kFirstNonCountColour && s.color_2 > result.filter) result.filter = static_cast<int>(s.color_2);

    // Progress: one step per output curve sampled, one for the banking, one per
    // round of each of the three fits.
    heartline::Progress progress(observer);
    progress.SetTotal(segments + 1 + 3 * tuning.rounds);
    auto cancelled = [&progress, &result] {
        if (progress.Cancelled()) result.status = base::Status::Fail(kCancelledMessage);
        return progress.Cancelled();
    };

    const heartline::EnergyModel shown = heartline::ComputeEnergy(vertices, track_length, params.start_speed,
                                                                  params.end_speed);
    result.friction = 0.0 - shown.gradient;
    if (observer.display_gradient) observer.display_gradient(result.friction);
    Grid grid;
    if (base::Status failure = LapGrid(lap, shown, params, tuning, grid); !failure) {
        result.status = failure;
        return result;
    }
    for (int c = 0; c < segments; ++c) {
        progress.Step();
        if (cancelled()) return result;
    }
    const std::vector<DVec3> down = WantedDown(grid, vertices, lap, params.filter, tuning);
    progress.Step();
    if (cancelled()) return result;

    std::vector<BezierVertex> out =
        FitRailsAndRolls({grid, segments, params.heartline, down, tuning, [&progress] { progress.Step(); }});
    if (cancelled()) return result;
    if (lap.closed) CloseTheLap(out, segments);
    if (!AllFinite(std::span<const BezierVertex>(out).first(static_cast<std::size_t>(segments) + 1))) {
        result.status = base::Status::Fail("The new track has a coordinate or roll that is not a finite number.");
        return result;
    }
    heartline::CommitTrack(track, std::move(out), segments, lap.closed);
    result.status = base::Status::Ok();
    return result;
}

SolveResult SolveHeartlineRefined(Track& track, double track_length, const HeartlineParams& params,
                                  const SolverObserver& observer) {
    return SolveRefinedTuned(track, track_length, params, observer, RefinedTuning{});
}

}  // namespace torvix::refined
